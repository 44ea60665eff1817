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

const FileTree kBefore = {
    {L"app.exe", Text8("old program")},
    {L"readme.txt", Text8("old readme")},
    {L"data\\", {}},
    {L"data\\table.dat", Text8("old table")},
};
const FileTree kNew = {
    {L"app.exe", Text8("new program")},
    {L"readme.txt", Text8("new readme")},
    {L"data\\table.dat", Text8("new table")},
    {L"plugins\\brushes\\soft.brush", Text8("a new file in new folders")},
};

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

struct RunResult {
    gCResult result = -1;
    int calls = 0;
    bool redLine = false;
    bool readOnlyKept = false;
    FileTree tree;
    FileTree outside; // everything of the temporary folder but the installation
};

// One installation of the small update with the allocator failing as asked, from a working
// folder of its own: a file written by a bare name would land there.
RunResult Install(int n, FailingAllocator::Mode mode)
{
    RunResult run;
    EngineFixture f;
    f.Lay(kBefore, L"readme.txt");
    const std::wstring working = f.temp.Path() + L"working\\";
    CreateDirectoryW(working.c_str(), nullptr);
    WriteWholeFile(f.temp.File(L"update.qvu"), PackArchive(Entries(kNew), L"OS=WIN32\rTYPE=full"));
    CountingHost host;
    host.table = &f.table;
    CQVUDesquasher installer(host);
    gCFile archive;
    if (archive.OpenFullPath(f.temp.File(L"update.qvu"), kAccessRead) != 0)
        return run;
    wchar_t saved[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, saved);
    SetCurrentDirectoryW(working.c_str());
    {
        FailingAllocator failing(n, mode);
        run.result = installer.DesquashAndInstall(archive);
        run.calls = failing.Calls();
    }
    SetCurrentDirectoryW(saved);
    (void)archive.Close(); // read only
    run.redLine = host.redLine;
    run.readOnlyKept = f.ReadOnly(L"readme.txt");
    run.tree = f.Tree();
    run.outside = ReadTree(f.temp.Path());
    for (auto it = run.outside.begin(); it != run.outside.end();)
        it = it->first.compare(0, 8, L"install\\") == 0 ? run.outside.erase(it) : std::next(it);
    return run;
}

TEST(InstallerMemory, EveryFailedAllocationFailsTheRunAndLeavesTheInstallationAsItWas)
{
    // The second whole run counts: the first one also makes what is made once per process.
    (void)Install(1 << 30, FailingAllocator::kFromOn);
    const RunResult whole = Install(1 << 30, FailingAllocator::kFromOn);
    ASSERT_OK(whole.result);
    ASSERT_EQ(Installed(kBefore, kNew), whole.tree);

    DialogWatch watch;
    std::vector<std::string> faults;
    for (FailingAllocator::Mode mode : {FailingAllocator::kOnlyThis, FailingAllocator::kFromOn}) {
        for (int n = 0; n < whole.calls; ++n) {
            const RunResult run = Install(n, mode);
            if (run.calls <= n)
                continue; // the run asked for fewer: nothing failed
            std::string fault = run.result == 0 ? " succeeded" : run.redLine ? "" : " failed without a red line";
            fault += run.tree != kBefore ? " changed the installation" : "";
            fault += run.readOnlyKept ? "" : " lost the read-only mark";
            fault += run.outside != whole.outside ? " wrote outside the installation" : "";
            if (!fault.empty())
                faults.push_back((mode == FailingAllocator::kOnlyThis ? "allocation " : "from ") + std::to_string(n) +
                                 ":" + fault);
        }
    }
    EXPECT_EQ(0, watch.dialogs);
    faults.resize(std::min<size_t>(faults.size(), 20));
    EXPECT_TRUE(faults.empty()) << "the first ones:\n" << testing::PrintToString(faults);
}

} // namespace
