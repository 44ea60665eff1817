// The program's Windows entry point; only programs link this object, never test executables.
#include <windows.h>

#include "CAppWin.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showMode)
{
    // The application takes its command line as 8-bit text in the ANSI code page.
    char line[32768] = {};
    if (commandLine && *commandLine)
        WideCharToMultiByte(CP_ACP, 0, commandLine, -1, line, sizeof(line) - 1, nullptr, nullptr);
    return RunApplication(instance, previous, line, showMode);
}
