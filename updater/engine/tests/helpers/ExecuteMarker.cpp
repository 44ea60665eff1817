// The program an update archive starts in the installer's tests: it writes its command line
// to "executed.txt" beside itself and exits. It never starts anything.
#include <windows.h>

#include <cstdio>
#include <string>

#include "WinHandle.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"executed.txt";
    CStdFile file(_wfopen(path.c_str(), L"wb"));
    if (!file.IsValid())
        return 1;
    const wchar_t* line = GetCommandLineW();
    fwrite(line, sizeof(wchar_t), wcslen(line), file.Get());
    return file.Close() ? 0 : 1;
}
