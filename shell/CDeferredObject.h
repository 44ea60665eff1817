// An object whose deletion waits for the application's purge (never from inside its own
// callbacks): it is updated on every purge and deleted once it declares itself dead.
#pragma once
#include <cstdint>

#include "gCBaseObject.h"

class CDeferredObject : public gCBaseObject {
public:
    virtual void Update() {}
    int32_t IsDead() const { return m_dead; }
    void SetDead() { m_dead = 1; }

private:
    int32_t m_dead = 0;
};
