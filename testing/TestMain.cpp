// Entry point of every test executable (the runtime is linked with -municode).
#include <gtest/gtest.h>

#include "MessageBoxHook.h"

namespace {
// For the whole run a box that a test did not expect fails the test instead of blocking the run.
int UnexpectedBox(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(std::wstring(caption ? caption : L"")) << " "
                  << testing::PrintToString(std::wstring(text ? text : L""));
    return IDOK;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    SetMessageBoxFunction(UnexpectedBox);
    return RUN_ALL_TESTS();
}
