#include "FailingAllocator.h"

namespace {
int gCalls = 0;
int gFail = 0;
FailingAllocator::Mode gMode = FailingAllocator::kFromOn;

bool FailsNext()
{
    const int call = gCalls++;
    return gMode == FailingAllocator::kFromOn ? call >= gFail : call == gFail;
}

void* Alloc(size_t n)
{
    return FailsNext() ? nullptr : DefaultMemAlloc(n);
}

void* Realloc(void* p, size_t n)
{
    return FailsNext() ? nullptr : DefaultMemRealloc(p, n);
}
} // namespace

FailingAllocator::FailingAllocator(int n, Mode mode) : m_alloc(gMemAlloc), m_realloc(gMemRealloc)
{
    gCalls = 0;
    gFail = n;
    gMode = mode;
    gMemAlloc = Alloc;
    gMemRealloc = Realloc;
}

FailingAllocator::~FailingAllocator()
{
    gMemAlloc = m_alloc;
    gMemRealloc = m_realloc;
}

int FailingAllocator::Calls() const
{
    return gCalls;
}
