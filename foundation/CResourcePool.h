// A growable list of loaded resources that the application searches by name or ID. It owns
// its objects: clearing or destroying the pool deletes them.
#pragma once
#include "gCArray.h"
#include "gCResourceObject.h"

class CResourcePool : public gCBaseObject {
public:
    CResourcePool() = default;
    ~CResourcePool() override { Clear(); }

    // 5 when the array cannot grow; the object is then not taken.
    gCResult Add(gCResourceObject* object);
    // The first object with exactly that name; an unset name on either side never matches.
    gCResourceObject* FindByName(const gCString& name) const;
    gCResourceObject* FindByID(uint32_t id) const;
    void Clear();

    int32_t GetCount() const { return m_objects.Count(); }
    gCResourceObject* GetAt(int32_t index) const { return m_objects[index]; }

private:
    gCArray<gCResourceObject*> m_objects;
};
