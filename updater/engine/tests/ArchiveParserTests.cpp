// The archive reader: the container, the unpacked stream's header, table and script, every
// limit at the limit and one past (written as numbers, so a test never moves with the
// constant it checks), and hostile names.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdio>
#include <random>

#include "ArchiveLimits.h"
#include "ArchiveNames.h"
#include "EngineFixture.h"
#include "gMem.h"
#include "WinHandle.h"

namespace {

const std::vector<QVUPackEntry> kTwoFiles = {{L"readme.txt", Ansi("hello")}, {L"sub\\data.bin", Bytes(300, 7)}};
const std::wstring kScript = L"OS=WIN32";
// Where the table's entry count lies in a stream of kTwoFiles with kScript.
const size_t kTable = 32 + 2 * (kScript.size() + 1);

Bytes Container(const Bytes& stream)
{
    return WrapContainer(CompressBlock(stream.data(), stream.size()));
}

Bytes Poked(size_t offset, uint32_t value)
{
    Bytes stream = BuildArchiveStream(kTwoFiles, kScript);
    PokeU32(stream, offset, value);
    return stream;
}

TEST(ArchiveParser, ValidArchiveFillsTheListsAndScriptValues)
{
    EngineFixture f;
    // A line without '=' clears its key; the text ends at its first zero.
    const std::wstring script = L"EXECUTE=first.exe\r os = win32 \rexecute=prog.exe=b\r\rbuild=qv2b\rTYPE=Full\r"
                                L"FILENAME=update\rVERSIONNUMBER = 2.1\rnoise\r=skipped\rOTHER=x\r filename ";
    QVUPackOptions options;
    options.bigEndianScript = true;
    ASSERT_OK(f.Parse(PackArchive(kTwoFiles, script + std::wstring(L"\0\rBUILD=late", 12), options)));
    CQVUDesquasher& d = f.desquasher;
    EXPECT_EQ(script, d.GetScriptText().Text());
    const std::pair<CQVUDesquasher::ScriptKey, const wchar_t*> values[] = {
        {CQVUDesquasher::kExecute, L"prog.exe=b"}, {CQVUDesquasher::kOS, L"WIN32"},
        {CQVUDesquasher::kBuild, L"QV2B"},         {CQVUDesquasher::kType, L"Full"},
        {CQVUDesquasher::kFileName, L""},          {CQVUDesquasher::kVersionNumber, L"2.1"}};
    for (const auto& value : values)
        EXPECT_STREQ(value.second, d.GetScriptValue(value.first).Text());

    // The entries' targets and sizes.
    EXPECT_EQ(32 + 2 * (script.size() + 13) + (4 + 24 + 22 + 24 + 26), d.GetHeaderSize());
    EXPECT_EQ((std::vector<std::wstring>{L" -- " + f.installFolder + L"readme.txt, 5 bytes",
                                         L" -- " + f.installFolder + L"sub\\data.bin, 300 bytes"}),
              f.host.LogLines());
}

// A script of `units` units after its mark.
Bytes WithScriptOf(size_t units)
{
    std::wstring script = kScript + L"\r";
    script.resize(units, L'x');
    return BuildArchiveStream(kTwoFiles, script);
}

// Every limit at the limit and one past, with the entries logged before the table is refused.
TEST(ArchiveParser, DamagedContainersAndStreamsAreRefusedAndLimitsHold)
{
    const Bytes good = PackArchive(kTwoFiles, kScript);
    auto patched = [&](size_t offset, uint8_t value) {
        Bytes b = good;
        b[offset] = value;
        return b;
    };
    const Bytes stream = BuildArchiveStream(kTwoFiles, kScript);
    QVUPackOptions version3;
    version3.version = 3;
    const struct {
        const char* what;
        Bytes archive;
        gCResult result;
        int entriesLogged = -1;
    } cases[] = {
        {"first magic", patched(0, 'X'), 1},
        {"second magic", patched(7, 'X'), 1},
        {"format 2", patched(8, 2), 1},
        {"trailing magic", patched(good.size() - 1, 'X'), 1},
        {"empty file", {}, 16},
        {"magic and format, under 20 bytes", Bytes(good.begin(), good.begin() + 19), 5},
        {"empty compressed block", WrapContainer({}), 17},
        {"block stops inside a token", WrapContainer({0, 0, 0, 9, 0xE5, 'a', 0xE5, 0x85}), 17},
        {"stream magic", Container(Poked(0, 0x55325650)), 1},
        {"stream second magic", Container(Poked(4, 0)), 1},
        {"version 3", PackArchive(kTwoFiles, kScript, version3), 1},
        {"script of 0 units", Container(Poked(16, 0)), 1},
        {"script whose first unit is 0", Container(Poked(20, 0)), 1},
        {"script of its mark alone: no lines", PackArchive(kTwoFiles, L""), kOk, 2},
        {"script of its mark, then 0: no lines", PackArchive(kTwoFiles, std::wstring(L"\0OS=WIN32", 9)), kOk, 2},
        {"table tags", Container(Poked(kTable - 8, 0xE1547A8E)), 1},
        {"entry count 0", Container(Poked(kTable, 0)), 16},
        {"entry size above 2^32", Container(Poked(kTable + 8, 1)), 12},
        {"entry tags before the name", Container(Poked(kTable + 12, 0)), 1},
        {"entry tags after the name", Container(Poked(kTable + 16 + 22 + 4, 0)), 1},
        {"name without its terminator at the window's end", Container(Poked(12, 4 + 24 + 10)), 16},
        {"stream shorter than its header", Container(Bytes(stream.begin(), stream.begin() + kTable + 30)), 16},
        {"stream shorter than the first window", Container(Bytes(stream.begin(), stream.begin() + 10)), 16},
        {"table size of 65,536", Container(Poked(12, 65536)), kOk, 2},
        {"table size of 65,537", Container(Poked(12, 65537)), kOutOfRange, 0},
        {"script of 65,536 units with its mark", Container(WithScriptOf(65535)), kOk, 2},
        {"script of 65,537 units with its mark", Container(WithScriptOf(65536)), kOutOfRange, 0},
        // The largest count passes: entries are read until the data runs out.
        {"0xFFFFF entries", Container(Poked(kTable, 0xFFFFF)), kStreamFailure, 2},
        {"0x100000 entries", Container(Poked(kTable, 0x100000)), kStreamFailure, 0},
        {"a file of 100,000,000 bytes", Container(Poked(kTable + 4, 100000000)), kOk, 2},
        {"a file of 100,000,001 bytes", Container(Poked(kTable + 4, 100000001)), kOutOfRange, 0},
    };
    // The container is read from a file, or decoded where it lies in memory.
    for (const EngineFixture::Road road : {EngineFixture::Road::File, EngineFixture::Road::Memory}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (road == EngineFixture::Road::File ? ", file" : ", memory"));
            EngineFixture f;
            f.road = road;
            EXPECT_RESULT(f.Parse(c.archive), c.result);
            EXPECT_TRUE(c.entriesLogged < 0 || f.host.LogLines().size() == static_cast<size_t>(c.entriesLogged));
        }
    }
    EngineFixture f;
    ASSERT_RESULT(f.Parse(PackArchive(kTwoFiles, L"x", version3)), kGenericFailure);
    EXPECT_EQ(L"!T73A: 4, F: 3", f.host.StatusLines().back());
}

// The bytes asked of the memory hooks while it lives.
class CountingAllocator {
public:
    CountingAllocator() : m_alloc(gMemAlloc), m_realloc(gMemRealloc)
    {
        asked = 0;
        gMemAlloc = [](size_t n) { return asked += n, DefaultMemAlloc(n); };
        gMemRealloc = [](void* p, size_t n) { return asked += n, DefaultMemRealloc(p, n); };
    }
    ~CountingAllocator()
    {
        gMemAlloc = m_alloc;
        gMemRealloc = m_realloc;
    }
    CountingAllocator(const CountingAllocator&) = delete;
    CountingAllocator& operator=(const CountingAllocator&) = delete;
    static uint64_t asked;

private:
    gMemAllocFn m_alloc;
    gMemReallocFn m_realloc;
};
uint64_t CountingAllocator::asked = 0;

// A received body held in memory is decoded where it lies: beside the unpacked archive the
// reader asks for no block of the packed size.
TEST(ArchiveReader, ABodyInMemoryIsDecodedWithoutACopy)
{
    std::mt19937 random(3);
    Bytes noise(300000);
    for (uint8_t& b : noise)
        b = static_cast<uint8_t>(random());
    const Bytes archive = PackArchive({{L"noise.bin", noise}}, kScript);
    EngineFixture f;
    gCMemFile body;
    ASSERT_OK(body.WriteBytes(archive.data(), static_cast<uint32_t>(archive.size())));
    uint64_t asked = 0;
    {
        CountingAllocator counting;
        ASSERT_OK(f.desquasher.ReadArchiveFile(body));
        asked = counting.asked;
    }
    const uint64_t unpacked = static_cast<uint64_t>(f.desquasher.GetUnpackedArchive().Count());
    EXPECT_GT(unpacked, noise.size());
    EXPECT_LT(asked, unpacked + noise.size() / 10);
    EXPECT_OK(f.desquasher.ParseUpdateArchive());
}

// Only the file's length is looked at before the limit: a file of zeros at the limit fails on
// its magic, one byte more is refused unread.
TEST(ArchiveLimits, ContainerAtTheLimitAndOnePast)
{
    for (const auto& c : {std::make_pair(100000000ll, kGenericFailure), std::make_pair(100000001ll, kOutOfRange)}) {
        SCOPED_TRACE(c.first);
        EngineFixture f;
        const gCString path = f.temp.File(L"large.qvu");
        CStdFile file(_wfopen(path.Text(), L"wb"));
        ASSERT_TRUE(file.IsValid());
        _fseeki64(file.Get(), c.first - 1, SEEK_SET);
        fputc(0, file.Get());
        ASSERT_TRUE(file.Close());
        gCFile stream;
        ASSERT_OK(stream.OpenFullPath(path, kAccessRead));
        EXPECT_RESULT(f.desquasher.ReadArchiveFile(stream), c.second);
    }
}

// Values read from an archive are unsigned: one whose low 32 bits are small is still too large.
TEST(ArchiveLimits, EachCheckHoldsAtItsLimitAndRefusesWhatLiesBeyond)
{
    const struct {
        uint64_t value;
        gCResult max64K, max100M;
    } cases[] = {{0, kOk, kOk},
                 {65536, kOk, kOk},
                 {65537, kOutOfRange, kOk},
                 {100000000, kOutOfRange, kOk},
                 {100000001, kOutOfRange, kOutOfRange},
                 {0x100000001ull, kOutOfRange, kOutOfRange},
                 {~0ull, kOutOfRange, kOutOfRange}};
    for (const auto& c : cases) {
        EXPECT_RESULT(CheckSizeMax64K(c.value), c.max64K) << c.value;
        EXPECT_RESULT(CheckSizeMax100M(c.value), c.max100M) << c.value;
    }
}

TEST(ArchiveParser, HostileNamesAndProgramsAreParseFailures)
{
    const wchar_t* hostile[] = {
        L"..\\..\\x", L"..",     L"C:\\x",   L"\\x",     L"/x",   L"a:b",     L"a\\..\\b", L"a/../b",  L".\\a",
        L"a\\.",      L"a\\\\b", L"a\\",     L"dir.\\x", L"x.. ", L"a\\ \\b", L"CON",      L"nul.txt", L"sub\\Com1.dat",
        L"aux .txt",  L"lpt0",   L"conout$", L"a*b",     L"a?b",  L"a|b",     L"a\"b",     L"a<b>",    L"a\x0001"};
    for (const wchar_t* name : hostile) {
        EngineFixture f;
        EXPECT_RESULT(f.Parse(PackArchive({{name, Ansi("x")}}, kScript)), kGenericFailure)
            << testing::PrintToString(std::wstring(name));
        EXPECT_RESULT(f.Parse(PackArchive({{L"ok.txt", Ansi("x")}}, std::wstring(L"EXECUTE=") + name)), kGenericFailure)
            << testing::PrintToString(std::wstring(name));
    }
    EngineFixture blank;
    EXPECT_RESULT(blank.Parse(PackArchive({{L"   ", Ansi("x")}}, kScript)), kGenericFailure);
    const wchar_t* fine[] = {L"a.txt",         L"sub\\dir\\file.bin", L"sub/file",  L"..a",        L"a..b",
                             L" padded.txt\t", L"console.txt",        L"com10.txt", L"sub\\nul_x", L"lpt.dat"};
    for (const wchar_t* name : fine) {
        EngineFixture f;
        EXPECT_OK(f.Parse(PackArchive({{name, Ansi("x")}}, L"EXECUTE=sub\\run.exe")))
            << testing::PrintToString(std::wstring(name));
    }
}

TEST(ArchiveParser, EntriesThatReachOneFileAreParseFailures)
{
    const std::pair<const wchar_t*, const wchar_t*> colliding[] = {
        {L"readme.txt", L"README.TXT"}, {L"sub\\a.dat", L"sub/a.dat"}, {L"app.exe", L"app.exe.old"},
        {L"app.exe.TMP", L"app.exe"},   {L"Sub\\x", L"sub\\X.Old"},
    };
    for (const auto& names : colliding) {
        EngineFixture f;
        EXPECT_RESULT(
            f.Parse(PackArchive({{names.first, Ansi("1")}, {L"other", Ansi("2")}, {names.second, Ansi("3")}}, kScript)),
            kGenericFailure)
            << testing::PrintToString(std::wstring(names.first));
    }
    EngineFixture f;
    ASSERT_OK(f.Parse(PackArchive(
        {{L"app.exe", Ansi("1")}, {L"app.exe.older", Ansi("2")}, {L"app", Ansi("3")}, {L"sub/app.exe", Ansi("4")}},
        kScript)));
    // '/' and '\' name the same folder: the target is written with '\'.
    EXPECT_EQ(f.installFolder + L"sub\\app.exe", f.desquasher.GetTargetPath(3).GetPathString().Text());
}

// A table near its ceiling with the one collision in its last entry.
TEST(ArchiveParser, ACollisionAtTheEndOfALargeTableIsFound)
{
    std::vector<QVUPackEntry> entries;
    for (int i = 0; i < 999; ++i)
        entries.push_back({L"data\\f" + std::to_wstring(i) + L".bin", Ansi("x")});
    const std::pair<const wchar_t*, gCResult> lastEntries[] = {
        {L"DATA/F0.BIN", kGenericFailure}, {L"data\\f998.bin.Tmp", kGenericFailure}, {L"data\\f500.old", kOk}};
    for (const auto& last : lastEntries) {
        entries.push_back({last.first, Ansi("y")});
        EngineFixture f;
        EXPECT_RESULT(f.Parse(PackArchive(entries, kScript)), last.second)
            << testing::PrintToString(std::wstring(last.first));
        entries.pop_back();
    }
}

// The sorted search answers as a comparison of every pair would, for names that differ in case,
// also beyond ASCII, and in the installer's own suffixes.
TEST(ArchiveNames, DistinctCheckAgreesWithEveryPairCompared)
{
    const std::wstring pool[] = {L"a",          L"A",         L"a.old",  L"A.OLD",    L"a.tmp",      L"a.TmP",
                                 L"a.older",    L"a.old.old", L"ab",     L"s",        L"S",          L"\u017f",
                                 L"\u017f.old", L"i",         L"\u0131", L"\u00e9",   L"\u00c9.tmp", L"\u03c3",
                                 L"\u03a3",     L"\u03c2",    L"x\\a",   L"X\\A.old", L".old",       L".tmp"};
    std::mt19937 random(7);
    int collisions = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<ArchiveName> names;
        const size_t count = 2 + random() % 4;
        for (size_t k = 0; k < count; ++k) {
            const std::wstring& name = pool[random() % (sizeof(pool) / sizeof(pool[0]))];
            names.push_back({name.c_str(), static_cast<int32_t>(name.size())});
        }
        bool pairwise = false;
        for (size_t i = 0; i < names.size(); ++i)
            for (size_t j = 0; j < i; ++j)
                pairwise |= ArchiveNamesCollide(names[i].text, names[i].length, names[j].text, names[j].length);
        collisions += pairwise;
        ASSERT_RESULT(CheckArchiveNamesDistinct(names.data(), static_cast<int32_t>(names.size())),
                      pairwise ? kGenericFailure : kOk)
            << "round " << round;
    }
    EXPECT_GT(collisions, 300); // both answers were given often
    EXPECT_LT(collisions, 2700);
}

} // namespace
