// A tablet driver for the tests: the nine entries the tablet manager binds, answering from and
// recording into one state record that the test process fills in.
#include <cstring>

#include "FakeWintabState.h"

namespace {
CFakeWintabState g_state = {};

UINT Copy(LPVOID output, const void* value, UINT size)
{
    if (output)
        std::memcpy(output, value, size);
    return size;
}

UINT DeviceInfo(UINT device, UINT index, LPVOID output)
{
    switch (index) {
    case DVC_X:
        return device == 0 ? Copy(output, &g_state.x, sizeof(AXIS)) : 0;
    case DVC_Y:
        return device == 0 ? Copy(output, &g_state.y, sizeof(AXIS)) : 0;
    case DVC_NPRESSURE:
        return device < 2 ? Copy(output, &g_state.pressure[device], sizeof(AXIS)) : 0;
    case DVC_ORIENTATION:
        return device == 0 && g_state.hasOrientation ? Copy(output, g_state.orientation, sizeof(g_state.orientation))
                                                     : 0;
    default:
        return 0;
    }
}

UINT CursorInfo(UINT index, LPVOID output)
{
    switch (index) {
    case CSR_NPBUTTON:
        return g_state.hasPressureButton ? Copy(output, &g_state.pressureButton, 1) : 0;
    case CSR_BUTTONMAP:
        return Copy(output, g_state.buttonMap, g_state.buttonMapLength);
    case CSR_NPBTNMARKS:
        return Copy(output, g_state.marks, sizeof(g_state.marks));
    default:
        return 0;
    }
}
} // namespace

extern "C" {
__declspec(dllexport) CFakeWintabState* __cdecl FakeWintabState()
{
    return &g_state;
}

UINT WINAPI FakeInfo(UINT category, UINT index, LPVOID output)
{
    if (g_state.infoCount < 256) {
        g_state.info[g_state.infoCount][0] = category;
        g_state.info[g_state.infoCount][1] = index;
        ++g_state.infoCount;
    }
    if (category == 0)
        return g_state.present;
    if (category == WTI_DEFSYSCTX)
        return Copy(output, &g_state.defaults, sizeof(LOGCONTEXTA));
    if (category >= WTI_DEVICES && category < WTI_DEVICES + 100)
        return DeviceInfo(category - WTI_DEVICES, index, output);
    if (category >= WTI_CURSORS && category < WTI_CURSORS + 100)
        return CursorInfo(index, output);
    return 0;
}

HCTX WINAPI FakeOpen(HWND window, LOGCONTEXTA* context, BOOL enable)
{
    ++g_state.opens;
    g_state.openWindow = window;
    g_state.opened = *context;
    g_state.openEnable = enable;
    return g_state.refuseOpen ? nullptr : FAKE_WINTAB_CONTEXT;
}

BOOL WINAPI FakeClose(HCTX context)
{
    ++g_state.closes;
    g_state.closed = context;
    return TRUE;
}

int WINAPI FakePacketsGet(HCTX, int, LPVOID)
{
    return 0;
}

BOOL WINAPI FakePacket(HCTX context, UINT serial, LPVOID packet)
{
    ++g_state.packetReads;
    if (context != FAKE_WINTAB_CONTEXT || serial != g_state.packetSerial)
        return FALSE;
    std::memcpy(packet, &g_state.packet, sizeof(CWintabPacket));
    return TRUE;
}

BOOL WINAPI FakeEnable(HCTX, BOOL enable)
{
    ++g_state.enables;
    g_state.lastEnable = enable;
    return TRUE;
}

BOOL WINAPI FakeOverlap(HCTX, BOOL toTop)
{
    ++g_state.overlaps;
    g_state.lastOverlap = toTop;
    return TRUE;
}

BOOL WINAPI FakeGet(HCTX, LOGCONTEXTA* out)
{
    *out = g_state.opened;
    return TRUE;
}

BOOL WINAPI FakeQueueSizeSet(HCTX, int size)
{
    ++g_state.queueSizes;
    g_state.lastQueueSize = size;
    return TRUE;
}
}
