// The installer when memory runs out: a small real update run with allocation n failing alone
// and with every allocation from n on failing, for every n of the run.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <atomic>
#include <thread>

#include "EngineFixture.h"
#include "FailingAllocator.h"
#include "MessageBoxHook.h"

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

FileTree After()
{
    return Installed(kBefore, kNew);
}

// Counts what the run shows without asking for memory itself (the recording host would).
class CountingHost : public RecordingHost {
public:
    gCResult PostStatusLine(gCString, uint32_t colour, uint32_t) override
    {
        redLines += colour == kLineRed ? 1 : 0;
        return kOk;
    }
    gCResult WriteLogLine(gCString) override { return kOk; }
    gCResult SetProgress(float, uint32_t) override { return kOk; }
    gCResult SetCaptionText(gCString, uint32_t) override { return kOk; }
    int redLines = 0;
};

std::atomic<int> gBoxes{0};

int CountBox(HWND, const wchar_t*, const wchar_t*, UINT)
{
    ++gBoxes;
    return IDOK;
}

// Closes every dialog of the process while it runs, counting them: a dialog that nobody
// answers would hang the run.
class DialogWatch {
public:
    DialogWatch()
        : m_thread([this] {
              while (!m_stop) {
                  HWND dialog = FindWindowW(L"#32770", nullptr);
                  DWORD process = 0;
                  if (dialog && GetWindowThreadProcessId(dialog, &process) && process == GetCurrentProcessId()) {
                      ++dialogs;
                      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                  }
                  Sleep(20);
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

struct RunResult {
    gCResult result = -1;
    int calls = 0;
    int redLines = 0;
    FileTree tree;
    bool readOnlyKept = false;
    FileTree outside; // everything of the temporary folder but the installation
};

// One installation of the small update with the allocator failing as asked.
RunResult Install(int n, FailingAllocator::Mode mode)
{
    RunResult run;
    EngineFixture f;
    WriteTree(f.installFolder, kBefore);
    const std::wstring readme = f.installFolder + L"readme.txt";
    SetFileAttributesW(readme.c_str(), FILE_ATTRIBUTE_READONLY);
    // A file written by a bare name would land in the working folder.
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

    run.redLines = host.redLines;
    run.tree = ReadTree(f.installFolder);
    run.readOnlyKept = (GetFileAttributesW(readme.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
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
    ASSERT_EQ(After(), whole.tree);
    const FileTree outside = whole.outside;

    MessageBoxFn previousBox = SetMessageBoxFunction(CountBox);
    DialogWatch watch;
    std::vector<std::string> faults;
    for (FailingAllocator::Mode mode : {FailingAllocator::kOnlyThis, FailingAllocator::kFromOn}) {
        for (int n = 0; n < whole.calls; ++n) {
            const int boxesBefore = gBoxes;
            const int dialogsBefore = watch.dialogs;
            const RunResult run = Install(n, mode);
            if (run.calls <= n)
                continue; // the run asked for fewer: nothing failed
            std::string fault;
            if (run.result == 0)
                fault += " succeeded";
            if (run.result != 0 && run.redLines == 0)
                fault += " failed without a red line";
            if (run.tree != kBefore)
                fault += " changed the installation";
            if (!run.readOnlyKept)
                fault += " lost the read-only mark";
            if (run.outside != outside)
                fault += " wrote outside the installation";
            if (gBoxes != boxesBefore || watch.dialogs != dialogsBefore)
                fault += " showed a box or a dialog";
            if (!fault.empty())
                faults.push_back(std::string(mode == FailingAllocator::kOnlyThis ? "allocation " : "from ") +
                                 std::to_string(n) + ":" + fault);
        }
    }
    SetMessageBoxFunction(previousBox);
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << 2 * whole.calls << " runs, the first ones:\n"
                                << testing::PrintToString(std::vector<std::string>(
                                       faults.begin(), faults.begin() + std::min<size_t>(faults.size(), 20)));
}

} // namespace
