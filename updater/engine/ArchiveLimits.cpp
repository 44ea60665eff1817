#include "ArchiveLimits.h"

gCResult CheckSizeMax64K(uint64_t value)
{
    return value > 65536 ? kOutOfRange : kOk;
}

gCResult CheckSizeMax100M(uint64_t value)
{
    return value > 100000000 ? kOutOfRange : kOk;
}
