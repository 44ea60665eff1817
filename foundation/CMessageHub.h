// An ordered list of notification listeners, owned by the application. The hub does not
// own the listeners; a broadcast stops at the first nonzero answer.
#pragma once
#include "gCArray.h"
#include "gCCmdTarget.h"

class CMessageHub : public gCCmdTarget {
public:
    gCResult AddListener(gCCmdTarget* listener) { return m_listeners.Add(listener); }
    void RemoveListener(gCCmdTarget* listener) { m_listeners.RemoveAt(m_listeners.IndexOf(listener)); }
    uint32_t Broadcast(uint32_t id, uint32_t a, uint32_t b);
    uint32_t OnNotify(uint32_t id, uint32_t a, uint32_t b) override { return Broadcast(id, a, b); }
    int32_t ListenerCount() const { return m_listeners.Count(); }

private:
    gCArray<gCCmdTarget*> m_listeners;
};
