#include "gCMemFile.h"

#include <cstring>
#include <new>

namespace {

const int64_t kStartCapacity = 2048;
const int64_t kMaxCapacity = 0x7FFFFFFF;

} // namespace

gCMemFile::gCMemFile() : gCMemFile(kStreamKindMemory) {}

gCMemFile::gCMemFile(int32_t kind) : gCStream(kind)
{
    ResetBuffer();
}

gCMemFile::~gCMemFile()
{
    if (m_owns)
        delete m_block;
}

void gCMemFile::ResetBuffer()
{
    if (!m_block)
        m_block = new (std::nothrow) CMemBlock;
    if (m_block)
        // A write grows the block when it needs the room.
        (void)m_block->Resize(static_cast<int32_t>(kStartCapacity));
    m_size = 0;
    m_position = 0;
}

void gCMemFile::TakeOver(gCMemFile& other)
{
    if (&other == this)
        return;
    if (m_owns)
        delete m_block;
    m_block = other.m_block;
    m_size = other.m_size;
    m_position = other.m_position;
    m_owns = other.m_owns;
    other.m_block = nullptr;
    other.m_owns = 1;
    other.ResetBuffer();
}

void gCMemFile::ClampSize()
{
    int64_t capacity = GetCapacity();
    if (m_size > capacity)
        m_size = capacity;
    if (m_position > m_size)
        m_position = m_size;
}

// The last byte stays readable; an empty stream stays at 0, so a later write cannot land
// before the block.
gCResult gCMemFile::FailedRead()
{
    m_position = m_size > 0 ? m_size - 1 : 0;
    return kStreamFailure;
}

gCResult gCMemFile::ReadBytes(void* buffer, uint32_t n)
{
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (IsAtEnd())
        return kStreamFailure;
    if (static_cast<int64_t>(n) > Remaining())
        return FailedRead();
    std::memcpy(buffer, m_block->Data() + m_position, n);
    m_position += n;
    return kOk;
}

gCResult gCMemFile::ReadUpTo(void* buffer, uint32_t n, uint32_t& got)
{
    got = 0;
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    int64_t take = Remaining() < static_cast<int64_t>(n) ? Remaining() : n;
    std::memcpy(buffer, m_block->Data() + m_position, static_cast<size_t>(take));
    m_position += take;
    got = static_cast<uint32_t>(take);
    return kOk;
}

gCResult gCMemFile::ReadText8(gCString& out)
{
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (IsAtEnd())
        return kStreamFailure;
    const uint8_t* start = m_block->Data() + m_position;
    const void* zero = std::memchr(start, 0, static_cast<size_t>(Remaining()));
    if (!zero)
        return FailedRead();
    int32_t length = static_cast<int32_t>(static_cast<const uint8_t*>(zero) - start);
    QV_RETURN_IF_FAILED(out.SetAnsiN(reinterpret_cast<const char*>(start), length));
    m_position += length + 1;
    return kOk;
}

gCResult gCMemFile::ReadString(gCString& out)
{
    if (m_narrow)
        return ReadText8(out);
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (IsAtEnd())
        return kStreamFailure;
    const uint8_t* start = m_block->Data() + m_position;
    int64_t units = Remaining() / 2;
    int64_t length = 0;
    while (length < units && (start[2 * length] | start[2 * length + 1]) != 0)
        ++length;
    if (length == units)
        return FailedRead();
    QV_RETURN_IF_FAILED(out.Reserve(static_cast<int32_t>(length)));
    std::memcpy(out.MutableBuffer(), start, static_cast<size_t>(length) * 2);
    out.SetLength(static_cast<int32_t>(length));
    m_position += (length + 1) * 2;
    return kOk;
}

gCResult gCMemFile::WriteBytes(const void* buffer, uint32_t n)
{
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (m_position + n > m_size)
        QV_RETURN_IF_FAILED(Extend(m_position + n - m_size));
    if (n > 0)
        std::memcpy(m_block->Data() + m_position, buffer, n);
    m_position += n;
    return kOk;
}

gCResult gCMemFile::Extend(int64_t n)
{
    if (n < 0 || !HasData())
        return kBadParameter;
    ClampSize();
    int64_t capacity = GetCapacity();
    if (m_size + n < capacity) {
        m_size += n;
        return kOk;
    }
    QV_RETURN_IF_FAILED(GrowBeyond(m_size + n));
    m_size += n;
    return kOk;
}

gCResult gCMemFile::GrowBeyond(int64_t needed)
{
    const int64_t capacity = GetCapacity();
    int64_t wanted = needed + 2048;
    int64_t geometric = capacity + capacity / 2;
    if (geometric > kMaxCapacity)
        geometric = kMaxCapacity;
    int64_t grown = wanted > geometric ? wanted : geometric;
    if (grown > kMaxCapacity)
        return kOutOfMemory;
    QV_RETURN_IF_FAILED(m_block->Resize(static_cast<int32_t>(grown)));
    m_block->Data()[grown - 1] = 0;
    return kOk;
}

gCResult gCMemFile::Reserve(int64_t capacity)
{
    if (!HasData())
        return kInvalidFile;
    if (capacity <= GetCapacity())
        return kOk;
    if (capacity > kMaxCapacity)
        return kOutOfMemory;
    return m_block->Resize(static_cast<int32_t>(capacity));
}

gCResult gCMemFile::RoomAhead(uint32_t n, uint8_t*& at)
{
    at = nullptr;
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (m_position + n > GetCapacity())
        QV_RETURN_IF_FAILED(GrowBeyond(m_position + n));
    at = m_block->Data() + m_position;
    return kOk;
}

gCResult gCMemFile::Advance(uint32_t n)
{
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    if (m_position + n > GetCapacity())
        return kBadParameter;
    m_position += n;
    if (m_position > m_size)
        m_size = m_position;
    return kOk;
}

gCResult gCMemFile::Rewind()
{
    if (!HasData())
        return kInvalidFile;
    m_position = 0;
    return kOk;
}

gCResult gCMemFile::SeekEnd()
{
    if (!HasData())
        return kInvalidFile;
    ClampSize();
    m_position = m_size;
    return kOk;
}

int64_t gCMemFile::Tell()
{
    return m_position;
}

gCResult gCMemFile::GetPosition64(int64_t& position)
{
    if (!HasData())
        return kInvalidFile;
    position = m_position;
    return kOk;
}

gCResult gCMemFile::SetPosition(int64_t position)
{
    if (position < 0 || !HasData())
        return kBadParameter;
    ClampSize();
    if (position > m_size)
        return FailedRead();
    m_position = position;
    return kOk;
}

int32_t gCMemFile::IsAtEnd()
{
    if (!HasData())
        return 1;
    ClampSize();
    return m_position >= m_size ? 1 : 0;
}

int64_t gCMemFile::GetLength()
{
    return GetSize();
}

int64_t gCMemFile::GetSize()
{
    ClampSize();
    return m_size;
}
