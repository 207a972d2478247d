// Settled-position decision for the height measurement.
#include "ZELKPositionWatch.h"

bool ZELKPositionWatch::OnPosition(const ZELKGePoint3d& point)
{
    const double distance = m_currentPt.DistanceTo(point);
    m_currentPt = point;
    if (distance >= 1e-8) {
        m_unchanged = 0;
        return false;
    }
    ++m_unchanged;
    return m_unchanged > kUnchangedLimit;
}
