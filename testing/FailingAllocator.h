// Swaps the memory hooks for ones that fail from the n-th allocation on, for the life of
// the object.
#pragma once
#include "gMem.h"

class FailingAllocator {
public:
    // Allocations numbered from 0; every allocation at or after failFrom fails.
    explicit FailingAllocator(int failFrom);
    ~FailingAllocator();
    FailingAllocator(const FailingAllocator&) = delete;
    FailingAllocator& operator=(const FailingAllocator&) = delete;

private:
    gMemAllocFn m_alloc;
    gMemReallocFn m_realloc;
};
