// Undo and redo of model edits against a database of its own, and edits of several selected models as one group.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DBPrint.h"
#include "EditHistory.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "ModelEdit.h"
#include "../model_store/ModelFixtures.h"

using modeltest::Box;
using modeltest::ExpectPointNear;
using modeltest::Wedge;
using zelk::EditHistory;
using zelk::EditKind;

namespace {

const ZELKGePoint3d kPlatformMin(-75, -75, 0), kPlatformMax(75, 75, 150);

// A ring of facets around the z axis: a mesh of any size whose box centre is not its vertex mean.
ZELKGePrint Ring(std::size_t facets, double radius, double height)
{
    ZELKGePrint mesh;
    mesh.GetGePrint().resize(facets);
    for (std::size_t i = 0; i < facets; ++i) {
        const double a = 2 * M_PI * static_cast<double>(i) / static_cast<double>(facets);
        const double b = a + 2 * M_PI / static_cast<double>(facets);
        Triangle& t = mesh.GetGePrint()[i];
        t.point[0] = ZELKGePoint3d(radius * std::cos(a), radius * std::sin(a), 0);
        t.point[1] = ZELKGePoint3d(radius * std::cos(b), radius * std::sin(b), 0);
        t.point[2] = ZELKGePoint3d(0.3 * radius * std::cos(a), 0.5 * radius * std::sin(b), height * (i % 7) / 6.0);
        t.normal = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]).Normalize();
    }
    mesh.UpdateMinMaxPoint();
    return mesh;
}

// What a model is: its vertices as handed out, then its transform state and box.
struct Snapshot {
    std::vector<Triangle> vertices;
    ZELKDBPrint::TransformState state;
    ZELKGePoint3d lo, hi;
};

Snapshot Take(ZELKDBPrint* model)
{
    Snapshot s;
    s.vertices = static_cast<const ZELKDBPrint*>(model)->GetPrint().GetGePrint();
    s.state = model->GetTransformState();
    model->GetMinMaxPoint(s.lo, s.hi);
    return s;
}

// The same in every bit: vertices, normals, transform state and box.
void ExpectSame(ZELKDBPrint* model, const Snapshot& expected, const std::string& what)
{
    const Snapshot now = Take(model);
    ASSERT_EQ(now.vertices.size(), expected.vertices.size()) << what;
    EXPECT_EQ(std::memcmp(now.vertices.data(), expected.vertices.data(), now.vertices.size() * sizeof(Triangle)), 0)
        << what << ": the vertices differ";
    EXPECT_TRUE(now.state.SameAs(expected.state)) << what << ": the transform state differs";
    ExpectPointNear(now.lo, expected.lo, 0, what.c_str());
    ExpectPointNear(now.hi, expected.hi, 0, what.c_str());
}

class EditHistoryTest : public ::testing::Test {
protected:
    EditHistoryTest() { db.SetResetStore(&store); }

    ZELKDBPrint* Add(const ZELKGePrint& mesh, const ZELKGePoint3d& place)
    {
        auto* model = new ZELKDBPrint(mesh);
        model->SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
        ZELKGePoint3d a, b;
        model->GetMinMaxPoint(a, b);
        model->InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2, a.z), place);
        int id = 0;
        db.Add(model, id);
        return model;
    }
    void Select(std::initializer_list<ZELKDBPrint*> models)
    {
        db.ClearSelect();
        for (ZELKDBPrint* m : models)
            db.AddSelect(m->GetEventId());
    }
    static ZELKGePoint3d BoxCentre(ZELKDBPrint* m)
    {
        ZELKGePoint3d lo, hi;
        m->GetMinMaxPoint(lo, hi);
        return (lo + hi) * 0.5;
    }
    static ZELKGePoint3d BoxSize(ZELKDBPrint* m)
    {
        ZELKGePoint3d lo, hi;
        m->GetMinMaxPoint(lo, hi);
        return ZELKGePoint3d(hi.x - lo.x, hi.y - lo.y, hi.z - lo.z);
    }
    ZELKGePoint3d GroupCentre()
    {
        ZELKGePoint3d c;
        EXPECT_EQ(edit.GetSelectedModelCenterPoint(c), 1);
        return c;
    }

    ZELKDBEntityReset store;
    ZELDBEntityDatabase db;
    ZELKModelEdit edit{&db};
};

// Every kind of edit over three models, some alone and some grouped, with the
// vertices caught up at odd moments (as a finished drag or a slice does):
// each undo gives back exactly the models before that step, each redo exactly
// the models after it.
TEST_F(EditHistoryTest, EditSequencesUndoAndRedoToTheVeryBit)
{
    ZELKDBPrint* a = Add(Wedge(), {-30, 0, 0});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {10, 20, 30}), {0, 20, 0});
    ZELKDBPrint* c = Add(Ring(500, 12, 9), {30, -10, 0});
    const std::vector<ZELKDBPrint*> all = {a, b, c};

    std::vector<std::function<void()>> steps = {
        [&] { Select({a}); edit.ModelEdit(EDIT_MOVE, 12.5, AXIS_X); },
        [&] { Select({a, b}); edit.ModelEdit(EDIT_ROTATE, 33, AXIS_Z); },
        [&] { Select({c}); edit.ModelEdit(EDIT_SCALE, 1.37, AXIS_ALL); },
        [&] { Select({b, c}); edit.ModelEdit(EDIT_MOVE, 40, AXIS_Z); },
        [&] { Select({a, b, c}); edit.ModelEdit(EDIT_ROTATE, -71, AXIS_X); },
        [&] { Select({b}); edit.MoveModelCheckedToPlatfrom(); },
        [&] { Select({a, c}); edit.ModelEdit(EDIT_SCALE, 0.8, AXIS_ALL); },
        [&] { Select({a, b, c}); edit.ModelResettingOperation(EDIT_ROTATE); },
        [&] { edit.AutoLayout(); },
        [&] { Select({c}); edit.ModelResettingOperation(EDIT_SCALE); },
        [&] { Select({a, b}); edit.ModelEdit(EDIT_MOVE, -20, AXIS_Y); },
    };
    std::vector<std::vector<Snapshot>> after;  // after[k]: the models after k steps
    auto takeAll = [&] {
        std::vector<Snapshot> s;
        for (ZELKDBPrint* m : all)
            s.push_back(Take(m));
        return s;
    };
    after.push_back(takeAll());
    for (std::size_t k = 0; k < steps.size(); ++k) {
        steps[k]();
        if (k % 3 == 1)
            takeAll();  // caught up twice in a row: no change the history could see
        after.push_back(takeAll());
    }
    ASSERT_EQ(edit.History().UndoCount(), steps.size());
    EXPECT_EQ(edit.History().NextUndoKind(), EditKind::Move);

    for (std::size_t k = steps.size(); k > 0; --k) {
        ASSERT_TRUE(edit.History().Undo());
        for (std::size_t i = 0; i < all.size(); ++i)
            ExpectSame(all[i], after[k - 1][i], "undo to " + std::to_string(k - 1) + ", model " + std::to_string(i));
    }
    EXPECT_FALSE(edit.History().CanUndo());
    EXPECT_FALSE(edit.History().Undo());
    for (std::size_t k = 1; k <= steps.size(); ++k) {
        ASSERT_TRUE(edit.History().Redo());
        for (std::size_t i = 0; i < all.size(); ++i)
            ExpectSame(all[i], after[k][i], "redo to " + std::to_string(k) + ", model " + std::to_string(i));
    }
    EXPECT_FALSE(edit.History().CanRedo());
}

TEST_F(EditHistoryTest, RefusedAndEmptyEditsAreNoSteps)
{
    ZELKDBPrint* a = Add(Wedge(), {0, 0, 0});
    Select({a});
    EXPECT_EQ(edit.ModelEdit(EDIT_SCALE, -1, AXIS_ALL), 0);
    EXPECT_EQ(edit.ModelEdit(EDIT_ROTATE, 5, AXIS_ALL), 0);
    edit.MoveModelCheckedToPlatfrom();  // already standing
    edit.ModelResettingOperation(EDIT_MOVE);  // never moved
    EXPECT_EQ(edit.History().UndoCount(), 0u);
    db.ClearSelect();
    EXPECT_EQ(edit.ModelEdit(EDIT_MOVE, 5, AXIS_X), 0);
    EXPECT_EQ(edit.History().UndoCount(), 0u);
}

TEST_F(EditHistoryTest, TheHundredAndFirstStepDropsTheOldestAndANewEditDropsRedo)
{
    ZELKDBPrint* a = Add(Wedge(), {0, 0, 0});
    Select({a});
    std::vector<Snapshot> after = {Take(a)};
    for (int k = 1; k <= 101; ++k) {
        edit.ModelEdit(EDIT_MOVE, -50 + k * 0.75, AXIS_X);
        after.push_back(Take(a));
    }
    EXPECT_EQ(edit.History().UndoCount(), EditHistory::kDefaultDepth);
    while (edit.History().Undo()) {
    }
    ExpectSame(a, after[1], "all undone: the first move is the start now");

    // Redo three, undo one, then a new edit: what could be redone is gone.
    for (int k = 0; k < 3; ++k)
        edit.History().Redo();
    edit.History().Undo();
    EXPECT_EQ(edit.History().RedoCount(), 98u);
    edit.ModelEdit(EDIT_ROTATE, 15, AXIS_Y);
    EXPECT_FALSE(edit.History().CanRedo());
    EXPECT_EQ(edit.History().UndoCount(), 3u);
    EXPECT_EQ(edit.History().NextUndoKind(), EditKind::Rotate);
    edit.History().Undo();
    ExpectSame(a, after[3], "undo of the edit made after undos");
}

TEST_F(EditHistoryTest, UndoOfARemovePutsTheSameEntityBackAndDroppedStepsFreeIt)
{
    ZELKDBPrint* a = Add(Wedge(), {-20, 0, 0});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {10, 10, 10}), {20, 0, 0});
    const int idA = a->GetEventId(), idB = b->GetEventId();
    Select({a});
    edit.ModelEdit(EDIT_ROTATE, 40, AXIS_Y);
    Snapshot turned = Take(a);
    std::weak_ptr<const ZELKGePrint> source = a->GetSourceMesh();
    ASSERT_EQ(store.GetCount(), 2);

    Select({a, b});
    EXPECT_EQ(edit.RemoveSelectedModels(), 2);
    EXPECT_EQ(db.GetCount(), 0);
    EXPECT_EQ(db.GetSelectCount(), 0);
    EXPECT_EQ(edit.History().HeldEntityCount(), 2u);
    EXPECT_EQ(store.GetCount(), 2) << "a removed model that can come back keeps its copy as loaded";

    ASSERT_TRUE(edit.History().Undo());
    EXPECT_EQ(db.FindEntity(idA), a);
    EXPECT_EQ(db.FindEntity(idB), b);
    EXPECT_EQ(db.GetSelectCount(), 2);
    EXPECT_EQ(edit.History().HeldEntityCount(), 0u);
    ExpectSame(a, turned, "the model put back");
    turned = Snapshot();  // the snapshot shares the model's source mesh
    ASSERT_TRUE(edit.History().Undo());  // and the rotation before the removal
    ExpectPointNear(a->GetRotateMatrix().TransformPoint({1, 2, 3}), {1, 2, 3}, 0);

    edit.History().Redo();
    edit.History().Redo();
    EXPECT_EQ(db.GetCount(), 0);
    // The removal falls off the old end after 100 newer steps: the models go for good.
    ZELKDBPrint* c = Add(Wedge(), {0, 0, 0});
    Select({c});
    for (int k = 0; k < 100; ++k)
        edit.ModelEdit(EDIT_MOVE, k % 2 == 0 ? 10 : -10, AXIS_Y);
    EXPECT_EQ(edit.History().HeldEntityCount(), 0u);
    EXPECT_TRUE(source.expired()) << "the removed model's mesh outlived its last step";
    EXPECT_EQ(store.GetCount(), 1);
}

TEST_F(EditHistoryTest, UndoOfAnAddTakesTheModelOutUntilANewEditDropsIt)
{
    ZELKDBPrint* a = Add(Wedge(), {0, 0, 0});
    edit.RecordAddedModels({a->GetEventId(), 9999});  // an id not in the database is left out
    ASSERT_EQ(edit.History().NextUndoKind(), EditKind::Add);
    std::weak_ptr<const ZELKGePrint> source = a->GetSourceMesh();

    ASSERT_TRUE(edit.History().Undo());
    EXPECT_EQ(db.GetCount(), 0);
    ASSERT_TRUE(edit.History().Redo());
    EXPECT_EQ(db.FindEntity(a->GetEventId()), a);
    ASSERT_TRUE(edit.History().Undo());

    ZELKDBPrint* b = Add(Box({0, 0, 0}, {5, 5, 5}), {30, 0, 0});
    Select({b});
    edit.ModelEdit(EDIT_MOVE, 20, AXIS_X);
    EXPECT_FALSE(edit.History().CanRedo());
    EXPECT_TRUE(source.expired()) << "an add that can no longer be redone keeps its model";
}

TEST_F(EditHistoryTest, AModelRemovedWithoutTheHistoryLeavesNothingInIt)
{
    ZELKDBPrint* a = Add(Wedge(), {-20, 0, 0});
    ZELKDBPrint* b = Add(Wedge(), {20, 0, 0});
    Select({a, b});
    edit.ModelEdit(EDIT_ROTATE, 20, AXIS_X);
    std::weak_ptr<const ZELKGePrint> source = a->GetSourceMesh();
    const Snapshot bBefore = [&] {
        edit.History().Undo();
        Snapshot s = Take(b);
        edit.History().Redo();
        return s;
    }();
    db.Remove(a->GetEventId());  // as the view's delete did before it went through the history
    EXPECT_FALSE(source.expired()) << "the rotation's states still name it";
    Select({b});
    edit.ModelEdit(EDIT_MOVE, 30, AXIS_Y);
    EXPECT_TRUE(source.expired()) << "the next step let go of the removed model's mesh";
    edit.History().Undo();
    edit.History().Undo();  // the rotation: only b is left to turn back
    ExpectSame(b, bBefore, "b turned back");
}

TEST_F(EditHistoryTest, GroupsMakeOneStepOfSeveralEdits)
{
    ZELKDBPrint* a = Add(Wedge(), {0, 0, 0});
    Select({a});
    const Snapshot start = Take(a);
    EditHistory& history = edit.History();
    history.BeginGroup(EditKind::Reset);
    edit.ModelEdit(EDIT_MOVE, 20, AXIS_X);
    history.BeginGroup(EditKind::Other);  // nested: still the one step
    edit.ModelEdit(EDIT_SCALE, 2, AXIS_ALL);
    edit.RemoveSelectedModels();
    history.EndGroup();
    EXPECT_FALSE(history.Undo()) << "undo inside an open group";
    history.EndGroup();
    EXPECT_EQ(history.UndoCount(), 1u);
    EXPECT_EQ(history.NextUndoKind(), EditKind::Reset);
    ASSERT_TRUE(history.Undo());
    ASSERT_EQ(db.FindEntity(a->GetEventId()), a);
    ExpectSame(a, start, "the group undone");
}

TEST_F(EditHistoryTest, ShownDegreesAndPercentsSetAfterTheEditBelongToItsStep)
{
    ZELKDBPrint* a = Add(Wedge(), {-30, 0, 40});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {10, 10, 10}), {30, 0, 40});
    a->SetDegreesZAxis(10);
    b->SetDegreesZAxis(350);
    Select({a, b});
    // As the rotate panel does: turn by the difference, then store the angle.
    edit.ModelEdit(EDIT_ROTATE, 30, AXIS_Z);
    edit.SetSelectedModelAxisDegrees(AXIS_Z, 40);
    EXPECT_EQ(a->GetDegreesZAxis(), 40);
    EXPECT_EQ(b->GetDegreesZAxis(), 20);  // turned by as much, past 360
    edit.ModelEdit(EDIT_SCALE, 1.5, AXIS_ALL);
    b->SetScaleValue(200);
    edit.SetSelectedModelAxisScale(150);
    EXPECT_EQ(a->GetScaleValue(), 150);
    EXPECT_EQ(b->GetScaleValue(), 300);  // the same ratio as the first model's

    edit.History().Undo();
    edit.History().Undo();
    EXPECT_EQ(a->GetDegreesZAxis(), 10);
    EXPECT_EQ(b->GetDegreesZAxis(), 350);
    edit.History().Redo();
    EXPECT_EQ(a->GetDegreesZAxis(), 40);
    EXPECT_EQ(b->GetDegreesZAxis(), 20);
    edit.History().Redo();
    EXPECT_EQ(b->GetScaleValue(), 300);
}

// A million facets moved a hundred times, caught up now and then: the history
// keeps matrices, a few hundred bytes a step, never a mesh.
TEST_F(EditHistoryTest, AMillionFacetModelMovedAHundredTimesKeepsNoMeshInTheHistory)
{
    constexpr std::size_t kFacets = 1000000;
    ZELKDBPrint* big = Add(Ring(kFacets, 40, 30), {0, 0, 0});
    const std::size_t meshBytes = kFacets * sizeof(Triangle);
    Select({big});
    const Snapshot start = Take(big);
    for (int k = 0; k < 100; ++k) {
        edit.ModelEdit(EDIT_MOVE, (k % 2 == 0 ? 1.0 : -1.0) * (k % 17), k % 3 == 2 ? AXIS_Y : AXIS_X);
        if (k % 25 == 24)
            static_cast<const ZELKDBPrint*>(big)->GetPrint();  // the vertices catch up, as after a drag
    }
    ASSERT_EQ(edit.History().UndoCount(), 100u);
    const std::size_t bytes = edit.History().MemoryBytes();
    std::printf("history of 100 moves of a %zu-facet model: %zu bytes (one mesh: %zu bytes)\n", kFacets, bytes,
                meshBytes);
    RecordProperty("history_bytes", std::to_string(bytes));
    EXPECT_LT(bytes, meshBytes / 100);
    while (edit.History().Undo()) {
    }
    ExpectSame(big, start, "a hundred moves undone");
}

// ---- several selected models edited as one group ----

TEST_F(EditHistoryTest, AGroupMovesByOneVectorWithinARangeThatKeepsEveryModelInside)
{
    ZELKDBPrint* a = Add(Wedge(), {-40, 10, 0});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {20, 10, 10}), {30, -20, 5});
    Select({a, b});
    MoveRange range;
    ASSERT_EQ(edit.GetSelectedModelMoveRange(range), 1);
    ZELKGePoint3d lo, hi;
    a->GetMinMaxPoint(lo, hi);
    const double aLeft = lo.x;
    b->GetMinMaxPoint(lo, hi);
    const double bRight = hi.x;
    // The common box from a's left side to b's right side may go from the platform's left to its right edge.
    EXPECT_NEAR(range.xMax - range.xMin, (kPlatformMax.x - kPlatformMin.x) - (bRight - aLeft), 1e-9);

    const ZELKGePoint3d a0 = BoxCentre(a), b0 = BoxCentre(b);
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, range.xMax, AXIS_X), 1);
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, range.yMin, AXIS_Y), 1);
    const ZELKGePoint3d da = BoxCentre(a) - a0, db_ = BoxCentre(b) - b0;
    ExpectPointNear(da, db_, 1e-12, "both models moved by the same vector");
    EXPECT_GT(da.x, 0);
    EXPECT_EQ(a->IsInPlatform(), 1);
    EXPECT_EQ(b->IsInPlatform(), 1);
    b->GetMinMaxPoint(lo, hi);
    EXPECT_NEAR(hi.x, kPlatformMax.x, 1e-9) << "the range's end puts the group against the edge";
    // One model alone has the wider range of its own box.
    Select({b});
    MoveRange alone;
    edit.GetSelectedModelMoveRange(alone);
    EXPECT_LT(alone.xMin, range.xMin);
}

TEST_F(EditHistoryTest, AGroupTurnsAboutItsCommonCentre)
{
    // Lifted off the platform, so nothing is stood on it again afterwards.
    ZELKDBPrint* a = Add(Box({0, 0, 0}, {10, 10, 10}), {-30, 0, 40});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {20, 10, 30}), {20, 15, 40});
    Select({a, b});
    const ZELKGePoint3d centre = GroupCentre();
    const ZELKGePoint3d a0 = BoxCentre(a), b0 = BoxCentre(b), bSize = BoxSize(b);
    ASSERT_EQ(edit.ModelEdit(EDIT_ROTATE, 90, AXIS_Z), 1);
    // A quarter turn about z takes the common box onto one about the same centre.
    ExpectPointNear(GroupCentre(), centre, 1e-9, "the common centre");
    // Each model's centre went round the common centre: (x, y) -> (-y, x) about it.
    ExpectPointNear(BoxCentre(a), {centre.x - (a0.y - centre.y), centre.y + (a0.x - centre.x), a0.z}, 1e-9, "a");
    ExpectPointNear(BoxCentre(b), {centre.x - (b0.y - centre.y), centre.y + (b0.x - centre.x), b0.z}, 1e-9, "b");
    ExpectPointNear(BoxSize(b), {bSize.y, bSize.x, bSize.z}, 1e-9, "b turned itself too");

    // Any angle: the distance of each model's centre from the group's stays.
    ASSERT_EQ(edit.ModelEdit(EDIT_ROTATE, 37, AXIS_Y), 1);
    EXPECT_NEAR(a->GetRotateMatrix().Determinant3x3(), 1.0, 1e-12);
    ZELKGePoint3d ca, cb;
    a->GetCenterPoint(ca);
    b->GetCenterPoint(cb);
    EXPECT_NEAR(ca.DistanceTo(cb), a0.DistanceTo(b0), 1e-9);
    // The move a group turn gives a model is a move: a position reset takes it back.
    edit.ModelResettingOperation(EDIT_ROTATE);
    edit.ModelResettingOperation(EDIT_MOVE);
    ExpectPointNear(BoxCentre(a), a0, 1e-9, "a reset");
    ExpectPointNear(BoxCentre(b), b0, 1e-9, "b reset");
}

TEST_F(EditHistoryTest, AGroupScalesAboutItsCommonCentre)
{
    ZELKDBPrint* a = Add(Wedge(), {-25, 0, 30});
    ZELKDBPrint* b = Add(Box({0, 0, 0}, {10, 10, 10}), {25, 10, 50});
    Select({a, b});
    const ZELKGePoint3d centre = GroupCentre();
    const ZELKGePoint3d a0 = BoxCentre(a), b0 = BoxCentre(b), aSize = BoxSize(a);
    ASSERT_EQ(edit.ModelEdit(EDIT_SCALE, 1.5, AXIS_ALL), 1);
    ExpectPointNear(GroupCentre(), centre, 1e-9, "the common centre");
    ExpectPointNear(BoxSize(a), aSize * 1.5, 1e-9, "a's size");
    ExpectPointNear(BoxCentre(b) - centre, (b0 - centre) * 1.5, 1e-9, "b's place");
    ExpectPointNear(BoxCentre(a) - centre, (a0 - centre) * 1.5, 1e-9, "a's place");

    // Standing models stay standing: each is stood on the platform again.
    Select({a, b});
    edit.MoveModelCheckedToPlatfrom();
    const ZELKGePoint3d standing = GroupCentre();
    ASSERT_EQ(edit.ModelEdit(EDIT_SCALE, 0.5, AXIS_ALL), 1);
    for (ZELKDBPrint* m : {a, b})
        EXPECT_NEAR(BoxCentre(m).z - BoxSize(m).z / 2, 0.0, 1e-9);
    EXPECT_NEAR(GroupCentre().x, standing.x, 1e-9);
    EXPECT_NEAR(GroupCentre().y, standing.y, 1e-9);

    // The scale range of the group is narrower than that of either model alone.
    ScaleRange group, alone;
    ASSERT_EQ(edit.GetSelectedModelAxisScaleRange(group), 1);
    Select({b});
    ASSERT_EQ(edit.GetSelectedModelAxisScaleRange(alone), 1);
    EXPECT_LT(group.max, alone.max);
}

}  // namespace
