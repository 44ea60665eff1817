#include "ResolveHook.h"

namespace {
ResolveMessageHandler gHandler = nullptr;
}

void SetResolveMessageHandler(ResolveMessageHandler handler)
{
    gHandler = handler;
}

gCResult DeliverResolveMessage(const MSG& message)
{
    return gHandler ? gHandler(message) : kOk;
}

gCResult DeliverResolveWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG answer = {};
    answer.hwnd = window;
    answer.message = message;
    answer.wParam = wParam;
    answer.lParam = lParam;
    return DeliverResolveMessage(answer);
}
