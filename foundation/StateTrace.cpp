#include "StateTrace.h"

#include <windows.h>

#include <cstdio>

#include "ReplaceableHook.h"

namespace {

void WriteDebugLine(const char* machine, const char* from, const char* to)
{
    // Asked once: the switch is meant for a whole run.
    static const bool wanted = GetEnvironmentVariableA("QV_TRACE_STATES", nullptr, 0) > 0;
    if (!wanted)
        return;
    char line[160];
    std::snprintf(line, sizeof line, "%s: %s -> %s\n", machine, from, to);
    OutputDebugStringA(line);
}

CReplaceableHook<StateTraceFn> gSink(WriteDebugLine);

} // namespace

StateTraceFn SetStateTraceFunction(StateTraceFn fn)
{
    return gSink.Set(fn);
}

void TraceStateChange(const char* machine, const char* from, const char* to)
{
    gSink.Get()(machine, from, to);
}
