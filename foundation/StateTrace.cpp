#include "StateTrace.h"

#include <windows.h>

#include <cstdio>

namespace {
bool gTracing = false;
} // namespace

void SetStateTracing(bool on)
{
    gTracing = on;
}

void TraceStateChange(const char* machine, const char* from, const char* to)
{
    if (!gTracing)
        return;
    char text[256];
    std::snprintf(text, sizeof text, "%s: %s -> %s\n", machine, from, to);
    OutputDebugStringA(text);
}
