// Root of every toolkit class. Objects are released by their owner through the virtual
// destructor; operator delete ends in the free hook.
#pragma once

class gCBaseObject {
public:
    virtual ~gCBaseObject() = default;
};
