#include "GuardedAllocator.h"

#include <cstring>
#include <optional>

#include "GuardedBuffer.h"

namespace {

struct Block {
    std::optional<GuardedBuffer> buffer; // held in place: a new would come back through these hooks
    size_t size = 0;
};
Block gBlocks[64];
gMemFreeFn gPreviousFree = nullptr;
gMemReallocFn gPreviousRealloc = nullptr;

// The block handed out at p; with nullptr, a free one.
Block* Find(void* p)
{
    for (Block& b : gBlocks)
        if ((b.buffer ? b.buffer->AtEnd() : nullptr) == p)
            return &b;
    return nullptr;
}

void* Alloc(size_t n)
{
    Block* b = Find(nullptr);
    if (!b)
        return nullptr;
    b->buffer.emplace(n);
    b->size = n;
    return b->buffer->AtEnd();
}

void Free(void* p)
{
    Block* b = p ? Find(p) : nullptr;
    if (b)
        b->buffer.reset();
    else
        gPreviousFree(p);
}

void* Realloc(void* p, size_t n)
{
    Block* b = p ? Find(p) : nullptr;
    if (p && !b)
        return gPreviousRealloc(p, n);
    void* q = Alloc(n);
    if (q && b) {
        std::memcpy(q, p, b->size < n ? b->size : n);
        Free(p);
    }
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
