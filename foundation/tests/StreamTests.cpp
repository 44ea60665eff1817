#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "BoxCapture.h"
#include "CFileImage.h"
#include "FailingAllocator.h"
#include "PathTestSupport.h"
#include "gCFRef.h"
#include "gCFile.h"
#include "gCMemFile.h"

namespace {

// The same bytes behind every kind of stream, for the readers that all must get right.
struct StreamOver {
    StreamOver(int32_t kind, const Bytes& bytes)
    {
        EXPECT_OK(memory.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
        EXPECT_OK(memory.Rewind());
        EXPECT_TRUE(WriteWholeFile(folder.File(L"data.bin"), bytes));
        EXPECT_OK(file.OpenFullPath(folder.File(L"data.bin"), kAccessRead));
        EXPECT_OK(image.Load(gCFRef(folder.File(L"data.bin")), 1 << 20));
        stream = kind == kStreamKindMemory ? static_cast<gCStream*>(&memory)
                 : kind == kStreamKindFile ? static_cast<gCStream*>(&file)
                                           : &image;
    }
    TempFolder folder;
    gCMemFile memory;
    gCFile file;
    CFileImage image;
    gCStream* stream;
};

using TextReader = gCResult (gCStream::*)(gCString&);

// Reads texts one after another until one fails; the failed read leaves its output alone.
std::vector<std::wstring> ReadAll(gCStream& stream, TextReader read = &gCStream::ReadString)
{
    std::vector<std::wstring> texts;
    gCString text(L"kept");
    while ((stream.*read)(text) == kOk)
        texts.push_back(W(text));
    EXPECT_EQ(W(text), texts.empty() ? L"kept" : texts.back());
    return texts;
}

// The next value of a stream, read with one of its typed readers.
template <typename T>
T Next(gCStream& stream, gCResult (gCStream::*reader)(T&))
{
    T value{};
    EXPECT_OK((stream.*reader)(value));
    return value;
}

} // namespace

// Texts end with CR LF when asked; 8-bit mode makes every text 8-bit.
TEST(MemFile, TypedValuesAndTextsHaveTheirLittleEndianBytesAndReadBackAndPositionsReachTheSizeButNotBeyond)
{
    gCMemFile stream;
    for (gCResult r :
         {stream.WriteU32(258), stream.WriteU8(0xAB), stream.WriteU16(0x1234), stream.WriteU64(0x0102030405060708ull),
          stream.WriteS8(-2), stream.WriteS16(-300), stream.WriteS32(-70000), stream.WriteS64(-5000000000ll),
          stream.WriteFloat(1.5f), stream.WriteDouble(-0.25), stream.WriteString(gCString(L"ab"), 1),
          stream.WriteString(gCString(L""), 0), stream.WriteBOM(), stream.WriteText8(gCString(L"x\u00E9"), 0),
          stream.WriteText8(gCString(L"y"), 1)})
        ASSERT_OK(r);
    stream.SetNarrowText(1);
    ASSERT_OK(stream.WriteString(gCString(L"z"), 1));
    EXPECT_EQ(Bytes(stream.GetData(), stream.GetData() + stream.GetSize()),
              (Bytes{0x02, 0x01, 0x00, 0x00, 0xAB, 0x34, 0x12, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,
                     0xFE, 0xD4, 0xFE, 0x90, 0xEE, 0xFE, 0xFF, 0x00, 0x0E, 0xFA, 0xD5, 0xFE, 0xFF, 0xFF, 0xFF,
                     0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD0, 0xBF, 'a',  0,    'b',
                     0,    '\r', 0,    '\n', 0,    0xFF, 0xFE, 'x',  0xE9, 'y',  '\r', '\n', 'z',  '\r', '\n'}));
    // An 8-bit text longer than the shared 4096-byte conversion buffer is not cut.
    gCMemFile longLine;
    ASSERT_OK(longLine.WriteText8(gCString(std::wstring(5000, L'k').c_str()), 1));
    EXPECT_EQ(longLine.GetSize(), 5002);
    ASSERT_OK(stream.Rewind());
    // Braces read the values in order.
    const std::tuple read{Next(stream, &gCStream::ReadU32),   Next(stream, &gCStream::ReadU8),
                          Next(stream, &gCStream::ReadU16),   Next(stream, &gCStream::ReadU64),
                          Next(stream, &gCStream::ReadS8),    Next(stream, &gCStream::ReadS16),
                          Next(stream, &gCStream::ReadS32),   Next(stream, &gCStream::ReadS64),
                          Next(stream, &gCStream::ReadFloat), Next(stream, &gCStream::ReadDouble)};
    EXPECT_EQ(read, std::make_tuple(258u, uint8_t{0xAB}, uint16_t{0x1234}, 0x0102030405060708ull, int8_t{-2},
                                    int16_t{-300}, -70000, -5000000000ll, 1.5f, -0.25));
    uint32_t u32 = 0xDEADBEEF;
    ASSERT_OK(stream.SetPosition(stream.GetSize() - 3));
    EXPECT_RESULT(stream.ReadU32(u32), kStreamFailure);
    EXPECT_EQ(u32, 0xDEADBEEFu) << "a short read leaves the value alone";
    EXPECT_EQ(stream.Tell(), stream.GetSize() - 1);
    EXPECT_OK(stream.SetPosition(stream.GetSize())) << "the size itself is allowed";
    EXPECT_RESULT(stream.SetPosition(stream.GetSize() + 1), kStreamFailure);
    EXPECT_RESULT(stream.SetPosition(-1), kBadParameter);
    EXPECT_EQ(stream.Tell(), stream.GetSize() - 1);
    gCMemFile empty;
    EXPECT_RESULT(empty.SetPosition(5), kStreamFailure);
    EXPECT_RESULT(empty.ReadU32(u32), kStreamFailure);
    EXPECT_EQ(empty.Tell(), 0) << "an empty stream never positions before its block";
}

TEST(MemFile, GrowsBy2048BeyondTheNeedOrByHalfKeepsItsBytesWhenMemoryRunsOutAndPutsBytesInPlace)
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

    // A reader that puts bytes straight into the stream: room first, then the bytes are taken.
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
        gCMemFile placed;
        Bytes first(100, 7);
        ASSERT_OK(placed.WriteBytes(first.data(), 100));
        ASSERT_OK(placed.Reserve(c.reserve));
        ASSERT_OK(placed.SetPosition(c.startAt));
        uint8_t* put = nullptr;
        ASSERT_OK(placed.RoomAhead(c.room, put));
        std::memset(put, 0x33, c.room);
        EXPECT_RESULT(placed.Advance(c.taken), c.advanced);
        EXPECT_EQ(placed.GetSize(), c.size);
        EXPECT_EQ(placed.Tell(), c.size);
        EXPECT_EQ(placed.GetCapacity(), c.capacity);
        EXPECT_EQ(placed.GetData()[c.size - 1], c.advanced == kOk ? 0x33 : 7);
    }
}

TEST(File, OpenModesOnMissingAndExistingFilesACountedReadToTheEndAndBadOpens)
{
    TempFolder folder;
    const gCString missing = folder.File(L"missing.bin"), existing = folder.File(L"existing.bin");
    const struct {
        int32_t mode;
        gCResult onMissing, written;
        Bytes afterWritingAB; // what the existing file holds after writing 'A' 'B'
        bool orCreate = false;
    } cases[] = {
        {kAccessReadWrite, kFileOpenFailure, kOk, {'A', 'B', 3}},
        {kAccessRead, kFileOpenFailure, kStreamFailure, {1, 2, 3}},
        {kAccessWrite, kOk, kOk, {'A', 'B'}},
        {kAccessAppend, kOk, kOk, {1, 2, 3, 'A', 'B'}},
        {kAccessReadWrite, kOk, kOk, {'A', 'B', 3}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << c.orCreate);
        DeleteFileW(missing.Text());
        gCFile file;
        const auto open = [&](const gCString& path) {
            return c.orCreate ? file.OpenOrCreateFullPath(path, c.mode) : file.OpenFullPath(path, c.mode);
        };
        EXPECT_EQ(open(missing), c.onMissing);
        ASSERT_TRUE(WriteWholeFile(existing, {1, 2, 3}));
        ASSERT_OK(open(existing)) << "opening again closes the file that was open";
        EXPECT_EQ(file.WriteBytes("AB", 2), c.written);
        EXPECT_EQ(file.GetLength(), static_cast<int64_t>(c.afterWritingAB.size())) << "buffered bytes count";
        EXPECT_OK(file.Close());
        EXPECT_EQ(ReadWholeFile(existing), c.afterWritingAB);
    }
    // A counted read that meets the end takes what is there.
    gCFile file;
    ASSERT_OK(file.OpenFullPath(existing, kAccessRead));
    char buffer[8] = {};
    uint32_t count = 0;
    EXPECT_OK(file.ReadCounted(buffer, 8, count));
    EXPECT_EQ(std::string(buffer, count), "AB\x03");
    EXPECT_OK(file.Close());
    BoxCapture boxes;
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

// More than two blocks of a file, from its position on; a stream without a file copies nothing.
TEST(File, CopyRestToTakesEveryBlockFromThePositionOn)
{
    Bytes data(150000);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7 + i / 256);
    TempFolder folder;
    const gCString path = folder.File(L"rest.bin");
    ASSERT_TRUE(WriteWholeFile(path, data));
    gCFile file;
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(file.SetPosition(10));
    gCMemFile copy;
    ASSERT_OK(file.CopyRestTo(copy));
    EXPECT_EQ(Bytes(copy.GetData(), copy.GetData() + copy.GetSize()), Bytes(data.begin() + 10, data.end()));
    EXPECT_RESULT(gCFile().CopyRestTo(copy), kInvalidFile);
}

// Lines end at their CR, whose LF is dropped before the next line; a mark before a line sets
// the byte order. 8-bit texts end at their zero byte. A file's text reader also ends at line
// ends, takes marks anywhere and runs on across the pieces the file is read in; its 8-bit one
// keeps the first character of the line end.
TEST(TextReaders, TextsAndLinesEndOnBothKindsAndNeverBeyondTheData)
{
    std::wstring longText(3000, L'x');
    longText[1023] = L'y';
    const TextReader string = &gCStream::ReadString, line = &gCStream::ReadLine, text8 = &gCStream::ReadText8;
    const struct {
        Bytes bytes;
        TextReader read;
        std::vector<std::wstring> texts;
        bool fileOnly = false;
    } cases[] = {
        {Concat({Utf16(L"ab"), {0, 0}, Utf16(L"cd"), {0, 0}}), string, {L"ab", L"cd"}},
        {Concat({Utf16(L"ab"), {0, 0}, {'c'}}), string, {L"ab"}},
        {Concat({Utf16(longText), {0, 0}, Utf16(L"next"), {0, 0}}), string, {longText, L"next"}},
        {Utf16(L"first\r\nsecond\r\nlast"), line, {L"first", L"second", L"last"}},
        {{0xFE, 0xFF, 0x00, 'h', 0x00, 0xFF, 0x00, '\r', 0x00, '\n', 0x00, 'i'}, line, {L"h\u00FF", L"i"}},
        {Ansi(std::string("caf\xE9\0next\0", 10)), text8, {L"caf\u00E9", L"next"}},
        {Utf16(L"ab\r\ncd\n\ref\rg"), string, {L"ab\n", L"cd\n", L"ef\n"}, true},
        {{0xFE, 0xFF, 0, 'a', 0x00, 0xFF, 0x01, 0x00, 0, 0, 0, 'b', 0, 0}, string, {L"a\u00FF\u0100", L"b"}, true},
        {Concat({Utf16(L"a"), {0xFF, 0xFE}, Utf16(L"b\r\n")}), string, {L"ab\n"}, true},
        {Ansi("ab\r\ncd"), text8, {L"ab\r", L"cd"}, true},
        // A lone byte after a line end is left for the next text, which it cuts off.
        {Concat({Utf16(L"a\r"), {'z'}}), string, {L"a\n"}, true},
    };
    // A file's image in memory reads as the file.
    for (int32_t kind : {kStreamKindFile, kStreamKindMemory, kStreamKindFileImage}) {
        for (const auto& c : cases) {
            if (c.fileOnly && kind == kStreamKindMemory)
                continue;
            SCOPED_TRACE(testing::Message() << "row " << (&c - cases) << ", kind " << kind);
            StreamOver s(kind, c.bytes);
            EXPECT_EQ(ReadAll(*s.stream, c.read), c.texts);
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

// The image holds the file's bytes, not the file: one who shares nothing can open the file at
// once, and delete it, while the image is read. A size beyond the bound is refused as a missing
// file is, before anything is read, and leaves no earlier bytes behind.
TEST(FileImage, HoldsNoFileOpenAndRefusesASizeBeyondItsBound)
{
    TempFolder folder;
    const gCString path = folder.File(L"res.vrf");
    const Bytes bytes = Utf16(L"name\r\nrest");
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    CFileImage image;
    ASSERT_OK(image.Load(gCFRef(path), static_cast<int64_t>(bytes.size())));
    {
        CFileHandle alone(
            CreateFileW(path.Text(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(alone.IsValid());
    }
    ASSERT_TRUE(DeleteFileW(path.Text()));
    EXPECT_EQ(ReadAll(image), (std::vector<std::wstring>{L"name\n"}));
    EXPECT_RESULT(image.Load(gCFRef(path), 1 << 20), kFileOpenFailure);
    EXPECT_EQ(image.GetSize(), 0);

    ASSERT_TRUE(WriteWholeFile(path, bytes));
    ASSERT_OK(image.Load(gCFRef(path), static_cast<int64_t>(bytes.size())));
    EXPECT_RESULT(image.Load(gCFRef(path), static_cast<int64_t>(bytes.size()) - 1), kFileOpenFailure);
    EXPECT_EQ(image.GetSize(), 0);
    gCString text;
    EXPECT_RESULT(image.ReadString(text), kStreamFailure);
}
