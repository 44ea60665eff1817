// A tablet driver for the tests: the entries the tablet manager calls, answering from and recording
// into one state record that the test process fills in.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "FakeWintabState.h"

namespace {
CFakeWintabState g_state = {};

// Appends one call to the record; a full record keeps its first calls.
__attribute__((format(printf, 1, 2))) void Record(const char* format, ...)
{
    const size_t used = std::strlen(g_state.calls);
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(g_state.calls + used, sizeof(g_state.calls) - used, format, arguments);
    va_end(arguments);
}
} // namespace

extern "C" {
__declspec(dllexport) CFakeWintabState* __cdecl FakeWintabState()
{
    return &g_state;
}

UINT WINAPI FakeInfo(UINT category, UINT index, LPVOID output)
{
    Record("info %u %u;", category, index);
    if (category > WTI_CURSORS && category < WTI_CURSORS + 100)
        category = WTI_CURSORS;
    for (int i = g_state.answerCount - 1; i >= 0; --i) {
        const CFakeWintabAnswer& answer = g_state.answers[i];
        if (answer.category != category || answer.index != index)
            continue;
        if (output)
            std::memcpy(output, answer.value, answer.size);
        return answer.size;
    }
    return 0;
}

HCTX WINAPI FakeOpen(HWND window, LOGCONTEXTA* context, BOOL enable)
{
    Record("open %d;", enable);
    g_state.openWindow = window;
    g_state.opened = *context;
    return g_state.refuseOpen ? nullptr : FAKE_WINTAB_CONTEXT;
}

BOOL WINAPI FakeClose(HCTX context)
{
    Record(context == FAKE_WINTAB_CONTEXT ? "close;" : "close another;");
    return TRUE;
}

BOOL WINAPI FakePacket(HCTX context, UINT serial, LPVOID packet)
{
    Record("packet %u;", serial);
    if (context != FAKE_WINTAB_CONTEXT || serial != g_state.packetSerial)
        return FALSE;
    std::memcpy(packet, &g_state.packet, sizeof(CWintabPacket));
    return TRUE;
}

BOOL WINAPI FakeEnable(HCTX, BOOL enable)
{
    Record("enable %d;", enable);
    return TRUE;
}

BOOL WINAPI FakeOverlap(HCTX, BOOL toTop)
{
    Record("overlap %d;", toTop);
    return TRUE;
}

BOOL WINAPI FakeGet(HCTX, LOGCONTEXTA* out)
{
    *out = g_state.opened;
    return TRUE;
}

BOOL WINAPI FakeQueueSizeSet(HCTX, int size)
{
    Record("queue %d;", size);
    return TRUE;
}
}
