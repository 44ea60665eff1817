#include "CByteQueue.h"

#include <cstring>

#include "gMem.h"

namespace {
const uint32_t kSmallBlock = 2048;
const uint32_t kKeepAtMost = 256 * 1024;
const uint32_t kLargest = 0x7FFFFFFFu;
} // namespace

CByteQueue::~CByteQueue()
{
    if (m_data)
        gMemFree(m_data);
}

gCResult CByteQueue::Append(const char* bytes, uint32_t n)
{
    if (n == 0)
        return kOk;
    if (n > kLargest - m_size)
        return kOutOfMemory;
    uint32_t needed = m_size + n;
    if (m_start > 0 && needed > m_capacity - m_start) {
        std::memmove(m_data, m_data + m_start, m_size);
        m_start = 0;
    }
    if (needed > m_capacity) {
        uint32_t capacity = m_capacity < kSmallBlock ? kSmallBlock : m_capacity;
        while (capacity < needed)
            capacity = capacity > kLargest / 2 ? kLargest : capacity * 2;
        void* block = gMemRealloc(m_data, capacity);
        if (!block)
            return kOutOfMemory;
        m_data = static_cast<char*>(block);
        m_capacity = capacity;
    }
    std::memcpy(m_data + m_start + m_size, bytes, n);
    m_size += n;
    return kOk;
}

void CByteQueue::Consume(uint32_t n)
{
    if (n >= m_size) {
        Clear();
        return;
    }
    m_start += n;
    m_size -= n;
}

void CByteQueue::Clear()
{
    m_start = 0;
    m_size = 0;
    if (m_capacity > kKeepAtMost) {
        gMemFree(m_data);
        m_data = nullptr;
        m_capacity = 0;
    }
}

int64_t CByteQueue::Find(const char* pattern, uint32_t patternLength, uint32_t from) const
{
    if (patternLength == 0 || m_size < patternLength)
        return -1;
    const char* data = Data();
    for (uint32_t i = from; i <= m_size - patternLength; ++i)
        if (data[i] == pattern[0] && std::memcmp(data + i, pattern, patternLength) == 0)
            return i;
    return -1;
}
