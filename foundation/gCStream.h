// The toolkit's abstract byte stream: typed values copied as they lie in memory (little-endian),
// 8-bit and UTF-16 text, raw blocks and a 64-bit position. gCFile reads and writes a disk file,
// gCMemFile a memory block that it owns. Every operation returns a result code.
#pragma once
#include <cstdint>

#include "gCBaseObject.h"
#include "gCResult.h"
#include "gCString.h"

enum : int32_t {
    kStreamKindFile = 1,
    kStreamKindMemory = 2,
    kStreamKindFileImage = 3, // a file's bytes in memory, read as the file (CFileImage)
};

class gCStream : public gCBaseObject {
public:
    explicit gCStream(int32_t kind) : m_kind(kind) {}
    ~gCStream() override = default;
    gCStream(const gCStream&) = delete;
    gCStream& operator=(const gCStream&) = delete;

    // Typed reads move exactly their width or fail with 16, leaving the value untouched.
    virtual gCResult ReadU32(uint32_t& value);
    virtual gCResult ReadU8(uint8_t& value);
    virtual gCResult ReadU16(uint16_t& value);
    virtual gCResult ReadU64(uint64_t& value);
    virtual gCResult ReadS8(int8_t& value);
    virtual gCResult ReadS16(int16_t& value);
    virtual gCResult ReadS32(int32_t& value);
    virtual gCResult ReadS64(int64_t& value);
    virtual gCResult ReadFloat(float& value);
    virtual gCResult ReadDouble(double& value);
    virtual gCResult ReadInt(int32_t& value);
    virtual gCResult ReadText8(gCString& out) = 0;
    virtual gCResult ReadString(gCString& out) = 0;
    // UTF-16 text up to a carriage return or a 0 unit; the end of the data also ends a line.
    virtual gCResult ReadLine(gCString& out);
    // 16 when fewer than n bytes were there.
    virtual gCResult ReadBytes(void* buffer, uint32_t n) = 0;

    virtual gCResult WriteU32(uint32_t value);
    virtual gCResult WriteU8(uint8_t value);
    virtual gCResult WriteU16(uint16_t value);
    virtual gCResult WriteU64(uint64_t value);
    virtual gCResult WriteS8(int8_t value);
    virtual gCResult WriteS16(int16_t value);
    virtual gCResult WriteS32(int32_t value);
    virtual gCResult WriteS64(int64_t value);
    virtual gCResult WriteFloat(float value);
    virtual gCResult WriteDouble(double value);
    virtual gCResult WriteInt(int32_t value);
    // With the line flag, "\r\n" follows the text. Neither writes a terminator.
    virtual gCResult WriteText8(const gCString& text, int32_t lineFlag);
    virtual gCResult WriteString(const gCString& text, int32_t lineFlag);
    virtual gCResult WriteBytes(const void* buffer, uint32_t n) = 0;
    virtual gCResult WriteBOM();
    // Writes the rest of this stream, from its position to its end, to target.
    gCResult CopyRestTo(gCStream& target);

    virtual gCResult Rewind() = 0;
    virtual gCResult SeekEnd() = 0;
    virtual int64_t Tell() = 0;
    virtual gCResult GetPosition64(int64_t& position) = 0;
    virtual gCResult GetPosition32(uint32_t& position);
    virtual gCResult SetPosition(int64_t position) = 0;
    virtual int32_t IsAtEnd() = 0;
    virtual int64_t GetLength() = 0;
    virtual int32_t SetNarrowText(int32_t narrow);

    // Reads what is there of the next n bytes (possibly nothing) and moves past it. 16 only
    // when the medium fails; 17 without a file or data.
    virtual gCResult ReadUpTo(void* buffer, uint32_t n, uint32_t& got) = 0;
    // An open file, or a memory stream with a block.
    virtual bool HasData() const = 0;

    int32_t GetKind() const { return m_kind; }
    int32_t GetSwapFlag() const { return m_swap; }
    int32_t GetNarrowFlag() const { return m_narrow; }

protected:
    // Whether a text can be read from here: 17 without data, 16 at the end, else 0.
    gCResult TextReadable();
    // The narrow flag's 8-bit text as bytes in the ANSI code page, "\r\n" added for a line.
    gCResult WriteAnsiText(const gCString& text, int32_t lineFlag);

    int32_t m_kind;
    int32_t m_swap = 0;
    int32_t m_narrow = 0;
};
