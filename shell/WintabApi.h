// The tablet driver's interface, bound at run time: the few records and constants the tablet
// manager uses, and one stub per entry. A stub binds its entry on first use and returns 0 when
// the driver library or the entry is missing, so a system without a driver has no tablet.
#pragma once
#include <windows.h>

#include <cstdint>

DECLARE_HANDLE(HCTX);
typedef DWORD WTPKT;
typedef DWORD FIX32; // 16.16 fixed point

enum : UINT {
    WTI_DEFSYSCTX = 4,
    WTI_DEVICES = 100,
    WTI_CURSORS = 200,

    DVC_X = 12,
    DVC_Y = 13,
    DVC_NPRESSURE = 15,
    DVC_ORIENTATION = 17,

    CSR_BUTTONMAP = 7,
    CSR_NPBUTTON = 9,
    CSR_NPBTNMARKS = 10,

    CXO_SYSTEM = 0x0001,
    CXO_MESSAGES = 0x0004,

    TPS_INVERT = 0x0010,

    WT_PACKET = 0x7FF0,
    WT_INFOCHANGE = 0x7FF6,
};

enum : WTPKT {
    PK_STATUS = 0x0002,
    PK_CURSOR = 0x0020,
    PK_BUTTONS = 0x0040,
    PK_X = 0x0080,
    PK_Y = 0x0100,
    PK_NORMAL_PRESSURE = 0x0400,
    PK_ORIENTATION = 0x1000,
};

struct AXIS {
    LONG axMin;
    LONG axMax;
    UINT axUnits;
    FIX32 axResolution;
};

struct LOGCONTEXTA {
    char lcName[40];
    UINT lcOptions;
    UINT lcStatus;
    UINT lcLocks;
    UINT lcMsgBase;
    UINT lcDevice;
    UINT lcPktRate;
    WTPKT lcPktData;
    WTPKT lcPktMode;
    WTPKT lcMoveMask;
    DWORD lcBtnDnMask;
    DWORD lcBtnUpMask;
    LONG lcInOrgX, lcInOrgY, lcInOrgZ;
    LONG lcInExtX, lcInExtY, lcInExtZ;
    LONG lcOutOrgX, lcOutOrgY, lcOutOrgZ;
    LONG lcOutExtX, lcOutExtY, lcOutExtZ;
    FIX32 lcSensX, lcSensY, lcSensZ;
    BOOL lcSysMode;
    int lcSysOrgX, lcSysOrgY;
    int lcSysExtX, lcSysExtY;
    FIX32 lcSysSensX, lcSysSensY;
};

// The packet the tablet manager asks for: the driver writes the requested fields in this order.
struct CWintabPacket {
    UINT status;
    UINT cursor;
    DWORD buttons;
    LONG x;
    LONG y;
    UINT normalPressure;
    int azimuth;
    int altitude;
    int twist;
};

// One driver entry: its name, its ordinal (0: bind by name), the bound address and the link
// in the list of bound entries.
struct CWintabEntry {
    const char* name;
    WORD ordinal;
    FARPROC address;
    CWintabEntry* next;
};

// Loads the driver library when needed (a failed load is tried again on the next call) and
// binds the entry; the entry stays unbound when the library or the entry is missing.
void WintabBind(CWintabEntry& entry);
// Frees the library and unbinds every bound entry.
void WintabUnload();

UINT WTInfoA(UINT category, UINT index, LPVOID output);
HCTX WTOpenA(HWND window, LOGCONTEXTA* context, BOOL enable);
BOOL WTClose(HCTX context);
BOOL WTPacket(HCTX context, UINT serial, LPVOID packet);
int WTPacketsGet(HCTX context, int maxPackets, LPVOID packets);
BOOL WTEnable(HCTX context, BOOL enable);
BOOL WTOverlap(HCTX context, BOOL toTop);
BOOL WTQueueSizeSet(HCTX context, int size);
BOOL WTGetA(HCTX context, LOGCONTEXTA* out);
