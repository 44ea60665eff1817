// Collects UTF-16 units or bytes for a reader before they become a gCString; grows with what
// was really read, never ahead by a count from the data.
#pragma once
#include <cstdint>

#include "gCResult.h"
#include "gMem.h"

template <typename T>
class CTextCollector {
public:
    CTextCollector() = default;
    ~CTextCollector() { gMemFree(m_data); }
    CTextCollector(const CTextCollector&) = delete;
    CTextCollector& operator=(const CTextCollector&) = delete;

    gCResult Add(T value)
    {
        if (m_count == m_capacity) {
            int32_t capacity = m_capacity < 64 ? 64 : m_capacity * 2;
            if (capacity > 0x3FFFFFFF / static_cast<int32_t>(sizeof(T)))
                return kOutOfMemory;
            void* block = gMemRealloc(m_data, sizeof(T) * static_cast<size_t>(capacity));
            if (!block)
                return kOutOfMemory;
            m_data = static_cast<T*>(block);
            m_capacity = capacity;
        }
        m_data[m_count++] = value;
        return kOk;
    }
    const T* Data() const { return m_data; }
    int32_t Count() const { return m_count; }

private:
    T* m_data = nullptr;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
};
