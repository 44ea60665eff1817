// An owned, growable block of T, released through the free hook.
#pragma once
#include <cstdint>
#include <cstring>

#include "gCBaseObject.h"
#include "gCResult.h"
#include "gMem.h"

template <typename T>
class CMemBlockT : public gCBaseObject {
public:
    CMemBlockT() = default;
    ~CMemBlockT() override { Free(); }
    CMemBlockT(const CMemBlockT&) = delete;
    CMemBlockT& operator=(const CMemBlockT&) = delete;

    int32_t Count() const { return m_count; }
    T* Data() { return m_data; }
    const T* Data() const { return m_data; }

    // Resizes keeping the leading elements; on failure the block is unchanged.
    gCResult Resize(int32_t count)
    {
        if (count < 0)
            return kBadParameter;
        if (static_cast<uint64_t>(count) * sizeof(T) > 0x7FFFFFFFu)
            return kOutOfMemory;
        void* block = gMemRealloc(m_data, sizeof(T) * static_cast<size_t>(count));
        if (!block)
            return kOutOfMemory;
        m_data = static_cast<T*>(block);
        m_count = count;
        return kOk;
    }

    // Copies min(count, n) elements from source to the block's start.
    void CopyFrom(const T* source, int32_t n)
    {
        int32_t k = n < m_count ? n : m_count;
        if (k > 0 && source)
            std::memcpy(m_data, source, sizeof(T) * static_cast<size_t>(k));
    }

    // Trades blocks with the other: the elements stay where they are, their owners change.
    void Swap(CMemBlockT& other)
    {
        T* data = m_data;
        int32_t count = m_count;
        m_data = other.m_data;
        m_count = other.m_count;
        other.m_data = data;
        other.m_count = count;
    }

    void Free()
    {
        if (m_data)
            gMemFree(m_data);
        m_data = nullptr;
        m_count = 0;
    }

private:
    int32_t m_count = 0;
    T* m_data = nullptr;
};

class CMemBlock : public CMemBlockT<unsigned char> {};
