// Swaps the memory hooks, for the life of the object, for ones that put each block right
// before an inaccessible page. Blocks from before the swap are freed by the previous hook.
// Run no gtest macro while it is active.
#pragma once
#include "gMem.h"

class GuardedAllocator {
public:
    GuardedAllocator();
    ~GuardedAllocator();
    GuardedAllocator(const GuardedAllocator&) = delete;
    GuardedAllocator& operator=(const GuardedAllocator&) = delete;

private:
    gMemAllocFn m_alloc;
    gMemFreeFn m_free;
    gMemReallocFn m_realloc;
};
