// Started by the process-list tests, which end it; it ends by itself after a minute so that
// it never outlives a test run that failed to end it.
#include <windows.h>

int wmain()
{
    Sleep(60000);
    return 0;
}
