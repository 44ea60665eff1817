// Pen-tablet input of the application. This body finds no tablet; the pen code fills it in.
#pragma once
#include <windows.h>

#include "gCBaseObject.h"
#include "gCResult.h"

class CTabletManager : public gCBaseObject {
public:
    gCResult Open();
    // WM_NCACTIVATE of a window.
    void Activate(WPARAM wParam, LPARAM lParam);
    // WT_PACKET and WT_INFOCHANGE.
    void OnPacket(WPARAM wParam, LPARAM lParam);
    void OnInfoChange();
};
