// Bytes received and not yet consumed. Appends grow the block geometrically and consuming
// from the front only moves an offset, so a large reply is neither copied per read nor
// held twice.
#pragma once
#include <cstdint>

#include "gCResult.h"

class CByteQueue {
public:
    CByteQueue() = default;
    ~CByteQueue();
    CByteQueue(const CByteQueue&) = delete;
    CByteQueue& operator=(const CByteQueue&) = delete;

    const char* Data() const { return m_data ? m_data + m_start : nullptr; }
    uint32_t Size() const { return m_size; }
    gCResult Append(const char* bytes, uint32_t n);
    void Consume(uint32_t n);
    // Empties the queue and gives a large block back.
    void Clear();
    // Index of the first occurrence of the pattern at or after from, or -1.
    int64_t Find(const char* pattern, uint32_t patternLength, uint32_t from = 0) const;

private:
    char* m_data = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_start = 0;
    uint32_t m_size = 0;
};
