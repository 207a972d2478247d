// Triangle meshes as loaded from STL files, and the eight corners of the build volume.
#include "GePrint.h"

#include <algorithm>
#include <utility>

namespace {

// Cofactor matrix of the linear part: maps normals so they stay perpendicular
// to transformed facets (the inverse transpose times the determinant).
struct NormalMap {
    double c[3][3];

    explicit NormalMap(const ZELKGeMatrix3d& m)
    {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                const int r0 = (i + 1) % 3, r1 = (i + 2) % 3;
                const int c0 = (j + 1) % 3, c1 = (j + 2) % 3;
                c[i][j] = m(r0, c0) * m(r1, c1) - m(r0, c1) * m(r1, c0);
            }
        }
    }

    ZELKGeVector3d Apply(const ZELKGeVector3d& n) const
    {
        return {c[0][0] * n.x + c[0][1] * n.y + c[0][2] * n.z,
                c[1][0] * n.x + c[1][1] * n.y + c[1][2] * n.z,
                c[2][0] * n.x + c[2][1] * n.y + c[2][2] * n.z};
    }
};

}  // namespace

namespace {

// A matrix that only moves: identity linear part and an affine last row.
bool IsTranslation(const ZELKGeMatrix3d& m)
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            if (m(i, j) != (i == j ? 1.0 : 0.0))
                return false;
        }
    }
    return m(3, 0) == 0.0 && m(3, 1) == 0.0 && m(3, 2) == 0.0 && m(3, 3) == 1.0;
}

}  // namespace

void ZELKGePrint::TransformBy(const ZELKGeMatrix3d& m)
{
    if (IsTranslation(m)) {
        // Moving a mesh (the commonest edit) gives the same values as the
        // general path below, at a fraction of its cost: the points are only
        // shifted, and a normal of squared length exactly 1 is already what
        // normalising it would give.
        const ZELKGeVector3d shift(m(0, 3), m(1, 3), m(2, 3));
        for (Triangle& t : m_triangles) {
            for (ZELKGePoint3d& p : t.point)
                p = ZELKGePoint3d(p.x + shift.x, p.y + shift.y, p.z + shift.z);
            if (t.normal.DotProduct(t.normal) != 1.0)
                t.normal.Normalize();
        }
        UpdateMinMaxPoint();
        return;
    }
    const double det = m.Determinant3x3();
    const NormalMap normals(m);
    const bool mirrored = det < 0.0;
    for (Triangle& t : m_triangles) {
        for (ZELKGePoint3d& p : t.point)
            p = m.TransformPoint(p);
        if (mirrored)
            std::swap(t.point[1], t.point[2]);
        // The cofactor keeps the sign of the determinant; flip it back for mirrors.
        ZELKGeVector3d n = normals.Apply(t.normal);
        if (mirrored)
            n = -n;
        t.normal = n.Normalize();
    }
    UpdateMinMaxPoint();
}

int ZELKGePrint::GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max) const
{
    if (m_triangles.empty()) {
        min = ZELKGePoint3d();
        max = ZELKGePoint3d();
        return 0;
    }
    ZELKGePoint3d lo = m_triangles.front().point[0];
    ZELKGePoint3d hi = lo;
    for (const Triangle& t : m_triangles) {
        for (const ZELKGePoint3d& p : t.point) {
            lo.x = std::min(lo.x, p.x);
            lo.y = std::min(lo.y, p.y);
            lo.z = std::min(lo.z, p.z);
            hi.x = std::max(hi.x, p.x);
            hi.y = std::max(hi.y, p.y);
            hi.z = std::max(hi.z, p.z);
        }
    }
    min = lo;
    max = hi;
    return 1;
}

void ZELKGePrint::SetMinMaxPoint(const ZELKGePoint3d& min, const ZELKGePoint3d& max)
{
    m_min = min;
    m_max = max;
}

void ZELKGePrint::UpdateMinMaxPoint()
{
    GetMinMaxPoint(m_min, m_max);
}

void ZELKGePrint::Clear()
{
    std::vector<Triangle>().swap(m_triangles);
    m_min = ZELKGePoint3d();
    m_max = ZELKGePoint3d();
}

ZELKGePrintBox MakePrintBox(double lengthX, double widthY, double heightZ)
{
    const double hx = lengthX / 2.0;
    const double hy = widthY / 2.0;
    ZELKGePrintBox box;
    const ZELKGePoint3d bottom[4] = {{-hx, -hy, 0.0}, {hx, -hy, 0.0}, {hx, hy, 0.0}, {-hx, hy, 0.0}};
    for (int i = 0; i < 4; ++i) {
        box.corner[i] = bottom[i];
        box.corner[i + 4] = ZELKGePoint3d(bottom[i].x, bottom[i].y, heightZ);
    }
    return box;
}
