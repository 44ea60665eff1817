#include "gMem.h"

#include <cstdlib>
#include <new>

void* DefaultMemAlloc(size_t count)
{
    return std::malloc(count == 0 ? 1 : count);
}

void* DefaultMemRealloc(void* block, size_t count)
{
    return std::realloc(block, count == 0 ? 1 : count);
}

gMemAllocFn gMemAlloc = DefaultMemAlloc;
gMemFreeFn gMemFree = std::free;
gMemReallocFn gMemRealloc = DefaultMemRealloc;

// Every object of the program is allocated and released through the hooks.
void* operator new(size_t count)
{
    void* p = gMemAlloc(count);
    if (!p)
        throw std::bad_alloc();
    return p;
}
void* operator new[](size_t count)
{
    return operator new(count);
}
void* operator new(size_t count, const std::nothrow_t&) noexcept
{
    return gMemAlloc(count);
}
void* operator new[](size_t count, const std::nothrow_t&) noexcept
{
    return gMemAlloc(count);
}
void operator delete(void* p) noexcept
{
    if (p)
        gMemFree(p);
}
void operator delete[](void* p) noexcept
{
    if (p)
        gMemFree(p);
}
void operator delete(void* p, size_t) noexcept
{
    if (p)
        gMemFree(p);
}
void operator delete[](void* p, size_t) noexcept
{
    if (p)
        gMemFree(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    if (p)
        gMemFree(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    if (p)
        gMemFree(p);
}
