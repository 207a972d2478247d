// The entity database: owns the printable models, hands out ids and keeps the selection.
#include "EntityDatabase.h"

#include <algorithm>
#include <cstddef>
#include <new>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "DBPrint.h"
#include "EntityReset.h"

namespace {

// About 10 MB of mesh, and as much again in its drawing arrays.
constexpr std::size_t kLargeModelFacets = 100000;

std::size_t FacetsOf(const ZELKDBEntity* entity)
{
    return entity->GetEventType() == kEntityPrint ? static_cast<const ZELKDBPrint*>(entity)->GetFacetCount() : 0;
}

// The allocator keeps memory freed below the top of its heap resident for
// reuse; after a large model goes (rarely, and at the user's request) it is
// handed back, so that loading and removing models does not ratchet up the
// program's footprint.
void ReturnFreedMemory(std::size_t freedFacets)
{
#if defined(__GLIBC__)
    if (freedFacets >= kLargeModelFacets)
        malloc_trim(0);
#else
    (void)freedFacets;
#endif
}

}  // namespace

ZELDBEntityDatabase* ZELDBEntityDatabase::m_database = nullptr;

ZELDBEntityDatabase* ZELDBEntityDatabase::GetInterFace()
{
    if (m_database == nullptr) {
        m_database = new (std::nothrow) ZELDBEntityDatabase();
        if (m_database != nullptr)
            m_database->SetResetStore(ZELKDBEntityReset::getInstance());
    }
    return m_database;
}

ZELDBEntityDatabase::ZELDBEntityDatabase() : m_cursor(m_entities.end()) {}

ZELDBEntityDatabase::~ZELDBEntityDatabase()
{
    RemoveAll();
    if (m_database == this)
        m_database = nullptr;
}

int ZELDBEntityDatabase::Add(ZELKDBEntity* entity, int& id)
{
    if (entity == nullptr)
        return -1;
    const int newId = m_lastId + 1;
    m_entities.emplace(newId, entity);  // may throw: nothing has changed yet
    m_lastId = newId;
    entity->SetEntityId(newId);
    id = newId;
    if (m_resetStore != nullptr && entity->GetEventType() == kEntityPrint)
        m_resetStore->Add(newId, static_cast<ZELKDBPrint*>(entity)->GetSourceMesh());
    return newId;
}

std::unique_ptr<ZELKDBEntity> ZELDBEntityDatabase::TakeOut(int id)
{
    RemoveSelect(id);
    auto it = m_entities.find(id);
    if (it == m_entities.end())
        return nullptr;
    std::unique_ptr<ZELKDBEntity> entity(it->second);
    m_cursor = m_entities.erase(it);
    return entity;
}

bool ZELDBEntityDatabase::PutBack(std::unique_ptr<ZELKDBEntity>& entity)
{
    if (entity == nullptr)
        return false;
    const int id = entity->GetEventId();
    if (id <= 0 || id > m_lastId || m_entities.count(id) != 0)
        return false;
    m_entities.emplace(id, entity.get());
    entity.release();
    m_cursor = m_entities.end();
    return true;
}

void ZELDBEntityDatabase::Discard(std::unique_ptr<ZELKDBEntity> entity)
{
    if (entity == nullptr)
        return;
    const int id = entity->GetEventId();
    const std::size_t facets = FacetsOf(entity.get());
    entity.reset();
    if (m_resetStore != nullptr && m_entities.count(id) == 0)
        m_resetStore->Remove(id);
    ReturnFreedMemory(facets);
}

int ZELDBEntityDatabase::Remove(int id)
{
    RemoveSelect(id);
    auto it = m_entities.find(id);
    if (it == m_entities.end())
        return 0;
    ZELKDBEntity* entity = it->second;
    m_cursor = m_entities.erase(it);
    const std::size_t facets = FacetsOf(entity);
    delete entity;
    // A removed model is never reset again: its copy as loaded goes with it.
    if (m_resetStore != nullptr)
        m_resetStore->Remove(id);
    ReturnFreedMemory(facets);
    return 0;
}

int ZELDBEntityDatabase::Remove(ZELKDBEntity* entity)
{
    if (entity == nullptr)
        return -1;
    return Remove(entity->GetEventId());
}

int ZELDBEntityDatabase::RemoveAll()
{
    ClearSelect();
    EntityMap doomed;
    doomed.swap(m_entities);
    m_cursor = m_entities.end();
    std::size_t facets = 0;
    for (auto& [id, entity] : doomed) {
        facets += FacetsOf(entity);
        delete entity;
        if (m_resetStore != nullptr)
            m_resetStore->Remove(id);
    }
    ReturnFreedMemory(facets);
    return 0;
}

int ZELDBEntityDatabase::UnLoadCheckedEntity()
{
    const EntityMap selected = m_selection;
    for (const auto& [id, entity] : selected)
        Remove(id);
    m_selection.clear();
    return 1;
}

ZELKDBEntity* ZELDBEntityDatabase::FindEntity(int id) const
{
    auto it = m_entities.find(id);
    return it == m_entities.end() ? nullptr : it->second;
}

void ZELDBEntityDatabase::FindEntity(int type, std::vector<ZELKDBEntity*>& out) const
{
    for (const auto& [id, entity] : m_entities)
        if (entity != nullptr && entity->GetEventType() == type)
            out.push_back(entity);
}

int ZELDBEntityDatabase::GetCount(int type) const
{
    return static_cast<int>(std::count_if(m_entities.begin(), m_entities.end(), [type](const auto& entry) {
        return entry.second != nullptr && entry.second->GetEventType() == type;
    }));
}

ZELKDBEntity* ZELDBEntityDatabase::FirstDBEntity()
{
    m_cursor = m_entities.begin();
    return m_cursor == m_entities.end() ? nullptr : m_cursor->second;
}

ZELKDBEntity* ZELDBEntityDatabase::NextDBEntity()
{
    if (m_cursor == m_entities.end())
        return nullptr;
    ++m_cursor;
    return m_cursor == m_entities.end() ? nullptr : m_cursor->second;
}

void ZELDBEntityDatabase::AddSelect(int id)
{
    ZELKDBEntity* entity = FindEntity(id);
    if (entity == nullptr)
        return;
    m_selection.emplace(id, entity);
    entity->SetModeSelectState(1);
}

void ZELDBEntityDatabase::RemoveSelect(int id)
{
    auto it = m_selection.find(id);
    if (it == m_selection.end())
        return;
    if (it->second != nullptr)
        it->second->SetModeSelectState(0);
    m_selection.erase(it);
}

void ZELDBEntityDatabase::SelectALL()
{
    ClearSelect();
    EntityMap all = m_entities;  // copy first: a failed copy changes nothing
    for (auto& [id, entity] : all)
        if (entity != nullptr)
            entity->SetModeSelectState(1);
    m_selection.swap(all);
}

void ZELDBEntityDatabase::ClearSelect()
{
    for (auto& [id, entity] : m_selection)
        if (entity != nullptr)
            entity->SetModeSelectState(0);
    m_selection.clear();
}

int ZELDBEntityDatabase::IsInPlatform()
{
    for (auto& [id, entity] : m_entities)
        if (entity != nullptr && entity->GetEventType() == kEntityPrint && entity->IsInPlatform() == 0)
            return 0;
    return 1;
}

int ZELDBEntityDatabase::IsPrintModelOnPlatform()
{
    for (auto& [id, entity] : m_entities) {
        if (entity == nullptr || entity->GetEventType() != kEntityPrint)
            continue;
        ZELKGePoint3d lo, hi;
        entity->GetMinMaxPoint(lo, hi);
        if (lo.z > 0.01 + 1e-9)  // the same tolerance as a model's own check
            return 0;
    }
    return 1;
}

void ZELDBEntityDatabase::GetDatabaseModelMaxBox(ZELKGePoint3d& a, ZELKGePoint3d& b)
{
    for (auto& [id, entity] : m_entities) {
        if (entity == nullptr || entity->GetEventType() != kEntityPrint)
            continue;
        ZELKGePoint3d lo, hi;
        entity->GetMinMaxPoint(lo, hi);
        for (int k = 0; k < 3; ++k) {
            a[k] = std::max(a[k], lo[k]);
            b[k] = std::max(b[k], hi[k]);
        }
    }
}

int ZELDBEntityDatabase::GetEntitysCenter(ZELKGePoint3d& center)
{
    const int n = GetCount();
    if (n == 0)
        return 0;
    for (auto& [id, entity] : m_entities) {
        ZELKGePoint3d lo, hi;
        if (entity != nullptr)
            entity->GetMinMaxPoint(lo, hi);
        center += lo;
        center += hi;
    }
    center = center * (1.0 / (2.0 * n));
    return n;
}

void ZELDBEntityDatabase::MoveToXYPlane(const EntityMap& entities)
{
    // Copy: moving an entity must not disturb the map being walked.
    const EntityMap work = entities;
    for (const auto& [id, entity] : work) {
        if (entity == nullptr)
            continue;
        ZELKGePoint3d lo, hi;
        entity->GetMinMaxPoint(lo, hi);
        entity->Move(ZELKGePoint3d(0, 0, 0), ZELKGePoint3d(0, 0, -lo.z));
    }
}
