// The base of everything the 3D view shows: name, id, kind, selection state and colour.
#include "DBEntity.h"

#include <algorithm>
#include <cstring>

ZELKDBEntity::ZELKDBEntity() : ZELKDBEntity(kEntityBase) {}

ZELKDBEntity::ZELKDBEntity(int eventType) : m_eventType(eventType) {}

ZELKDBEntity::~ZELKDBEntity() = default;

void ZELKDBEntity::GetMinMaxPoint(ZELKGePoint3d&, ZELKGePoint3d&) {}

void ZELKDBEntity::SetModeSelectState(int state)
{
    m_selectState = state;
}

int ZELKDBEntity::GetModeSelectState()
{
    return m_selectState;
}

void ZELKDBEntity::TrackTranslation(ZELKGePoint3d, ZELKGePoint3d, int, int) {}

int ZELKDBEntity::IsInPlatform()
{
    return 0;
}

void ZELKDBEntity::SetName(std::string name)
{
    m_name = std::move(name);
}
