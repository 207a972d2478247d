// Meshes and comparisons shared by the model store tests.
#pragma once

#include <gtest/gtest.h>

#include "GePrint.h"

namespace modeltest {

// A closed box mesh (12 facets) from lo to hi, wound counter-clockwise from outside.
inline ZELKGePrint Box(const ZELKGePoint3d& lo, const ZELKGePoint3d& hi)
{
    const ZELKGePoint3d c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                                {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    ZELKGePrint mesh;
    for (const auto& q : quads) {
        const int tris[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (const auto& t : tris) {
            Triangle f;
            for (int k = 0; k < 3; ++k)
                f.point[k] = c[t[k]];
            f.normal = ZELKGeVector3d(f.point[1] - f.point[0]).CrossProduct(f.point[2] - f.point[0]).Normalize();
            mesh.GetGePrint().push_back(f);
        }
    }
    mesh.UpdateMinMaxPoint();
    return mesh;
}

// An irregular mesh (a skewed tetrahedron) whose box centre differs from its vertex mean.
inline ZELKGePrint Wedge()
{
    const ZELKGePoint3d p[4] = {{0, 0, 0}, {30, 0, 0}, {5, 12, 0}, {4, 3, 20}};
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
    ZELKGePrint mesh;
    for (const auto& f : faces) {
        Triangle t;
        for (int k = 0; k < 3; ++k)
            t.point[k] = p[f[k]];
        t.normal = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]).Normalize();
        mesh.GetGePrint().push_back(t);
    }
    mesh.UpdateMinMaxPoint();
    return mesh;
}

inline void ExpectPointNear(const ZELKGePoint3d& a, const ZELKGePoint3d& b, double tol, const char* what = "")
{
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

// Same triangles (vertices and normals) within tol.
inline void ExpectMeshNear(const ZELKGePrint& a, const ZELKGePrint& b, double tol)
{
    const auto& ta = a.GetGePrint();
    const auto& tb = b.GetGePrint();
    ASSERT_EQ(ta.size(), tb.size());
    for (std::size_t i = 0; i < ta.size(); ++i) {
        for (int k = 0; k < 3; ++k)
            ExpectPointNear(ta[i].point[k], tb[i].point[k], tol, "vertex");
        ExpectPointNear(ta[i].normal.AsPoint(), tb[i].normal.AsPoint(), 1e-9, "normal");
    }
}

}  // namespace modeltest
