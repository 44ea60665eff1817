// Reads little-endian values from a bounded window of bytes. A read that would pass the
// window's end reads nothing and fails with the end-of-data code 16.
#pragma once
#include <cstdint>
#include <cstring>

#include "gCResult.h"

class CSpanReader {
public:
    CSpanReader(const uint8_t* data, uint64_t size) : m_data(data), m_size(size) {}

    gCResult ReadU8(uint8_t& value) { return ReadRaw(&value, 1); }
    gCResult ReadU16(uint16_t& value) { return ReadRaw(&value, 2); }
    gCResult ReadU32(uint32_t& value) { return ReadRaw(&value, 4); }
    gCResult ReadU64(uint64_t& value) { return ReadRaw(&value, 8); }

    // The two words of a tag pair: 1 when they differ from the expected ones.
    gCResult ReadTags(uint32_t first, uint32_t second)
    {
        uint32_t a = 0;
        uint32_t b = 0;
        QV_RETURN_IF_FAILED(ReadU32(a));
        QV_RETURN_IF_FAILED(ReadU32(b));
        return a == first && b == second ? 0 : kGenericFailure;
    }

    // Points at the next n bytes and moves past them.
    gCResult Take(uint64_t n, const uint8_t*& bytes)
    {
        if (n > m_size - m_position)
            return kStreamFailure;
        bytes = m_data + m_position;
        m_position += n;
        return kOk;
    }

    uint64_t Position() const { return m_position; }
    uint64_t Remaining() const { return m_size - m_position; }

private:
    gCResult ReadRaw(void* value, uint64_t n)
    {
        const uint8_t* bytes = nullptr;
        QV_RETURN_IF_FAILED(Take(n, bytes));
        std::memcpy(value, bytes, static_cast<size_t>(n));
        return kOk;
    }

    const uint8_t* m_data;
    uint64_t m_size;
    uint64_t m_position = 0;
};
