#include "gCArray.h"

#include <algorithm>

gCResult GrowArrayStorage(void** data, int32_t* capacity, int32_t count, int32_t newCount, int32_t growStep,
                          size_t elementSize)
{
    if (newCount <= *capacity && *data)
        return kOk;
    if (newCount <= 0)
        return kOk;
    if (!*data) {
        void* block = gMemAlloc(elementSize * static_cast<size_t>(newCount));
        if (!block)
            return kOutOfMemory;
        *data = block;
        *capacity = newCount;
        return kOk;
    }
    int32_t step = growStep != -1 ? growStep : std::clamp(count / 4, 8, 2048);
    int64_t wanted = static_cast<int64_t>(count) + step;
    if (wanted < newCount)
        wanted = static_cast<int64_t>(newCount) + step;
    // A fixed step below 0 must still leave room for every element asked for.
    if (wanted < newCount)
        wanted = newCount;
    if (wanted > INT32_MAX / static_cast<int64_t>(elementSize))
        return kOutOfMemory;
    void* block = gMemRealloc(*data, elementSize * static_cast<size_t>(wanted));
    if (!block)
        return kOutOfMemory;
    *data = block;
    *capacity = static_cast<int32_t>(wanted);
    return kOk;
}
