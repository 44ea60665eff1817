// The three memory hooks through which all toolkit memory is obtained. Tests swap them
// for failing allocators; the program never does.
#pragma once
#include <cstddef>

typedef void* (*gMemAllocFn)(size_t count);
typedef void (*gMemFreeFn)(void* block);
typedef void* (*gMemReallocFn)(void* block, size_t count);

extern gMemAllocFn gMemAlloc;
extern gMemFreeFn gMemFree;
extern gMemReallocFn gMemRealloc;

void* DefaultMemAlloc(size_t count);
void* DefaultMemRealloc(void* block, size_t count);
