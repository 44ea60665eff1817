// The update archive's two size limits, as its reader checks them: the file-table size and the
// script length against 65,536, every file and the container against 100,000,000. A value read
// from the archive is unsigned, however large.
#pragma once
#include <cstdint>

#include "gCResult.h"

// 12 when the value is above 65,536, else 0.
gCResult CheckSizeMax64K(uint64_t value);
// 12 when the value is above 100,000,000, else 0.
gCResult CheckSizeMax100M(uint64_t value);
