// The installer on real files: what a run shows and leaves, what it refuses, and how a failed
// run puts the installation back as it was, read-only marks included.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <algorithm>

#include "BoxCapture.h"
#include "CheckEffectiveRights.h"
#include "EngineFixture.h"
#include "FileOperationHook.h"
#include "Programs.h"
#include "WinHandle.h"

namespace {

typedef std::vector<std::wstring> Lines;

Lines Tail(const Lines& lines, size_t n)
{
    return Lines(lines.end() - static_cast<std::ptrdiff_t>(std::min(n, lines.size())), lines.end());
}

const EngineFixture::Road kRoads[] = {EngineFixture::Road::File, EngineFixture::Road::Memory};

// The original installation with readme.txt read-only, the archive on each road.
class Installer : public testing::TestWithParam<EngineFixture::Road>, public EngineFixture {
protected:
    void SetUp() override
    {
        road = GetParam();
        Lay(kOriginal, L"readme.txt");
    }
};

INSTANTIATE_TEST_SUITE_P(Roads, Installer, testing::ValuesIn(kRoads), [](const auto& info) {
    return std::string(info.param == EngineFixture::Road::File ? "File" : "Memory");
});

TEST_P(Installer, ReplacesFilesCreatesFoldersAndThenRefusesToRunAgain)
{
    EXPECT_OK(Install(Archive()));
    EXPECT_EQ(kUpdated, Tree());
    const Lines lines = {L"T42", L"T23", L"T24", L"T25", L"T27", L"T26", L"T33", L"T30", L"T35", L" ", L"T22"};
    EXPECT_EQ(lines, host.StatusLines());
    EXPECT_EQ(L"T16", host.events[host.events.size() - 2].text); // the caption
    const Lines logs = host.LogLines();
    EXPECT_EQ(logs.end(), std::find(logs.begin(), logs.end(), L"T34soft.brush")); // a new file keeps nothing
    // Four steps of four entries each report their progress up to 1.
    ASSERT_EQ(16u, host.progress.size());
    EXPECT_FLOAT_EQ(0.25f, host.progress[0]);
    EXPECT_FLOAT_EQ(1.0f, host.progress[15]);
    EXPECT_GE(host.ticks, 4 + 16);

    host.events.clear();
    EXPECT_OK(Install(Archive()));
    EXPECT_EQ((Lines{L" ", L"!T41"}), host.StatusLines());
    desquasher.SetStopFlag();
    host.events.clear();
    EXPECT_RESULT(Install(Archive()), kGenericFailure);
    EXPECT_EQ((Lines{L"!T58"}), host.StatusLines());
}

// What the script asks of the target decides whether the update is installed here or refused;
// no program is started.
TEST(InstallerTarget, ScriptDecidesWhereTheUpdateGoes)
{
    const struct {
        const char* what;
        std::wstring script;
        std::wstring productBuild;
        uint32_t sourceRecord;
        gCResult result;
    } cases[] = {
        {"os win32 in any case", L"os=Win32", L"", 0, 0},
        {"other OS", L"OS=MACOS", L"", 0, 1},
        {"build equal without regard to case", L"BUILD=qv2-b7", L"Qv2-B7", 0, 0},
        {"build differs", L"BUILD=QV2-B8", L"QV2-B7", 0, 1},
        {"unknown product build", L"BUILD=QV2-B8", L"", 0, 0},
        {"slave installs the updater itself", L"TYPE=Updater\rBUILD=other", L"QV2-B7", 1, 0},
        {"program to start is missing", L"EXECUTE=missing.exe", L"", 0, 16},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        f.Lay(kOriginal, L"readme.txt");
        f.host.productBuild = c.productBuild;
        f.host.sourceRecord = c.sourceRecord;
        EXPECT_EQ(c.result, f.Install(Archive(c.script))) << c.what;
        EXPECT_EQ(0, f.host.selfUpdates) << c.what;
        EXPECT_EQ(0, f.host.quits) << c.what;
        EXPECT_EQ(c.result == kGenericFailure ? kOriginal : kUpdated, f.Tree()) << c.what;
        EXPECT_EQ(c.result == kGenericFailure, Tail(f.host.StatusLines(), 1) == Lines{L"!PI Err: T45"}) << c.what;
    }
}

TEST_P(Installer, StaleFilesAreRemovedAndALoneOldFileIsRestored)
{
    // An earlier run stopped after keeping readme.txt aside: its .old is the only copy.
    SetFileAttributesW((installFolder + L"readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(MoveFileW((installFolder + L"readme.txt").c_str(), (installFolder + L"readme.txt.old").c_str()));
    WriteWholeFile(gCString((installFolder + L"app.exe.old").c_str()), Ansi("stale"));
    WriteWholeFile(gCString((installFolder + L"app.exe.tmp").c_str()), Ansi("half"));
    ASSERT_OK(Parse(Archive()));
    EXPECT_OK(desquasher.CheckWriteAccess());
    EXPECT_EQ(kOriginal, Tree());
}

TEST(InstallerLeftOvers, AFolderOfAnOldOrNewFileNameIsNeverMovedOrRemoved)
{
    // A folder of the user's that happens to carry an entry's ".old" or ".tmp" name.
    for (const wchar_t* folder : {L"readme.txt.old\\", L"app.exe.tmp\\"}) {
        EngineFixture f;
        FileTree tree = kOriginal;
        tree.erase(L"readme.txt"); // the .old would be the only copy, were it a file
        tree[folder] = {};
        tree[std::wstring(folder) + L"notes.txt"] = Ansi("the user's notes");
        WriteTree(f.installFolder, tree);
        EXPECT_RESULT(f.Install(Archive()), kGenericFailure) << testing::PrintToString(std::wstring(folder));
        EXPECT_EQ(Lines{L"!T46"}, Tail(f.host.StatusLines(), 1));
        EXPECT_EQ(tree, f.Tree());
    }
}

// Removes readme.txt's new file once it is written, as a virus scanner might.
void RemoveNewReadme(FileOperation operation, const gCString& path, void*)
{
    const std::wstring text = path.Text();
    if (operation == FileOperation::FinishNew && text.size() > 14 && text.substr(text.size() - 14) == L"readme.txt.tmp")
        DeleteFileW(path.Text());
}

TEST_P(Installer, ANewFileGoneBeforeItsMoveFailsTheMoveAndPutsEverythingBack)
{
    SetFileOperationHook(RemoveNewReadme, nullptr);
    const gCResult r = Install(Archive());
    SetFileOperationHook(nullptr, nullptr);
    EXPECT_RESULT(r, kGenericFailure);
    EXPECT_EQ(Lines{L"!T49"}, Tail(host.StatusLines(), 1));
    EXPECT_EQ(kOriginal, Tree());
    EXPECT_TRUE(ReadOnly(L"readme.txt"));
}

// Looks at every file of the original installation after each change, and can take
// readme.txt's new file away once it is written.
struct Watch {
    std::wstring folder;
    bool removeNewReadme = false;
    std::vector<std::wstring> missing;
};

void LookAfterEachChange(FileOperation operation, const gCString& path, void* context)
{
    Watch& watch = *static_cast<Watch*>(context);
    if (watch.removeNewReadme)
        RemoveNewReadme(operation, path, nullptr);
    for (const auto& item : kOriginal)
        if (item.first.back() != L'\\' &&
            GetFileAttributesW((watch.folder + item.first).c_str()) == INVALID_FILE_ATTRIBUTES)
            watch.missing.push_back(item.first + L" after " + path.Text());
}

// Kept beside its target, an old file never leaves the target's name empty: a kill at any
// moment finds every file of the installation, in a run that completes and in one put back.
TEST(InstallerSteps, AtNoMomentIsAFileOfTheInstallationMissing)
{
    for (bool fails : {false, true}) {
        EngineFixture f;
        f.Lay(kOriginal, L"readme.txt");
        Watch watch{f.installFolder, fails, {}};
        SetFileOperationHook(LookAfterEachChange, &watch);
        const gCResult r = f.Install(Archive());
        SetFileOperationHook(nullptr, nullptr);
        EXPECT_RESULT(r, fails ? kGenericFailure : kOk);
        EXPECT_EQ(fails ? kOriginal : kUpdated, f.Tree());
        EXPECT_EQ(std::vector<std::wstring>(), watch.missing) << fails;
    }
}

// A target held open without delete sharing is refused when it is kept, as ever, and the
// installation is put back; one held sharing delete is replaced.
TEST(InstallerSteps, AHeldTargetIsRefusedUnlessItsHolderSharesDelete)
{
    const struct {
        DWORD share;
        gCResult result;
    } cases[] = {{FILE_SHARE_READ | FILE_SHARE_WRITE, kGenericFailure}, {FILE_SHARE_READ | FILE_SHARE_DELETE, kOk}};
    for (const auto& c : cases) {
        EngineFixture f;
        f.Lay(kOriginal, L"keep.cfg");
        gCResult r = kGenericFailure;
        {
            CFileHandle held(CreateFileW((f.installFolder + L"data\\table.dat").c_str(), GENERIC_READ, c.share, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held.IsValid());
            r = f.Install(Archive());
        }
        EXPECT_EQ(c.result, r) << c.share;
        EXPECT_EQ(c.result != kOk, Tail(f.host.StatusLines(), 1) == Lines{L"!T48"}) << c.share;
        // The old file that could not go while it was held goes with its holder.
        EXPECT_EQ(c.result == kOk ? kUpdated : kOriginal, f.Tree()) << c.share;
        const std::vector<std::wstring> log = f.host.LogLines();
        EXPECT_EQ(c.result == kOk,
                  std::count(log.begin(), log.end(), L"Moved aside and replaced at once: table.dat") == 1)
            << c.share;
    }
}

// Runs a Unix program on the Unix name of a Windows path (Wine starts Unix programs but cannot
// wait for them) and waits until the path is there or not, as asked; false when that cannot
// be done here.
bool RunUnixOnPath(const std::string& program, const std::wstring& path, bool thereAfter)
{
    typedef char*(CDECL * UnixNameFn)(const wchar_t*);
    FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    UnixNameFn unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(found));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name)
        return false;
    std::string command = program + " \"" + name + "\"";
    HeapFree(GetProcessHeap(), 0, name);
    if (RunProgram(std::wstring(command.begin(), command.end())) != 0)
        return false;
    auto there = [&] {
        WIN32_FIND_DATAW data;
        return CFindHandle(FindFirstFileW(path.c_str(), &data)).IsValid();
    };
    for (int i = 0; i < 100 && there() != thereAfter; ++i)
        Sleep(50);
    return there() == thereAfter;
}

// An update of the updater itself is not installed by this copy: the whole archive goes beside
// the program for the slave copy, which is then started.
TEST_P(Installer, AnUpdateOfTheUpdaterIsLaidBesideTheProgramForTheSlave)
{
    const Bytes archive = Archive(L"TYPE=UPDATER");
    EXPECT_RESULT(Install(archive), kHandled);
    EXPECT_EQ(host.selfUpdates, 1);
    EXPECT_EQ(host.releasesAtSelfUpdate, 1); // the slave's start copies no archive
    EXPECT_EQ(ReadWholeFile(gCString((programFolder + L"updatersource.qvu").c_str())), archive);
    EXPECT_EQ(kOriginal, Tree());
}

// Installed, the archive is freed, packed and unpacked, before the program that it names is
// started (here one that is missing).
TEST_P(Installer, TheArchiveIsFreedBeforeItsProgramStarts)
{
    EXPECT_RESULT(Install(Archive(L"EXECUTE=missing.exe")), kStreamFailure);
    EXPECT_EQ(kUpdated, Tree());
    EXPECT_EQ(host.archiveReleases, 1);
    EXPECT_EQ(desquasher.GetUnpackedArchive().Count(), 0);
}

TEST_P(Installer, ASourceRecordThatCannotBeWrittenFailsTheTargetCheck)
{
    // The record goes to a full device, which takes the bytes into the runtime's buffer and
    // refuses them when they are flushed at the close.
    const std::wstring record = programFolder + L"updatersource.qvu";
    if (!RunUnixOnPath("Z:\\bin\\ln -s /dev/full", record, true))
        GTEST_SKIP() << "no Unix link to a full device here";
    EXPECT_RESULT(Install(Archive(L"TYPE=UPDATER")), kGenericFailure);
    EXPECT_EQ(Lines{L"!PI Err: T45"}, Tail(host.StatusLines(), 1));
    EXPECT_EQ(host.selfUpdates, 0);
    EXPECT_EQ(kOriginal, Tree());
    // A link to a device is beyond the system's delete, and the temporary folder's.
    EXPECT_TRUE(RunUnixOnPath("Z:\\bin\\rm", record, false));
}

// Rights refused on every question (the query answers, without the write bit).
DWORD WINAPI NoRights(PACL, PTRUSTEEW, PACCESS_MASK mask)
{
    *mask = FILE_READ_DATA;
    return ERROR_SUCCESS;
}

TEST(InstallerRights, RefusedTwiceShowsTheBoxAndFailsTheCheck)
{
    EngineFixture f;
    f.Lay(kOriginal, L"app.exe"); // made writable for the check, read-only again afterwards
    CRightsApi api = GetSystemRightsApi();
    api.getEffectiveRightsFromAcl = NoRights;
    CRightsApi previous = SetRightsApi(api);
    BoxCapture boxes;
    const gCResult r = f.Install(Archive());
    SetRightsApi(previous);
    EXPECT_RESULT(r, kGenericFailure);
    const std::wstring line = L"T57 " + f.installFolder + L"app.exe";
    EXPECT_EQ((Lines{L"!" + line, L"!T46"}), Tail(f.host.StatusLines(), 2));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(line, boxes.Boxes()[0].text);
    EXPECT_EQ(L"T72", boxes.Boxes()[0].caption);
    EXPECT_EQ(kOriginal, f.Tree());
    EXPECT_TRUE(f.ReadOnly(L"app.exe"));
}

TEST_P(Installer, RefusedArchivesPostTheirLinesAndChangeNothing)
{
    const Bytes stream = BuildArchiveStream(Entries(kUpdate), L"OS=WIN32");
    // The records follow the header and the 8-byte gap: tags, index, tags, size, tags, 10 bytes,
    // tags, the file's bytes, tags. The second one is damaged, after app.exe's was written.
    const size_t record = 32 + 2 * PeekU32(stream, 16) + PeekU32(stream, 12) + 8 + 62 + kUpdate.at(L"app.exe").size();
    auto damaged = [&](size_t offset, uint32_t value) {
        Bytes b = stream;
        PokeU32(b, record + offset, value);
        return WrapContainer(CompressBlock(b.data(), b.size()));
    };
    const struct {
        Bytes archive;
        Lines tail;
    } cases[] = {
        {Ansi("not an archive at all"), {L"!T44"}},
        {PackArchive({{L"..\\outside.txt", Ansi("x")}}, L"OS=WIN32"), {L"!T45"}},
        {PackArchive({{L"app.exe", Ansi("new")}, {L"data", Ansi("a file for a folder")}}, L"OS=WIN32"),
         {L"!T40" + installFolder + L"data", L"!T46"}},
        {damaged(0, 0), {L"!T47"}},   // leading tag
        {damaged(8, 5), {L"!T47"}},   // record index
        {damaged(20, 12), {L"!T47"}}, // size other than the table's
        {damaged(20, 100000001), {L"!T47"}},
        {damaged(46, 0), {L"!T47"}}, // tag before the bytes
    };
    for (const auto& c : cases) {
        host.events.clear();
        EXPECT_RESULT(Install(c.archive), kGenericFailure);
        EXPECT_EQ(c.tail, Tail(host.StatusLines(), c.tail.size()));
        EXPECT_EQ(kOriginal, Tree());
        EXPECT_TRUE(ReadOnly(L"readme.txt"));
    }
    EXPECT_EQ(0u, ReadTree(temp.Path()).count(L"outside.txt"));
}

// Killed right after any change to the files, an installation keeps every original, as itself
// or as its .old, and a second run completes the update.
TEST(CrashSafety, KilledAfterAnyFileOperationTheOriginalsSurviveAndASecondRunCompletes)
{
    int kills = 0;
    for (int k = 1; k < 200; ++k) {
        EngineFixture f;
        f.Lay(kOriginal, L"readme.txt");
        const std::wstring archive = f.temp.Path() + L"update.qvu";
        ASSERT_TRUE(WriteWholeFile(gCString(archive.c_str()), Archive()));
        // A '\\' before a closing quote would escape it: folders go without their last separator.
        auto bare = [](const std::wstring& folder) { return folder.substr(0, folder.size() - 1); };
        auto run = [&](int killAfter) {
            return RunProgram(L"\"" + ProgramFolder() + L"qvu_install_runner.exe\" \"" + archive + L"\" \"" +
                              bare(f.installFolder) + L"\" \"" + bare(f.programFolder) + L"\" " +
                              std::to_wstring(killAfter));
        };
        const DWORD code = run(k);
        if (code == 0) {
            EXPECT_EQ(kUpdated, f.Tree());
            break;
        }
        ASSERT_GE(code, 100u) << "k = " << k;
        ++kills;
        // Only once the old files are being deleted may a file already be the new one alone.
        const bool deleting = code - 100 == static_cast<DWORD>(FileOperation::DeleteOld);
        const FileTree tree = f.Tree();
        for (const auto& [name, bytes] : kOriginal) {
            if (name.back() == L'\\')
                continue;
            const auto target = tree.find(name);
            const auto old = tree.find(name + L".old");
            const bool replaced = target != tree.end() && target->second == kUpdated.at(name);
            const bool kept =
                (target != tree.end() && target->second == bytes) || (old != tree.end() && old->second == bytes);
            EXPECT_TRUE(kept || (deleting && replaced)) << testing::PrintToString(name) << " k = " << k;
            EXPECT_TRUE(target == tree.end() || target->second == bytes || replaced)
                << testing::PrintToString(name) << " k = " << k;
        }
        EXPECT_EQ(0u, run(0)) << "k = " << k;
        EXPECT_EQ(kUpdated, f.Tree()) << "k = " << k;
    }
    EXPECT_GE(kills, 15);
}

} // namespace
