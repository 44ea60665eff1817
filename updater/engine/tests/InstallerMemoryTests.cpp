// The installer when memory runs out: a small real update run with allocation n failing alone
// and with every allocation from n on failing, for every n of the run.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <atomic>
#include <thread>

#include "EngineFixture.h"
#include "FailingAllocator.h"

namespace {

// Closes every dialog of the process while it runs, counting them: a dialog that nobody
// answers would hang the run. Boxes fail the test through the executable's box trap.
class DialogWatch {
public:
    DialogWatch()
        : m_thread([this] {
              for (DWORD process = 0; !m_stop; Sleep(20)) {
                  HWND dialog = FindWindowW(L"#32770", nullptr);
                  if (dialog && GetWindowThreadProcessId(dialog, &process) && process == GetCurrentProcessId()) {
                      ++dialogs;
                      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                  }
              }
          })
    {
    }
    ~DialogWatch()
    {
        m_stop = true;
        m_thread.join();
    }
    std::atomic<int> dialogs{0};

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Notes a red line without asking for memory, which the recording host would.
class CountingHost : public RecordingHost {
public:
    gCResult PostStatusLine(gCString, uint32_t colour, uint32_t) override
    {
        redLine |= colour == kLineRed;
        return kOk;
    }
    gCResult WriteLogLine(gCString) override { return kOk; }
    gCResult SetProgress(float, uint32_t) override { return kOk; }
    gCResult SetCaptionText(gCString, uint32_t) override { return kOk; }
    bool redLine = false;
};

// One installation of the small update with the allocator failing as asked, from a working
// folder of its own: a file written by a bare name would land there. Its number of allocations,
// and the ways it went wrong; with no allocation failing, what it wrote beside the installation.
std::string Install(int n, FailingAllocator::Mode mode, int& calls, FileTree& outside)
{
    EngineFixture f;
    f.Lay(kOriginal, L"readme.txt");
    const std::wstring working = f.temp.Path() + L"working\\";
    CreateDirectoryW(working.c_str(), nullptr);
    WriteWholeFile(f.temp.File(L"update.qvu"), Archive());
    CountingHost host;
    host.table = &f.table;
    CQVUDesquasher installer(host);
    gCFile archive;
    if (archive.OpenFullPath(f.temp.File(L"update.qvu"), kAccessRead) != kOk)
        return " could not open the archive";
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(working.c_str());
    gCResult result = -1;
    {
        FailingAllocator failing(n, mode);
        result = installer.DesquashAndInstall(archive);
        calls = failing.Calls();
    }
    SetCurrentDirectoryW(saved);
    (void)archive.Close(); // read only
    FileTree beside = ReadTree(f.temp.Path());
    for (auto it = beside.begin(); it != beside.end();)
        it = it->first.compare(0, 8, L"install\\") == 0 ? beside.erase(it) : std::next(it);
    if (n >= calls) {
        outside = beside;
        return result != kOk ? " failed" : f.Tree() != kUpdated ? " installed something else" : "";
    }
    std::string fault = result == kOk ? " succeeded" : host.redLine ? "" : " failed without a red line";
    fault += f.Tree() != kOriginal ? " changed the installation" : "";
    fault += f.ReadOnly(L"readme.txt") ? "" : " lost the read-only mark";
    return fault + (beside != outside ? " wrote outside the installation" : "");
}

TEST(InstallerMemory, EveryFailedAllocationFailsTheRunAndLeavesTheInstallationAsItWas)
{
    // The second whole run counts: the first one also makes what is made once per process.
    int calls = 0;
    FileTree outside;
    (void)Install(1 << 30, FailingAllocator::kFromOn, calls, outside); // checked by the next run
    ASSERT_EQ("", Install(1 << 30, FailingAllocator::kFromOn, calls, outside));
    const int whole = calls;

    DialogWatch watch;
    std::vector<std::string> faults;
    for (FailingAllocator::Mode mode : {FailingAllocator::kOnlyThis, FailingAllocator::kFromOn}) {
        for (int n = 0; n < whole; ++n) {
            const std::string fault = Install(n, mode, calls, outside);
            if (calls > n && !fault.empty()) // else the run asked for fewer: nothing failed
                faults.push_back((mode == FailingAllocator::kOnlyThis ? "allocation " : "from ") + std::to_string(n) +
                                 ":" + fault);
        }
    }
    EXPECT_EQ(0, watch.dialogs);
    faults.resize(std::min<size_t>(faults.size(), 20));
    EXPECT_TRUE(faults.empty()) << "the first ones:\n" << testing::PrintToString(faults);
}

} // namespace
