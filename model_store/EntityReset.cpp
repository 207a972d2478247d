// The reset store: a copy of every loaded model's mesh as read from its file, keyed by entity id.
#include "EntityReset.h"

#include <new>
#include <utility>

ZELKDBEntityReset* ZELKDBEntityReset::m_entityReset = nullptr;

ZELKDBEntityReset* ZELKDBEntityReset::getInstance()
{
    if (m_entityReset == nullptr)
        m_entityReset = new (std::nothrow) ZELKDBEntityReset();
    return m_entityReset;
}

void ZELKDBEntityReset::Add(int id, ZELKGePrint mesh)
{
    if (m_store.count(id) == 0)
        m_store.emplace(id, std::make_shared<const ZELKGePrint>(std::move(mesh)));
}

void ZELKDBEntityReset::Add(int id, std::shared_ptr<const ZELKGePrint> mesh)
{
    if (mesh != nullptr)
        m_store.try_emplace(id, std::move(mesh));
}

int ZELKDBEntityReset::GetGePrint(int id, ZELKGePrint& out) const
{
    auto it = m_store.find(id);
    if (it == m_store.end())
        return 0;
    out = *it->second;
    return 1;
}

void ZELKDBEntityReset::Remove(int id)
{
    m_store.erase(id);
}

void ZELKDBEntityReset::RemoveAll()
{
    m_store.clear();
}
