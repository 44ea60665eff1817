// The process list, with a child program that the test starts and ends by its handle.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "Programs.h"
#include "TestApp.h"
#include "WinHandle.h"
#include "gCStringArray.h"

namespace {
int CountExact(const gCStringArray& names, const wchar_t* name)
{
    int count = 0;
    for (int32_t i = 0; i < names.Count(); ++i)
        if (W(names[i]) == name)
            ++count;
    return count;
}
} // namespace

TEST(ProcessList, AStartedChildIsFoundByItsExactNameUntilItEnds)
{
    CApp app;
    EXPECT_EQ(W(app.GetProcessName()), L"shell_tests.exe");
    // The child ends by itself after a minute should this test not end it.
    std::wstring commandLine = L"\"" + ProgramFolder() + L"QvServiceChild.exe\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(
        CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    gCStringArray names;
    EXPECT_OK(names.Add(gCString(L"kept")));
    EXPECT_OK(app.GetProcessNames(names));
    EXPECT_EQ(W(names[0]), L"kept");
    EXPECT_EQ(CountExact(names, L"QvServiceChild.exe"), 1);
    EXPECT_EQ(CountExact(names, L"shell_tests.exe"), 1);
    // Wine's own processes are named too; only what cannot be read at all is unknown.
    EXPECT_LT(CountExact(names, L"<unknown>"), names.Count() - 1);

    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 10000);
    gCStringArray after;
    ASSERT_OK(app.GetProcessNames(after));
    EXPECT_EQ(CountExact(after, L"QvServiceChild.exe"), 0);
}
