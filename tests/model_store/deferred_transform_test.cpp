// Transforms gathered in a pending matrix: the box found from the untouched vertices, and the vertices once applied.
#include <gtest/gtest.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "MeshRunBoxes.h"
#include "ModelFixtures.h"

namespace {

// A closed sphere of 2 * stacks * slices facets, in the order a mesher writes them (ring by ring).
ZELKGePrint Sphere(const ZELKGePoint3d& centre, double radius, int stacks, int slices)
{
    auto at = [&](int i, int j) {
        const double t = M_PI * i / stacks, p = 2 * M_PI * j / slices;
        return centre + ZELKGeVector3d(std::sin(t) * std::cos(p), std::sin(t) * std::sin(p), std::cos(t)) * radius;
    };
    ZELKGePrint mesh;
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            const ZELKGePoint3d q[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            for (const auto& f : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
                Triangle t;
                for (int k = 0; k < 3; ++k)
                    t.point[k] = q[f[k]];
                t.normal = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]).Normalize();
                mesh.GetGePrint().push_back(t);
            }
        }
    }
    mesh.UpdateMinMaxPoint();
    return mesh;
}

ZELKGePrint Transformed(ZELKGePrint mesh, const ZELKGeMatrix3d& m)
{
    mesh.TransformBy(m);
    return mesh;
}

void ExpectSameBox(const ZELKGePoint3d& lo, const ZELKGePoint3d& hi, const ZELKGePrint& mesh, const char* what)
{
    ZELKGePoint3d meshLo, meshHi;
    mesh.GetMinMaxPoint(meshLo, meshHi);
    for (int a = 0; a < 3; ++a) {
        EXPECT_EQ(lo[a], meshLo[a]) << what << ", axis " << a;
        EXPECT_EQ(hi[a], meshHi[a]) << what << ", axis " << a;
    }
}

// Every vertex within `relative` of the other mesh's, relative to the mesh's size.
void ExpectVerticesNear(const ZELKGePrint& a, const ZELKGePrint& b, double relative)
{
    ZELKGePoint3d lo, hi;
    b.GetMinMaxPoint(lo, hi);
    const double scale = std::max({std::fabs(lo.x), std::fabs(lo.y), std::fabs(lo.z), std::fabs(hi.x),
                                   std::fabs(hi.y), std::fabs(hi.z), lo.DistanceTo(hi)});
    modeltest::ExpectMeshNear(a, b, relative * scale);
}

// Rotations about skew axes, scalings (one mirroring) and moves, all off the origin.
std::vector<ZELKGeMatrix3d> SomeTransforms()
{
    std::vector<ZELKGeMatrix3d> out;
    ZELKGeMatrix3d m;
    out.push_back(m.Rotation(37, ZELKGeVector3d(1, 2, 0.5), ZELKGePoint3d(3, -4, 20)));
    out.push_back(m.ScalingOnAxis(1.7, Axis_Y, ZELKGePoint3d(10, 10, 10)));
    out.push_back(m.ScalingOnAxis(-0.8, Axis_X, ZELKGePoint3d(-2, 0, 1)));
    out.push_back(m.Move(ZELKGeVector3d(-123.25, 0.001, 7)));
    ZELKGeMatrix3d combined = out[0];
    combined *= out[1];
    combined *= out[3];
    out.push_back(combined);
    return out;
}

TEST(MeshRunBoxes, TransformedBoxIsExactlyTheBoxOfTheTransformedMesh)
{
    ZELKGePrint ordered = Sphere({5, -3, 40}, 40, 60, 90);  // runs lie close together
    ZELKGePrint shuffled = ordered;                          // runs spread over the whole sphere
    std::shuffle(shuffled.GetGePrint().begin(), shuffled.GetGePrint().end(), std::mt19937(7));
    for (const ZELKGePrint* mesh : {&ordered, &shuffled}) {
        zelk::MeshRunBoxes runs;
        runs.Build(*mesh);
        ASSERT_EQ(runs.RunCount(), (mesh->GetGePrint().size() + zelk::MeshRunBoxes::kRunFacets - 1) /
                                       zelk::MeshRunBoxes::kRunFacets);
        for (const ZELKGeMatrix3d& m : SomeTransforms()) {
            ZELKGePoint3d lo, hi;
            EXPECT_EQ(runs.TransformedBox(*mesh, m, lo, hi), 1);
            ExpectSameBox(lo, hi, Transformed(*mesh, m), mesh == &ordered ? "ordered" : "shuffled");
        }
    }
}

TEST(MeshRunBoxes, ReadsOnlyTheRunsThatCanHoldAnExtremeOfAnOrderedMesh)
{
    const ZELKGePrint mesh = Sphere({0, 0, 40}, 40, 100, 200);
    zelk::MeshRunBoxes runs;
    runs.Build(mesh);
    ZELKGeMatrix3d turn;
    turn.Rotation(23, ZELKGeVector3d(1, 1, 0), ZELKGePoint3d(0, 0, 40));
    ZELKGePoint3d lo, hi;
    std::size_t visited = 0;
    runs.TransformedBox(mesh, turn, lo, hi, &visited);
    EXPECT_GT(visited, 0u);
    EXPECT_LT(visited, runs.RunCount() / 4);
}

TEST(MeshRunBoxes, EmptyMeshHasAZeroBox)
{
    const ZELKGePrint empty;
    zelk::MeshRunBoxes runs;
    runs.Build(empty);
    ZELKGePoint3d lo(1, 1, 1), hi(2, 2, 2);
    ZELKGeMatrix3d m;
    EXPECT_EQ(runs.TransformedBox(empty, m.Move(ZELKGeVector3d(5, 5, 5)), lo, hi), 0);
    modeltest::ExpectPointNear(lo, {0, 0, 0}, 0);
    modeltest::ExpectPointNear(hi, {0, 0, 0}, 0);
}

// The edits a user can make to a model, in one long mixed sequence.
std::vector<std::function<void(ZELKDBPrint&)>> ManySteps()
{
    std::vector<std::function<void(ZELKDBPrint&)>> steps;
    for (int i = 0; i < 12; ++i) {
        const double s = i % 2 == 0 ? 1.0 : -1.0;
        steps.push_back([=](ZELKDBPrint& m) { m.Move(ZELKGePoint3d(0.37 * s, -1.1, 0.05 * i)); });
        steps.push_back([=](ZELKDBPrint& m) {
            ZELKGePoint3d c;
            m.GetCenterPoint(c);
            m.RotateBy(7.5 * s, ZELKGeVector3d(i % 3 == 0, i % 3 == 1, i % 3 == 2), c);
        });
        steps.push_back([=](ZELKDBPrint& m) { m.Scale(i % 2 == 0 ? 1.03 : 1 / 1.02); });
        steps.push_back([=](ZELKDBPrint& m) { m.Scale(1.01, i % 2 == 0 ? Axis_Z : Axis_X); });
        steps.push_back([=](ZELKDBPrint& m) { m.InitialMove(ZELKGePoint3d(0, 0, 1), ZELKGePoint3d(0.2, 0, 0)); });
    }
    steps.push_back([](ZELKDBPrint& m) {
        ZELKGeMatrix3d mirror;
        m.TransFromBy(mirror.ScalingOnAxis(-1, Axis_Y, ZELKGePoint3d(0, 1, 0)));
    });
    steps.push_back([](ZELKDBPrint& m) { m.ResettingModelRotate(); });
    steps.push_back([](ZELKDBPrint& m) { m.Move(ZELKGePoint3d(-3, 2, 1)); });
    steps.push_back([](ZELKDBPrint& m) { m.ResettingModelScalse(); });
    return steps;
}

// One model keeps its edits pending to the end; the other has its vertices
// transformed after every step, as they were before edits were deferred.
TEST(DeferredTransform, ManyStepsEndWithTheVerticesOfStepByStepTransforms)
{
    const ZELKGePrint mesh = Sphere({10, 20, 15}, 15, 12, 20);
    ZELKDBPrint deferred(mesh), immediate(mesh);
    for (const auto& step : ManySteps()) {
        step(deferred);
        step(immediate);
        static_cast<const ZELKDBPrint&>(immediate).GetPrint();
        EXPECT_FALSE(immediate.HasPendingTransform());
        ASSERT_TRUE(deferred.HasPendingTransform());
        // The box during the edit is exactly that of the vertices transformed now.
        ZELKGePoint3d lo, hi;
        deferred.GetMinMaxPoint(lo, hi);
        ExpectSameBox(lo, hi, Transformed(mesh, deferred.GetDrawTransform()), "deferred box");
    }
    EXPECT_EQ(deferred.GetMeshRevision(), immediate.GetMeshRevision());
    const ZELKGePrint& done = static_cast<const ZELKDBPrint&>(deferred).GetPrint();
    EXPECT_FALSE(deferred.HasPendingTransform());
    ExpectVerticesNear(done, immediate.GetPrint(), 1e-9);
    ZELKGePoint3d lo, hi;
    deferred.GetMinMaxPoint(lo, hi);
    ExpectSameBox(lo, hi, done, "box after the vertices caught up");
    ZELKGePoint3d c1, c2;
    deferred.GetCenterPoint(c1);
    immediate.GetCenterPoint(c2);
    modeltest::ExpectPointNear(c1, c2, 1e-9);
}

TEST(DeferredTransform, EveryWayToTheMeshSeesTheEdits)
{
    const ZELKGePrint box = modeltest::Box({0, 0, 0}, {10, 20, 30});
    ZELKDBPrint model(box);
    model.Move(ZELKGePoint3d(5, 0, 0));
    ASSERT_TRUE(model.HasPendingTransform());
    EXPECT_EQ(static_cast<const ZELKDBPrint&>(model).GetPrint().GetGePrint()[0].point[0].x, 5);
    EXPECT_FALSE(model.HasPendingTransform());

    model.Move(ZELKGePoint3d(1, 0, 0));
    const unsigned revision = model.GetMeshRevision();
    ZELKGePrint& handed = model.GetPrint();  // for change: transformed first, then the drawing rebuilt
    EXPECT_EQ(handed.GetGePrint()[0].point[0].x, 6);
    EXPECT_NE(model.GetMeshRevision(), revision);

    // A caller that changes the mesh it was handed gets the box of the changed mesh on the next step.
    for (Triangle& t : handed.GetGePrint())
        for (ZELKGePoint3d& p : t.point)
            p.z *= 2;
    model.Move(ZELKGePoint3d(0, 1, 0));
    ZELKGePoint3d lo, hi;
    model.GetMinMaxPoint(lo, hi);
    modeltest::ExpectPointNear(lo, {6, 1, 0}, 1e-12);
    modeltest::ExpectPointNear(hi, {16, 21, 60}, 1e-12);

    // A new mesh replaces the model as it is: edits still pending do not reach it.
    model.RotateBy(90, ZELKGeVector3d(0, 0, 1), ZELKGePoint3d(0, 0, 0));
    model.SetPrint(box);
    EXPECT_FALSE(model.HasPendingTransform());
    modeltest::ExpectMeshNear(static_cast<const ZELKDBPrint&>(model).GetPrint(), box, 0);
    model.GetMinMaxPoint(lo, hi);
    modeltest::ExpectPointNear(lo, {0, 0, 0}, 0);
    modeltest::ExpectPointNear(hi, {10, 20, 30}, 0);
}

TEST(DeferredTransform, ResetsAndPlatformChecksUseTheEditedModel)
{
    ZELKDBPrint model(modeltest::Wedge());
    model.SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
    model.Move(ZELKGePoint3d(0, 0, 200));
    EXPECT_EQ(model.IsInPlatform(), 0);
    EXPECT_EQ(model.IsOnPlarform(), 0);
    model.ResettingModelMove();
    EXPECT_EQ(model.IsInPlatform(), 1);
    EXPECT_EQ(model.IsOnPlarform(), 1);
    ZELKGePoint3d c;
    model.GetCenterPoint(c);  // (15, 6, 10), the middle of the box
    model.RotateBy(90, ZELKGeVector3d(1, 0, 0), c);  // lifted off the platform
    EXPECT_EQ(model.IsOnPlarform(), 0);
    ZELKGePoint3d lo, hi;
    model.GetMinMaxPoint(lo, hi);
    modeltest::ExpectPointNear(lo, {0, -4, 4}, 1e-12);
    modeltest::ExpectPointNear(hi, {30, 16, 16}, 1e-12);
    ASSERT_TRUE(model.HasPendingTransform());
    model.ResettingModelRotate();
    modeltest::ExpectMeshNear(static_cast<const ZELKDBPrint&>(model).GetPrint(), modeltest::Wedge(), 1e-12);
}

#if defined(__GLIBC__)
// Loading, editing and removing a model many times leaves no more memory in
// use than doing it once: nothing of a removed model stays behind.
TEST(DeferredTransform, LoadEditRemoveCyclesKeepNothingBehind)
{
    ZELDBEntityDatabase database;
    ZELKDBEntityReset store;
    database.SetResetStore(&store);
    const ZELKGePrint mesh = Sphere({0, 0, 20}, 20, 40, 60);
    auto cycle = [&] {
        int id = 0;
        auto* model = new ZELKDBPrint(mesh);
        database.Add(model, id);
        store.Add(id, mesh);
        database.AddSelect(id);
        model->Move(ZELKGePoint3d(3, 0, 0));
        model->RotateBy(30, ZELKGeVector3d(0, 1, 0), ZELKGePoint3d(0, 0, 20));
        static_cast<const ZELKDBPrint*>(model)->GetPrint();
        model->Scale(1.2);
        database.UnLoadCheckedEntity();
        return mallinfo2().uordblks;
    };
    const std::size_t first = cycle();
    std::size_t last = first;
    for (int i = 0; i < 20; ++i)
        last = cycle();
    EXPECT_EQ(store.GetCount(), 0);
    EXPECT_EQ(database.GetCount(), 0);
    EXPECT_LE(last, first + 4096) << "bytes in use after the first and after the last removal";
}
#endif

}  // namespace
