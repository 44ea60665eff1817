// The real QVUpdater.exe and its slave copy where two copies meet, where a run is killed in the
// middle of an installation and where the updater replaces itself: the installation is always
// wholly old or wholly new, and no record of one run changes the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <map>
#include <memory>
#include <random>
#include <thread>

#include "EndToEnd.h"
#include "Programs.h"
#include "TestJournal.h"
#include "Wait.h"

namespace {
const int kRunMs = 30000;
const std::string kInstalled = "The update was installed successfully.";
const std::string kUpToDate = "Your product is up to date.";
const char* const kRecovered[] = {"An installation that was interrupted has been undone",
                                  "An installation that was interrupted has been completed"};

typedef std::map<std::wstring, Bytes> Files;

// The installation's files, without the traces of the runs themselves.
Files FilesOf(const Installation& install)
{
    Files files;
    for (auto& [name, bytes] : install.Snapshot())
        if (name != L"testmode" && name != L"QVUSlave.exe" && name != L"QuorvelRuns.log")
            files[name] = bytes;
    return files;
}

bool Logged(const Installation& install, const std::string& line)
{
    return install.Log().find(line) != std::string::npos;
}

// Waits for the line, then closes the updater's window as a user does.
void RunToLineAndClose(Installation& install, const std::string& line)
{
    ASSERT_TRUE(CloseOnLine(install, line, kRunMs)) << install.Log();
    EXPECT_TRUE(Eventually([] { return FindWindowW(nullptr, L"Quorvel Updater") == nullptr; }));
    install.KillAll(); // what is left of the run has nothing more to do
}

// An update and the installation it applies to.
struct Road {
    const char* name;
    std::vector<QVUPackEntry> before; // laid into the installation besides its usual files
    std::vector<QVUPackEntry> update;
    std::wstring script;
    std::wstring serverOptions;
    // Lines killed at on every run besides the random ones: the moments the world found.
    std::vector<std::string> always;
};

Road DemoRoad()
{
    // A user's own file of a name like the installer's: never taken for one of its files.
    return {"demo",
            {Entry(L"notes.txt.old", Ansi("the user's own"))},
            {Entry(L"QUORVEL.EXE", ProgramBytes(L"QUORVEL_NEXT.exe")),
             Entry(L"Resources\\system.vsf", FactsTable(L"English", L"2.1.0"))},
            L"TYPE=PRODUCT\rOS=WIN32\rBUILD=QV2-TEST\r",
            L"--mode file",
            {"Keeping: system.vsf"}};
}

// 200 files more, 150 of them there before, 50 in a folder that the update makes.
Road WithManyFiles(Road road, const char* title)
{
    road.name = title;
    for (int i = 0; i < 200; ++i) {
        const std::wstring name = (i < 150 ? L"Data\\f" : L"Data\\More\\f") + std::to_wstring(i) + L".txt";
        if (i < 150)
            road.before.push_back(Entry(name.c_str(), Ansi("old " + std::to_string(i))));
        road.update.push_back(Entry(name.c_str(), Ansi(std::string(2000, 'n') + std::to_string(i))));
    }
    return road;
}

// The slave copy replaces the updater's program and both its resource files.
Road SlaveRoad()
{
    Bytes program = ProgramBytes(L"QVUpdater.exe");
    program.resize(program.size() + 4096, 0x5A); // the new version: still the program, other bytes
    return {"slave",
            {},
            {Entry(L"QVUpdater.exe", program),
             Entry(L"Resources\\QVUpdater.vsf", ProgramBytes(L"Resources\\QVUpdater.vsf")),
             Entry(L"Resources\\QVUpdater.vrf", ProgramBytes(L"Resources\\QVUpdater.vrf"))},
            L"TYPE=UPDATER\rOS=WIN32\r",
            L"--mode file --updater-send",
            // The program kept, then the new program beside the old resources; the resource
            // file that the slave once held open, just kept.
            {"Keeping: QVUpdater.vsf", "Moving in: QVUpdater.vsf.tmp", "Keeping: QVUpdater.vrf"}};
}

class Servers {
public:
    explicit Servers(const Road& road)
    {
        const QVUBytes archive = PackArchive(road.update, road.script);
        const std::wstring path = m_scratch.Path() + L"update.qvu";
        WriteWholeFile(gCString(path.c_str()), Bytes(archive.begin(), archive.end()));
        EXPECT_TRUE(update.Start(road.serverOptions + L" --file " + UpdateServer::HostPath(path))) << update.Error();
        EXPECT_TRUE(upToDate.Start(L"--mode uptodate")) << upToDate.Error();
    }
    UpdateServer update;
    UpdateServer upToDate;

private:
    TempFolder m_scratch;
};

void Lay(Installation& install, const Road& road)
{
    CreateDirectoryW(install.Path(L"Data").c_str(), nullptr);
    for (const QVUPackEntry& entry : road.before)
        WriteWholeFile(gCString(install.Path(entry.name).c_str()), Bytes(entry.data.begin(), entry.data.end()));
}

// A run of the road to its end: the files before and after it, and the lines of its installation.
struct WholeRun {
    Files before, after;
    std::vector<std::string> lines;
};

void RunWhole(const Road& road, Servers& servers, WholeRun& run)
{
    Installation install;
    Lay(install, road);
    run.before = FilesOf(install);
    install.PointAt(servers.update.Host());
    ASSERT_TRUE(install.Start());
    RunToLineAndClose(install, kInstalled);
    run.after = FilesOf(install);
    const std::string log = install.Log();
    for (size_t at = log.find("Writing the new files..."); at < log.find(kInstalled); at = log.find("\r\n", at) + 2)
        run.lines.push_back(log.substr(at, log.find("\r\n", at) - at));
    ASSERT_GE(run.lines.size(), 2 * road.update.size());
    // No file of the installation is held open by anyone: none is moved aside.
    for (const std::string& line : run.lines)
        EXPECT_NE(line.rfind("Moved aside", 0), 0u) << line;
}

size_t RequestCount(const UpdateServer& server)
{
    const std::string requests = server.Requests();
    size_t count = 0;
    for (size_t at = requests.find("GET "); at != std::string::npos; at = requests.find("GET ", at + 1))
        ++count;
    return count;
}

// A second name of a folder on the host's file system, as a user makes one: a link to it, or a
// drive letter of Wine's prefix (whose drives are links to folders). Gone at the end.
class HostLink {
public:
    // The link's host path and the name by which programs reach it.
    HostLink(const std::wstring& hostPath, const std::wstring& dosName, const std::wstring& folder)
        : m_hostPath(hostPath), m_dosName(dosName)
    {
        (void)RunProgram(L"/bin/ln -s " + HostServer::HostPath(folder) + L" " + m_hostPath); // seen below
        m_made = Eventually([&] { return GetFileAttributesW(m_dosName.c_str()) != INVALID_FILE_ATTRIBUTES; });
    }
    ~HostLink()
    {
        (void)RunProgram(L"/bin/rm -f " + m_hostPath);
        (void)Eventually([&] { return GetFileAttributesW(m_dosName.c_str()) == INVALID_FILE_ATTRIBUTES; });
    }
    bool Made() const { return m_made; }

private:
    std::wstring m_hostPath, m_dosName;
    bool m_made = false;
};

// The folder of the prefix's drive links on the host, with its trailing '/'.
std::wstring DriveLinkFolder()
{
    std::wstring drive = HostServer::HostPath(L"C:\\"); // "<prefix>/dosdevices/c:/", quoted
    const size_t at = drive.rfind(L"/c:");
    return at == std::wstring::npos ? L"" : drive.substr(1, at);
}

// A drive letter that leads nowhere yet.
wchar_t FreeDriveLetter()
{
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter)
        if (GetDriveTypeW((std::wstring(1, letter) + L":\\").c_str()) == DRIVE_NO_ROOT_DIR)
            return letter;
    return 0;
}

// A new seed for each run's kills, unless QV_KILL_SEED gives one to repeat them.
unsigned KillSeed()
{
    const char* fixed = std::getenv("QV_KILL_SEED");
    return fixed && *fixed ? static_cast<unsigned>(std::strtoul(fixed, nullptr, 10)) : std::random_device()();
}

// Kills the run at random lines of its installation. The next start, of whichever copy is
// there, leaves the installation wholly old or wholly new and says so when it had to; the start
// after it updates as ever.
void KillAtRandomLines(const Road& road, int kills, WholeRun* whole = nullptr)
{
    const unsigned seed = KillSeed();
    SCOPED_TRACE(std::string(road.name) + ", kill seed " + std::to_string(seed) +
                 " (QV_KILL_SEED=" + std::to_string(seed) + " repeats its kills)");
    Servers servers(road);
    WholeRun own;
    WholeRun& run = whole ? *whole : own;
    RunWhole(road, servers, run);
    if (testing::Test::HasFatalFailure())
        return;
    std::mt19937 pick(seed);
    std::vector<std::string> killLines = road.always;
    for (int k = 0; k < kills; ++k)
        killLines.push_back(run.lines[pick() % run.lines.size()]);
    for (const std::string& line : killLines) {
        SCOPED_TRACE("killed at \"" + line + "\"");
        Installation install;
        Lay(install, road);
        install.PointAt(servers.update.Host());
        ASSERT_TRUE(install.Start());
        ASSERT_TRUE(Eventually([&] { return Logged(install, line); }, kRunMs));
        install.KillAll();
        const bool interrupted = install.Has(L"updatejournal.qvj");

        // At no moment of an installation is a file of it missing: the user starts the
        // updater's program as ever, and the product's files are all there.
        for (const auto& [name, bytes] : run.before)
            ASSERT_TRUE(install.Has(name)) << testing::PrintToString(name);
        install.PointAt(servers.upToDate.Host());
        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, kUpToDate);
        const Files files = FilesOf(install);
        EXPECT_TRUE(files == run.before || files == run.after);
        EXPECT_EQ(interrupted, Logged(install, kRecovered[0]) || Logged(install, kRecovered[1])) << install.Log();
        EXPECT_FALSE(install.Has(L"updatejournal.qvj"));
        EXPECT_FALSE(install.Has(L"updatersource.qvu"));

        install.PointAt(servers.update.Host());
        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, kInstalled);
        EXPECT_TRUE(FilesOf(install) == run.after);
        EXPECT_FALSE(install.Has(L"updatersource.qvu"));
    }
}

} // namespace

TEST(UpdaterKilled, OnTheDemoTheNextStartLeavesItWhollyOldOrNewAndUpdates)
{
    KillAtRandomLines(DemoRoad(), 8);
}

TEST(UpdaterKilled, OnTwoHundredFilesTheNextStartLeavesItWhollyOldOrNewAndUpdates)
{
    KillAtRandomLines(WithManyFiles(DemoRoad(), "202 files"), 6);
}

// The slave reads its resource file whole at its start and holds no file of the updater open:
// each, the resource file too, is replaced in one step.
TEST(UpdaterKilled, OnTheSlavesRoadTheNextStartLeavesItWhollyOldOrNewAndUpdates)
{
    WholeRun run;
    KillAtRandomLines(SlaveRoad(), 6, &run);
    for (const char* name : {"QVUpdater.exe", "QVUpdater.vsf", "QVUpdater.vrf"})
        EXPECT_EQ(std::count(run.lines.begin(), run.lines.end(), std::string("Keeping: ") + name), 1) << name;
    KillAtRandomLines(WithManyFiles(SlaveRoad(), "slave, 203 files"), 4);
}

// One of the two does the update, the other ends at once: one request, one log, every file new.
// The server sends the product's update with "QVU-UpdaterSend": the record written for a slave
// that never comes is gone when the run ends.
TEST(UpdaterPair, TwoCopiesStartedTogetherLoseNothingAndNeverInterleave)
{
    Road road = DemoRoad();
    road.script += L"EXECUTE=QUORVEL.EXE\r";
    // The copy that wins is still at work when the other, however slow its start, arrives: two
    // copies one after the other would prove nothing.
    road.serverOptions += L" --delay 1 --updater-send";
    Servers servers(road);
    for (int pair = 0; pair < 20; ++pair) {
        SCOPED_TRACE("pair " + std::to_string(pair));
        Installation install;
        install.PointAt(servers.update.Host());
        ASSERT_TRUE(install.Start());
        ASSERT_TRUE(install.Start());
        EXPECT_EQ(0u, install.WaitForExitOf(0, kRunMs));
        EXPECT_EQ(0u, install.WaitForExitOf(1, kRunMs));
        install.KillAll(); // the product that the update started
        EXPECT_EQ(install.Read(L"QUORVEL.EXE"), ProgramBytes(L"QUORVEL_NEXT.exe"));
        EXPECT_EQ(install.Read(L"Resources\\system.vsf"), FactsTable(L"English", L"2.1.0"));
        EXPECT_FALSE(install.Has(L"updatersource.qvu"));
        for (const auto& [name, bytes] : install.Snapshot())
            EXPECT_TRUE(name.size() < 4 ||
                        (name.substr(name.size() - 4) != L".old" && name.substr(name.size() - 4) != L".tmp"))
                << testing::PrintToString(name);
        const std::string log = install.Log();
        EXPECT_EQ(log.find(kInstalled), log.rfind(kInstalled)) << log;
        EXPECT_NE(log.find(kInstalled), std::string::npos) << log;
    }
    EXPECT_EQ(20u, RequestCount(servers.update));
}

// A drive letter that leads to the folder, its short name or a link to it: a second copy started
// through the other name meets the first one's hold all the same and ends at once. (Wine gives a
// program started through a short name its long name, so there the short name never split the
// hold; Windows may keep the name as started.)
TEST(UpdaterPair, TwoCopiesThroughTwoNamesOfOneFolderMakeOneRequestAndOneInstallation)
{
    Road road = DemoRoad();
    road.script += L"EXECUTE=QUORVEL.EXE\r";
    road.serverOptions += L" --delay 1";
    Servers servers(road);
    for (int pair = 0; pair < 6; ++pair) {
        const int spelling = pair % 3;
        SCOPED_TRACE("pair " + std::to_string(pair) + " through " +
                     (spelling == 0   ? "a drive letter"
                      : spelling == 1 ? "the short name"
                                      : "a link"));
        Installation install;
        install.PointAt(servers.update.Host());
        TempFolder linkFolder;
        std::unique_ptr<HostLink> link;
        std::wstring other;
        if (spelling == 0) {
            const wchar_t letter = FreeDriveLetter();
            ASSERT_NE(letter, 0);
            ASSERT_NE(DriveLinkFolder(), L"");
            other = std::wstring(1, letter) + L":\\";
            link.reset(
                new HostLink(L"\"" + DriveLinkFolder() + wchar_t(towlower(letter)) + L":\"", other, install.Path(L"")));
        } else if (spelling == 1) {
            wchar_t shortName[MAX_PATH] = {};
            ASSERT_NE(GetShortPathNameW(install.Path(L"").c_str(), shortName, MAX_PATH), 0u);
            other = shortName;
            ASSERT_NE(_wcsicmp(other.c_str(), install.Path(L"").c_str()), 0);
        } else {
            other = linkFolder.Path() + L"installation\\";
            link.reset(
                new HostLink(HostServer::HostPath(linkFolder.Path() + L"installation"), other, install.Path(L"")));
        }
        ASSERT_TRUE(!link || link->Made());
        const size_t requests = RequestCount(servers.update);
        // Either may come first.
        ASSERT_TRUE(pair < 3 ? install.Start() : install.StartThrough(other));
        ASSERT_TRUE(pair < 3 ? install.StartThrough(other) : install.Start());
        EXPECT_EQ(0u, install.WaitForExitOf(0, kRunMs));
        EXPECT_EQ(0u, install.WaitForExitOf(1, kRunMs));
        install.KillAll(); // the product that the update started
        EXPECT_EQ(RequestCount(servers.update), requests + 1);
        EXPECT_EQ(install.Read(L"QUORVEL.EXE"), ProgramBytes(L"QUORVEL_NEXT.exe"));
        EXPECT_EQ(install.Read(L"Resources\\system.vsf"), FactsTable(L"English", L"2.1.0"));
        const std::string log = install.Log();
        EXPECT_NE(log.find(kInstalled), std::string::npos) << log;
        EXPECT_EQ(log.find("could not"), std::string::npos) << log;
    }
}

// The new updater, its resources and a marker of its own: the slave replaces them all, the new
// updater starts, asks its server and finds itself up to date; nothing of the slave's work is
// left for the next start.
TEST(UpdaterSelf, TheSlaveReplacesEveryFileOfTheUpdaterAndTheNewOneStarts)
{
    Road road = SlaveRoad();
    road.script += L"EXECUTE=QVUpdater.exe\r";
    UpdateServer upToDate;
    ASSERT_TRUE(upToDate.Start(L"--mode uptodate")) << upToDate.Error();
    road.update.push_back(Entry(L"testmode", Ansi(std::string(upToDate.Host().ToAnsi()) + "\r\n")));
    Servers servers(road);
    Installation install;
    install.PointAt(servers.update.Host());
    ASSERT_TRUE(install.Start());
    RunToLineAndClose(install, kUpToDate);
    for (const QVUPackEntry& entry : road.update)
        EXPECT_EQ(install.Read(entry.name), Bytes(entry.data.begin(), entry.data.end()))
            << testing::PrintToString(entry.name);
    EXPECT_NE(upToDate.Requests().find("GET "), std::string::npos);
    EXPECT_FALSE(install.Has(L"updatersource.qvu"));
    EXPECT_FALSE(install.Has(L"QVUSlave.exe"));
    const std::string log = install.Log();
    EXPECT_EQ(log.rfind(kUntilReply.substr(0, kUntilReply.find("Received")), 0), 0u) << log;
}

namespace {

const std::string kSetAside = "could not be used and was set aside as updatejournal-1.qvj";
const char* const kRecoveryFailed = "could not be put right";

// The installation's files without any journal, the user's view of it.
Files ProductFiles(const Installation& install)
{
    Files files = FilesOf(install);
    for (auto it = files.begin(); it != files.end();)
        it = it->first.rfind(L"updatejournal", 0) == 0 ? files.erase(it) : std::next(it);
    return files;
}

bool ReadOnly(const Installation& install, const wchar_t* name)
{
    const DWORD attributes = GetFileAttributesW(install.Path(name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

// Opens a file as a virus scanner does, reading and sharing only reading, as soon as its
// writer lets go of it, and holds it until released.
class Holder {
public:
    explicit Holder(std::wstring path)
        : m_thread([this, path] {
              while (!m_stop && !m_file.IsValid()) {
                  m_file.Reset(
                      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
                  Sleep(m_file.IsValid() ? 0 : 1);
              }
              while (!m_stop)
                  Sleep(5);
              m_file.Reset();
          })
    {
    }
    ~Holder() { Release(); }
    void Release()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    CFileHandle m_file;
    std::thread m_thread;
};

} // namespace

// Someone holds a new file from its writing through the move. Every target stays or goes back
// in its place, the read-only one read-only, with the failed step's own line; the held file is
// left for the next start, which undoes the rest once it is free.
TEST(UpdaterHeld, ANewFileHeldThroughTheMoveLeavesEveryTargetInPlace)
{
    Road road = WithManyFiles(DemoRoad(), "held");
    road.before.push_back(Entry(L"readme.txt", Ansi("the old readme")));
    road.update.insert(road.update.begin() + 2, Entry(L"readme.txt", Ansi("the new readme")));
    Servers servers(road);
    for (const wchar_t* held : {L"QUORVEL.EXE.tmp", L"Resources\\system.vsf.tmp"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(held)));
        Installation install;
        Lay(install, road);
        SetFileAttributesW(install.Path(L"readme.txt").c_str(), FILE_ATTRIBUTE_READONLY);
        const Files before = ProductFiles(install);
        install.PointAt(servers.update.Host());
        Holder holder(install.Path(held));
        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, "The new files could not be moved into place. The installation is unchanged.");
        Files after = ProductFiles(install);
        EXPECT_EQ(1u, after.erase(held)); // left for the next start
        EXPECT_TRUE(after == before);
        EXPECT_TRUE(ReadOnly(install, L"readme.txt"));
        EXPECT_FALSE(Logged(install, kRecoveryFailed)) << install.Log();

        holder.Release();
        install.PointAt(servers.upToDate.Host());
        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, kUpToDate);
        EXPECT_TRUE(Logged(install, kRecovered[0])) << install.Log();
        EXPECT_TRUE(ProductFiles(install) == before);
        EXPECT_FALSE(install.Has(L"updatejournal.qvj"));
        EXPECT_TRUE(ReadOnly(install, L"readme.txt"));
    }
}

// The journal of a run killed once every new file was written, damaged as disks and users
// damage files, or grown past what any archive names: it is set aside as it is, a red line
// says so, and the update that the start then fetches installs as ever.
TEST(UpdaterJournal, ADamagedJournalIsSetAsideAndTheUpdateGoesOn)
{
    const Road road = WithManyFiles(DemoRoad(), "damaged journal");
    Servers servers(road);
    WholeRun run;
    RunWhole(road, servers, run);
    ASSERT_FALSE(testing::Test::HasFatalFailure());
    std::mt19937 pick(KillSeed());
    const std::function<void(Bytes&)> damages[] = {
        [&](Bytes& j) { j[pick() % j.size()] ^= static_cast<uint8_t>(1u << (pick() % 8)); },
        [&](Bytes& j) { j[pick() % j.size()] ^= static_cast<uint8_t>(1u << (pick() % 8)); },
        [&](Bytes& j) { j[pick() % j.size()] ^= static_cast<uint8_t>(1u << (pick() % 8)); },
        [](Bytes& j) { j[0] ^= 0x40; },
        [](Bytes& j) { j.resize(j.size() / 2); },
        // 1,048,575 entries, as a real journal's first words give them.
        [](Bytes& j) {
            j.resize(26u << 20, 0x41);
            const uint32_t count = 0xFFFFF;
            std::memcpy(j.data() + 16, &count, 4);
        },
    };
    for (const auto& damage : damages) {
        Installation install;
        Lay(install, road);
        install.PointAt(servers.update.Host());
        ASSERT_TRUE(install.Start());
        ASSERT_TRUE(Eventually([&] { return Logged(install, "Keeping: f20.txt"); }, kRunMs));
        install.KillAll();
        Bytes journal = install.Read(L"updatejournal.qvj");
        ASSERT_FALSE(journal.empty()) << install.Log();
        damage(journal);
        WriteWholeFile(gCString(install.Path(L"updatejournal.qvj").c_str()), journal);

        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, kInstalled);
        EXPECT_TRUE(Logged(install, kSetAside)) << install.Log();
        EXPECT_FALSE(Logged(install, kRecoveryFailed)) << install.Log();
        EXPECT_TRUE(install.Read(L"updatejournal-1.qvj") == journal);
        Files files = ProductFiles(install);
        EXPECT_TRUE(files == run.after);
    }
}

// Journals sealed whole that name what no run did there: the user's files by the names the
// installer uses, a file of the updater's own that the journal calls new, one file by two
// names or by its short alias, the user's old file called the run's new one, a folder link out
// of the installation. Each is set aside and nothing changes; a
// folder of the journal's name is no journal at all.
TEST(UpdaterJournal, AJournalNamingWhatNoRunDidChangesNothing)
{
    using namespace TestJournal;
    UpdateServer upToDate;
    ASSERT_TRUE(upToDate.Start(L"--mode uptodate")) << upToDate.Error();
    TempFolder outside;
    WriteWholeFile(outside.File(L"mine.dat"), Ansi("beyond the installation"));

    enum Case { kUserFiles, kOwnResources, kTwoNames, kAlias, kOldAsNew, kLinkOut, kFolder };
    for (Case c : {kUserFiles, kOwnResources, kTwoNames, kAlias, kOldAsNew, kLinkOut, kFolder}) {
        SCOPED_TRACE("case " + std::to_string(c));
        Installation install;
        install.PointAt(upToDate.Host());
        for (const wchar_t* name : {L"notes.txt", L"notes.txt.tmp", L"notes.txt.old", L"Resources\\mybrush.dat"})
            WriteWholeFile(gCString(install.Path(name).c_str()), Ansi("the user's own"));
        SetFileAttributesW(install.Path(L"notes.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        Bytes journal;
        if (c == kUserFiles) {
            TestJournal::Entry notes = NewFile(L"notes.txt", Ansi("an update's notes"));
            OriginalIs(notes, install.Path(L"QUORVEL.EXE"));
            notes.flags |= kMadeWritable;
            journal = Seal({notes, NewFile(L"Resources\\mybrush.dat", Ansi("a brush"))}, {kWritten, kBack});
        } else if (c == kOwnResources) {
            journal = Seal({NewFile(L"Resources\\QVUpdater.vrf", Ansi("x"))}, {kWritten, kDone});
        } else if (c == kTwoNames) {
            journal = Seal({NewFile(L"notes.txt", Ansi("x")), NewFile(L"NOTES.TXT", Ansi("x"))}, {kWritten});
        } else if (c == kAlias) {
            const std::wstring name = L"my long notes file.txt";
            WriteWholeFile(gCString(install.Path(name).c_str()), Ansi("the user's own"));
            wchar_t alias[MAX_PATH] = {};
            ASSERT_NE(0u, GetShortPathNameW(install.Path(name).c_str(), alias, MAX_PATH));
            TestJournal::Entry kept = NewFile(name, Ansi("the user's own"));
            OriginalIs(kept, install.Path(name));
            const std::wstring aliasName = std::wstring(alias).substr(std::wstring(alias).rfind(L'\\') + 1);
            journal = Seal({kept, NewFile(aliasName, Ansi("the user's own"))}, {kWritten, kBack});
        } else if (c == kOldAsNew) {
            CFileHandle notes(CreateFileW(install.Path(L"notes.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
            const FILETIME past = {0, 0x01D00000};
            ASSERT_TRUE(SetFileTime(notes.Get(), nullptr, nullptr, &past));
            journal = Seal({NewFile(L"notes.txt", Ansi("the user's own"))}, {kWritten, kBack});
        } else if (c == kLinkOut) {
            ASSERT_EQ(0u, RunProgram(L"/bin/ln -s " + UpdateServer::HostPath(outside.Path()) + L" " +
                                     UpdateServer::HostPath(install.Path(L"linked"))));
            ASSERT_TRUE(Eventually([&] { return install.Has(L"linked\\mine.dat"); }));
            journal = Seal({NewFile(L"linked\\mine.dat", Ansi("beyond the installation"))}, {kWritten});
        }
        if (c == kFolder)
            CreateDirectoryW(install.Path(L"updatejournal.qvj").c_str(), nullptr);
        else
            WriteWholeFile(gCString(install.Path(L"updatejournal.qvj").c_str()), journal);
        const Files before = ProductFiles(install);

        ASSERT_TRUE(install.Start());
        RunToLineAndClose(install, kUpToDate);
        EXPECT_TRUE(ProductFiles(install) == before);
        EXPECT_FALSE(ReadOnly(install, L"notes.txt"));
        EXPECT_EQ(Ansi("beyond the installation"), ReadWholeFile(outside.File(L"mine.dat")));
        EXPECT_EQ(c != kFolder, Logged(install, kSetAside)) << install.Log();
        for (const char* claim : {kRecovered[0], kRecovered[1], kRecoveryFailed})
            EXPECT_FALSE(Logged(install, claim)) << install.Log();
        // Removing the installation must not follow the link.
        if (c == kLinkOut) {
            ASSERT_EQ(0u, RunProgram(L"/bin/rm " + UpdateServer::HostPath(install.Path(L"linked"))));
            ASSERT_TRUE(Eventually([&] { return !install.Has(L"linked"); }));
        }
    }
}

// What the real program asks of the disk, as the host sees it: every new file is flushed
// before the journal's mark that every new file is written, and the journal is flushed before
// the first new file is made, so that a power cut finds only what the marks promise.
TEST(UpdaterDurable, EveryNewFileIsOnTheDiskBeforeTheJournalSaysSo)
{
    const Road road = DemoRoad();
    Servers servers(road);
    Installation install;
    Lay(install, road);
    install.PointAt(servers.update.Host());
    TempFolder scratch;
    const std::wstring trace = scratch.Path() + L"calls.txt";
    ASSERT_EQ(0u, RunProgram(L"/usr/bin/strace -f -y -qq -e trace=write,pwrite64,fsync,fdatasync -o " +
                             UpdateServer::HostPath(trace) + L" /usr/bin/wine " +
                             UpdateServer::HostPath(install.Path(L"QVUpdater.exe"))));
    ASSERT_TRUE(CloseOnLine(install, kInstalled, kRunMs)) << install.Log();
    std::string calls;
    ASSERT_TRUE(Eventually([&] {
        const Bytes bytes = ReadWholeFile(gCString(trace.c_str()));
        calls.assign(bytes.begin(), bytes.end());
        return calls.find("+++ exited") != std::string::npos || FindWindowW(nullptr, L"Quorvel Updater") == nullptr;
    }));
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = calls.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(calls.substr(at, end - at));
    auto first = [&](const std::function<bool(const std::string&)>& is) {
        return std::find_if(lines.begin(), lines.end(), is) - lines.begin();
    };
    auto has = [](const std::string& line, const char* a, const char* b) {
        return line.find(a) != std::string::npos && line.find(b) != std::string::npos;
    };
    const auto journalFlushed = first([&](const std::string& l) { return has(l, "fsync(", "updatejournal.qvj.new>"); });
    const auto firstNewWrite = first([&](const std::string& l) { return has(l, "write", ".tmp>"); });
    const auto writtenMark = first([&](const std::string& l) { return has(l, "updatejournal.qvj>", "QVJW"); });
    ASSERT_LT(writtenMark, static_cast<std::ptrdiff_t>(lines.size())) << calls;
    EXPECT_LT(journalFlushed, firstNewWrite) << calls;
    for (const char* name : {"QUORVEL.EXE.tmp>", "system.vsf.tmp>"}) {
        const auto written = first([&](const std::string& l) { return has(l, "write", name); });
        const auto flushed = first([&](const std::string& l) { return has(l, "fsync(", name); });
        EXPECT_LT(written, flushed) << name;
        EXPECT_LT(flushed, writtenMark) << name;
    }
}
