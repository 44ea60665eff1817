#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "BoxCapture.h"
#include "CheckEffectiveRights.h"
#include "EngineFixture.h"
#include "FileOperationHook.h"
#include "Programs.h"
#include "WinHandle.h"

namespace {

std::wstring HelperPath(const wchar_t* name)
{
    return ProgramFolder() + name;
}

const FileTree kOriginal = {
    {L"app.exe", Text8("old program")},   {L"readme.txt", Text8("old readme")}, {L"data\\", {}},
    {L"data\\table.dat", Bytes(5000, 3)}, {L"keep.cfg", Text8("untouched")},
};

const FileTree kUpdate = {
    {L"app.exe", Text8("new program, longer than before")},
    {L"readme.txt", Text8("")},
    {L"data\\table.dat", Bytes(7000, 4)},
    {L"plugins\\brushes\\soft.brush", Text8("a new file in new folders")},
};

FileTree Updated()
{
    return Installed(kOriginal, kUpdate);
}

Bytes Archive(const std::wstring& script = L"OS=WIN32\rTYPE=full")
{
    return PackArchive(Entries(kUpdate), script);
}

class Installer : public testing::Test, public EngineFixture {
protected:
    void SetUp() override
    {
        WriteTree(installFolder, kOriginal);
        SetFileAttributesW((installFolder + L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    }
    FileTree Tree() { return ReadTree(installFolder); }
    bool ReadOnly(const wchar_t* name)
    {
        DWORD attributes = GetFileAttributesW((installFolder + name).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    }
};

TEST_F(Installer, ReplacesFilesCreatesFoldersAndLeavesNothingBehind)
{
    EXPECT_OK(Install(Archive()));
    EXPECT_EQ(Updated(), Tree());
    EXPECT_EQ(1u, desquasher.GetInstalledFlag());
    EXPECT_FALSE(host.HasRedLine());
    std::vector<std::wstring> lines = {L"T42", L"T23", L"T24", L"T25", L"T27", L"T26",
                                       L"T33", L"T30", L"T35", L" ",   L"T22"};
    EXPECT_EQ(lines, host.StatusLines());
    EXPECT_EQ(HostEvent::Caption, host.events[host.events.size() - 2].kind);
    EXPECT_EQ(L"T16", host.events[host.events.size() - 2].text);

    std::vector<std::wstring> logs = host.LogLines();
    auto has = [&](const std::wstring& line) { return std::find(logs.begin(), logs.end(), line) != logs.end(); };
    EXPECT_TRUE(has(L"T28app.exe"));
    EXPECT_TRUE(has(L"T29soft.brush.tmp"));
    EXPECT_TRUE(has(L"T34table.dat"));
    EXPECT_TRUE(has(L"T31readme.txt.tmp"));
    EXPECT_TRUE(has(L"T36app.exe.old"));
    EXPECT_FALSE(has(L"T34soft.brush")); // a new file has nothing to keep
    // Four steps of four entries each report their progress up to 1.
    ASSERT_EQ(16u, host.progress.size());
    EXPECT_FLOAT_EQ(0.25f, host.progress[0]);
    EXPECT_FLOAT_EQ(1.0f, host.progress[15]);
    EXPECT_GE(host.ticks, 4 + 16);
}

TEST_F(Installer, ExecuteStartsTheInstalledProgramAndQuits)
{
    Bytes marker = ReadWholeFile(gCString(HelperPath(L"qvu_execute_marker.exe").c_str()));
    ASSERT_FALSE(marker.empty());
    Bytes archive =
        PackArchive({{L"bin\\marker.exe", marker}, {L"readme.txt", Text8("new")}}, L"EXECUTE = bin\\marker.exe\r");
    EXPECT_EQ(2, Install(archive));
    EXPECT_EQ(1, host.quits);
    gCString executed((installFolder + L"bin\\executed.txt").c_str());
    Bytes seen;
    for (int i = 0; i < 200 && seen.empty(); ++i) {
        Sleep(50);
        seen = ReadWholeFile(executed);
    }
    std::wstring commandLine(reinterpret_cast<const wchar_t*>(seen.data()), seen.size() / 2);
    EXPECT_NE(std::wstring::npos, commandLine.find(L"marker.exe")) << testing::PrintToString(commandLine);
    // The program has ended once its file can be deleted.
    std::wstring program = installFolder + L"bin\\marker.exe";
    for (int i = 0; i < 100 && !DeleteFileW(program.c_str()); ++i)
        Sleep(50);
}

// What the script asks of the target decides whether the update is installed here, handed to
// the slave copy or refused; no program is started.
TEST_F(Installer, TargetCheckMatrix)
{
    const struct {
        const char* what;
        std::wstring script;
        std::wstring productBuild;
        uint32_t sourceRecord;
        gCResult selfUpdateResult;
        gCResult result;
        int selfUpdates;
        bool installed;
    } cases[] = {
        {"no OS, TYPE or BUILD", L"FILENAME=x", L"b1", 0, 0, 0, 0, true},
        {"os win32 in any case", L"os=Win32", L"", 0, 0, 0, 0, true},
        {"other OS", L"OS=MACOS", L"", 0, 0, 1, 0, false},
        {"build equal without regard to case", L"BUILD=qv2-b7", L"Qv2-B7", 0, 0, 0, 0, true},
        {"build differs", L"BUILD=QV2-B8", L"QV2-B7", 0, 0, 1, 0, false},
        {"unknown product build", L"BUILD=QV2-B8", L"", 0, 0, 0, 0, true},
        {"updater type hands over to the slave", L"TYPE=updater\rBUILD=other", L"QV2-B7", 0, 0, 2, 1, false},
        {"failed hand-over", L"TYPE=UPDATER", L"", 0, 24, 1, 1, false},
        {"slave installs the updater itself", L"TYPE=Updater\rBUILD=other", L"QV2-B7", 1, 0, 0, 0, true},
        {"other type installs here", L"TYPE=plugin\rBUILD=QV2-B7", L"QV2-B7", 0, 0, 0, 0, true},
        {"blank program to start", L"EXECUTE=  ", L"", 0, 0, 0, 0, true},
        {"program to start is missing", L"EXECUTE=missing.exe", L"", 0, 0, 16, 0, true},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        WriteTree(f.installFolder, kOriginal);
        f.host.productBuild = c.productBuild;
        f.host.sourceRecord = c.sourceRecord;
        f.host.selfUpdateResult = c.selfUpdateResult;
        Bytes archive = Archive(c.script);
        EXPECT_EQ(c.result, f.Install(archive)) << c.what;
        EXPECT_EQ(c.selfUpdates, f.host.selfUpdates) << c.what;
        EXPECT_EQ(0, f.host.quits) << c.what;
        EXPECT_EQ(c.installed ? Updated() : kOriginal, ReadTree(f.installFolder)) << c.what;
        Bytes record = ReadWholeFile(gCString((f.programFolder + L"updatersource.qvu").c_str()));
        EXPECT_EQ(c.selfUpdates ? archive : Bytes(), record) << c.what;
        EXPECT_EQ(c.result == 1, f.host.HasRedLine()) << c.what;
        if (c.result == 1) {
            EXPECT_EQ(L"!PI Err: T45", f.host.StatusLines().back()) << c.what;
        }
    }
}

TEST_F(Installer, SecondRunAndStopFlag)
{
    ASSERT_OK(Install(Archive()));
    host.events.clear();
    EXPECT_OK(Install(Archive()));
    std::vector<std::wstring> again = {L" ", L"!T41"};
    EXPECT_EQ(again, host.StatusLines());

    desquasher.SetStopFlag();
    host.events.clear();
    EXPECT_EQ(1, Install(Archive()));
    std::vector<std::wstring> stopped = {L"!T58"};
    EXPECT_EQ(stopped, host.StatusLines());
}

TEST_F(Installer, StaleFilesAreRemovedAndALoneOldFileIsRestored)
{
    // An earlier run stopped after keeping readme.txt aside: its .old is the only copy.
    SetFileAttributesW((installFolder + L"readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(MoveFileW((installFolder + L"readme.txt").c_str(), (installFolder + L"readme.txt.old").c_str()));
    WriteWholeFile(gCString((installFolder + L"app.exe.old").c_str()), Text8("stale"));
    WriteWholeFile(gCString((installFolder + L"app.exe.tmp").c_str()), Text8("half"));

    gCResult r;
    {
        gCFile archive;
        WriteWholeFile(temp.File(L"u.qvu"), Archive());
        ASSERT_OK(archive.OpenFullPath(temp.File(L"u.qvu"), kAccessRead));
        ASSERT_OK(desquasher.ReadArchiveFile(archive));
        ASSERT_OK(desquasher.ParseUpdateArchive());
        r = desquasher.CheckWriteAccess();
    }
    EXPECT_OK(r);
    EXPECT_EQ(kOriginal, Tree());

    EXPECT_OK(Install(Archive()));
    EXPECT_EQ(Updated(), Tree());
}

TEST_F(Installer, ALeftOverFolderOfAnOldOrNewFileNameIsNeverMovedOrRemoved)
{
    // A folder of the user's that happens to carry an entry's ".old" or ".tmp" name.
    const struct {
        const char* what;
        const wchar_t* folder;
        bool targetMissing;
    } cases[] = {
        {".old folder beside a missing target", L"readme.txt.old\\", true},
        {".old folder beside the target", L"readme.txt.old\\", false},
        {".tmp folder", L"app.exe.tmp\\", false},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        FileTree tree = kOriginal;
        if (c.targetMissing)
            tree.erase(L"readme.txt");
        tree[c.folder] = {};
        tree[std::wstring(c.folder) + L"notes.txt"] = Text8("the user's notes");
        WriteTree(f.installFolder, tree);
        EXPECT_EQ(1, f.Install(Archive())) << c.what;
        EXPECT_EQ(L"!T46", f.host.StatusLines().back()) << c.what;
        EXPECT_EQ(tree, ReadTree(f.installFolder)) << c.what;
    }
}

// Removes readme.txt's new file once it is written, as a virus scanner might.
void RemoveNewReadme(FileOperation operation, const gCString& path, void*)
{
    const std::wstring text = path.Text();
    const std::wstring name = L"readme.txt.tmp";
    if (operation == FileOperation::FinishNew && text.size() >= name.size() &&
        text.compare(text.size() - name.size(), name.size(), name) == 0)
        DeleteFileW(path.Text());
}

TEST_F(Installer, ANewFileGoneBeforeItsMoveFailsTheMoveAndPutsEverythingBack)
{
    SetFileOperationHook(RemoveNewReadme, nullptr);
    gCResult r = Install(Archive());
    SetFileOperationHook(nullptr, nullptr);
    EXPECT_EQ(1, r);
    EXPECT_EQ(L"!T49", host.StatusLines().back());
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"readme.txt"));
}

bool Listed(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW(path.c_str(), &found));
    return search.IsValid();
}

// Runs a Unix program on the Unix name of a Windows path (Wine starts Unix programs but cannot
// wait for them) and waits until the path is listed or not, as asked; false when that cannot
// be done here.
bool RunUnixOnPath(const std::string& program, const std::wstring& path, bool listedAfter)
{
    typedef char*(CDECL * UnixNameFn)(const wchar_t*);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    UnixNameFn unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(found));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return false;
    std::string command = program + " \"" + name + "\"";
    HeapFree(GetProcessHeap(), 0, name);
    std::wstring wide(command.begin(), command.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &wide[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CKernelHandle processHandle(process.hProcess);
    CKernelHandle threadHandle(process.hThread);
    for (int i = 0; i < 100 && Listed(path) != listedAfter; ++i)
        Sleep(50);
    return Listed(path) == listedAfter;
}

TEST_F(Installer, ASourceRecordThatCannotBeWrittenFailsTheTargetCheck)
{
    // The record goes to a full device, which takes the bytes into the runtime's buffer and
    // refuses them when they are flushed at the close.
    const std::wstring record = programFolder + L"updatersource.qvu";
    if (!RunUnixOnPath("Z:\\bin\\ln -s /dev/full", record, true))
        GTEST_SKIP() << "no Unix link to a full device here";
    EXPECT_EQ(1, Install(Archive(L"TYPE=UPDATER")));
    EXPECT_EQ(L"!PI Err: T45", host.StatusLines().back());
    EXPECT_EQ(host.selfUpdates, 0);
    EXPECT_EQ(kOriginal, Tree());
    // A link to a device is beyond the system's delete, and the temporary folder's.
    EXPECT_TRUE(RunUnixOnPath("Z:\\bin\\rm", record, false));
}

TEST_F(Installer, DamagedRecordFailsTheWriteAndLeavesTheInstallationAsItWas)
{
    const Bytes stream = BuildArchiveStream(Entries(kUpdate), L"OS=WIN32");
    // The records follow the header and the 8-byte gap: tags, index, tags, size, tags, 10 bytes,
    // tags, the file's bytes, tags. The second one is damaged, after app.exe's was written.
    const size_t first = 32 + 2 * PeekU32(stream, 16) + PeekU32(stream, 12) + 8;
    const size_t record = first + 62 + kUpdate.at(L"app.exe").size();
    const struct {
        const char* what;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"leading tag", record, 0},
        {"record index", record + 8, 5},
        {"size other than the table's", record + 20, 12},
        {"size above 100,000,000", record + 20, 100000001},
        {"tag before the bytes", record + 46, 0},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        WriteTree(f.installFolder, kOriginal);
        SetFileAttributesW((f.installFolder + L"app.exe").c_str(), FILE_ATTRIBUTE_READONLY);
        Bytes damaged = stream;
        PokeU32(damaged, c.offset, c.value);
        EXPECT_EQ(1, f.Install(WrapContainer(CompressBlock(damaged.data(), damaged.size())))) << c.what;
        EXPECT_EQ(L"!T47", f.host.StatusLines().back()) << c.what;
        EXPECT_EQ(kOriginal, ReadTree(f.installFolder)) << c.what;
        EXPECT_TRUE(GetFileAttributesW((f.installFolder + L"app.exe").c_str()) & FILE_ATTRIBUTE_READONLY) << c.what;
    }
}

TEST_F(Installer, TargetHeldOpenRollsBackTheFilesAlreadyKept)
{
    // data\table.dat comes after app.exe: app.exe has been kept aside when the move fails.
    CKernelHandle held(CreateFileW((installFolder + L"data\\table.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Get() != INVALID_HANDLE_VALUE);
    EXPECT_EQ(1, Install(Archive()));
    held.Reset();
    EXPECT_EQ(L"!T48", host.StatusLines().back());
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"readme.txt"));
    std::vector<std::wstring> logs = host.LogLines();
    EXPECT_NE(logs.end(), std::find(logs.begin(), logs.end(), L"Restored " + installFolder + L"app.exe"));
}

struct LockContext {
    std::wstring lockPath;
    HANDLE lock = INVALID_HANDLE_VALUE;
    int kept = 0;
};

// Once the last old file was kept aside, one new file is held open so it cannot be moved in.
void LockAfterKeeping(FileOperation operation, const gCString&, void* context)
{
    LockContext* c = static_cast<LockContext*>(context);
    if (operation == FileOperation::KeepOld && ++c->kept == 3)
        c->lock = CreateFileW(c->lockPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

// One new file is held open so it cannot be moved in: the last one to move (after every old
// file was kept aside), or readme.txt's after app.exe and data\table.dat were moved in. Every
// file is put back, and the new files and their folders are gone again.
TEST(InstallerRollback, FailedMoveInPutsEveryFileBackAsItWas)
{
    for (const wchar_t* held : {L"plugins\\brushes\\soft.brush.tmp", L"readme.txt.tmp"}) {
        EngineFixture f;
        WriteTree(f.installFolder, kOriginal);
        SetFileAttributesW((f.installFolder + L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        LockContext context;
        context.lockPath = f.installFolder + held;
        SetFileOperationHook(LockAfterKeeping, &context);
        gCResult r = f.Install(Archive());
        SetFileOperationHook(nullptr, nullptr);
        CKernelHandle lock(context.lock);
        ASSERT_TRUE(lock.Get() != INVALID_HANDLE_VALUE);
        EXPECT_EQ(1, r);
        EXPECT_EQ(L"!T49", f.host.StatusLines().back());
        lock.Reset();
        // The held file could not be removed while held: remove it now, and nothing else is left.
        DeleteFileW(context.lockPath.c_str());
        RemoveDirectoryW((f.installFolder + L"plugins\\brushes").c_str());
        RemoveDirectoryW((f.installFolder + L"plugins").c_str());
        EXPECT_EQ(kOriginal, ReadTree(f.installFolder)) << testing::PrintToString(std::wstring(held));
        EXPECT_TRUE(GetFileAttributesW((f.installFolder + L"readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    }
}

// Rights refused on every question (the query answers, without the write bit).
DWORD WINAPI NoRights(PACL, PTRUSTEEW, PACCESS_MASK mask)
{
    *mask = FILE_READ_DATA;
    return ERROR_SUCCESS;
}

TEST_F(Installer, RightsRefusedTwiceShowsTheBoxAndFailsTheCheck)
{
    CRightsApi api = GetSystemRightsApi();
    api.getEffectiveRightsFromAcl = NoRights;
    CRightsApi previous = SetRightsApi(api);
    // Made writable for the check, then refused: it is read-only again afterwards.
    SetFileAttributesW((installFolder + L"app.exe").c_str(), FILE_ATTRIBUTE_READONLY);
    BoxCapture boxes;
    gCResult r = Install(Archive());
    SetRightsApi(previous);
    EXPECT_EQ(1, r);
    std::wstring line = L"T57 " + installFolder + L"app.exe";
    std::vector<std::wstring> tail = {L"!" + line, L"!T46"};
    std::vector<std::wstring> lines = host.StatusLines();
    EXPECT_EQ(tail, std::vector<std::wstring>(lines.end() - 2, lines.end()));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(line, boxes.Boxes()[0].text);
    EXPECT_EQ(L"T72", boxes.Boxes()[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes.Boxes()[0].style);
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"app.exe"));
}

TEST_F(Installer, RefusedArchivesPostTheirLinesAndChangeNothing)
{
    const struct {
        Bytes archive;
        std::vector<std::wstring> tail;
    } cases[] = {
        {Text8("not an archive at all"), {L"!T44"}},
        {PackArchive({{L"..\\outside.txt", Text8("x")}}, L"OS=WIN32"), {L"!T45"}},
        {PackArchive({{L"app.exe", Text8("new")}, {L"data", Text8("a file for a folder")}}, L"OS=WIN32"),
         {L"!T40" + installFolder + L"data", L"!T46"}},
    };
    for (const auto& c : cases) {
        host.events.clear();
        EXPECT_EQ(1, Install(c.archive));
        const std::vector<std::wstring> lines = host.StatusLines();
        ASSERT_GE(lines.size(), c.tail.size());
        EXPECT_EQ(c.tail,
                  std::vector<std::wstring>(lines.end() - static_cast<std::ptrdiff_t>(c.tail.size()), lines.end()));
        EXPECT_EQ(kOriginal, Tree());
    }
    EXPECT_TRUE(ReadTree(temp.Path()).count(L"outside.txt") == 0);
}

// Runs the installer in a process of its own; returns its exit code.
DWORD RunInstaller(const std::wstring& archive, const std::wstring& install, const std::wstring& program, int killAfter)
{
    // A '\\' before a closing quote would escape it: folders go without their last separator.
    auto bare = [](const std::wstring& folder) { return folder.substr(0, folder.size() - 1); };
    std::wstring command = L"\"" + HelperPath(L"qvu_install_runner.exe") + L"\" \"" + archive + L"\" \"" +
                           bare(install) + L"\" \"" + bare(program) + L"\" " + std::to_wstring(killAfter);
    return RunProgram(command);
}

TEST(CrashSafety, KilledAfterAnyFileOperationTheOriginalsSurviveAndASecondRunCompletes)
{
    const FileTree updated = Updated();
    int kills = 0;
    for (int k = 1; k < 200; ++k) {
        EngineFixture f;
        WriteTree(f.installFolder, kOriginal);
        SetFileAttributesW((f.installFolder + L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        std::wstring archive = f.temp.Path() + L"update.qvu";
        WriteWholeFile(gCString(archive.c_str()), Archive());

        DWORD code = RunInstaller(archive, f.installFolder, f.programFolder, k);
        if (code == 0) {
            EXPECT_EQ(updated, ReadTree(f.installFolder));
            break;
        }
        ASSERT_GE(code, 100u) << "k = " << k;
        ++kills;
        const bool deleting = code - 100 == static_cast<DWORD>(FileOperation::DeleteOld);
        FileTree tree = ReadTree(f.installFolder);
        for (const auto& item : kOriginal) {
            const std::wstring& name = item.first;
            if (name.back() == L'\\')
                continue;
            auto target = tree.find(name);
            auto old = tree.find(name + L".old");
            bool original = (target != tree.end() && target->second == item.second) ||
                            (old != tree.end() && old->second == item.second);
            bool replaced = target != tree.end() && target->second == updated.at(name);
            EXPECT_TRUE(original || (deleting && replaced)) << testing::PrintToString(name) << " k = " << k;
            EXPECT_TRUE(target == tree.end() || target->second == item.second || replaced)
                << testing::PrintToString(name) << " k = " << k;
        }

        EXPECT_EQ(0u, RunInstaller(archive, f.installFolder, f.programFolder, 0)) << "k = " << k;
        EXPECT_EQ(updated, ReadTree(f.installFolder)) << "k = " << k;
    }
    EXPECT_GE(kills, 15);
}

} // namespace
