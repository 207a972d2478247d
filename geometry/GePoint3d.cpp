// Points and vectors in 3-D world space (millimetres), the values every geometry call passes.
#include "GePoint3d.h"

#include <algorithm>
#include <cmath>

#include "GeMatrix3d.h"

ZELKGePoint3d& ZELKGePoint3d::Set(double px, double py, double pz)
{
    x = px;
    y = py;
    z = pz;
    return *this;
}

ZELKGePoint3d& ZELKGePoint3d::operator+=(const ZELKGePoint3d& p)
{
    x += p.x;
    y += p.y;
    z += p.z;
    return *this;
}

ZELKGePoint3d& ZELKGePoint3d::operator-=(const ZELKGePoint3d& p)
{
    x -= p.x;
    y -= p.y;
    z -= p.z;
    return *this;
}

ZELKGePoint3d& ZELKGePoint3d::operator+=(const ZELKGeVector3d& v)
{
    return *this += v.AsPoint();
}

ZELKGePoint3d& ZELKGePoint3d::operator-=(const ZELKGeVector3d& v)
{
    return *this -= v.AsPoint();
}

ZELKGePoint3d ZELKGePoint3d::operator+(const ZELKGePoint3d& p) const
{
    return {x + p.x, y + p.y, z + p.z};
}

ZELKGePoint3d ZELKGePoint3d::operator-(const ZELKGePoint3d& p) const
{
    return {x - p.x, y - p.y, z - p.z};
}

ZELKGePoint3d ZELKGePoint3d::operator+(const ZELKGeVector3d& v) const
{
    return {x + v.x, y + v.y, z + v.z};
}

ZELKGePoint3d ZELKGePoint3d::operator-(const ZELKGeVector3d& v) const
{
    return {x - v.x, y - v.y, z - v.z};
}

ZELKGePoint3d ZELKGePoint3d::operator*(double f) const
{
    return {x * f, y * f, z * f};
}

double ZELKGePoint3d::DistanceTo(const ZELKGePoint3d& p) const
{
    return std::sqrt((x - p.x) * (x - p.x) + (y - p.y) * (y - p.y) + (z - p.z) * (z - p.z));
}

ZELKGePoint3d ZELKGePoint3d::TransformBy(const ZELKGeMatrix3d& m)
{
    *this = m.TransformPoint(*this);
    return *this;
}

ZELKGePoint3d& ZELKGePoint3d::Move(const ZELKGeVector3d& v, double d)
{
    ZELKGeVector3d unit = v;
    unit.Normalize();
    return *this += unit * d;
}

ZELKGeVector3d& ZELKGeVector3d::Set(double px, double py, double pz)
{
    x = px;
    y = py;
    z = pz;
    return *this;
}

ZELKGeVector3d& ZELKGeVector3d::operator+=(const ZELKGeVector3d& v)
{
    x += v.x;
    y += v.y;
    z += v.z;
    return *this;
}

ZELKGeVector3d& ZELKGeVector3d::operator-=(const ZELKGeVector3d& v)
{
    x -= v.x;
    y -= v.y;
    z -= v.z;
    return *this;
}

ZELKGeVector3d ZELKGeVector3d::operator+(const ZELKGeVector3d& v) const
{
    return {x + v.x, y + v.y, z + v.z};
}

ZELKGeVector3d ZELKGeVector3d::operator-(const ZELKGeVector3d& v) const
{
    return {x - v.x, y - v.y, z - v.z};
}

ZELKGeVector3d ZELKGeVector3d::operator*(double f) const
{
    return {x * f, y * f, z * f};
}

double ZELKGeVector3d::Length() const
{
    return std::sqrt(x * x + y * y + z * z);
}

ZELKGeVector3d& ZELKGeVector3d::Normalize()
{
    const double len = Length();
    if (len > 0.0 && std::isfinite(len)) {
        x /= len;
        y /= len;
        z /= len;
    }
    return *this;
}

double ZELKGeVector3d::DotProduct(const ZELKGeVector3d& v) const
{
    return x * v.x + y * v.y + z * v.z;
}

ZELKGeVector3d ZELKGeVector3d::CrossProduct(const ZELKGeVector3d& v) const
{
    return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
}

double ZELKGeVector3d::AngleTo(const ZELKGeVector3d& v) const
{
    // atan2 of |a x b| and a . b stays accurate near 0 and pi, where acos does not.
    const double cross = CrossProduct(v).Length();
    const double dot = DotProduct(v);
    if (cross == 0.0 && dot == 0.0)
        return 0.0;
    return std::atan2(cross, dot);
}

ZELKGeVector3d ZELKGeVector3d::TransformBy(const ZELKGeMatrix3d& m)
{
    *this = m.TransformVector(*this);
    return *this;
}
