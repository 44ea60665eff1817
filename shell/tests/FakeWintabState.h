// What the test tablet driver (helpers/FakeWintab.cpp) answers and what it was asked: one
// record inside the driver library, reached through its exported FakeWintabState().
#pragma once
#include "WintabApi.h"

struct CFakeWintabState {
    // Answers.
    UINT present;         // the probe's answer; 0: no tablet
    LOGCONTEXTA defaults; // the default system context
    AXIS x, y;            // device 0
    AXIS pressure[2];     // normal pressure of devices 0 and 1
    AXIS orientation[3];  // azimuth, altitude, twist of device 0
    UINT hasOrientation;
    UINT hasPressureButton;
    BYTE pressureButton;
    BYTE buttonMap[32];
    UINT buttonMapLength; // bytes the button map query returns
    UINT marks[2];        // release mark, press mark
    BOOL refuseOpen;      // nonzero: opening fails
    UINT packetSerial;    // the one serial that has a packet
    CWintabPacket packet;

    // Requests.
    HWND openWindow;
    LOGCONTEXTA opened;
    BOOL openEnable;
    int opens;
    int closes;
    HCTX closed;
    int enables;
    BOOL lastEnable;
    int overlaps;
    BOOL lastOverlap;
    int queueSizes;
    int lastQueueSize;
    int packetReads;
    int infoCount;
    UINT info[256][2]; // category and index of every information query, in order
};

// The context handle the driver hands out.
#define FAKE_WINTAB_CONTEXT reinterpret_cast<HCTX>(0x5150)

typedef CFakeWintabState*(__cdecl* FakeWintabStateFunction)();
