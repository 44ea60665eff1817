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
    return gHandler ? gHandler(message) : 0;
}
