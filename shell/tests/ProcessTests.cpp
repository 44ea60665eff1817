// The process list, with a child program that the test starts and ends by its handle.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "Programs.h"
#include "TestApp.h"
#include "WinHandle.h"
#include "gCStringArray.h"

namespace {

// A started child, ended and waited for when the object goes.
class Child {
public:
    explicit Child(const std::wstring& program)
    {
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &info)) {
            m_process.Reset(info.hProcess);
            CKernelHandle thread(info.hThread);
        }
    }
    ~Child()
    {
        if (m_process.IsValid()) {
            TerminateProcess(m_process.Get(), 0);
            WaitForSingleObject(m_process.Get(), 10000);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    bool IsRunning() const { return m_process.IsValid() && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT; }

private:
    CKernelHandle m_process;
};

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
    {
        Child child(ProgramFolder() + L"QvServiceChild.exe");
        ASSERT_TRUE(child.IsRunning());
        gCStringArray names;
        ASSERT_TRUE(names.Add(gCString(L"kept")) == 0);
        ASSERT_OK(app.GetProcessNames(names));
        EXPECT_EQ(W(names[0]), L"kept");
        EXPECT_EQ(CountExact(names, L"QvServiceChild.exe"), 1);
        EXPECT_EQ(CountExact(names, L"shell_tests.exe"), 1);
        // Wine's own processes are named too; only what cannot be read at all is unknown.
        EXPECT_LT(CountExact(names, L"<unknown>"), names.Count() - 1);
    }

    gCStringArray after;
    ASSERT_OK(app.GetProcessNames(after));
    EXPECT_EQ(CountExact(after, L"QvServiceChild.exe"), 0);
}
