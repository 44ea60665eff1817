// What the test tablet driver (helpers/FakeWintab.cpp) answers and what it was asked: one record
// inside the driver library, reached through its exported FakeWintabState().
#pragma once
#include "WintabApi.h"

// The answer to one information query; all cursors answer alike, as cursor 0.
struct CFakeWintabAnswer {
    UINT category, index, size; // size 0: no answer
    BYTE value[192];
};

struct CFakeWintabState {
    // Answers: the newest for a query counts.
    CFakeWintabAnswer answers[32];
    int answerCount;
    BOOL refuseOpen;   // nonzero: opening fails
    UINT packetSerial; // the one serial that has a packet
    CWintabPacket packet;

    // Requests: the context opened and its window, and every call in order ("open 1;queue 100;").
    LOGCONTEXTA opened;
    HWND openWindow;
    char calls[4096];
};

// The context handle the driver hands out.
#define FAKE_WINTAB_CONTEXT reinterpret_cast<HCTX>(0x5150)

typedef CFakeWintabState*(__cdecl* FakeWintabStateFunction)();
