// The geometry kernel: composition order, rotation sense, GL matrix layout, planes and meshes.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "GeMatrix3d.h"
#include "GePlane.h"
#include "GePoint3d.h"
#include "GePrint.h"

namespace {

constexpr double kTol = 1e-12;

void ExpectNear(const ZELKGePoint3d& a, const ZELKGePoint3d& b, double tol = kTol)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

ZELKGeMatrix3d Translate(double x, double y, double z)
{
    ZELKGeMatrix3d m;
    m.Move(ZELKGePoint3d(x, y, z));
    return m;
}

ZELKGeMatrix3d Rotate(double deg, const ZELKGeVector3d& axis, const ZELKGePoint3d& p = {})
{
    ZELKGeMatrix3d m;
    m.Rotation(deg, axis, p);
    return m;
}

TEST(GePoint, DefaultIsOriginAndSetWithTwoValuesKeepsZZero)
{
    ZELKGePoint3d p;
    ExpectNear(p, {0, 0, 0}, 0.0);
    p.Set(3, 4);
    ExpectNear(p, {3, 4, 0}, 0.0);
    EXPECT_DOUBLE_EQ(p.DistanceTo(ZELKGePoint3d()), 5.0);
}

TEST(GePoint, MoveUsesTheUnitDirectionAndTransformByChangesThePoint)
{
    ZELKGePoint3d p(1, 1, 1);
    p.Move(ZELKGeVector3d(0, 0, 20), 2.5);
    ExpectNear(p, {1, 1, 3.5});
    p.Move(ZELKGeVector3d(), 7);  // no direction: stays
    ExpectNear(p, {1, 1, 3.5});

    ZELKGePoint3d q(1, 2, 3);
    const ZELKGePoint3d copy = q.TransformBy(Translate(10, 0, 0));
    ExpectNear(q, {11, 2, 3});
    ExpectNear(copy, q);
}

TEST(GeVector, AngleCrossAndNormalize)
{
    const ZELKGeVector3d x(1, 0, 0), y(0, 2, 0);
    EXPECT_NEAR(x.AngleTo(y), std::numbers::pi / 2, kTol);
    EXPECT_NEAR(x.AngleTo(-x), std::numbers::pi, kTol);
    EXPECT_NEAR(x.AngleTo(x * 5), 0.0, kTol);
    EXPECT_NEAR(ZELKGeVector3d(1, 1e-9, 0).AngleTo(x), 1e-9, 1e-15);  // no acos cancellation
    const ZELKGeVector3d z = x.CrossProduct(y);
    ExpectNear(z.AsPoint(), {0, 0, 2});
    ZELKGeVector3d v(0, 3, 4);
    EXPECT_EQ(&v.Normalize(), &v);
    EXPECT_NEAR(v.Length(), 1.0, kTol);
    ZELKGeVector3d zero;
    ExpectNear(zero.Normalize().AsPoint(), {0, 0, 0}, 0.0);
}

TEST(GeMatrix, CompositionAppliesTheLeftOperandFirst)
{
    ZELKGeMatrix3d a = Translate(10, 0, 0);
    a *= Rotate(90, {0, 0, 1});
    // Old a first (to (11, 0, 0)), then the quarter turn (to (0, 11, 0)).
    ExpectNear(a.TransformPoint({1, 0, 0}), {0, 11, 0});
    ExpectNear((Translate(10, 0, 0) * Rotate(90, {0, 0, 1})).TransformPoint({1, 0, 0}), {0, 11, 0});
}

TEST(GeMatrix, RotationIsInDegreesRightHandedAndAboutThePoint)
{
    ExpectNear(Rotate(90, {0, 0, 1}).TransformPoint({1, 0, 0}), {0, 1, 0});
    ExpectNear(Rotate(90, {1, 0, 0}).TransformPoint({0, 1, 0}), {0, 0, 1});
    ExpectNear(Rotate(90, {0, 1, 0}).TransformPoint({0, 0, 1}), {1, 0, 0});
    ExpectNear(Rotate(180, {0, 0, 5}).TransformPoint({2, 3, 7}), {-2, -3, 7});
    const ZELKGePoint3d pivot(5, 5, 2);
    const ZELKGeMatrix3d r = Rotate(37, {1, 2, 3}, pivot);
    ExpectNear(r.TransformPoint(pivot), pivot);
    ExpectNear(Rotate(90, {0, 0, 1}, {10, 0, 0}).TransformPoint({11, 0, 0}), {10, 1, 0});
    EXPECT_TRUE(Rotate(45, {0, 0, 0}).IsIdentity());
}

TEST(GeMatrix, MoveScalingAndScalingOnAxisReplaceTheMatrix)
{
    ZELKGeMatrix3d m = Rotate(30, {0, 0, 1});
    m.Move(ZELKGePoint3d(1, 1, 1), ZELKGePoint3d(4, 5, 6));
    ExpectNear(m.TransformPoint({0, 0, 0}), {3, 4, 5});
    m.Scaling(2, {1, 1, 1});
    ExpectNear(m.TransformPoint({2, 3, 1}), {3, 5, 1});
    m.ScalingOnAxis(3, Axis_Y, {0, 1, 0});
    ExpectNear(m.TransformPoint({2, 2, 2}), {2, 4, 2});
}

TEST(GeMatrix, InverseUndoesACompositeAndLeavesASingularMatrix)
{
    ZELKGeMatrix3d m = Translate(3, -2, 7);
    m *= Rotate(33, {1, 1, 0}, {2, 0, 1});
    ZELKGeMatrix3d s;
    s.ScalingOnAxis(2.5, Axis_Z, {1, 2, 3});
    m *= s;
    ZELKGeMatrix3d inv = m;
    EXPECT_EQ(&inv.Inverse(), &inv);
    EXPECT_TRUE((m * inv).IsIdentity(1e-12));
    EXPECT_TRUE((inv * m).IsIdentity(1e-12));

    ZELKGeMatrix3d flat;
    flat.ScalingOnAxis(0, Axis_X, {});
    ZELKGeMatrix3d before = flat;
    EXPECT_FALSE(flat.TryInverse());
    EXPECT_EQ(flat.MaxDifference(before), 0.0);
}

TEST(GeMatrix, GetMatrixIsColumnMajorAndMapsPointsLikeTransformBy)
{
    ZELKGeMatrix3d m = Rotate(25, {0.3, 1, 0.2}, {4, 5, 6});
    m *= Translate(7, 8, 9);
    double gl[16];
    m.GetMatrix(gl);
    const ZELKGePoint3d p(1.5, -2, 3);
    // What OpenGL does with a column-major matrix and a column vector (w = 1).
    const double x = gl[0] * p.x + gl[4] * p.y + gl[8] * p.z + gl[12];
    const double y = gl[1] * p.x + gl[5] * p.y + gl[9] * p.z + gl[13];
    const double z = gl[2] * p.x + gl[6] * p.y + gl[10] * p.z + gl[14];
    ZELKGePoint3d q = p;
    ExpectNear({x, y, z}, q.TransformBy(m), 1e-12);
    EXPECT_EQ(gl[15], 1.0);
    EXPECT_EQ(gl[3], 0.0);
}

TEST(GePlane, NormalsFromThreePointsAndIntersections)
{
    ZELKGePlane plane;
    plane.Set(ZELKGePoint3d(0, 0, 2), ZELKGePoint3d(5, 0, 2), ZELKGePoint3d(0, 5, 2));
    ExpectNear(plane.Normal().AsPoint(), {0, 0, 1});
    plane.Set(ZELKGePoint3d(0, 0, 2), ZELKGePoint3d(0, 5, 2), ZELKGePoint3d(5, 0, 2));
    ExpectNear(plane.Normal().AsPoint(), {0, 0, -1});

    ZELKGePlane ground(ZELKGePoint3d(), ZELKGeVector3d(0, 0, 7));
    ExpectNear(ground.Normal().AsPoint(), {0, 0, 1});
    ZELKGeLine ray;
    ray.start.Set(1, 2, 10);
    ray.end.Set(2, 4, 8);  // the segment stops short: the crossing is on its extension
    ZELKGePoint3d hit;
    EXPECT_EQ(ground.IntersectWith(ray, hit), 1);
    ExpectNear(hit, {6, 12, 0});

    ZELKGeLine level({0, 0, 3}, {4, 1, 3});
    ZELKGePoint3d untouched(9, 9, 9);
    EXPECT_EQ(ground.IntersectWith(level, untouched), 0);
    ExpectNear(untouched, {9, 9, 9}, 0.0);
    ExpectNear(level.Normal().AsPoint(), {4, 1, 0});
}

// A right-angled facet with the normal the right-hand rule gives.
Triangle Facet(ZELKGePoint3d a, ZELKGePoint3d b, ZELKGePoint3d c)
{
    Triangle t;
    t.point[0] = a;
    t.point[1] = b;
    t.point[2] = c;
    t.normal = ZELKGeVector3d(b - a).CrossProduct(c - a).Normalize();
    return t;
}

// The stored normal is unit length and agrees with the winding of its vertices.
void ExpectConsistent(const Triangle& t)
{
    ZELKGeVector3d winding = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]);
    winding.Normalize();
    EXPECT_NEAR(t.normal.Length(), 1.0, 1e-12);
    EXPECT_NEAR(t.normal.DotProduct(winding), 1.0, 1e-12);
}

TEST(GePrint, TransformKeepsNormalsConsistentUnderRotationShearingScaleAndMirror)
{
    ZELKGePrint mesh;
    mesh.GetGePrint().push_back(Facet({0, 0, 0}, {1, 0, 0}, {0, 1, 1}));
    mesh.GetGePrint().push_back(Facet({0, 0, 0}, {0, 0, 1}, {1, 1, 0}));

    ZELKGeMatrix3d m = Rotate(40, {1, 2, 0.5});
    ZELKGeMatrix3d s;
    s.ScalingOnAxis(4, Axis_X, {});
    m *= s;
    mesh.TransformBy(m);
    for (const Triangle& t : mesh.GetGePrint())
        ExpectConsistent(t);

    ZELKGeMatrix3d mirror;
    mirror.ScalingOnAxis(-1, Axis_Y, {});
    mesh.TransformBy(mirror);
    for (const Triangle& t : mesh.GetGePrint())
        ExpectConsistent(t);
}

TEST(GePrint, ZeroNormalsStayZeroAndTheBoxFollowsTheVertices)
{
    ZELKGePrint mesh;
    Triangle t = Facet({0, 0, 0}, {10, 0, 0}, {0, 20, 5});
    t.normal = ZELKGeVector3d();
    mesh.GetGePrint().push_back(t);
    mesh.UpdateMinMaxPoint();
    ExpectNear(mesh.MaxPoint(), {10, 20, 5}, 0.0);

    mesh.TransformBy(Translate(-5, 1, 2));
    ExpectNear(mesh.GetGePrint()[0].normal.AsPoint(), {0, 0, 0}, 0.0);
    ZELKGePoint3d lo, hi;
    EXPECT_EQ(mesh.GetMinMaxPoint(lo, hi), 1);
    ExpectNear(lo, {-5, 1, 2});
    ExpectNear(hi, {5, 21, 7});
    ExpectNear(mesh.MinPoint(), lo);
    ExpectNear(mesh.MaxPoint(), hi);

    const ZELKGePrint copy = mesh;  // copies triangles and corners
    ExpectNear(copy.MaxPoint(), hi);
    EXPECT_EQ(copy.GetGePrint().size(), 1u);

    ZELKGePrint empty;
    ZELKGePoint3d a(1, 1, 1), b(2, 2, 2);
    EXPECT_EQ(empty.GetMinMaxPoint(a, b), 0);
    ExpectNear(a, {}, 0.0);
    ExpectNear(b, {}, 0.0);
}

TEST(GePrint, MovingShiftsPointsExactlyAndNormalisesNormalsOnce)
{
    // A move takes the short path; its values must be those of the general
    // transform: every point shifted, every normal normalised.
    ZELKGePrint mesh;
    Triangle t = Facet({0.1, 0.2, 0.3}, {10.7, 0.1, 0}, {0, 20.3, 5.9});
    const ZELKGeVector3d unit = t.normal;
    mesh.GetGePrint().push_back(t);
    t.normal = ZELKGeVector3d(0, 3, 4);  // as an STL file may store it
    mesh.GetGePrint().push_back(t);
    const ZELKGePrint before = mesh;

    mesh.TransformBy(Translate(-5.25, 1.1, 2.7));
    for (std::size_t i = 0; i < 2; ++i) {
        for (int k = 0; k < 3; ++k) {
            const ZELKGePoint3d& old = before.GetGePrint()[i].point[k];
            EXPECT_EQ(mesh.GetGePrint()[i].point[k].x, old.x + -5.25);
            EXPECT_EQ(mesh.GetGePrint()[i].point[k].y, old.y + 1.1);
            EXPECT_EQ(mesh.GetGePrint()[i].point[k].z, old.z + 2.7);
        }
    }
    ZELKGeVector3d expected = unit;
    expected.Normalize();
    EXPECT_EQ(mesh.GetGePrint()[0].normal.x, expected.x);
    EXPECT_EQ(mesh.GetGePrint()[0].normal.z, expected.z);
    ExpectNear(mesh.GetGePrint()[1].normal.AsPoint(), {0, 0.6, 0.8}, 1e-15);
    ExpectNear(mesh.MinPoint(), {-5.25, 1.2, 2.7}, 1e-12);
}

TEST(GePrintBox, CornersOfTheDefaultPlatform)
{
    const ZELKGePrintBox box = MakePrintBox(150, 140, 130);
    ExpectNear(box[0], {-75, -70, 0}, 0.0);
    ExpectNear(box[1], {75, -70, 0}, 0.0);
    ExpectNear(box[2], {75, 70, 0}, 0.0);
    ExpectNear(box[3], {-75, 70, 0}, 0.0);
    ExpectNear(box[4], {-75, -70, 130}, 0.0);
    ExpectNear(box[6], {75, 70, 130}, 0.0);
}

}  // namespace
