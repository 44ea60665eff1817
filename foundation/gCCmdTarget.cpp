#include "gCCmdTarget.h"

namespace {
gCCmdTarget* gViewTarget = nullptr;
gCCmdTarget* gAppTarget = nullptr;

uint32_t Deliver(gCCmdTarget* target, uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag)
{
    return target ? target->OnMessage(id, a, b, c, flag) : 0;
}
} // namespace

void SetViewMessageTarget(gCCmdTarget* target)
{
    gViewTarget = target;
}
void SetAppMessageTarget(gCCmdTarget* target)
{
    gAppTarget = target;
}
gCCmdTarget* GetViewMessageTarget()
{
    return gViewTarget;
}
gCCmdTarget* GetAppMessageTarget()
{
    return gAppTarget;
}

uint32_t gCCmdTarget::OnNotify(uint32_t, uint32_t, uint32_t)
{
    return 0;
}

uint32_t gCCmdTarget::SendToView(uint32_t id, uint32_t a, uint32_t b, uint32_t c)
{
    return Deliver(gViewTarget, id, a, b, c, 1);
}

uint32_t gCCmdTarget::SendToApp(uint32_t id, uint32_t a, uint32_t b, uint32_t c)
{
    return Deliver(gAppTarget, id, a, b, c, 1);
}

uint32_t gCCmdTarget::SendToViewFlag0(uint32_t id, uint32_t a, uint32_t b, uint32_t c)
{
    return Deliver(gViewTarget, id, a, b, c, 0);
}

uint32_t gCCmdTarget::SendToAppFlag0(uint32_t id, uint32_t a, uint32_t b, uint32_t c)
{
    return Deliver(gAppTarget, id, a, b, c, 0);
}

uint32_t gCCmdTarget::OnMessage(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)
{
    return 0;
}
