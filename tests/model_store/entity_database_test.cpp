// The entity database: ids, ownership, cursor, selection invariants and the model queries.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "ModelFixtures.h"

using modeltest::Box;
using modeltest::ExpectPointNear;

namespace {

// A model that counts its own deletions.
class CountedPrint : public ZELKDBPrint {
public:
    CountedPrint(const ZELKGePrint& mesh, int& deleted) : ZELKDBPrint(mesh), m_deleted(deleted) {}
    ~CountedPrint() override { ++m_deleted; }

private:
    int& m_deleted;
};

ZELKDBPrint* BoxModel(double x0, double z0 = 0, double side = 10)
{
    return new ZELKDBPrint(Box({x0, 0, z0}, {x0 + side, side, z0 + side}));
}

// Every selected entity has state 1, every other 0, and the selection is a subset of the entities.
void ExpectSelectionConsistent(ZELDBEntityDatabase& db)
{
    for (ZELKDBEntity* e = db.FirstDBEntity(); e != nullptr; e = db.NextDBEntity()) {
        const bool selected = db.GetSelectEntity().count(e->GetEventId()) == 1;
        EXPECT_EQ(e->GetModeSelectState(), selected ? 1 : 0) << "id " << e->GetEventId();
    }
    for (const auto& [id, e] : db.GetSelectEntity())
        EXPECT_EQ(db.FindEntity(id), e);
}

TEST(DBEntity, ConstructionValuesAndNameStorage)
{
    ZELKDBPrint model(Box({0, 0, 0}, {1, 1, 1}));
    EXPECT_EQ(model.GetEventType(), 1);
    EXPECT_EQ(model.GetShowType(), 1);
    EXPECT_EQ(model.GetEventId(), 0);
    EXPECT_EQ(model.GetModeSelectState(), 0);
    EXPECT_EQ(model.GetColor().green, 170.0f);
    EXPECT_STREQ(model.GetName(), "");
    // Show type and colour keep their construction values.
    model.SetShowType(0);
    model.SetColor(GLColor{1, 2, 3});
    EXPECT_EQ(model.GetShowType(), 1);
    EXPECT_EQ(model.GetColor().red, 10.0f);

    // A long path with UTF-8 names is kept whole, never cut inside a character.
    std::string path = "/home/user";
    for (int i = 0; i < 40; ++i)
        path += "/模型目录";
    path += "/gear & shaft.stl";
    ASSERT_GT(path.size(), 255u);
    model.SetName(path);
    EXPECT_EQ(std::string(model.GetName()), path);
    model.SetName("short.stl");
    EXPECT_STREQ(model.GetName(), "short.stl");
}

TEST(EntityDatabase, IdsCountUpFromOneAndAreNeverReused)
{
    ZELDBEntityDatabase db;
    int id = 0;
    db.Add(BoxModel(0), id);
    EXPECT_EQ(id, 1);
    db.Add(BoxModel(20), id);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(db.FindEntity(2)->GetEventId(), 2);
    db.RemoveAll();
    EXPECT_EQ(db.GetCount(), 0);
    db.Add(BoxModel(0), id);
    EXPECT_EQ(id, 3);
    int untouched = 42;
    EXPECT_EQ(db.Add(nullptr, untouched), -1);
    EXPECT_EQ(untouched, 42);
}

TEST(EntityDatabase, OwnsItsEntitiesThroughEveryWayOfRemoval)
{
    int deleted = 0;
    {
        ZELDBEntityDatabase db;
        int id = 0;
        for (int i = 0; i < 6; ++i)
            db.Add(new CountedPrint(Box({0, 0, 0}, {1, 1, 1}), deleted), id);
        db.Remove(1);
        EXPECT_EQ(deleted, 1);
        db.Remove(1);  // already gone: nothing more
        EXPECT_EQ(deleted, 1);
        EXPECT_EQ(db.Remove(static_cast<ZELKDBEntity*>(nullptr)), -1);
        db.Remove(db.FindEntity(2));
        EXPECT_EQ(deleted, 2);
        db.AddSelect(3);
        db.AddSelect(5);
        EXPECT_EQ(db.UnLoadCheckedEntity(), 1);
        EXPECT_EQ(deleted, 4);
        EXPECT_EQ(db.GetSelectCount(), 0);
        EXPECT_EQ(db.GetCount(), 2);
    }
    EXPECT_EQ(deleted, 6);  // the rest go with the database
}

TEST(EntityDatabase, SelectionInvariantsUnderAddRemoveSelectAllAndUnload)
{
    ZELDBEntityDatabase db;
    int id = 0;
    for (int i = 0; i < 5; ++i)
        db.Add(BoxModel(20 * i), id);

    db.AddSelect(99);  // unknown: nothing changes
    EXPECT_EQ(db.GetSelectCount(), 0);
    db.AddSelect(2);
    db.AddSelect(2);
    EXPECT_EQ(db.GetSelectCount(), 1);
    ExpectSelectionConsistent(db);

    db.SelectALL();
    EXPECT_EQ(db.GetSelectCount(), 5);
    ExpectSelectionConsistent(db);

    db.Remove(3);
    EXPECT_EQ(db.GetSelectCount(), 4);
    EXPECT_EQ(db.GetSelectEntity().count(3), 0u);
    ExpectSelectionConsistent(db);

    db.RemoveSelect(4);
    db.RemoveSelect(4);
    EXPECT_EQ(db.GetSelectCount(), 3);
    ExpectSelectionConsistent(db);

    EXPECT_EQ(db.UnLoadCheckedEntity(), 1);
    EXPECT_EQ(db.GetCount(), 1);
    EXPECT_NE(db.FindEntity(4), nullptr);
    ExpectSelectionConsistent(db);
    EXPECT_EQ(db.UnLoadCheckedEntity(), 1);  // empty selection removes nothing
    EXPECT_EQ(db.GetCount(), 1);

    db.AddSelect(4);
    db.ClearSelect();
    EXPECT_EQ(db.FindEntity(4)->GetModeSelectState(), 0);
    db.RemoveAll();
    db.SelectALL();
    EXPECT_EQ(db.GetSelectCount(), 0);
}

TEST(EntityDatabase, CursorWalksInIdOrderAndRemoveLeavesItOnTheNextEntry)
{
    ZELDBEntityDatabase db;
    EXPECT_EQ(db.FirstDBEntity(), nullptr);
    EXPECT_EQ(db.NextDBEntity(), nullptr);
    int id = 0;
    for (int i = 0; i < 4; ++i)
        db.Add(BoxModel(20 * i), id);
    std::string order;
    for (ZELKDBEntity* e = db.FirstDBEntity(); e != nullptr; e = db.NextDBEntity())
        order += std::to_string(e->GetEventId());
    EXPECT_EQ(order, "1234");
    EXPECT_EQ(db.NextDBEntity(), nullptr);

    db.FirstDBEntity();
    db.Remove(2);
    EXPECT_EQ(db.NextDBEntity()->GetEventId(), 4);  // the cursor sat on 3
    db.Remove(4);
    EXPECT_EQ(db.NextDBEntity(), nullptr);
}

TEST(EntityDatabase, FindByTypeAppendsAndCountsByType)
{
    ZELDBEntityDatabase db;
    int id = 0;
    db.Add(BoxModel(0), id);
    db.Add(BoxModel(20), id);
    std::vector<ZELKDBEntity*> found{nullptr};
    db.FindEntity(1, found);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1]->GetEventId(), 1);
    EXPECT_EQ(found[2]->GetEventId(), 2);
    EXPECT_EQ(db.GetCount(1), 2);
    EXPECT_EQ(db.GetCount(3), 0);
}

TEST(EntityDatabase, PlatformQueriesAndTheirTolerances)
{
    ZELDBEntityDatabase db;
    EXPECT_EQ(db.IsInPlatform(), 1);
    EXPECT_EQ(db.IsPrintModelOnPlatform(), 1);
    int id = 0;
    auto* low = BoxModel(0, 0.01);
    low->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
    db.Add(low, id);
    EXPECT_EQ(db.IsInPlatform(), 1);
    EXPECT_EQ(db.IsPrintModelOnPlatform(), 1);
    auto* floating = BoxModel(20, 0.0101);
    floating->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
    db.Add(floating, id);
    EXPECT_EQ(db.IsPrintModelOnPlatform(), 0);
    floating->Move(ZELKGePoint3d(100, 0, 0));
    EXPECT_EQ(db.IsInPlatform(), 0);
}

TEST(EntityDatabase, CentreMaxBoxAndLandingOnThePlatform)
{
    ZELDBEntityDatabase db;
    ZELKGePoint3d center(1, 2, 3);
    EXPECT_EQ(db.GetEntitysCenter(center), 0);
    ExpectPointNear(center, {1, 2, 3}, 0.0);

    int id = 0;
    db.Add(new ZELKDBPrint(Box({-10, -20, 5}, {0, -10, 15})), id);
    db.Add(new ZELKDBPrint(Box({20, 30, -4}, {40, 35, 6})), id);
    center = ZELKGePoint3d();
    EXPECT_EQ(db.GetEntitysCenter(center), 2);
    ExpectPointNear(center, {12.5, 8.75, 5.5}, 1e-12);

    ZELKGePoint3d a, b;
    db.GetDatabaseModelMaxBox(a, b);
    ExpectPointNear(a, {20, 30, 5}, 0.0);  // the larger of 0 and each model's minimum
    ExpectPointNear(b, {40, 35, 15}, 0.0);

    db.SelectALL();
    db.MoveToXYPlane(db.GetSelectEntity());
    for (ZELKDBEntity* e = db.FirstDBEntity(); e != nullptr; e = db.NextDBEntity()) {
        ZELKGePoint3d lo, hi;
        e->GetMinMaxPoint(lo, hi);
        EXPECT_NEAR(lo.z, 0.0, 1e-12);
        EXPECT_NEAR(hi.z, 10.0, 1e-12);
    }
}

TEST(EntityDatabase, TheProcessDatabaseIsRecreatedAfterDeletion)
{
    ZELDBEntityDatabase* first = ZELDBEntityDatabase::GetInterFace();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(ZELDBEntityDatabase::GetInterFace(), first);
    int id = 0;
    first->Add(BoxModel(0), id);
    delete first;
    ZELDBEntityDatabase* second = ZELDBEntityDatabase::GetInterFace();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetCount(), 0);
    second->Add(BoxModel(0), id);
    EXPECT_EQ(id, 1);
    delete second;
}

}  // namespace

// A model's copy as loaded goes with the model, however it is removed, so
// loading and removing models does not keep their meshes for ever.
TEST(EntityDatabaseResetStore, RemovedModelsTakeTheirEntryWithThem)
{
    ZELKDBEntityReset store;
    ZELDBEntityDatabase db;
    db.SetResetStore(&store);
    std::vector<int> ids;
    for (int i = 0; i < 5; ++i) {
        int id = 0;
        db.Add(new ZELKDBPrint(modeltest::Box({0, 0, 0}, {10, 10, 10})), id);
        store.Add(id, modeltest::Box({0, 0, 0}, {10, 10, 10}));
        ids.push_back(id);
    }
    ASSERT_EQ(store.GetCount(), 5);
    db.Remove(ids[0]);
    EXPECT_EQ(store.GetCount(), 4);
    ZELKGePrint mesh;
    EXPECT_EQ(store.GetGePrint(ids[0], mesh), 0);
    db.AddSelect(ids[1]);
    db.AddSelect(ids[2]);
    db.UnLoadCheckedEntity();
    EXPECT_EQ(store.GetCount(), 2);
    EXPECT_EQ(store.GetGePrint(ids[3], mesh), 1);
    db.RemoveAll();
    EXPECT_EQ(store.GetCount(), 0);

    // A database without a store leaves a store alone.
    ZELDBEntityDatabase other;
    int id = 0;
    other.Add(new ZELKDBPrint(modeltest::Box({0, 0, 0}, {10, 10, 10})), id);
    store.Add(id, modeltest::Box({0, 0, 0}, {10, 10, 10}));
    other.Remove(id);
    EXPECT_EQ(store.GetCount(), 1);
}

// Taken out, a model is the caller's and keeps its id and its copy as
// loaded; put back it is the same object under that id; discarded it goes
// with its copy. The copy as loaded is the model's own source, not a second mesh.
TEST(EntityDatabaseResetStore, TakeOutPutBackAndDiscardKeepTheModelAndItsCopy)
{
    ZELKDBEntityReset store;
    ZELDBEntityDatabase db;
    db.SetResetStore(&store);
    int deleted = 0;
    const ZELKGePrint loaded = Box({0, 0, 0}, {10, 10, 10});
    auto* model = new CountedPrint(loaded, deleted);
    int id = 0;
    db.Add(model, id);
    store.Add(id, Box({5, 5, 5}, {6, 6, 6}));  // the loader's entry comes second and is not kept
    ZELKGePrint copy;
    ASSERT_EQ(store.GetGePrint(id, copy), 1);
    modeltest::ExpectMeshNear(copy, loaded, 0);
    std::weak_ptr<const ZELKGePrint> source = model->GetSourceMesh();
    EXPECT_EQ(source.use_count(), 2) << "the store and the model share one mesh";

    db.AddSelect(id);
    std::unique_ptr<ZELKDBEntity> out = db.TakeOut(id);
    ASSERT_EQ(out.get(), model);
    EXPECT_EQ(db.GetCount(), 0);
    EXPECT_EQ(db.GetSelectCount(), 0);
    EXPECT_EQ(model->GetModeSelectState(), 0);
    EXPECT_EQ(store.GetCount(), 1);
    EXPECT_EQ(db.TakeOut(id), nullptr);

    std::unique_ptr<ZELKDBEntity> stranger(BoxModel(0));
    stranger->SetEntityId(id + 5);  // an id the database never handed out
    EXPECT_FALSE(db.PutBack(stranger));
    EXPECT_NE(stranger, nullptr);
    ASSERT_TRUE(db.PutBack(out));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(db.FindEntity(id), model);
    std::unique_ptr<ZELKDBEntity> twice(BoxModel(0));
    twice->SetEntityId(id);
    EXPECT_FALSE(db.PutBack(twice)) << "the id is in use";
    int next = 0;
    db.Add(BoxModel(20), next);
    EXPECT_EQ(next, id + 1) << "putting back hands out no id";

    db.Discard(db.TakeOut(id));
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(store.GetCount(), 1);
    EXPECT_TRUE(source.expired());
}
