// Installs an archive into a folder in a process of its own, for the crash tests:
//   qvu_install_runner <archive> <install folder> <program folder> <k>   (folders without a last '\\')
// With k > 0 the process ends abruptly right after the installer's k-th change to the file
// system, with exit code 100 + the kind of that change. Otherwise it exits with the
// installer's result.
#include <windows.h>

#include <cstdlib>

#include "CQVUDesquasher.h"
#include "FakeHost.h"
#include "FileOperationHook.h"
#include "RecordingHost.h"
#include "gCFile.h"

namespace {
long gKillAfter = 0;
long gCount = 0;

void CountAndKill(FileOperation operation, const gCString&, void*)
{
    if (++gCount == gKillAfter)
        TerminateProcess(GetCurrentProcess(), 100 + static_cast<UINT>(operation));
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 90;
    FakeHost app;
    // Folders come without their last separator.
    app.secondFolder = gCString::Concat(gCString(argv[2]), gCString(L"\\"));
    app.programFolder = gCString::Concat(gCString(argv[3]), gCString(L"\\"));
    RecordingHost host;
    gKillAfter = std::wcstol(argv[4], nullptr, 10);
    SetFileOperationHook(CountAndKill, nullptr);
    gCFile archive;
    if (archive.OpenFullPath(gCString(argv[1]), kAccessRead) != kOk)
        return 91;
    CQVUDesquasher desquasher(host);
    return desquasher.DesquashAndInstall(archive);
}
