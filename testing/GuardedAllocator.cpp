#include "GuardedAllocator.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

const size_t kPage = 4096;

// A block's pages start at the page of its data.
struct Slot {
    uint8_t* data;
    size_t size;
};
Slot gSlots[64];
gMemFreeFn gPreviousFree = nullptr;
gMemReallocFn gPreviousRealloc = nullptr;

// The slot of a block handed out here; with nullptr, a free slot.
Slot* Find(void* p)
{
    for (Slot& s : gSlots)
        if (s.data == p)
            return &s;
    return nullptr;
}

void* Alloc(size_t n)
{
    if (n == 0)
        n = 1;
    Slot* slot = Find(nullptr);
    if (!slot)
        return nullptr;
    size_t pages = (n + kPage - 1) / kPage + 1;
    uint8_t* base =
        static_cast<uint8_t*>(VirtualAlloc(nullptr, pages * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!base)
        return nullptr;
    DWORD old;
    VirtualProtect(base + (pages - 1) * kPage, kPage, PAGE_NOACCESS, &old);
    *slot = {base + (pages - 1) * kPage - n, n};
    return slot->data;
}

void Free(void* p)
{
    Slot* s = Find(p);
    if (!s) {
        gPreviousFree(p);
        return;
    }
    VirtualFree(reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(s->data) & ~(kPage - 1)), 0, MEM_RELEASE);
    *s = {nullptr, 0};
}

void* Realloc(void* p, size_t n)
{
    if (!p)
        return Alloc(n);
    Slot* s = Find(p);
    if (!s)
        return gPreviousRealloc(p, n);
    void* q = Alloc(n);
    if (!q)
        return nullptr;
    std::memcpy(q, p, s->size < n ? s->size : n);
    Free(p);
    return q;
}

} // namespace

GuardedAllocator::GuardedAllocator() : m_alloc(gMemAlloc), m_free(gMemFree), m_realloc(gMemRealloc)
{
    if (m_free != Free)
        gPreviousFree = m_free;
    gPreviousRealloc = m_realloc;
    gMemAlloc = Alloc;
    gMemFree = Free;
    gMemRealloc = Realloc;
}

GuardedAllocator::~GuardedAllocator()
{
    gMemAlloc = m_alloc;
    gMemRealloc = m_realloc;
    // Blocks handed out while active may still be freed later; keep freeing them here.
    gMemFree = Free;
}
