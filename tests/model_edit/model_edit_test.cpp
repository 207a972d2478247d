// The model-editing service over a database of its own: edits, resets, ranges, landing, layout and the model file path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "../model_store/ModelFixtures.h"

using modeltest::Box;
using modeltest::ExpectMeshNear;
using modeltest::ExpectPointNear;
using modeltest::Wedge;

namespace {

const ZELKGePoint3d kPlatformMin(-75, -75, 0), kPlatformMax(75, 75, 150);

class ModelEditTest : public ::testing::Test {
protected:
    // Loads a mesh as the STL loader does: named, stood centred on the
    // platform, then beside the models already there, added and selected alone.
    ZELKDBPrint* Load(const ZELKGePrint& mesh, const std::string& name = "part.stl")
    {
        auto* model = new ZELKDBPrint(mesh);
        model->SetName(name);
        model->SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
        ZELKGePoint3d a, b;
        model->GetMinMaxPoint(a, b);
        model->InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2, a.z), ZELKGePoint3d(0, 0, 0));
        if (db.GetCount(1) > 0) {
            ZELKGePoint3d big, bigMax;
            db.GetDatabaseModelMaxBox(big, bigMax);
            model->GetMinMaxPoint(a, b);
            model->InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2 + 2, 0),
                               ZELKGePoint3d(bigMax.x + b.x + 2, big.y, 0));
        }
        int id = 0;
        db.Add(model, id);
        db.ClearSelect();
        db.AddSelect(id);
        return model;
    }

    static ZELKGePoint3d BoxMin(ZELKDBPrint* m)
    {
        ZELKGePoint3d lo, hi;
        m->GetMinMaxPoint(lo, hi);
        return lo;
    }
    static ZELKGePoint3d BoxMax(ZELKDBPrint* m)
    {
        ZELKGePoint3d lo, hi;
        m->GetMinMaxPoint(lo, hi);
        return hi;
    }

    ZELDBEntityDatabase db;
    ZELKModelEdit edit{&db};
};

TEST_F(ModelEditTest, NothingSelectedMeansNothingDone)
{
    Load(Wedge());
    db.ClearSelect();
    ZELKGePoint3d c;
    MoveRange moveRange;
    ScaleRange scaleRange;
    int value = 7;
    EXPECT_EQ(edit.ModelEdit(EDIT_MOVE, 10, AXIS_X), 0);
    EXPECT_EQ(edit.ModelEdit(EDIT_ROTATE, 10, AXIS_X), 0);
    EXPECT_EQ(edit.ModelResettingOperation(EDIT_MOVE), 0);
    EXPECT_EQ(edit.MoveModelCheckedToPlatfrom(), 0);
    EXPECT_EQ(edit.GetSelectedModelCenterPoint(c), 0);
    EXPECT_EQ(edit.GetSelectedModelMoveRange(moveRange), 0);
    EXPECT_EQ(edit.GetSelectedModelAxisScaleRange(scaleRange), 0);
    EXPECT_EQ(edit.GetSelectedModelAxisScale(value), 0);
    EXPECT_EQ(edit.GetSelectedModelAxisDegrees(AXIS_Z, value), 0);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(edit.IsSelecttedModelNeedMove(3, AXIS_X), 0);
    EXPECT_EQ(edit.GetPrintModelNumber(), 1);
}

TEST_F(ModelEditTest, MoveSetsTheCentreCoordinateAndResetReturnsToTheLoadedPlace)
{
    ZELKDBPrint* m = Load(Box({0, 0, 0}, {10, 20, 30}));
    const ZELKGePrint loaded = m->GetPrint();
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, 20, AXIS_X), 1);
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, -12.5, AXIS_Y), 1);
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, 40, AXIS_Z), 1);
    ZELKGePoint3d c;
    ASSERT_EQ(edit.GetSelectedModelCenterPoint(c), 1);
    ExpectPointNear(c, {20, -12.5, 40}, 1e-12);
    EXPECT_EQ(edit.IsSelecttedModelNeedMove(20, AXIS_X), 0);
    EXPECT_EQ(edit.IsSelecttedModelNeedMove(20.01, AXIS_X), 1);
    EXPECT_EQ(edit.ModelEdit(EDIT_MOVE, 5, AXIS_ALL), 0);
    ASSERT_EQ(edit.ModelResettingOperation(EDIT_MOVE), 1);
    ExpectMeshNear(m->GetPrint(), loaded, 1e-12);
}

TEST_F(ModelEditTest, SeveralSelectedModelsMoveAsOneGroup)
{
    ZELKDBPrint* a = Load(Box({0, 0, 0}, {10, 10, 10}));
    ZELKDBPrint* b = Load(Box({0, 0, 0}, {20, 10, 10}));
    const double gap = BoxMin(b).x - BoxMax(a).x;
    db.SelectALL();
    ASSERT_EQ(edit.ModelEdit(EDIT_MOVE, 0, AXIS_X), 1);
    EXPECT_NEAR(BoxMin(b).x - BoxMax(a).x, gap, 1e-12);
    EXPECT_NEAR(BoxMin(a).x + BoxMax(b).x, 0.0, 1e-12);  // the group is centred
}

TEST_F(ModelEditTest, RotationAndScalingKeepAStandingModelOnThePlatform)
{
    ZELKDBPrint* m = Load(Box({0, 0, 0}, {10, 20, 30}));
    ASSERT_EQ(edit.ModelEdit(EDIT_ROTATE, 90, AXIS_X), 1);
    EXPECT_NEAR(BoxMin(m).z, 0.0, 1e-9);
    EXPECT_NEAR(BoxMax(m).z, 20.0, 1e-9);  // the 20 mm side now stands up
    EXPECT_NEAR(BoxMax(m).y - BoxMin(m).y, 30.0, 1e-9);
    ASSERT_EQ(edit.ModelEdit(EDIT_SCALE, 2, AXIS_ALL), 1);
    EXPECT_NEAR(BoxMin(m).z, 0.0, 1e-9);
    EXPECT_NEAR(BoxMax(m).z, 40.0, 1e-9);
    EXPECT_EQ(edit.ModelEdit(EDIT_SCALE, 2, AXIS_X), 0);   // uniform only
    EXPECT_EQ(edit.ModelEdit(EDIT_SCALE, -1, AXIS_ALL), 0);
    EXPECT_EQ(edit.ModelEdit(EDIT_ROTATE, 10, AXIS_ALL), 0);

    // A model lifted by the user stays where the user put it.
    edit.ModelEdit(EDIT_MOVE, 100, AXIS_Z);
    const double bottom = BoxMin(m).z;
    edit.ModelEdit(EDIT_SCALE, 0.5, AXIS_ALL);
    EXPECT_NEAR(BoxMin(m).z, bottom + 10, 1e-9);  // halved about its centre (z = 100)
}

// Panel steps leave the vertices for later (the drawing and the box follow
// at once); a twin whose vertices are transformed after every step ends with
// the same vertices, and a standing model stands on its lowest vertex.
TEST_F(ModelEditTest, PanelStepsKeepVerticesPendingYetEndWhereStepByStepEditsEnd)
{
    ZELKDBPrint* m = Load(Wedge());
    ZELDBEntityDatabase twinDb;
    ZELKModelEdit twinEdit{&twinDb};
    auto* twin = new ZELKDBPrint(Wedge());
    twin->SetPlatformMinMaxPoint(kPlatformMin, kPlatformMax);
    ZELKGePoint3d a, b;
    twin->GetMinMaxPoint(a, b);
    twin->InitialMove(ZELKGePoint3d((a.x + b.x) / 2, (a.y + b.y) / 2, a.z), ZELKGePoint3d(0, 0, 0));
    int id = 0;
    twinDb.Add(twin, id);
    twinDb.AddSelect(id);

    for (int i = 0; i < 30; ++i) {
        const double s = i % 2 == 0 ? 1.0 : -1.0;
        for (auto* service : {&edit, &twinEdit}) {
            ZELKGePoint3d c;
            service->GetSelectedModelCenterPoint(c);
            ASSERT_EQ(service->ModelEdit(EDIT_MOVE, c.x + 0.7 * s, AXIS_X), 1);
            ASSERT_EQ(service->ModelEdit(EDIT_ROTATE, 13.0 * s + i, static_cast<AxisDirection>(i % 3)), 1);
            ASSERT_EQ(service->ModelEdit(EDIT_SCALE, i % 2 == 0 ? 1.1 : 1 / 1.05, AXIS_ALL), 1);
        }
        static_cast<const ZELKDBPrint*>(twin)->GetPrint();
        ASSERT_TRUE(m->HasPendingTransform());
        EXPECT_NEAR(BoxMin(m).z, 0.0, 1e-9) << "step " << i;  // stood again after each rotation and scaling
        ExpectPointNear(BoxMin(m), BoxMin(twin), 1e-9, "box min");
        ExpectPointNear(BoxMax(m), BoxMax(twin), 1e-9, "box max");
    }
    const ZELKGePrint& done = static_cast<const ZELKDBPrint*>(m)->GetPrint();
    EXPECT_FALSE(m->HasPendingTransform());
    ExpectMeshNear(done, twin->GetPrint(), 1e-9 * 100);  // within 1e-9 of the model's size (tens of mm)
    double lowest = INFINITY;
    for (const Triangle& t : done.GetGePrint())
        for (const ZELKGePoint3d& p : t.point)
            lowest = std::min(lowest, p.z);
    EXPECT_NEAR(lowest, 0.0, 1e-9);
    EXPECT_EQ(db.IsPrintModelOnPlatform(), 1);
}

TEST_F(ModelEditTest, EditsInMixedOrderThenTheThreeResetsRestoreTheLoadedModel)
{
    ZELKDBPrint* m = Load(Wedge(), "wedge.stl");
    const ZELKGePrint mesh = m->GetPrint();
    const ZELKGePoint3d lo = BoxMin(m), hi = BoxMax(m);
    ZELKGePoint3d center;
    m->GetCenterPoint(center);

    edit.ModelEdit(EDIT_MOVE, 30, AXIS_X);
    edit.ModelEdit(EDIT_ROTATE, 35, AXIS_X);
    edit.ModelEdit(EDIT_SCALE, 1.7, AXIS_ALL);
    edit.ModelEdit(EDIT_ROTATE, -120, AXIS_Z);
    edit.ModelEdit(EDIT_MOVE, -20, AXIS_Y);
    edit.ModelEdit(EDIT_ROTATE, 75, AXIS_Y);
    edit.ModelEdit(EDIT_SCALE, 0.6, AXIS_ALL);
    edit.SetSelectedModelAxisDegrees(AXIS_Y, 75);

    // The order of the view's Reset command: rotation, scale, position.
    ASSERT_EQ(edit.ModelResettingOperation(EDIT_ROTATE), 1);
    ASSERT_EQ(edit.ModelResettingOperation(EDIT_SCALE), 1);
    ASSERT_EQ(edit.ModelResettingOperation(EDIT_MOVE), 1);
    ExpectMeshNear(m->GetPrint(), mesh, 1e-9);
    ExpectPointNear(BoxMin(m), lo, 1e-9);
    ExpectPointNear(BoxMax(m), hi, 1e-9);
    ZELKGePoint3d after;
    m->GetCenterPoint(after);
    ExpectPointNear(after, center, 1e-9);
    int degrees = -1;
    edit.GetSelectedModelAxisDegrees(AXIS_Y, degrees);
    EXPECT_EQ(degrees, 0);  // the rotation reset clears what the panel shows
}

TEST_F(ModelEditTest, RangesOfACubeOnTheDefaultPlatform)
{
    Load(Box({0, 0, 0}, {10, 10, 10}));
    MoveRange move;
    ASSERT_EQ(edit.GetSelectedModelMoveRange(move), 1);
    EXPECT_DOUBLE_EQ(move.xMin, -70);
    EXPECT_DOUBLE_EQ(move.xMax, 70);
    EXPECT_DOUBLE_EQ(move.yMin, -70);
    EXPECT_DOUBLE_EQ(move.zMin, 5);
    EXPECT_DOUBLE_EQ(move.zMax, 145);

    ScaleRange scale;
    ASSERT_EQ(edit.GetSelectedModelAxisScaleRange(scale), 1);
    EXPECT_DOUBLE_EQ(scale.xMin, 0.3);
    EXPECT_DOUBLE_EQ(scale.zMax, 15);
    EXPECT_DOUBLE_EQ(scale.min, 0.3);  // its sides stay 3 mm long
    EXPECT_NEAR(scale.max, 15, 1e-9);
    // Doubling the cube changes neither bound, in factors of the loaded size.
    edit.ModelEdit(EDIT_SCALE, 2, AXIS_ALL);
    ASSERT_EQ(edit.GetSelectedModelAxisScaleRange(scale), 1);
    EXPECT_NEAR(scale.min, 0.3, 1e-9);
    EXPECT_NEAR(scale.max, 15, 1e-9);

    // Larger than the platform: the only place left is its middle.
    ZELKDBPrint* huge = Load(Box({0, 0, 0}, {200, 10, 10}));
    (void)huge;
    ASSERT_EQ(edit.GetSelectedModelMoveRange(move), 1);
    EXPECT_DOUBLE_EQ(move.xMin, 0);
    EXPECT_DOUBLE_EQ(move.xMax, 0);
}

TEST_F(ModelEditTest, StoredDegreesAndScaleValues)
{
    Load(Wedge());
    int value = -1;
    ASSERT_EQ(edit.SetSelectedModelAxisDegrees(AXIS_X, 45), 1);
    ASSERT_EQ(edit.SetSelectedModelAxisDegrees(AXIS_Z, 370), 1);
    edit.GetSelectedModelAxisDegrees(AXIS_X, value);
    EXPECT_EQ(value, 45);
    edit.GetSelectedModelAxisDegrees(AXIS_Z, value);
    EXPECT_EQ(value, 10);
    ASSERT_EQ(edit.SetSelectedModelAxisDegrees(AXIS_ALL, 0), 1);
    edit.GetSelectedModelAxisDegrees(AXIS_X, value);
    EXPECT_EQ(value, 0);

    ASSERT_EQ(edit.GetSelectedModelAxisScale(value), 1);
    EXPECT_EQ(value, 100);
    ASSERT_EQ(edit.SetSelectedModelAxisScale(250), 1);
    edit.GetSelectedModelAxisScale(value);
    EXPECT_EQ(value, 250);
    EXPECT_EQ(edit.SetSelectedModelAxisScale(0), 0);
    edit.ModelResettingOperation(EDIT_SCALE);
    edit.GetSelectedModelAxisScale(value);
    EXPECT_EQ(value, 100);
}

TEST_F(ModelEditTest, LandingLowersAndRaisesTheSelectedModels)
{
    ZELKDBPrint* up = Load(Box({0, 0, 0}, {10, 10, 10}));
    edit.ModelEdit(EDIT_MOVE, 60, AXIS_Z);
    ZELKDBPrint* down = Load(Box({0, 0, 0}, {10, 10, 10}));
    edit.ModelEdit(EDIT_MOVE, -2, AXIS_Z);
    ZELKDBPrint* other = Load(Box({0, 0, 0}, {10, 10, 10}));
    edit.ModelEdit(EDIT_MOVE, 30, AXIS_Z);
    db.ClearSelect();
    db.AddSelect(up->GetEventId());
    db.AddSelect(down->GetEventId());
    ASSERT_EQ(edit.MoveModelCheckedToPlatfrom(), 1);
    EXPECT_NEAR(BoxMin(up).z, 0, 1e-12);
    EXPECT_NEAR(BoxMin(down).z, 0, 1e-12);
    EXPECT_NEAR(BoxMin(other).z, 25, 1e-12);
}

TEST_F(ModelEditTest, AutoLayoutLeavesNoModelOverlappingAndAllOnThePlatform)
{
    const ZELKGePoint3d sizes[] = {{40, 30, 10}, {25, 25, 40}, {60, 10, 5}, {15, 45, 20},
                                   {30, 30, 30}, {10, 10, 10}, {35, 20, 15}};
    std::vector<ZELKDBPrint*> models;
    for (const auto& s : sizes)
        models.push_back(Load(Box({0, 0, 0}, s)));
    // Pile them up where they overlap, some in the air.
    for (std::size_t i = 0; i < models.size(); ++i)
        models[i]->Move(ZELKGePoint3d(-BoxMin(models[i]).x, 0, double(i)));
    ASSERT_EQ(edit.AutoLayout(), 1);

    ZELKGePoint3d lo(1e9, 1e9, 0), hi(-1e9, -1e9, 0);
    for (std::size_t i = 0; i < models.size(); ++i) {
        const ZELKGePoint3d a = BoxMin(models[i]), b = BoxMax(models[i]);
        EXPECT_NEAR(a.z, 0.0, 1e-9);
        EXPECT_EQ(models[i]->IsInPlatform(), 1) << i;
        lo.Set(std::min(lo.x, a.x), std::min(lo.y, a.y));
        hi.Set(std::max(hi.x, b.x), std::max(hi.y, b.y));
        for (std::size_t j = i + 1; j < models.size(); ++j) {
            const ZELKGePoint3d c = BoxMin(models[j]), d = BoxMax(models[j]);
            const bool apart = b.x <= c.x + 1e-9 || d.x <= a.x + 1e-9 || b.y <= c.y + 1e-9 || d.y <= a.y + 1e-9;
            EXPECT_TRUE(apart) << "models " << i << " and " << j << " overlap";
        }
    }
    EXPECT_NEAR(lo.x + hi.x, 0.0, 1e-9);  // centred on the platform
    EXPECT_NEAR(lo.y + hi.y, 0.0, 1e-9);
}

TEST_F(ModelEditTest, TheModelFileIsNamedAfterTheFirstLoadedModel)
{
    ::setenv("MORVADIN_HOME", "/srv/morvadin-home", 1);
    std::string path = "unchanged";
    int count = -1;
    EXPECT_EQ(edit.GetPrintModelPathAndCount(path, count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(path.empty());

    Load(Wedge(), "/home/user/parts/gear.v2.stl");
    Load(Wedge(), "/home/user/parts/other.stl");
    EXPECT_EQ(edit.GetPrintModelPathAndCount(path, count), 2);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(path, "/srv/morvadin-home/PrintModel/gear.v2.stl");
    std::wstring wide;
    edit.GetPrintModelPathAndCount(wide, count);
    EXPECT_EQ(wide, L"/srv/morvadin-home/PrintModel/gear.v2.stl");
    ::unsetenv("MORVADIN_HOME");
}

TEST(ModelEditService, TheProcessServiceWorksOnTheProcessDatabase)
{
    ZELKModelEdit* service = ZELKModelEdit::GetModelEditObject();
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service, ZELKModelEdit::GetModelEditObject());
    ZELDBEntityDatabase* db = ZELDBEntityDatabase::GetInterFace();
    int id = 0;
    db->Add(new ZELKDBPrint(Wedge()), id);
    EXPECT_EQ(service->GetPrintModelNumber(), 1);
    delete db;
    EXPECT_EQ(service->GetPrintModelNumber(), 0);  // a new, empty database
}

}  // namespace
