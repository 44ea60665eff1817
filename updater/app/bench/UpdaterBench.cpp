// Runs one update of about 100 MB in 1,000 files through the real QVUpdater.exe against the
// local update server and prints its phases as "name=value" lines: start-up to the request,
// request to the file received, and the installation. Asserts nothing.
//
//   updater_bench.exe [tree]
//
// With a tree (the installed tree that engine_bench leaves), those files are the update's
// content, so the figures stand beside engine_bench's on the same bytes (tools/bench-updater.sh).
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CStringTableWriter.h"
#include "Programs.h"
#include "QVUPacker.h"
#include "TempFolder.h"
#include "HostServer.h"
#include "WinHandle.h"

namespace {

const int kFileCount = 1000;
const size_t kFileBytes = 100000;

double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Text-like files: compressible, but not trivially.
std::vector<QVUPackEntry> MadeEntries()
{
    std::vector<QVUPackEntry> entries;
    uint32_t seed = 12345;
    for (int i = 0; i < kFileCount; ++i) {
        QVUBytes data(kFileBytes);
        for (size_t k = 0; k < data.size(); ++k) {
            seed = seed * 1103515245u + 12345u;
            data[k] = static_cast<uint8_t>("etaoin shrdlu\r\n"[(seed >> 16) % 15]);
        }
        entries.push_back({L"Data\\folder" + std::to_wstring(i % 20) + L"\\file" + std::to_wstring(i) + L".dat", data});
    }
    return entries;
}

std::string Log(const std::wstring& folder)
{
    const Bytes bytes = ReadWholeFile(gCString((folder + L"UpdateResults.log").c_str()));
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<QVUPackEntry> entries;
    if (argc > 1) {
        std::wstring tree = argv[1];
        if (!tree.empty() && tree.back() != L'\\')
            tree += L'\\';
        for (const std::wstring& name : FilesBelow(tree)) {
            const Bytes bytes = ReadWholeFile(gCString((tree + name).c_str()));
            entries.push_back({L"Data\\" + name, QVUBytes(bytes.begin(), bytes.end())});
        }
    } else {
        entries = MadeEntries();
    }
    const int files = static_cast<int>(entries.size());
    uint64_t unpacked = 0;
    for (const QVUPackEntry& e : entries)
        unpacked += e.data.size();

    TempFolder scratch;
    TempFolder install;
    const QVUBytes archive = PackArchive(entries, L"OS=WIN32\rTYPE=PRODUCT\r");
    entries.clear();
    const std::wstring archivePath = scratch.Path() + L"update.qvu";
    if (!WriteWholeFile(gCString(archivePath.c_str()), Bytes(archive.begin(), archive.end()))) {
        std::fprintf(stderr, "updater_bench: cannot write the archive\n");
        return 1;
    }

    const std::wstring built = ProgramFolder();
    const std::wstring folder = install.Path();
    CreateDirectoryW((folder + L"Resources").c_str(), nullptr);
    CopyFileW((built + L"QVUpdater.exe").c_str(), (folder + L"QVUpdater.exe").c_str(), FALSE);
    CopyFileW((built + L"Resources\\QVUpdater.vsf").c_str(), (folder + L"Resources\\QVUpdater.vsf").c_str(), FALSE);
    CopyFileW((built + L"Resources\\QVUpdater.vrf").c_str(), (folder + L"Resources\\QVUpdater.vrf").c_str(), FALSE);
    CStringTableWriter facts;
    (void)facts.AddRecord(1, gCString(L"QV2_Version"), gCString(L"2.0.0")); // a failed write fails the run
    (void)facts.AddRecord(2, gCString(L"ZRN_InternalBuildString"), gCString(L"QV2-BENCH"));
    (void)facts.SaveAs(gCString((folder + L"Resources\\system.vsf").c_str()));

    UpdateServer server;
    if (!server.Start(L"--mode file --file " + UpdateServer::HostPath(archivePath))) {
        std::fprintf(stderr, "updater_bench: %s\n", server.Error().c_str());
        return 1;
    }
    WriteWholeFile(gCString((folder + L"testmode").c_str()), Ansi(std::string(server.Host().ToAnsi()) + "\r\n"));

    std::wstring line = L"\"" + folder + L"QVUpdater.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const double start = Now();
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &info)) {
        std::fprintf(stderr, "updater_bench: QVUpdater.exe did not start\n");
        return 1;
    }
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);

    // The phases end where their lines reach the log.
    const char* marks[] = {"Looking up server...", "Update file received OK.",
                           "The update was installed successfully."};
    double at[3] = {0, 0, 0};
    int reached = 0;
    while (reached < 3 && Now() - start < 600) {
        const std::string log = Log(folder);
        while (reached < 3 && log.find(marks[reached]) != std::string::npos)
            at[reached++] = Now();
        if (log.find("Download Failed!") != std::string::npos || log.find("couldn't") != std::string::npos)
            break;
        Sleep(2);
    }
    // Without a program to start the updater stays open: close it as a user would.
    HWND window = nullptr;
    while ((window = FindWindowW(nullptr, L"Quorvel Updater")) != nullptr) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.Get(), 5000) == WAIT_OBJECT_0)
            break;
    }
    if (reached < 3) {
        std::fprintf(stderr, "updater_bench: the update did not go through:\n%s\n", Log(folder).c_str());
        return 1;
    }
    const double mb = 1e-6;
    std::printf("files=%d\n", files);
    std::printf("unpacked_mb=%.1f\n", unpacked * mb);
    std::printf("packed_mb=%.1f\n", archive.size() * mb);
    std::printf("startup_s=%.3f\n", at[0] - start);
    std::printf("received_s=%.3f\n", at[1] - at[0]);
    std::printf("received_mbps=%.1f\n", archive.size() * mb / (at[1] - at[0]));
    std::printf("install_s=%.3f\n", at[2] - at[1]);
    std::printf("install_mbps=%.1f\n", unpacked * mb / (at[2] - at[1]));
    return 0;
}
