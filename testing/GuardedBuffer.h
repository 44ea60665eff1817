// A buffer whose last byte lies just before an inaccessible page (and whose first byte just
// after one), so any read or write out of bounds faults at once.
#pragma once
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size)
    {
        const size_t dataPages = size == 0 ? 1 : (size + kPage - 1) / kPage;
        m_base = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, (dataPages + 2) * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(m_base, kPage, PAGE_NOACCESS, &old);
        VirtualProtect(m_base + kPage + dataPages * kPage, kPage, PAGE_NOACCESS, &old);
        m_tail = m_base + kPage + dataPages * kPage - size;
    }
    GuardedBuffer(const std::vector<uint8_t>& bytes) : GuardedBuffer(bytes.size())
    {
        if (!bytes.empty())
            std::memcpy(AtEnd(), bytes.data(), bytes.size());
    }
    ~GuardedBuffer() { VirtualFree(m_base, 0, MEM_RELEASE); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    // The bytes end right before the guard page: overruns fault.
    uint8_t* AtEnd() { return m_tail; }
    // The bytes start right after the guard page: underruns fault.
    uint8_t* AtStart() { return m_base + kPage; }

private:
    static constexpr size_t kPage = 4096;
    uint8_t* m_base = nullptr;
    uint8_t* m_tail = nullptr;
};
