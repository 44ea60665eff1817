#include "Programs.h"

#include "TempFolder.h"
#include "WinHandle.h"

std::wstring ProgramFolder()
{
    wchar_t module[MAX_PATH];
    const std::wstring path(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

DWORD RunProgram(std::wstring commandLine)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return kProgramNotStarted;
    // For a host program Wine gives no process handle, and the thread field then holds a thread
    // id, not a handle: nothing can be closed or waited for, so the program runs on its own.
    if (!info.hProcess)
        return 0;
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    if (WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0) {
        TerminateProcess(process.Get(), 1);
        WaitForSingleObject(process.Get(), 5000);
        return kProgramEnded;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

DWORD CompileDataFile(const wchar_t* compiler, const std::wstring& folder, const std::string& source,
                      const std::wstring& output)
{
    const std::wstring path = folder + L"source.txt";
    if (!WriteWholeFile(gCString(path.c_str()), Ansi(source)))
        return kProgramNotStarted;
    return RunProgram(L"\"" + ProgramFolder() + compiler + L"\" \"" + path + L"\" \"" + output + L"\"");
}
