#include "CResourcePool.h"

gCResult CResourcePool::Add(gCResourceObject* object)
{
    if (!object)
        return kBadParameter;
    QV_RETURN_IF_FAILED(m_objects.Add(object));
    object->SetPooled(1);
    return kOk;
}

gCResourceObject* CResourcePool::FindByName(const gCString& name) const
{
    if (name.IsUnset())
        return nullptr;
    for (int32_t i = 0; i < m_objects.Count(); ++i) {
        const gCString& own = m_objects[i]->GetName();
        if (!own.IsUnset() && own == name)
            return m_objects[i];
    }
    return nullptr;
}

gCResourceObject* CResourcePool::FindByID(uint32_t id) const
{
    for (int32_t i = 0; i < m_objects.Count(); ++i)
        if (m_objects[i]->GetID() == id)
            return m_objects[i];
    return nullptr;
}

void CResourcePool::Clear()
{
    for (int32_t i = 0; i < m_objects.Count(); ++i)
        delete m_objects[i];
    m_objects.Release();
}
