#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "BoxCapture.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "FakeHost.h"
#include "TempFolder.h"
#include "gCFRef.h"
#include "gCFRelative.h"
#include "gCFile.h"
#include "gCMemFile.h"

namespace {

Bytes MemBytes(gCMemFile& stream)
{
    const uint8_t* data = stream.GetData();
    return Bytes(data, data + stream.GetSize());
}

void Fill(gCMemFile& stream, const Bytes& bytes)
{
    ASSERT_OK(stream.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_OK(stream.Rewind());
}

// The same bytes behind either kind of stream, for the readers that both must get right.
class StreamOver {
public:
    StreamOver(int32_t kind, const Bytes& bytes)
    {
        if (kind == kStreamKindMemory) {
            auto memory = std::make_unique<gCMemFile>();
            Fill(*memory, bytes);
            stream = std::move(memory);
        } else {
            path = folder.File(L"data.bin");
            EXPECT_TRUE(WriteWholeFile(path, bytes));
            auto file = std::make_unique<gCFile>();
            EXPECT_OK(file->OpenFullPath(path, kAccessRead));
            stream = std::move(file);
        }
    }
    gCStream* operator->() { return stream.get(); }
    gCStream& operator*() { return *stream; }

    TempFolder folder;
    gCString path;
    std::unique_ptr<gCStream> stream;
};

// The next value of a stream, read with one of its typed readers.
template <typename T>
T Next(gCStream& stream, gCResult (gCStream::*reader)(T&))
{
    T value{};
    EXPECT_OK((stream.*reader)(value));
    return value;
}

const int32_t kBothKinds[] = {kStreamKindFile, kStreamKindMemory};

} // namespace

TEST(MemFile, TypedValuesHaveTheirLittleEndianBytesAndReadBack)
{
    gCMemFile stream;
    ASSERT_OK(stream.WriteU32(258));
    ASSERT_OK(stream.WriteU8(0xAB));
    ASSERT_OK(stream.WriteU16(0x1234));
    ASSERT_OK(stream.WriteU64(0x0102030405060708ull));
    ASSERT_OK(stream.WriteS8(-2));
    ASSERT_OK(stream.WriteS16(-300));
    ASSERT_OK(stream.WriteS32(-70000));
    ASSERT_OK(stream.WriteS64(-5000000000ll));
    ASSERT_OK(stream.WriteFloat(1.5f));
    ASSERT_OK(stream.WriteDouble(-0.25));
    ASSERT_OK(stream.WriteInt(77));
    const Bytes golden = {
        0x02, 0x01, 0x00, 0x00,                         // 258
        0xAB,                                           // 0xAB
        0x34, 0x12,                                     // 0x1234
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, // 0x0102030405060708
        0xFE,                                           // -2
        0xD4, 0xFE,                                     // -300
        0x90, 0xEE, 0xFE, 0xFF,                         // -70000
        0x00, 0x0E, 0xFA, 0xD5, 0xFE, 0xFF, 0xFF, 0xFF, // -5000000000
        0x00, 0x00, 0xC0, 0x3F,                         // 1.5f
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF, // -0.25
        0x4D, 0x00, 0x00, 0x00,                         // 77
    };
    EXPECT_EQ(MemBytes(stream), golden);

    ASSERT_OK(stream.Rewind());
    // Braces read the values in order.
    using S = gCStream;
    const std::tuple read{Next(stream, &S::ReadU32),    Next(stream, &S::ReadU8),  Next(stream, &S::ReadU16),
                          Next(stream, &S::ReadU64),    Next(stream, &S::ReadS8),  Next(stream, &S::ReadS16),
                          Next(stream, &S::ReadS32),    Next(stream, &S::ReadS64), Next(stream, &S::ReadFloat),
                          Next(stream, &S::ReadDouble), Next(stream, &S::ReadInt)};
    EXPECT_EQ(read, std::make_tuple(258u, uint8_t{0xAB}, uint16_t{0x1234}, 0x0102030405060708ull, int8_t{-2},
                                    int16_t{-300}, -70000, -5000000000ll, 1.5f, -0.25, 77));
    EXPECT_TRUE(stream.IsAtEnd());
    uint8_t u8 = 0;
    EXPECT_RESULT(stream.ReadU8(u8), kStreamFailure) << "a read at the end";
}

TEST(MemFile, GrowsBy2048BeyondWhatIsNeeded)
{
    gCMemFile stream;
    EXPECT_EQ(stream.GetCapacity(), 2048);
    Bytes block(3000, 0x5A);
    ASSERT_OK(stream.WriteBytes(block.data(), 3000));
    EXPECT_EQ(stream.GetCapacity(), 5048);
    EXPECT_EQ(stream.GetSize(), 3000);
    EXPECT_EQ(stream.Tell(), 3000);

    // Overwriting in the middle does not grow the stream.
    ASSERT_OK(stream.SetPosition(10));
    ASSERT_OK(stream.WriteU32(1));
    EXPECT_EQ(stream.GetSize(), 3000);
    EXPECT_EQ(stream.Tell(), 14);

    // Extend grows the size but leaves the position alone.
    ASSERT_OK(stream.Extend(100));
    EXPECT_EQ(stream.GetSize(), 3100);
    EXPECT_EQ(stream.Tell(), 14);
    EXPECT_RESULT(stream.Extend(-1), kBadParameter);

    stream.ResetBuffer();
    EXPECT_EQ(stream.GetCapacity(), 2048);
    EXPECT_EQ(stream.GetSize(), 0);
    EXPECT_EQ(stream.Tell(), 0);
}

TEST(MemFile, ManySmallWritesGrowGeometrically)
{
    gCMemFile stream;
    Bytes piece(64000, 1);
    int64_t capacity = stream.GetCapacity();
    int growths = 0;
    for (int k = 0; k < 160; ++k) {
        ASSERT_OK(stream.WriteBytes(piece.data(), static_cast<uint32_t>(piece.size())));
        if (stream.GetCapacity() != capacity) {
            ++growths;
            capacity = stream.GetCapacity();
        }
    }
    EXPECT_EQ(stream.GetSize(), 160 * 64000);
    EXPECT_LT(growths, 30) << "10 MB in 64,000-byte pieces";
}

TEST(MemFile, FailedGrowthLeavesTheStreamAsItWas)
{
    gCMemFile stream;
    ASSERT_OK(stream.WriteU32(7));
    Bytes block(5000, 1);
    gCResult r;
    {
        FailingAllocator failing(0);
        r = stream.WriteBytes(block.data(), 5000);
    }
    EXPECT_RESULT(r, kOutOfMemory);
    EXPECT_EQ(stream.GetSize(), 4);
    EXPECT_EQ(stream.Tell(), 4);
    EXPECT_EQ(stream.GetCapacity(), 2048);
}

// A reader that puts bytes straight into the stream: room first, then the bytes are taken.
TEST(MemFile, BytesPutInPlaceAtThePosition)
{
    const struct {
        const char* what;
        int64_t reserve;
        int64_t startAt; // position before the room is asked for (the stream holds 100 bytes)
        uint32_t room;
        uint32_t taken;
        gCResult advanced;
        int64_t size;
        int64_t position;
        int64_t capacity;
    } cases[] = {
        {"appended into a reserved block", 100000, 100, 64000, 64000, kOk, 64100, 64100, 100000},
        {"fewer taken than asked room for", 100000, 100, 64000, 10, kOk, 110, 110, 100000},
        {"room exactly to the reserved end", 64100, 100, 64000, 64000, kOk, 64100, 64100, 64100},
        {"room past the block grows it like a write", 0, 100, 64000, 64000, kOk, 64100, 64100, 66148},
        {"in the middle the size only grows past its end", 0, 40, 100, 100, kOk, 140, 140, 2048},
        {"more taken than the block holds", 0, 100, 10, 5000, kBadParameter, 100, 100, 2048},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gCMemFile stream;
        Bytes first(100, 7);
        ASSERT_OK(stream.WriteBytes(first.data(), 100));
        ASSERT_OK(stream.Reserve(c.reserve));
        EXPECT_EQ(stream.GetSize(), 100);
        ASSERT_OK(stream.SetPosition(c.startAt));
        uint8_t* at = nullptr;
        ASSERT_OK(stream.RoomAhead(c.room, at));
        ASSERT_NE(at, nullptr);
        std::memset(at, 0x33, c.room);
        EXPECT_RESULT(stream.Advance(c.taken), c.advanced);
        EXPECT_EQ(stream.GetSize(), c.size);
        EXPECT_EQ(stream.Tell(), c.position);
        EXPECT_EQ(stream.GetCapacity(), c.capacity);
        EXPECT_EQ(stream.GetData()[0], 7);
        if (c.advanced == kOk) {
            EXPECT_EQ(stream.GetData()[c.position - 1], 0x33);
        }
    }
}

TEST(MemFile, FailedReservationLeavesTheStreamAsItWas)
{
    gCMemFile stream;
    ASSERT_OK(stream.WriteU32(7));
    gCResult reserved;
    gCResult room;
    uint8_t sentinel = 0;
    uint8_t* at = &sentinel;
    {
        FailingAllocator failing(0);
        reserved = stream.Reserve(1000000);
        room = stream.RoomAhead(5000, at);
    }
    EXPECT_RESULT(reserved, kOutOfMemory);
    EXPECT_RESULT(room, kOutOfMemory);
    EXPECT_EQ(at, nullptr);
    EXPECT_EQ(stream.GetSize(), 4);
    EXPECT_EQ(stream.GetCapacity(), 2048);
    EXPECT_RESULT(stream.Reserve(int64_t(1) << 32), kOutOfMemory);
}

TEST(MemFile, PositionRules)
{
    gCMemFile stream;
    Fill(stream, {1, 2});
    uint32_t value = 0xDEADBEEF;
    EXPECT_RESULT(stream.ReadU32(value), kStreamFailure);
    EXPECT_EQ(value, 0xDEADBEEFu) << "a short read leaves the value alone";
    EXPECT_EQ(stream.Tell(), 1) << "size - 1";

    EXPECT_OK(stream.SetPosition(2)) << "the size itself is allowed";
    EXPECT_TRUE(stream.IsAtEnd());
    EXPECT_RESULT(stream.SetPosition(3), kStreamFailure);
    EXPECT_EQ(stream.Tell(), 1);
    EXPECT_RESULT(stream.SetPosition(-1), kBadParameter);
    EXPECT_EQ(stream.Tell(), 1);

    uint32_t low = 0;
    int64_t full = 0;
    EXPECT_OK(stream.GetPosition32(low));
    EXPECT_OK(stream.GetPosition64(full));
    EXPECT_EQ(low, 1u);
    EXPECT_EQ(full, 1);
    EXPECT_OK(stream.SeekEnd());
    EXPECT_EQ(stream.Tell(), 2);
    EXPECT_EQ(stream.GetLength(), 2);
}

TEST(MemFile, AnEmptyStreamNeverPositionsBeforeItsBlock)
{
    gCMemFile stream;
    uint8_t byte = 0;
    gCString text;
    EXPECT_RESULT(stream.SetPosition(5), kStreamFailure);
    EXPECT_EQ(stream.Tell(), 0);
    EXPECT_RESULT(stream.ReadU8(byte), kStreamFailure);
    EXPECT_EQ(stream.Tell(), 0);
    ASSERT_OK(stream.WriteU16(0x0201));
    EXPECT_EQ(MemBytes(stream), (Bytes{0x01, 0x02}));
}

TEST(File, OpenModesOnMissingAndExistingFiles)
{
    TempFolder folder;
    gCString missing = folder.File(L"missing.bin");
    gCString existing = folder.File(L"existing.bin");
    ASSERT_TRUE(WriteWholeFile(existing, {1, 2, 3}));

    struct Case {
        int32_t mode;
        gCResult onMissing;
        Bytes afterWritingAB; // what the existing file holds after writing 'A' 'B'
        gCResult writeResult;
    };
    const Case cases[] = {
        {kAccessReadWrite, kFileOpenFailure, {'A', 'B', 3}, 0},
        {kAccessRead, kFileOpenFailure, {1, 2, 3}, kStreamFailure},
        {kAccessWrite, 0, {'A', 'B'}, 0},
        {kAccessAppend, 0, {1, 2, 3, 'A', 'B'}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        DeleteFileW(missing.Text());
        gCFile file;
        EXPECT_EQ(file.OpenFullPath(missing, c.mode), c.onMissing);
        EXPECT_EQ(file.IsOpen(), c.onMissing == 0);
        EXPECT_OK(file.Close());

        ASSERT_TRUE(WriteWholeFile(existing, {1, 2, 3}));
        ASSERT_OK(file.OpenFullPath(existing, c.mode));
        const uint8_t ab[2] = {'A', 'B'};
        EXPECT_EQ(file.WriteBytes(ab, 2), c.writeResult);
        EXPECT_OK(file.Close());
        EXPECT_EQ(ReadWholeFile(existing), c.afterWritingAB);
    }
}

TEST(File, OpenOrCreateMakesTheFileForUpdate)
{
    TempFolder folder;
    gCString path = folder.File(L"new.bin");
    gCFile file;
    ASSERT_OK(file.OpenOrCreateFullPath(path, kAccessReadWrite));
    ASSERT_OK(file.WriteU32(0x04030201));
    ASSERT_OK(file.Rewind());
    uint16_t value = 0;
    EXPECT_OK(file.ReadU16(value));
    EXPECT_EQ(value, 0x0201);
    ASSERT_OK(file.Close());

    ASSERT_OK(file.OpenOrCreateFullPath(path, kAccessReadWrite)) << "an existing file keeps its bytes";
    EXPECT_EQ(file.GetLength(), 4);
}

TEST(File, ATextWithAnEmbeddedZeroOpensNothing)
{
    TempFolder folder;
    const gCString made = folder.File(L"made.bin");
    std::wstring withZero(made.Text(), static_cast<size_t>(made.Length()));
    withZero += L'\0';
    withZero += L"ghost";
    gCString text;
    ASSERT_OK(text.SetTextN(withZero.data(), static_cast<int32_t>(withZero.size())));
    gCFile file;
    EXPECT_RESULT(file.OpenFullPath(text, kAccessWrite), kBadParameter);
    EXPECT_RESULT(file.OpenOrCreateFullPath(text, kAccessReadWrite), kBadParameter);
    EXPECT_RESULT(file.Open(gCFRef(text), kAccessAppend), kBadParameter);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(GetFileAttributesW(made.Text()), INVALID_FILE_ATTRIBUTES) << "the cut name must not be made";
}

TEST(File, BadOpensAndAClosedFile)
{
    TempFolder folder;
    gCString path = folder.File(L"a.bin");
    ASSERT_TRUE(WriteWholeFile(path, {9}));
    BoxCapture boxes;
    gCFile file;
    EXPECT_RESULT(file.OpenFullPath(gCString(L""), kAccessRead), kBadParameter);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_RESULT(file.OpenFullPath(path, 4), kBadParameter);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Bad parameter has been passed.\nUnknown Access state passed to gCFile.");
    EXPECT_FALSE(file.IsOpen());

    uint8_t byte = 0;
    gCString text;
    int64_t position = 0;
    EXPECT_RESULT(file.ReadU8(byte), kInvalidFile);
    EXPECT_RESULT(file.WriteU8(1), kInvalidFile);
    EXPECT_RESULT(file.ReadString(text), kInvalidFile);
    EXPECT_RESULT(file.ReadText8(text), kInvalidFile);
    EXPECT_RESULT(file.ReadLine(text), kInvalidFile);
    EXPECT_RESULT(file.WriteString(text, 1), kInvalidFile);
    EXPECT_RESULT(file.GetPosition64(position), kInvalidFile);
    EXPECT_RESULT(file.SetPosition(0), kInvalidFile);
    EXPECT_RESULT(file.Rewind(), kInvalidFile);
    EXPECT_RESULT(file.SeekEnd(), kInvalidFile);
    EXPECT_EQ(file.IsAtEnd(), 1);
    EXPECT_RESULT(file.ReadRaw(&byte, 1), kBadParameter);
    EXPECT_RESULT(file.WriteRaw(&byte, 1), kBadParameter);
    EXPECT_OK(file.Close());

    // Opening again closes the file that was open.
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    EXPECT_OK(file.ReadU8(byte));
    EXPECT_EQ(byte, 9);
}

TEST(File, OpensThroughPathObjects)
{
    TempFolder program, second;
    FakeHost host;
    host.programFolder = gCString(program.Path().c_str());
    host.secondFolder = gCString(second.Path().c_str());
    ASSERT_EQ(CreateDirectoryW((program.Path() + L"Resources").c_str(), nullptr), TRUE);
    gCString inResources = program.File(L"Resources\\t.vsf");
    ASSERT_TRUE(WriteWholeFile(inResources, {7}));
    ASSERT_TRUE(WriteWholeFile(second.File(L"s.bin"), {8}));

    gCFile file;
    EXPECT_RESULT(file.Open(gCFRef(), kAccessRead), kBadParameter);
    EXPECT_RESULT(gCFile::OpenPath(file, gCFRelative(gCString(L"")), kAccessRead), kBadParameter);
    EXPECT_OK(gCFile::OpenValidPath(file, gCFRef(inResources), kAccessRead));
    EXPECT_OK(file.Close());

    EXPECT_OK(OpenFileByName(file, gCString(L"Resources:t.vsf"), kAccessRead));
    uint8_t byte = 0;
    EXPECT_OK(file.ReadU8(byte));
    EXPECT_EQ(byte, 7);
    EXPECT_RESULT(OpenFileByName(file, gCString(L"Resources:none.vsf"), kAccessRead), kFileOpenFailure);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_RESULT(OpenFileByName(file, gCString(L""), kAccessRead), kBadParameter);

    EXPECT_EQ(CanOpenForReading(gCString(L"Resources:t.vsf"), 0), 1u);
    EXPECT_EQ(CanOpenForReading(gCString(L"s.bin"), 0), 0u);
    EXPECT_EQ(CanOpenForReading(gCString(L"s.bin"), 1), 1u);
    EXPECT_EQ(CanOpenForReading(gCString(L""), 0), 0u);
}

TEST(File, ShortReadsFailAndLeaveTheValue)
{
    TempFolder folder;
    gCString path = folder.File(L"short.bin");
    ASSERT_TRUE(WriteWholeFile(path, {1, 2, 3}));
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    uint32_t value = 0xDEADBEEF;
    EXPECT_RESULT(file.ReadU32(value), kStreamFailure);
    EXPECT_EQ(value, 0xDEADBEEFu);
    uint8_t buffer[8];
    ASSERT_OK(file.Rewind());
    EXPECT_RESULT(file.ReadBytes(buffer, 8), kStreamFailure);
    ASSERT_OK(file.Rewind());
    uint32_t count = 0;
    EXPECT_OK(file.ReadCounted(buffer, 8, count)) << "the raw read takes what is there";
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(file.IsAtEnd());
    EXPECT_RESULT(file.ReadU8(buffer[0]), kStreamFailure);
}

TEST(File, LengthCountsBufferedWritesAndReadsFollowWrites)
{
    TempFolder folder;
    gCString path = folder.File(L"rw.bin");
    ASSERT_TRUE(WriteWholeFile(path, {1, 2, 3, 4, 5, 6, 7, 8}));
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessReadWrite));
    uint16_t first = 0;
    ASSERT_OK(file.ReadU16(first));
    ASSERT_OK(file.WriteU16(0xBBAA)) << "a write straight after a read";
    uint8_t next = 0;
    ASSERT_OK(file.ReadU8(next)) << "a read straight after a write";
    EXPECT_EQ(next, 5);
    ASSERT_OK(file.SeekEnd());
    Bytes tail(5000, 0x33);
    ASSERT_OK(file.WriteBytes(tail.data(), 5000));
    EXPECT_EQ(file.GetLength(), 5008);
    EXPECT_TRUE(file.IsAtEnd());
    ASSERT_OK(file.Close());
    Bytes all = ReadWholeFile(path);
    ASSERT_EQ(all.size(), 5008u);
    EXPECT_EQ(Bytes(all.begin(), all.begin() + 6), (Bytes{1, 2, 0xAA, 0xBB, 5, 6}));
}

// The readers every stream shares, over either kind: each read in turn, where the first read
// ends, whether the data is used up, and a last read that fails and leaves its output alone.
TEST(TextReaders, SharedReadersOnBothKinds)
{
    using Reader = gCResult (gCStream::*)(gCString&);
    const Reader string = &gCStream::ReadString, line = &gCStream::ReadLine;
    struct Case {
        const char* what;
        Bytes bytes;
        int32_t narrow;
        std::vector<std::pair<Reader, std::wstring>> reads;
        int64_t firstEnds;
        bool atEnd;
        Reader failing;
        int32_t swap;
    };
    // U+00FF stored big-endian is the raw unit 0xFF00: it must be swapped like any other.
    const Bytes bigEndian = {0xFE, 0xFF, 0x00, 'h', 0x00, 0xFF, 0x00, '\r', 0x00, '\n', 0x00, 'i'};
    const Case cases[] = {
        {"texts up to their zero unit",
         Concat({Utf16(L"ab"), {0, 0}, Utf16(L"cd"), {0, 0}}),
         0,
         {{string, L"ab"}, {string, L"cd"}},
         6,
         true,
         string,
         0},
        {"a text without its zero unit", Utf16(L"abc"), 0, {}, 0, false, string, 0},
        // After the CR; the LF waits for the next line.
        {"lines",
         Utf16(L"first\r\nsecond\r\nlast"),
         0,
         {{line, L"first"}, {line, L"second"}, {line, L"last"}},
         12,
         true,
         line,
         0},
        {"big-endian lines", bigEndian, 0, {{line, L"h\u00FF"}, {line, L"i"}}, 8, true, line, 1},
        {"little-endian lines",
         Concat({{0xFF, 0xFE}, Utf16(L"h\u00FF\r\ni")}),
         0,
         {{line, L"h\u00FF"}, {line, L"i"}},
         8,
         true,
         line,
         0},
        {"an odd byte at the end", Concat({Utf16(L"ab"), {'c'}}), 0, {{line, L"ab"}}, 5, true, line, 0},
        {"8-bit text",
         Ansi(std::string("caf\xE9\0next\0", 10)),
         1,
         {{string, L"caf\u00E9"}, {line, L"next"}},
         5,
         true,
         line,
         0},
    };
    for (int32_t kind : kBothKinds) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << c.what << " " << kind);
            StreamOver s(kind, c.bytes);
            EXPECT_EQ(s->SetNarrowText(c.narrow), c.narrow);
            for (const auto& read : c.reads) {
                gCString text;
                ASSERT_OK(((*s).*read.first)(text));
                EXPECT_EQ(W(text), read.second);
                if (&read == &c.reads[0]) {
                    EXPECT_EQ(s->Tell(), c.firstEnds);
                }
            }
            EXPECT_EQ(s->IsAtEnd() != 0, c.atEnd);
            EXPECT_EQ(s->GetSwapFlag(), c.swap);
            gCString kept(L"kept");
            EXPECT_RESULT(((*s).*c.failing)(kept), kStreamFailure);
            EXPECT_EQ(W(kept), L"kept");
        }
    }
}

TEST(TextReaders, TextsWithoutTerminatorFailAndLeaveTheOutput)
{
    // The memory readers look only inside the data, although the block beyond holds zeros.
    gCMemFile memory;
    Fill(memory, Bytes{'x', 'y', 'z', 0, 0, 0});
    memory.ResetBuffer();
    Fill(memory, Ansi("xyz"));
    gCString text(L"kept");
    EXPECT_RESULT(memory.ReadText8(text), kStreamFailure);
    EXPECT_EQ(W(text), L"kept");
    EXPECT_EQ(memory.Tell(), 2);
    ASSERT_OK(memory.Rewind());
    EXPECT_RESULT(memory.ReadString(text), kStreamFailure);
    EXPECT_EQ(W(text), L"kept");
}

TEST(TextReaders, FileReadStringEndsAtLineEndsAndDropsMarks)
{
    struct Case {
        const char* what;
        Bytes bytes;
        std::wstring first;
        int64_t position;
        int32_t swapAfter;
    };
    const Case cases[] = {
        {"CR LF as one LF", Utf16(L"ab\r\ncd"), L"ab\n", 8, 0},
        {"LF CR as one LF", Utf16(L"ab\n\rcd"), L"ab\n", 8, 0},
        {"lone CR", Utf16(L"ab\rcd"), L"ab\n", 6, 0},
        {"lone LF", Utf16(L"ab\ncd"), L"ab\n", 6, 0},
        {"little-endian mark", Concat({{0xFF, 0xFE}, Utf16(L"ab"), {0, 0}}), L"ab", 8, 0},
        {"big-endian mark", {0xFE, 0xFF, 0, 'a', 0x00, 0xFF, 0x01, 0x00, 0, 0}, L"a\u00FF\u0100", 10, 1},
        {"mark in the middle", Concat({Utf16(L"a"), {0xFF, 0xFE}, Utf16(L"b\r\n")}), L"ab\n", 10, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StreamOver s(kStreamKindFile, c.bytes);
        gCString text;
        ASSERT_OK(s->ReadString(text));
        EXPECT_EQ(W(text), c.first);
        EXPECT_EQ(s->Tell(), c.position);
        EXPECT_EQ(s->GetSwapFlag(), c.swapAfter);
    }
}

TEST(TextReaders, FileReadStringTakesLongTextsWhole)
{
    std::wstring longText(3000, L'x');
    longText[1023] = L'y';
    longText[1024] = L'z';
    StreamOver s(kStreamKindFile, Concat({Utf16(longText), {0, 0}, Utf16(L"next"), {0, 0}}));
    gCString text;
    ASSERT_OK(s->ReadString(text));
    EXPECT_EQ(W(text), longText);
    ASSERT_OK(s->ReadString(text));
    EXPECT_EQ(W(text), L"next");
}

TEST(TextReaders, FileReadText8KeepsTheFirstCharacterOfALineEnd)
{
    struct Case {
        const char* what;
        std::string bytes;
        std::wstring first;
        int64_t position;
    };
    const Case cases[] = {
        {"CR LF", "ab\r\ncd", L"ab\r", 4}, {"LF CR", "ab\n\rcd", L"ab\n", 4},
        {"lone LF", "ab\ncd", L"ab\n", 3}, {"zero byte", std::string("ab\0cd", 5), L"ab", 3},
        {"end of file", "abc", L"abc", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StreamOver s(kStreamKindFile, Ansi(c.bytes));
        gCString text;
        ASSERT_OK(s->ReadText8(text));
        EXPECT_EQ(W(text), c.first);
        EXPECT_EQ(s->Tell(), c.position);
    }
    // A line end split across two pieces of 1024 bytes is still one pair.
    StreamOver s(kStreamKindFile, Ansi(std::string(1023, 'q') + "\r\nz"));
    gCString text;
    ASSERT_OK(s->ReadText8(text));
    EXPECT_EQ(text.Length(), 1024);
    EXPECT_EQ(s->Tell(), 1025);
}

TEST(Writers, TextAndMarksHaveExactBytes)
{
    gCMemFile memory;
    ASSERT_OK(memory.WriteString(gCString(L"ab"), 1));
    ASSERT_OK(memory.WriteString(gCString(L""), 0));
    ASSERT_OK(memory.WriteBOM());
    ASSERT_OK(memory.WriteText8(gCString(L"x\u00E9"), 0));
    ASSERT_OK(memory.WriteText8(gCString(L"y"), 1));
    EXPECT_EQ(MemBytes(memory), (Bytes{'a', 0, 'b', 0, '\r', 0, '\n', 0, 0xFF, 0xFE, 'x', 0xE9, 'y', '\r', '\n'}));

    // Longer than the shared 4096-byte conversion buffer: nothing is cut.
    gCMemFile longLine;
    std::wstring text(5000, L'k');
    ASSERT_OK(longLine.WriteText8(gCString(text.c_str()), 1));
    EXPECT_EQ(longLine.GetSize(), 5002);

    gCMemFile narrow;
    narrow.SetNarrowText(1);
    ASSERT_OK(narrow.WriteString(gCString(L"caf\u00E9"), 1));
    EXPECT_EQ(MemBytes(narrow), Ansi("caf\xE9\r\n"));

    TempFolder folder;
    gCString path = folder.File(L"w.txt");
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessWrite));
    ASSERT_OK(file.WriteString(gCString(L"ab"), 1));
    ASSERT_OK(file.Close());
    EXPECT_EQ(ReadWholeFile(path), (Bytes{'a', 0, 'b', 0, '\r', 0, '\n', 0}));
}
