#include "gCResult.h"

#include <windows.h>

#include <cstdio>

#include "ReplaceableHook.h"

namespace {
// Only a debugger shows the line: without one the call would be paid for nothing, in loops
// that pass failures on by the thousand.
void WriteDebugLine(gCResult code, const char* file, int32_t line, const char* expression)
{
    if (!IsDebuggerPresent())
        return;
    char text[512];
    std::snprintf(text, sizeof text, "%s(%d): %s failed with %d\n", file, static_cast<int>(line), expression,
                  static_cast<int>(code));
    OutputDebugStringA(text);
}

CReplaceableHook<FailureHook> gFailureHook(WriteDebugLine);
} // namespace

FailureHook SetFailureHook(FailureHook hook)
{
    return gFailureHook.Set(hook);
}

void NoteFailure(gCResult code, const char* file, int32_t line, const char* expression)
{
    gFailureHook.Get()(code, file, line, expression);
}
