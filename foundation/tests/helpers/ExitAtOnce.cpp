// Started by the shell-open tests: leaves a marker file named by its argument, then ends.
#include <windows.h>

#include "WinHandle.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc > 1) {
        CFileHandle marker(
            CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    return 0;
}
