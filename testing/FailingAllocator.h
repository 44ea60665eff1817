// Swaps the memory hooks for ones that fail from the n-th allocation on, or the n-th alone,
// for the life of the object.
#pragma once
#include "gMem.h"

class FailingAllocator {
public:
    enum Mode { kFromOn, kOnlyThis };
    // Allocations numbered from 0; every allocation at or after n fails, or only allocation n.
    explicit FailingAllocator(int n, Mode mode = kFromOn);
    ~FailingAllocator();
    FailingAllocator(const FailingAllocator&) = delete;
    FailingAllocator& operator=(const FailingAllocator&) = delete;

    // Allocations asked for so far, the failed ones included.
    int Calls() const;

private:
    gMemAllocFn m_alloc;
    gMemReallocFn m_realloc;
};
