// Entry point of every test executable (the runtime is linked with -municode).
#include <gtest/gtest.h>

#include "BoxCapture.h"

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    InstallUnexpectedBoxTrap();
    return RUN_ALL_TESTS();
}
