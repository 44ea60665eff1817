// Every limit of the archive reader at the limit and one past it. The limits are written as
// numbers here, so a test never moves with the constant it checks.
#include <gtest/gtest.h>

#include <cstdio>

#include "EngineFixture.h"
#include "ResultAssert.h"
#include "WinHandle.h"

namespace {

const std::vector<QVUPackEntry> kTwoFiles = {{L"readme.txt", Text8("hello")}, {L"sub\\data.bin", Bytes(300, 7)}};
const std::wstring kScript = L"OS=WIN32";
// Where the table's entry count lies in a stream of kTwoFiles with kScript.
const size_t kTable = 32 + 2 * (kScript.size() + 1);

Bytes Poked(size_t offset, uint32_t value)
{
    Bytes stream = BuildArchiveStream(kTwoFiles, kScript);
    PokeU32(stream, offset, value);
    return stream;
}

// A script of `units` units after its mark.
Bytes WithScriptOf(size_t units)
{
    std::wstring script = kScript + L"\r";
    script.resize(units, L'x');
    return BuildArchiveStream(kTwoFiles, script);
}

} // namespace

TEST(ArchiveLimits, UnpackedStreamAtTheLimitAndOnePast)
{
    const struct {
        const char* what;
        Bytes stream;
        gCResult result;
        size_t entriesLogged;
    } cases[] = {
        {"table size of 65,536", Poked(12, 65536), kOk, 2},
        {"table size of 65,537", Poked(12, 65537), kOutOfRange, 0},
        {"script of 65,536 units with its mark", WithScriptOf(65535), kOk, 2},
        {"script of 65,537 units with its mark", WithScriptOf(65536), kOutOfRange, 0},
        // The largest count passes: entries are read until the data runs out.
        {"0xFFFFF entries", Poked(kTable, 0xFFFFF), kStreamFailure, 2},
        {"0x100000 entries", Poked(kTable, 0x100000), kStreamFailure, 0},
        {"a file of 100,000,000 bytes", Poked(kTable + 4, 100000000), kOk, 2},
        {"a file of 100,000,001 bytes", Poked(kTable + 4, 100000001), kOutOfRange, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EngineFixture f;
        EXPECT_RESULT(f.Parse(WrapContainer(CompressBlock(c.stream.data(), c.stream.size()))), c.result);
        EXPECT_EQ(f.host.LogLines().size(), c.entriesLogged);
    }
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
