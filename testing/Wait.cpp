#include "Wait.h"

#include <windows.h>

bool WaitUntil(const std::function<bool()>& done, const std::function<bool()>& step, int ms)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(ms))
            return false;
        if (step && !step())
            return false;
        Sleep(1);
    }
    return true;
}

void DispatchQueued()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done,
        [] {
            DispatchQueued();
            return true;
        },
        ms);
}

void PumpFor(int ms)
{
    (void)PumpUntil([] { return false; }, ms); // never done: it pumps for the whole time
}

void DrainQuit()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}
