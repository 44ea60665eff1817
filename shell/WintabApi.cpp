#include "WintabApi.h"

#include "RuntimeLibrary.h"
#include "ShellHandles.h"

namespace {
CModule g_library;
CWintabEntry* g_bound = nullptr;

// Forwards to the bound entry; 0 when it cannot be bound.
template <typename Result, typename... Args>
Result CallEntry(CWintabEntry& entry, Args... args)
{
    if (!entry.address)
        WintabBind(entry);
    if (!entry.address)
        return 0;
    // The driver's entries are WINAPI functions of these exact signatures.
    return EntryAs<Result(WINAPI*)(Args...)>(entry.address)(args...);
}

CWintabEntry g_info = {"WTInfoA", 20, nullptr, nullptr};
CWintabEntry g_open = {"WTOpenA", 21, nullptr, nullptr};
CWintabEntry g_close = {"WTClose", 22, nullptr, nullptr};
CWintabEntry g_packetsGet = {"WTPacketsGet", 23, nullptr, nullptr};
CWintabEntry g_packet = {"WTPacket", 24, nullptr, nullptr};
CWintabEntry g_enable = {"WTEnable", 40, nullptr, nullptr};
CWintabEntry g_overlap = {"WTOverlap", 41, nullptr, nullptr};
CWintabEntry g_get = {"WTGetA", 61, nullptr, nullptr};
CWintabEntry g_queueSizeSet = {"WTQueueSizeSet", 85, nullptr, nullptr};
} // namespace

void WintabBind(CWintabEntry& entry)
{
    if (!g_library.IsValid())
        g_library.Reset(LoadLibraryQuietly(L"Wintab32.dll"));
    if (!g_library.IsValid())
        return;
    const char* key = entry.ordinal ? MAKEINTRESOURCEA(entry.ordinal) : entry.name;
    entry.address = FindEntry<FARPROC>(g_library, key);
    if (!entry.address)
        return;
    entry.next = g_bound;
    g_bound = &entry;
}

void WintabUnload()
{
    g_library.Reset();
    while (g_bound) {
        CWintabEntry* entry = g_bound;
        g_bound = entry->next;
        entry->address = nullptr;
        entry->next = nullptr;
    }
}

UINT WTInfoA(UINT category, UINT index, LPVOID output)
{
    return CallEntry<UINT>(g_info, category, index, output);
}

HCTX WTOpenA(HWND window, LOGCONTEXTA* context, BOOL enable)
{
    return CallEntry<HCTX>(g_open, window, context, enable);
}

BOOL WTClose(HCTX context)
{
    return CallEntry<BOOL>(g_close, context);
}

BOOL WTPacket(HCTX context, UINT serial, LPVOID packet)
{
    return CallEntry<BOOL>(g_packet, context, serial, packet);
}

int WTPacketsGet(HCTX context, int maxPackets, LPVOID packets)
{
    return CallEntry<int>(g_packetsGet, context, maxPackets, packets);
}

BOOL WTEnable(HCTX context, BOOL enable)
{
    return CallEntry<BOOL>(g_enable, context, enable);
}

BOOL WTOverlap(HCTX context, BOOL toTop)
{
    return CallEntry<BOOL>(g_overlap, context, toTop);
}

BOOL WTQueueSizeSet(HCTX context, int size)
{
    return CallEntry<BOOL>(g_queueSizeSet, context, size);
}

BOOL WTGetA(HCTX context, LOGCONTEXTA* out)
{
    return CallEntry<BOOL>(g_get, context, out);
}
