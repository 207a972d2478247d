// The base of everything the 3D view shows: name, id, kind, selection state and colour.
#include "DBEntity.h"

#include <algorithm>
#include <cstring>

ZELKDBEntity::ZELKDBEntity() : ZELKDBEntity(kEntityBase) {}

ZELKDBEntity::ZELKDBEntity(int eventType) : m_eventType(eventType)
{
    std::memset(m_name, 0, sizeof m_name);
}

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
    std::memset(m_name, 0, sizeof m_name);
    const std::size_t length = std::min(name.size(), sizeof m_name - 1);
    std::memcpy(m_name, name.data(), length);
}
