#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdio>

#include "ArchiveFormat.h"
#include "ArchiveNames.h"
#include "EngineFixture.h"

namespace {

const std::vector<QVUPackEntry> kTwoFiles = {{L"readme.txt", Text8("hello")}, {L"sub\\data.bin", Bytes(300, 7)}};

Bytes Container(const Bytes& stream)
{
    return WrapContainer(CompressBlock(stream.data(), stream.size()));
}

// Offsets in an unpacked stream built from kTwoFiles with the given script.
size_t TableOffset(const std::wstring& script)
{
    return 32 + 2 * (script.size() + 1);
}

TEST(ArchiveParser, ValidArchiveFillsTheListsAndScriptValues)
{
    EngineFixture f;
    const std::wstring script = L"EXECUTE=first.exe\r os = win32 \rexecute=prog.exe=b\r\rbuild=qv2b\rTYPE=Full\r"
                                L"FILENAME=update\rVERSIONNUMBER = 2.1\rnoise\r=skipped\rOTHER=x";
    QVUPackOptions options;
    options.bigEndianScript = true;
    ASSERT_OK(f.Parse(PackArchive(kTwoFiles, script, options)));
    CQVUDesquasher& d = f.desquasher;
    EXPECT_EQ(std::wstring(script), d.GetScriptText().Text());
    EXPECT_STREQ(L"prog.exe=b", d.GetScriptValue(CQVUDesquasher::kExecute).Text());
    EXPECT_STREQ(L"WIN32", d.GetScriptValue(CQVUDesquasher::kOS).Text());
    EXPECT_STREQ(L"QV2B", d.GetScriptValue(CQVUDesquasher::kBuild).Text());
    EXPECT_STREQ(L"Full", d.GetScriptValue(CQVUDesquasher::kType).Text());
    EXPECT_STREQ(L"update", d.GetScriptValue(CQVUDesquasher::kFileName).Text());
    EXPECT_STREQ(L"2.1", d.GetScriptValue(CQVUDesquasher::kVersionNumber).Text());

    ASSERT_EQ(2, d.GetEntryCount());
    EXPECT_EQ(f.installFolder + L"readme.txt", d.GetTargetPath(0).GetPathString().Text());
    EXPECT_EQ(f.installFolder + L"sub\\data.bin.tmp", d.GetTemporaryPath(1).GetPathString().Text());
    EXPECT_EQ(f.installFolder + L"sub\\data.bin.old", d.GetOldPath(1).GetPathString().Text());
    EXPECT_EQ(5u, d.GetFileSize(0));
    EXPECT_EQ(300u, d.GetFileSize(1));
    EXPECT_EQ(32 + 2 * (script.size() + 1) + (4 + 24 + 22 + 24 + 26), d.GetHeaderSize());

    std::vector<std::wstring> expectedLines = {L"T23", L"T24", L"T25"};
    EXPECT_EQ(expectedLines, f.host.StatusLines());
    std::vector<std::wstring> logs = {L" -- " + f.installFolder + L"readme.txt, 5 bytes",
                                      L" -- " + f.installFolder + L"sub\\data.bin, 300 bytes"};
    EXPECT_EQ(logs, f.host.LogLines());
}

TEST(ArchiveParser, LittleAndBigEndianScriptsReadTheSame)
{
    const std::wstring script = L"OS=win32\rBUILD=b7";
    EngineFixture little;
    EngineFixture big;
    QVUPackOptions options;
    options.bigEndianScript = true;
    ASSERT_OK(little.Parse(PackArchive(kTwoFiles, script)));
    ASSERT_OK(big.Parse(PackArchive(kTwoFiles, script, options)));
    EXPECT_STREQ(little.desquasher.GetScriptText().Text(), big.desquasher.GetScriptText().Text());
    EXPECT_STREQ(L"B7", big.desquasher.GetScriptValue(CQVUDesquasher::kBuild).Text());
}

TEST(ArchiveParser, LineWithoutEqualsSignIsAKeyWithAnEmptyValue)
{
    EngineFixture f;
    ASSERT_OK(f.Parse(PackArchive(kTwoFiles, L"EXECUTE=app.exe\rBUILD=b7\rOS=win32\rexecute \r BUILD")));
    EXPECT_STREQ(L"", f.desquasher.GetScriptValue(CQVUDesquasher::kExecute).Text());
    EXPECT_STREQ(L"", f.desquasher.GetScriptValue(CQVUDesquasher::kBuild).Text());
    EXPECT_STREQ(L"WIN32", f.desquasher.GetScriptValue(CQVUDesquasher::kOS).Text());
}

TEST(ArchiveParser, ScriptEndsAtItsFirstZero)
{
    EngineFixture f;
    ASSERT_OK(f.Parse(PackArchive(kTwoFiles, std::wstring(L"OS=win32\0\rEXECUTE=app.exe", 25))));
    EXPECT_STREQ(L"OS=win32", f.desquasher.GetScriptText().Text());
    EXPECT_STREQ(L"WIN32", f.desquasher.GetScriptValue(CQVUDesquasher::kOS).Text());
    EXPECT_STREQ(L"", f.desquasher.GetScriptValue(CQVUDesquasher::kExecute).Text());
}

TEST(ArchiveParser, ContainerLayerRejections)
{
    const Bytes good = PackArchive(kTwoFiles, L"OS=WIN32");
    auto patched = [&](size_t offset, uint8_t value) {
        Bytes b = good;
        b[offset] = value;
        return b;
    };
    const struct {
        const char* what;
        Bytes archive;
        gCResult result;
    } cases[] = {
        {"first magic", patched(0, 'X'), 1},
        {"second magic", patched(7, 'X'), 1},
        {"format 2", patched(8, 2), 1},
        {"trailing magic", patched(good.size() - 1, 'X'), 1},
        {"trailing magic cut", Bytes(good.begin(), good.end() - 4), 1},
        {"empty file", {}, 16},
        {"magic only", Bytes(good.begin(), good.begin() + 8), 16},
        {"magic and format, under 20 bytes", Bytes(good.begin(), good.begin() + 19), 5},
        {"empty compressed block", WrapContainer({}), 17},
        {"block stops inside a token", WrapContainer({0, 0, 0, 9, 0xE5, 'a', 0xE5, 0x85}), 17},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        EXPECT_EQ(c.result, f.Parse(c.archive)) << c.what;
    }
}

TEST(ArchiveParser, UnpackedStreamRejections)
{
    const std::wstring script = L"OS=WIN32";
    const Bytes good = BuildArchiveStream(kTwoFiles, script);
    const size_t table = TableOffset(script);
    auto u32 = [&](size_t offset, uint32_t value) {
        Bytes b = good;
        PokeU32(b, offset, value);
        return b;
    };
    QVUPackOptions version3;
    version3.version = 3;
    const struct {
        const char* what;
        Bytes stream;
        gCResult result;
    } cases[] = {
        {"magic", u32(0, 0x55325650), 1},
        {"second magic", u32(4, 0), 1},
        {"version 3", BuildArchiveStream(kTwoFiles, script, version3), 1},
        {"F of 0", u32(16, 0), 1},
        {"script of its mark alone", BuildArchiveStream(kTwoFiles, L""), 1},
        {"script whose first unit after the mark is 0", BuildArchiveStream(kTwoFiles, std::wstring(L"\0OS=WIN32", 9)),
         1},
        {"table tags", u32(table - 8, 0xE1547A8E), 1},
        {"entry count 0", u32(table, 0), 16},
        {"entry size above 2^32", u32(table + 8, 1), 12},
        {"entry tags before the name", u32(table + 12, 0), 1},
        {"entry tags after the name", u32(table + 16 + 22 + 4, 0), 1},
        {"name without its terminator at the window's end", u32(12, 4 + 24 + 10), 16},
        {"stream shorter than its header", Bytes(good.begin(), good.begin() + table + 30), 16},
        {"stream shorter than the first window", Bytes(good.begin(), good.begin() + 10), 16},
        {"empty stream", {}, 16},
    };
    for (const auto& c : cases) {
        EngineFixture f;
        EXPECT_EQ(c.result, f.Parse(Container(c.stream))) << c.what;
    }
}

TEST(ArchiveParser, VersionMismatchPostsTheVersionLine)
{
    EngineFixture f;
    QVUPackOptions options;
    options.version = 3;
    EXPECT_EQ(1, f.Parse(PackArchive(kTwoFiles, L"x", options)));
    std::vector<std::wstring> lines = {L"T23", L"T24", L"T25", L"!T73A: 4, F: 3"};
    EXPECT_EQ(lines, f.host.StatusLines());
}

TEST(ArchiveParser, HostileNamesAndProgramsAreParseFailures)
{
    const wchar_t* hostile[] = {
        L"..\\..\\x",     L"..",       L"C:\\x",  L"\\x",     L"/x",      L"a:b",  L"a\\..\\b", L"a/../b", L".\\a",
        L"a\\.",          L"   ",      L"a\\\\b", L"a\\",     L"dir.\\x", L"x.. ", L"a\\ \\b",  L"CON",    L"nul.txt",
        L"sub\\Com1.dat", L"aux .txt", L"lpt0",   L"conout$", L"a*b",     L"a?b",  L"a|b",      L"a\"b",   L"a<b>"};
    for (const wchar_t* name : hostile) {
        EngineFixture f;
        EXPECT_EQ(1, f.Parse(PackArchive({{name, Text8("x")}}, L"OS=WIN32")))
            << testing::PrintToString(std::wstring(name));
        EngineFixture g;
        std::wstring script = std::wstring(L"EXECUTE=") + name;
        gCResult r = g.Parse(PackArchive({{L"ok.txt", Text8("x")}}, script));
        if (std::wstring(name) != L"   ") {
            EXPECT_EQ(1, r) << testing::PrintToString(script);
        }
    }
    const wchar_t* fine[] = {L"a.txt",         L"sub\\dir\\file.bin", L"sub/file",  L"..a",        L"a..b",
                             L" padded.txt\t", L"console.txt",        L"com10.txt", L"sub\\nul_x", L"lpt.dat"};
    for (const wchar_t* name : fine) {
        EngineFixture f;
        EXPECT_OK(f.Parse(PackArchive({{name, Text8("x")}}, L"EXECUTE=sub\\run.exe")))
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
        EXPECT_EQ(1, f.Parse(PackArchive(
                         {{names.first, Text8("1")}, {L"other", Text8("2")}, {names.second, Text8("3")}}, L"OS=WIN32")))
            << testing::PrintToString(std::wstring(names.first));
    }
    EngineFixture f;
    ASSERT_OK(f.Parse(PackArchive(
        {{L"app.exe", Text8("1")}, {L"app.exe.older", Text8("2")}, {L"app", Text8("3")}, {L"sub/app.exe", Text8("4")}},
        L"OS=WIN32")));
    // '/' and '\' name the same folder: the target is written with '\'.
    EXPECT_EQ(f.installFolder + L"sub\\app.exe", f.desquasher.GetTargetPath(3).GetPathString().Text());
}

TEST(ArchiveNames, SafeRelativeNames)
{
    EXPECT_TRUE(IsSafeArchiveName(L"a\\b.c", 5));
    EXPECT_FALSE(IsSafeArchiveName(L"", 0));
    EXPECT_FALSE(IsSafeArchiveName(nullptr, 3));
    EXPECT_FALSE(IsSafeArchiveName(L"a\x0001", 2));
}

} // namespace
