// Planes and lines: the platform plane and the pick rays that cross it.
#include "GePlane.h"

#include <cmath>

void ZELKGePlane::Set(const ZELKGePoint3d& p, const ZELKGeVector3d& n)
{
    m_point = p;
    m_normal = n;
    m_normal.Normalize();
}

void ZELKGePlane::Set(const ZELKGePoint3d& p1, const ZELKGePoint3d& p2, const ZELKGePoint3d& p3)
{
    const ZELKGeVector3d a = p2 - p1;
    const ZELKGeVector3d b = p3 - p1;
    Set(p1, a.CrossProduct(b));
}

double ZELKGePlane::DistanceTo(const ZELKGePoint3d& p) const
{
    return m_normal.DotProduct(p - m_point);
}

int ZELKGePlane::IntersectWith(const ZELKGeLine& line, ZELKGePoint3d& out) const
{
    const ZELKGeVector3d dir = line.Normal();
    const double denom = m_normal.DotProduct(dir);
    const double scale = m_normal.Length() * dir.Length();
    if (scale == 0.0 || std::fabs(denom) <= 1e-12 * scale)
        return 0;
    const double t = m_normal.DotProduct(m_point - line.start) / denom;
    out = line.start + dir * t;
    return 1;
}
