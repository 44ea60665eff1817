// Base of every object that sends or receives toolkit messages. A send is a direct call to
// one of two process-wide targets (the view and the application); 0 means not handled.
#pragma once
#include <cstdint>

#include "gCBaseObject.h"

class gCCmdTarget : public gCBaseObject {
public:
    virtual uint32_t OnNotify(uint32_t id, uint32_t a, uint32_t b);
    virtual uint32_t SendToView(uint32_t id, uint32_t a, uint32_t b, uint32_t c);
    virtual uint32_t SendToApp(uint32_t id, uint32_t a, uint32_t b, uint32_t c);
    virtual uint32_t SendToViewFlag0(uint32_t id, uint32_t a, uint32_t b, uint32_t c);
    virtual uint32_t SendToAppFlag0(uint32_t id, uint32_t a, uint32_t b, uint32_t c);
    virtual uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag);
};

void SetViewMessageTarget(gCCmdTarget* target);
void SetAppMessageTarget(gCCmdTarget* target);
gCCmdTarget* GetViewMessageTarget();
gCCmdTarget* GetAppMessageTarget();
