// The entry through which the pump hands WM_APP+1 (a finished host-name lookup) to the
// resolver of the network layer, which installs its handler while it lives.
#pragma once
#include <windows.h>

#include "gCResult.h"

typedef gCResult (*ResolveMessageHandler)(const MSG& message);

void SetResolveMessageHandler(ResolveMessageHandler handler);
// 0 when no handler is installed.
gCResult DeliverResolveMessage(const MSG& message);
// The same from a window procedure, for answers that a modal loop dispatched to the window.
gCResult DeliverResolveWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
