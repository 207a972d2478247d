// Printable models: transforms and their resets, platform fit, ranges, drag steps and the reset store.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "DBPrint.h"
#include "EntityReset.h"
#include "ModelFixtures.h"
#include "ViewConversion.h"

using modeltest::Box;
using modeltest::ExpectMeshNear;
using modeltest::ExpectPointNear;
using modeltest::Wedge;

namespace {

const ZELKGePoint3d kPlatformMin(-75, -75, 0), kPlatformMax(75, 75, 150);

// A cube of side 10 standing centred on the default platform.
struct Cube10 : ZELKDBPrint {
    Cube10() : ZELKDBPrint(Box({-5, -5, 0}, {5, 5, 10})) { SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax); }
};

struct Snapshot {
    ZELKGePrint mesh;
    ZELKGePoint3d lo, hi, center;
};

Snapshot Take(ZELKDBPrint& model)
{
    Snapshot s;
    s.mesh = model.GetPrint();
    model.GetMinMaxPoint(s.lo, s.hi);
    model.GetCenterPoint(s.center);
    return s;
}

void ExpectRestored(ZELKDBPrint& model, const Snapshot& before, double tol = 1e-9)
{
    const Snapshot now = Take(model);
    ExpectMeshNear(now.mesh, before.mesh, tol);
    ExpectPointNear(now.lo, before.lo, tol, "box min");
    ExpectPointNear(now.hi, before.hi, tol, "box max");
    ExpectPointNear(now.center, before.center, tol, "centre");
}

TEST(DBPrint, ConstructionTakesBoxAndCentreFromTheMesh)
{
    ZELKDBPrint model(Wedge());
    ZELKGePoint3d lo, hi, c;
    model.GetMinMaxPoint(lo, hi);
    model.GetCenterPoint(c);
    ExpectPointNear(lo, {0, 0, 0}, 0.0);
    ExpectPointNear(hi, {30, 12, 20}, 0.0);
    ExpectPointNear(c, {15, 6, 10}, 0.0);
    EXPECT_EQ(model.GetScaleValue(), 100);
    EXPECT_EQ(model.GetScaleValueZAxis(), 100);
    EXPECT_EQ(model.GetDegreesXAxis(), 0);
    EXPECT_TRUE(model.GetMoveMatrix().IsIdentity());
}

TEST(DBPrint, MovesAreRecordedAndResetButTheInitialPlacementStays)
{
    Cube10 model;
    model.InitialMove(ZELKGePoint3d(0, 0, 0), ZELKGePoint3d(20, 0, 0));
    const Snapshot loaded = Take(model);
    model.Move(ZELKGePoint3d(10, 0, 0));
    model.Move(ZELKGePoint3d(10, 0, 0));
    ZELKGePoint3d c;
    model.GetCenterPoint(c);
    ExpectPointNear(c, {40, 0, 5}, 1e-12);
    model.ResettingModelMove();
    ExpectRestored(model, loaded);
    EXPECT_TRUE(model.GetMoveMatrix().IsIdentity());
}

TEST(DBPrint, RotationsResetToTheLoadedOrientation)
{
    ZELKDBPrint model(Wedge());
    const Snapshot loaded = Take(model);
    ZELKGePoint3d c;
    model.GetCenterPoint(c);
    model.RotateBy(30, ZELKGeVector3d(0, 0, 1), c);
    model.RotateBy(60, ZELKGeVector3d(0, 0, 1), c);
    model.SetDegreesZAxis(90);
    ZELKGePoint3d after;
    model.GetCenterPoint(after);
    ExpectPointNear(after, c, 1e-12);
    EXPECT_TRUE(model.GetMoveMatrix().IsIdentity(1e-12));  // out and back again
    model.ResettingModelRotate();
    ExpectRestored(model, loaded);
    EXPECT_EQ(model.GetDegreesZAxis(), 90);  // left to the caller
}

TEST(DBPrint, ScaleResetRestoresSizeAndScaleValues)
{
    Cube10 model;
    EXPECT_EQ((model.ResettingModelScalse(), model.GetScaleValue()), 100);
    const Snapshot loaded = Take(model);
    model.Scale(2.0);
    model.SetScaleValue(200);
    model.SetScaleValueXAxis(150);
    ZELKGePoint3d lo, hi;
    model.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {-10, -10, -5}, 1e-12);  // about the centre (0, 0, 5)
    model.Scale(0.5, Axis_Z);
    model.ResettingModelScalse();
    ExpectRestored(model, loaded);
    EXPECT_EQ(model.GetScaleValue(), 100);
    EXPECT_EQ(model.GetScaleValueXAxis(), 100);
}

// Moves, rotations about each axis through the centre and uniform scalings in
// random order, then the three resets in either order: the model is back.
TEST(DBPrint, MixedTransformsThenResetsRoundTrip)
{
    std::mt19937 random(12345);
    std::uniform_real_distribution<double> any(-40, 40), factor(0.5, 2.0), angle(-180, 180);
    const int resetOrders[2][3] = {{1, 2, 0}, {0, 2, 1}};
    for (int trial = 0; trial < 20; ++trial) {
        ZELKDBPrint model(Wedge());
        model.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
        model.InitialMove(ZELKGePoint3d(15, 6, 0), ZELKGePoint3d(0, 0, 0));
        const Snapshot loaded = Take(model);
        for (int step = 0; step < 12; ++step) {
            ZELKGePoint3d c;
            model.GetCenterPoint(c);
            switch (random() % 5) {
            case 0: model.Move(ZELKGePoint3d(any(random), any(random), any(random))); break;
            case 1: model.RotateBy(angle(random), ZELKGeVector3d(1, 0, 0), c); break;
            case 2: model.RotateBy(angle(random), ZELKGeVector3d(0, 1, 0), c); break;
            case 3: model.RotateBy(angle(random), ZELKGeVector3d(0, 0, 1), c); break;
            default: model.Scale(factor(random)); break;
            }
        }
        for (int kind : resetOrders[trial % 2]) {
            if (kind == 0) model.ResettingModelMove();
            if (kind == 1) model.ResettingModelRotate();
            if (kind == 2) model.ResettingModelScalse();
        }
        SCOPED_TRACE("trial " + std::to_string(trial));
        ExpectRestored(model, loaded);
    }
}

TEST(DBPrint, TransFromByChangesTheMeshButNoRecordOrCentre)
{
    Cube10 model;
    ZELKGeMatrix3d m;
    m.Move(ZELKGePoint3d(3, 4, 5));
    model.TransFromBy(m);
    ZELKGePoint3d lo, hi, c;
    model.GetMinMaxPoint(lo, hi);
    model.GetCenterPoint(c);
    ExpectPointNear(lo, {-2, -1, 5}, 1e-12);
    ExpectPointNear(c, {0, 0, 5}, 0.0);
    EXPECT_TRUE(model.GetMoveMatrix().IsIdentity());
    model.SetPrint(Box({0, 0, 0}, {1, 2, 3}));
    model.GetMinMaxPoint(lo, hi);
    ExpectPointNear(hi, {1, 2, 3}, 0.0);
}

TEST(DBPrint, InsideTheBuildVolumeWithItsTolerance)
{
    ZELKDBPrint model(Box({-75, -75, 0}, {75, 75, 150}));
    model.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
    EXPECT_EQ(model.IsInPlatform(), 1);  // touching every side
    const ZELKGePoint3d shifts[] = {{0.01, 0, 0}, {-0.02, 0, 0}, {0.01, 0.01, -0.01}};
    for (const auto& d : shifts) {
        model.Move(d);  // overhangs of 0.01 at most
        EXPECT_EQ(model.IsInPlatform(), 1) << d.x << " " << d.y << " " << d.z;
    }
    const ZELKGePoint3d overhangs[] = {{0.011, 0, 0}, {-0.011, 0, 0}, {0, 0.011, 0},
                                       {0, -0.011, 0}, {0, 0, 0.011}, {0, 0, -0.011}};
    for (const auto& d : overhangs) {
        ZELKDBPrint m(Box({-75 + d.x, -75 + d.y, d.z}, {75 + d.x, 75 + d.y, 150 + d.z}));
        m.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
        EXPECT_EQ(m.IsInPlatform(), 0) << d.x << " " << d.y << " " << d.z;
    }
}

TEST(DBPrint, OnThePlatformMeansNotAboveIt)
{
    ZELKDBPrint model(Box({0, 0, 0.01}, {1, 1, 1}));
    EXPECT_EQ(model.IsOnPlarform(), 1);
    model.Move(ZELKGePoint3d(0, 0, -5));
    EXPECT_EQ(model.IsOnPlarform(), 1);
    model.Move(ZELKGePoint3d(0, 0, 5.0011));
    EXPECT_EQ(model.IsOnPlarform(), 0);
}

TEST(DBPrint, RangesOfACubeOnTheDefaultPlatform)
{
    Cube10 model;
    double lo = 0, hi = 0;
    for (auto get : {&ZELKDBPrint::GetXScaleRange, &ZELKDBPrint::GetYScaleRange, &ZELKDBPrint::GetZScaleRange}) {
        (model.*get)(lo, hi);
        EXPECT_DOUBLE_EQ(lo, 0.3);
        EXPECT_DOUBLE_EQ(hi, 15.0);
    }
    model.GetScaleRange(lo, hi);
    EXPECT_DOUBLE_EQ(lo, 0.3);  // the 10 mm sides stay 3 mm long
    EXPECT_NEAR(hi, 15.0, 1e-12);
    model.GetXMoveRange(lo, hi);
    EXPECT_DOUBLE_EQ(lo, -70);
    EXPECT_DOUBLE_EQ(hi, 70);
    model.GetZMoveRange(lo, hi);
    EXPECT_DOUBLE_EQ(lo, 5);
    EXPECT_DOUBLE_EQ(hi, 145);

    // The smallest side bounds the shrinking: a 10 x 40 x 100 part keeps 3 mm
    // across; a part already thinner than 3 mm cannot shrink at all.
    ZELKDBPrint slab(Box({0, 0, 0}, {10, 40, 100}));
    slab.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
    slab.GetScaleRange(lo, hi);
    EXPECT_DOUBLE_EQ(lo, 0.3);
    ZELKDBPrint sheet(Box({0, 0, 0}, {2, 40, 100}));
    sheet.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
    sheet.GetScaleRange(lo, hi);
    EXPECT_DOUBLE_EQ(lo, 1.0);

    ZELKDBPrint flat(Box({0, 0, 0}, {10, 20, 0}));
    flat.SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
    flat.GetZScaleRange(lo, hi);
    EXPECT_EQ(lo, 1.0);
    EXPECT_EQ(hi, 1.0);
}

// An orthographic view from above: window x right, y down, 100 pixels across
// 100 mm, depth 0 at z = 100 and 1 at z = -100.
class TopView : public ZELKViewConversion {
public:
    int TransDCSToWCS(const ZELKGePoint3d& s, ZELKGePoint3d& w) override
    {
        w.Set(s.x - 50, 50 - s.y, 100 - 200 * s.z);
        return 1;
    }
};

// Looking straight along the platform: depth runs along y.
class SideView : public ZELKViewConversion {
public:
    int TransDCSToWCS(const ZELKGePoint3d& s, ZELKGePoint3d& w) override
    {
        w.Set(s.x - 50, 200 * s.z - 100, 50 - s.y);
        return 1;
    }
};

TEST(DBPrint, DragStepsAreRecordedWithTheirGroundAnchor)
{
    TopView top;
    zelk::SetViewConversion(&top);
    Cube10 model;
    model.TrackTranslation(ZELKGePoint3d(60, 40, 0.5), ZELKGePoint3d(70, 40, 0.5), 1, 0);
    EXPECT_EQ(model.GetTrackMode(), 1);
    EXPECT_EQ(model.GetTrackFlags(), 0x30);
    ExpectPointNear(model.GetTrackAnchor(), {10, 10, 0}, 1e-12);
    model.TrackTranslation(ZELKGePoint3d(70, 40, 0.5), ZELKGePoint3d(80, 45, 0.5), 1, 1);
    EXPECT_EQ(model.GetTrackFlags(), 0x31);
    ExpectPointNear(model.GetTrackAnchor(), {10, 10, 0}, 1e-12);  // kept after the start

    SideView side;
    zelk::SetViewConversion(&side);
    ZELKGePoint3d g1, g2;
    ASSERT_EQ(zelk::GroundPoints(&side, {60, 40, 0.5}, {70, 20, 0.5}, g1, g2), 1);
    ExpectPointNear(g1, {10, 0, 0}, 1e-12);
    ExpectPointNear(g2, {20, 0, 0}, 1e-12);
    zelk::SetViewConversion(nullptr);
    EXPECT_EQ(zelk::GroundPoints(nullptr, {}, {}, g1, g2), 0);
}

TEST(EntityReset, KeepsTheFirstMeshPerIdAndFetchesCopies)
{
    ZELKDBEntityReset store;
    ZELKGePrint out = Box({0, 0, 0}, {9, 9, 9});
    EXPECT_EQ(store.GetGePrint(1, out), 0);
    EXPECT_EQ(out.GetGePrint().size(), 12u);  // untouched

    store.Add(1, Box({0, 0, 0}, {1, 1, 1}));
    store.Add(1, Box({0, 0, 0}, {2, 2, 2}));
    store.Add(2, Wedge());
    ASSERT_EQ(store.GetGePrint(1, out), 1);
    ExpectPointNear(out.MaxPoint(), {1, 1, 1}, 0.0);
    out.GetGePrint().clear();  // a copy: the store keeps its own
    ASSERT_EQ(store.GetGePrint(1, out), 1);
    EXPECT_EQ(out.GetGePrint().size(), 12u);

    store.Remove(1);
    EXPECT_EQ(store.GetGePrint(1, out), 0);
    store.RemoveAll();
    EXPECT_EQ(store.GetGePrint(2, out), 0);
    EXPECT_EQ(ZELKDBEntityReset::getInstance(), ZELKDBEntityReset::getInstance());
}

}  // namespace

// A state taken from a model gives back its vertices bit for bit, also a
// mesh handed out and changed by the caller, and one caught up in between.
TEST(DBPrint, TransformStatesGiveBackTheVerticesExactly)
{
    ZELKDBPrint model(modeltest::Wedge());
    model.RotateBy(33, ZELKGeVector3d(1, 2, 3), ZELKGePoint3d(4, 5, 6));
    auto vertices = [&model] { return static_cast<const ZELKDBPrint&>(model).GetPrint().GetGePrint(); };
    const auto turned = vertices();  // caught up
    const ZELKDBPrint::TransformState atTurned = model.GetTransformState();

    for (Triangle& t : model.GetPrint().GetGePrint())  // handed out and changed
        t.point[0].z += 1.25;
    const auto changed = vertices();
    const ZELKDBPrint::TransformState atChanged = model.GetTransformState();
    EXPECT_NE(atChanged.source, atTurned.source) << "the changed mesh is a new source";
    model.Scale(1.7);
    model.Move(ZELKGePoint3d(3, 0, 0));
    vertices();
    const unsigned revision = model.GetMeshRevision();

    model.SetTransformState(atTurned);
    EXPECT_NE(model.GetMeshRevision(), revision) << "other vertices: the drawing must be rebuilt";
    EXPECT_TRUE(model.GetTransformState().SameAs(atTurned));
    ASSERT_EQ(vertices().size(), turned.size());
    EXPECT_EQ(std::memcmp(vertices().data(), turned.data(), turned.size() * sizeof(Triangle)), 0);
    model.SetTransformState(atChanged);
    EXPECT_EQ(std::memcmp(vertices().data(), changed.data(), changed.size() * sizeof(Triangle)), 0);
    ZELKGePoint3d c;
    model.GetCenterPoint(c);
    ExpectPointNear(c, atChanged.center, 0);
}
