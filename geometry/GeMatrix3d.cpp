// 4x4 affine transforms: translation, rotation in degrees, scaling, composition and inversion.
#include "GeMatrix3d.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace {

// Product in the usual algebraic sense: (a * b) p == a (b p).
ZELKGeMatrix3d Multiply(const ZELKGeMatrix3d& a, const ZELKGeMatrix3d& b)
{
    ZELKGeMatrix3d r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += a(i, k) * b(k, j);
            r(i, j) = sum;
        }
    }
    return r;
}

ZELKGeMatrix3d Translation(double dx, double dy, double dz)
{
    ZELKGeMatrix3d t;
    t(0, 3) = dx;
    t(1, 3) = dy;
    t(2, 3) = dz;
    return t;
}

// The linear part `linear` applied about p: translate p to the origin, apply, translate back.
ZELKGeMatrix3d AboutPoint(const ZELKGeMatrix3d& linear, const ZELKGePoint3d& p)
{
    return Multiply(Translation(p.x, p.y, p.z), Multiply(linear, Translation(-p.x, -p.y, -p.z)));
}

}  // namespace

ZELKGeMatrix3d& ZELKGeMatrix3d::Reset()
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = (i == j) ? 1.0 : 0.0;
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::Move(const ZELKGePoint3d& from, const ZELKGePoint3d& to)
{
    *this = Translation(to.x - from.x, to.y - from.y, to.z - from.z);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::Move(const ZELKGePoint3d& p)
{
    *this = Translation(p.x, p.y, p.z);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::Move(const ZELKGeVector3d& v)
{
    *this = Translation(v.x, v.y, v.z);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::Rotation(double angleDeg, const ZELKGeVector3d& axis, const ZELKGePoint3d& p)
{
    ZELKGeVector3d u = axis;
    if (u.IsZeroLength(0.0)) {
        Reset();
        return *this;
    }
    u.Normalize();
    const double a = angleDeg * std::numbers::pi / 180.0;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double t = 1.0 - c;
    // Rodrigues' rotation formula.
    ZELKGeMatrix3d r;
    r(0, 0) = t * u.x * u.x + c;
    r(0, 1) = t * u.x * u.y - s * u.z;
    r(0, 2) = t * u.x * u.z + s * u.y;
    r(1, 0) = t * u.x * u.y + s * u.z;
    r(1, 1) = t * u.y * u.y + c;
    r(1, 2) = t * u.y * u.z - s * u.x;
    r(2, 0) = t * u.x * u.z - s * u.y;
    r(2, 1) = t * u.y * u.z + s * u.x;
    r(2, 2) = t * u.z * u.z + c;
    *this = AboutPoint(r, p);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::Scaling(double factor, const ZELKGePoint3d& p)
{
    ZELKGeMatrix3d s;
    s(0, 0) = s(1, 1) = s(2, 2) = factor;
    *this = AboutPoint(s, p);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::ScalingOnAxis(double factor, Axis_ScaleDirection axis, const ZELKGePoint3d& p)
{
    ZELKGeMatrix3d s;
    const int i = std::clamp(static_cast<int>(axis), 0, 2);
    s(i, i) = factor;
    *this = AboutPoint(s, p);
    return *this;
}

ZELKGeMatrix3d& ZELKGeMatrix3d::operator*=(const ZELKGeMatrix3d& b)
{
    // "this first, then b" is b * this for column vectors.
    *this = Multiply(b, *this);
    return *this;
}

ZELKGeMatrix3d ZELKGeMatrix3d::operator*(const ZELKGeMatrix3d& b) const
{
    ZELKGeMatrix3d r = *this;
    r *= b;
    return r;
}

double ZELKGeMatrix3d::Determinant3x3() const
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

ZELKGeMatrix3d& ZELKGeMatrix3d::Inverse()
{
    TryInverse();
    return *this;
}

bool ZELKGeMatrix3d::TryInverse()
{
    // Gauss-Jordan elimination with partial pivoting on [M | I].
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            a[i][j] = m[i][j];
            a[i][j + 4] = (i == j) ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (std::fabs(a[pivot][col]) < 1e-300)
            return false;  // singular: leave unchanged
        if (pivot != col)
            for (int j = 0; j < 8; ++j)
                std::swap(a[pivot][j], a[col][j]);
        const double inv = 1.0 / a[col][col];
        for (int j = 0; j < 8; ++j)
            a[col][j] *= inv;
        for (int r = 0; r < 4; ++r) {
            if (r == col || a[r][col] == 0.0)
                continue;
            const double f = a[r][col];
            for (int j = 0; j < 8; ++j)
                a[r][j] -= f * a[col][j];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[i][j] = a[i][j + 4];
    return true;
}

void ZELKGeMatrix3d::GetMatrix(double out[16]) const
{
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            out[col * 4 + row] = m[row][col];
}

ZELKGePoint3d ZELKGeMatrix3d::TransformPoint(const ZELKGePoint3d& p) const
{
    ZELKGePoint3d r(m[0][0] * p.x + m[0][1] * p.y + m[0][2] * p.z + m[0][3],
                    m[1][0] * p.x + m[1][1] * p.y + m[1][2] * p.z + m[1][3],
                    m[2][0] * p.x + m[2][1] * p.y + m[2][2] * p.z + m[2][3]);
    const double w = m[3][0] * p.x + m[3][1] * p.y + m[3][2] * p.z + m[3][3];
    if (w != 1.0 && w != 0.0)
        r = r * (1.0 / w);
    return r;
}

ZELKGeVector3d ZELKGeMatrix3d::TransformVector(const ZELKGeVector3d& v) const
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z,
            m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

double ZELKGeMatrix3d::MaxDifference(const ZELKGeMatrix3d& other) const
{
    double worst = 0.0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            worst = std::max(worst, std::fabs(m[i][j] - other.m[i][j]));
    return worst;
}
