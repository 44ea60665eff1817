#include "FailingAllocator.h"

namespace {
int gCalls = 0;
int gFailFrom = 0;

void* Alloc(size_t n)
{
    return gCalls++ >= gFailFrom ? nullptr : DefaultMemAlloc(n);
}

void* Realloc(void* p, size_t n)
{
    return gCalls++ >= gFailFrom ? nullptr : DefaultMemRealloc(p, n);
}
} // namespace

FailingAllocator::FailingAllocator(int failFrom) : m_alloc(gMemAlloc), m_realloc(gMemRealloc)
{
    gCalls = 0;
    gFailFrom = failFrom;
    gMemAlloc = Alloc;
    gMemRealloc = Realloc;
}

FailingAllocator::~FailingAllocator()
{
    gMemAlloc = m_alloc;
    gMemRealloc = m_realloc;
}
