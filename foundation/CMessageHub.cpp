#include "CMessageHub.h"

uint32_t CMessageHub::Broadcast(uint32_t id, uint32_t a, uint32_t b)
{
    for (int32_t i = 0; i < m_listeners.Count(); ++i) {
        uint32_t r = m_listeners[i]->OnNotify(id, a, b);
        if (r != 0)
            return r;
    }
    return 0;
}
