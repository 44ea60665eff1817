// Holds a pointer to an object pointer and, when it owns the object, deletes it on release.
#pragma once
#include <cstdint>

#include "gCBaseObject.h"

class gCOwnedPtr {
public:
    gCOwnedPtr(gCBaseObject** target, int32_t owns) : m_target(target), m_owns(owns) {}
    ~gCOwnedPtr() { Release(); }
    gCOwnedPtr(const gCOwnedPtr&) = delete;
    gCOwnedPtr& operator=(const gCOwnedPtr&) = delete;

    void Release()
    {
        if (m_owns && m_target && *m_target) {
            delete *m_target;
            *m_target = nullptr;
        }
    }

private:
    gCBaseObject** m_target;
    int32_t m_owns;
};
