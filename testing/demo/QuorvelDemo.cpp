// The demo product, QUORVEL.EXE: shows the version that its Resources\system.vsf names in a
// small window, appends "started <version>" to QuorvelRuns.log beside it and ends by itself
// after a few seconds (the first argument, in milliseconds, when given).
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "gCFile.h"
#include "WinHandle.h"
#include "gCStringTable.h"

// Two builds of the program exist, so an update visibly brings a new program.
#ifndef QV_DEMO_BUILD
#define QV_DEMO_BUILD 1
#endif

namespace {
const UINT_PTR kEndTimer = 1;
const UINT kDefaultMs = 3000;
wchar_t gText[256] = L"Quorvel 2";

gCString ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    for (DWORD i = length; i > 0; --i) {
        if (path[i - 1] == L'\\') {
            path[i] = 0;
            break;
        }
    }
    return gCString(path);
}

gCString ReadVersion(const gCString& folder)
{
    gCStringTable table(1);
    gCFile file;
    if (file.OpenFullPath(gCString::Concat(folder, gCString(L"Resources\\system.vsf")), kAccessRead) != kOk ||
        table.Load(file) != kOk)
        return gCString(L"unknown");
    return table.GetVariantByName(gCString(L"QV2_Version"), 0);
}

void AppendRun(const gCString& folder, const gCString& version)
{
    gCFile log(kAccessAppend);
    if (log.OpenFullPath(gCString::Concat(folder, gCString(L"QuorvelRuns.log")), kAccessAppend) != kOk)
        return;
    (void)log.WriteText8(gCString::Concat(gCString(L"started "), version), 1); // the window still shows it
    (void)log.Close();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        CPaintScope paint(window);
        RECT client;
        GetClientRect(window, &client);
        DrawTextW(paint.Get(), gText, -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kEndTimer)
            SendMessageW(window, WM_CLOSE, 0, 0); // the default handling destroys the window
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int show)
{
    const gCString folder = ProgramFolder();
    const gCString version = ReadVersion(folder);
    swprintf(gText, 256, L"Quorvel 2 - version %ls (program build %d)", version.Text(), QV_DEMO_BUILD);
    AppendRun(folder, version);

    UINT ms = kDefaultMs;
    if (commandLine && *commandLine)
        ms = static_cast<UINT>(wcstoul(commandLine, nullptr, 10));

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"QuorvelDemo";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(L"QuorvelDemo", L"Quorvel 2", WS_OVERLAPPEDWINDOW, 40, 40, 420, 120, nullptr, nullptr,
                                instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, show);
    SetTimer(window, kEndTimer, ms, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
