#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <memory>
#include <vector>

#include "BoxCapture.h"
#include "FailingAllocator.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFile.h"
#include "gCMemFile.h"

namespace {

// The same bytes behind either kind of stream, for the readers that both must get right.
struct StreamOver {
    StreamOver(int32_t kind, const Bytes& bytes)
    {
        if (kind == kStreamKindMemory) {
            stream = std::make_unique<gCMemFile>();
            EXPECT_OK(stream->WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
            EXPECT_OK(stream->Rewind());
            return;
        }
        EXPECT_TRUE(WriteWholeFile(folder.File(L"data.bin"), bytes));
        auto file = std::make_unique<gCFile>();
        EXPECT_OK(file->OpenFullPath(folder.File(L"data.bin"), kAccessRead));
        stream = std::move(file);
    }
    TempFolder folder;
    std::unique_ptr<gCStream> stream;
};

// Reads texts one after another until one fails; the failed read leaves its output alone.
std::vector<std::wstring> ReadAll(gCStream& stream)
{
    std::vector<std::wstring> texts;
    gCString text(L"kept");
    while (stream.ReadString(text) == kOk)
        texts.push_back(W(text));
    EXPECT_EQ(W(text), texts.empty() ? L"kept" : texts.back());
    return texts;
}

} // namespace

TEST(MemFile, TypedValuesHaveTheirLittleEndianBytes)
{
    gCMemFile stream;
    ASSERT_OK(stream.WriteU32(258));
    ASSERT_OK(stream.WriteU8(0xAB));
    ASSERT_OK(stream.WriteU16(0x1234));
    ASSERT_OK(stream.WriteS32(-70000));
    EXPECT_EQ(Bytes(stream.GetData(), stream.GetData() + stream.GetSize()),
              (Bytes{0x02, 0x01, 0x00, 0x00, 0xAB, 0x34, 0x12, 0x90, 0xEE, 0xFE, 0xFF}));
    ASSERT_OK(stream.Rewind());
    uint64_t first = 0;
    ASSERT_OK(stream.ReadU64(first));
    EXPECT_EQ(first, 0x901234AB00000102ull);
    uint32_t value = 0xDEADBEEF;
    EXPECT_RESULT(stream.ReadU32(value), kStreamFailure);
    EXPECT_EQ(value, 0xDEADBEEFu) << "a short read leaves the value alone";
    EXPECT_EQ(stream.Tell(), 10) << "size - 1";
}

TEST(MemFile, GrowsBy2048BeyondTheNeedOrByHalfAndKeepsItsBytesWhenMemoryRunsOut)
{
    gCMemFile stream;
    Bytes block(3000, 0x5A);
    ASSERT_OK(stream.WriteBytes(block.data(), 3000));
    EXPECT_EQ(stream.GetCapacity(), 5048);
    ASSERT_OK(stream.WriteBytes(block.data(), 2100));
    EXPECT_EQ(stream.GetCapacity(), 7572);

    stream.ResetBuffer();
    ASSERT_OK(stream.WriteU32(7));
    gCResult grown, reserved, room;
    uint8_t sentinel = 0;
    uint8_t* at = &sentinel;
    {
        FailingAllocator failing(0);
        grown = stream.WriteBytes(block.data(), 3000);
        reserved = stream.Reserve(1000000);
        room = stream.RoomAhead(5000, at);
    }
    for (gCResult r : {grown, reserved, room})
        EXPECT_RESULT(r, kOutOfMemory);
    EXPECT_EQ(at, nullptr);
    EXPECT_EQ(stream.GetSize() + stream.Tell() + stream.GetCapacity(), 4 + 4 + 2048);
    EXPECT_RESULT(stream.Reserve(int64_t(1) << 32), kOutOfMemory);
}

// A reader that puts bytes straight into the stream: room first, then the bytes are taken.
TEST(MemFile, BytesPutInPlaceAtThePosition)
{
    const struct {
        const char* what;
        int64_t reserve, startAt; // the stream holds 100 bytes
        uint32_t room, taken;
        gCResult advanced;
        int64_t size, capacity;
    } cases[] = {
        {"fewer taken than room asked for", 100000, 100, 64000, 10, kOk, 110, 100000},
        {"room exactly to the reserved end", 64100, 100, 64000, 64000, kOk, 64100, 64100},
        {"room past the block grows it like a write", 0, 100, 64000, 64000, kOk, 64100, 66148},
        {"in the middle the size only grows past its end", 0, 40, 100, 100, kOk, 140, 2048},
        {"more taken than the block holds", 0, 100, 10, 5000, kBadParameter, 100, 2048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gCMemFile stream;
        Bytes first(100, 7);
        ASSERT_OK(stream.WriteBytes(first.data(), 100));
        ASSERT_OK(stream.Reserve(c.reserve));
        ASSERT_OK(stream.SetPosition(c.startAt));
        uint8_t* at = nullptr;
        ASSERT_OK(stream.RoomAhead(c.room, at));
        std::memset(at, 0x33, c.room);
        EXPECT_RESULT(stream.Advance(c.taken), c.advanced);
        EXPECT_EQ(stream.GetSize(), c.size);
        EXPECT_EQ(stream.Tell(), c.size);
        EXPECT_EQ(stream.GetCapacity(), c.capacity);
        EXPECT_EQ(stream.GetData()[c.size - 1], c.advanced == kOk ? 0x33 : 7);
    }
}

TEST(MemFile, PositionsReachTheSizeButNotBeyond)
{
    gCMemFile stream;
    uint8_t byte = 0;
    EXPECT_RESULT(stream.SetPosition(5), kStreamFailure);
    EXPECT_RESULT(stream.ReadU8(byte), kStreamFailure);
    EXPECT_EQ(stream.Tell(), 0) << "an empty stream never positions before its block";
    ASSERT_OK(stream.WriteU16(0x0201));
    EXPECT_OK(stream.SetPosition(2)) << "the size itself is allowed";
    EXPECT_RESULT(stream.SetPosition(3), kStreamFailure);
    EXPECT_RESULT(stream.SetPosition(-1), kBadParameter);
    EXPECT_EQ(stream.Tell(), 1);
}

TEST(File, OpenModesOnMissingAndExistingFiles)
{
    TempFolder folder;
    const gCString missing = folder.File(L"missing.bin"), existing = folder.File(L"existing.bin");
    const struct {
        int32_t mode;
        gCResult onMissing, written;
        Bytes afterWritingAB; // what the existing file holds after writing 'A' 'B'
    } cases[] = {
        {kAccessReadWrite, kFileOpenFailure, kOk, {'A', 'B', 3}},
        {kAccessRead, kFileOpenFailure, kStreamFailure, {1, 2, 3}},
        {kAccessWrite, kOk, kOk, {'A', 'B'}},
        {kAccessAppend, kOk, kOk, {1, 2, 3, 'A', 'B'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        DeleteFileW(missing.Text());
        gCFile file;
        EXPECT_EQ(file.OpenFullPath(missing, c.mode), c.onMissing);
        ASSERT_TRUE(WriteWholeFile(existing, {1, 2, 3}));
        ASSERT_OK(file.OpenFullPath(existing, c.mode)) << "opening again closes the file that was open";
        EXPECT_EQ(file.WriteBytes("AB", 2), c.written);
        EXPECT_EQ(file.GetLength(), static_cast<int64_t>(c.afterWritingAB.size())) << "buffered bytes count";
        EXPECT_OK(file.Close());
        EXPECT_EQ(ReadWholeFile(existing), c.afterWritingAB);
    }
}

TEST(File, BadOpensAndAClosedFile)
{
    TempFolder folder;
    BoxCapture boxes;
    gCFile file;
    EXPECT_RESULT(file.OpenFullPath(gCString(L""), kAccessRead), kBadParameter);
    EXPECT_RESULT(file.OpenFullPath(folder.File(L"a.bin"), 4), kBadParameter);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Bad parameter has been passed.\nUnknown Access state passed to gCFile.");
    // A text cut short by an embedded 0 would name another file.
    EXPECT_RESULT(file.OpenFullPath(WithEmbeddedZero(folder / L"made.bin"), kAccessWrite), kBadParameter);
    EXPECT_RESULT(file.Open(gCFRef(WithEmbeddedZero(folder / L"made.bin")), kAccessAppend), kBadParameter);
    EXPECT_FALSE(PathExists(folder / L"made.bin"));

    uint8_t byte = 0;
    gCString text;
    EXPECT_RESULT(file.ReadU8(byte), kInvalidFile);
    EXPECT_RESULT(file.ReadString(text), kInvalidFile);
    EXPECT_RESULT(file.SetPosition(0), kInvalidFile);
    EXPECT_RESULT(file.ReadRaw(&byte, 1), kBadParameter);
}

TEST(TextReaders, TextsEndAtTheirZeroUnitOnBothKindsAndNeverBeyondTheData)
{
    const std::pair<Bytes, std::vector<std::wstring>> cases[] = {
        {Concat({Utf16(L"ab"), {0, 0}, Utf16(L"cd"), {0, 0}}), {L"ab", L"cd"}},
        {Utf16(L"abc"), {}},
        {Concat({Utf16(L"ab"), {0, 0}, {'c'}}), {L"ab"}},
    };
    for (int32_t kind : {kStreamKindFile, kStreamKindMemory}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << "row " << (&c - cases) << ", kind " << kind);
            StreamOver s(kind, c.first);
            EXPECT_EQ(ReadAll(*s.stream), c.second);
        }
    }
    // The block beyond a memory stream's data still holds the zeros of an earlier text.
    gCMemFile memory;
    ASSERT_OK(memory.WriteBytes("xy\0\0\0\0", 6));
    memory.ResetBuffer();
    ASSERT_OK(memory.WriteBytes("xy", 2));
    ASSERT_OK(memory.Rewind());
    EXPECT_TRUE(ReadAll(memory).empty());
}

// A file's text reader also ends at line ends, drops byte-order marks and runs on across the
// pieces the file is read in.
TEST(TextReaders, FileTextsEndAtLineEndsAndDropMarks)
{
    std::wstring longText(3000, L'x');
    longText[1023] = L'y';
    const struct {
        Bytes bytes;
        std::wstring first;
        int64_t position;
        int32_t swapAfter;
    } cases[] = {
        {Utf16(L"ab\r\ncd"), L"ab\n", 8, 0},
        {Utf16(L"ab\n\rcd"), L"ab\n", 8, 0},
        {Utf16(L"ab\rcd"), L"ab\n", 6, 0},
        {{0xFE, 0xFF, 0, 'a', 0x00, 0xFF, 0x01, 0x00, 0, 0}, L"a\u00FF\u0100", 10, 1},
        {Concat({Utf16(L"a"), {0xFF, 0xFE}, Utf16(L"b\r\n")}), L"ab\n", 10, 0},
        {Concat({Utf16(longText), {0, 0}, Utf16(L"next")}), longText, 6002, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << (&c - cases));
        StreamOver s(kStreamKindFile, c.bytes);
        gCString text;
        ASSERT_OK(s.stream->ReadString(text));
        EXPECT_EQ(W(text), c.first);
        EXPECT_EQ(s.stream->Tell(), c.position);
        EXPECT_EQ(s.stream->GetSwapFlag(), c.swapAfter);
    }
}

TEST(Writers, TextsHaveExactBytesAndLongOnesAreNotCut)
{
    gCMemFile memory;
    ASSERT_OK(memory.WriteString(gCString(L"ab"), 1));
    ASSERT_OK(memory.WriteString(gCString(L""), 0));
    ASSERT_OK(memory.WriteText8(gCString(L"x\u00E9"), 0));
    ASSERT_OK(memory.WriteText8(gCString(L"y"), 1));
    EXPECT_EQ(Bytes(memory.GetData(), memory.GetData() + memory.GetSize()),
              (Bytes{'a', 0, 'b', 0, '\r', 0, '\n', 0, 'x', 0xE9, 'y', '\r', '\n'}));
    // Longer than the shared 4096-byte conversion buffer.
    gCMemFile longLine;
    ASSERT_OK(longLine.WriteText8(gCString(std::wstring(5000, L'k').c_str()), 1));
    EXPECT_EQ(longLine.GetSize(), 5002);
}
