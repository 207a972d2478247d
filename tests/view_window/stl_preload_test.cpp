// STL files given at start: read ahead on the preload's thread, taken once by the import, the first one ready to draw.
#include <gtest/gtest.h>

#include <fstream>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "FakeViewUi.h"
#include "FileIni.h"
#include "LoadSTL.h"
#include "StlFiles.h"
#include "StlPreload.h"
#include "TempDir.h"

namespace {

class StlPreloadTest : public ::testing::Test {
protected:
    std::string WriteCube(const std::string& name, float side, float x0 = 0, float y0 = 0, float z0 = 0)
    {
        const std::string path = m_dir.File(name);
        std::ofstream(path, std::ios::binary) << stltest::Binary(stltest::Cube(side, x0, y0, z0));
        return path;
    }
    static std::vector<ZELKDBPrint*> Models(ZELDBEntityDatabase& database)
    {
        std::vector<ZELKDBEntity*> entities;
        database.FindEntity(kEntityPrint, entities);
        std::vector<ZELKDBPrint*> models;
        for (ZELKDBEntity* e : entities)
            models.push_back(static_cast<ZELKDBPrint*>(e));
        return models;
    }
    // Same place and same vertices, bit for bit.
    static void ExpectSameModel(ZELKDBPrint& a, ZELKDBPrint& b)
    {
        ZELKGePoint3d a0, a1, b0, b1;
        a.GetMinMaxPoint(a0, a1);
        b.GetMinMaxPoint(b0, b1);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(a0[k], b0[k]);
            EXPECT_EQ(a1[k], b1[k]);
        }
        const auto& fa = a.GetPrint().GetGePrint();
        const auto& fb = b.GetPrint().GetGePrint();
        ASSERT_EQ(fa.size(), fb.size());
        for (std::size_t i = 0; i < fa.size(); ++i)
            for (int v = 0; v < 3; ++v)
                EXPECT_TRUE(fa[i].point[v].x == fb[i].point[v].x && fa[i].point[v].y == fb[i].point[v].y &&
                            fa[i].point[v].z == fb[i].point[v].z);
        EXPECT_STREQ(a.GetName(), b.GetName());
    }

    testsupport::TempDir m_dir;
    ZELKFileIniBase m_profile{m_dir.File("profile.ini")};
    viewtest::FakeViewUi m_ui;
};

// Three files given at start, one of them missing: each is taken once, the
// first comes as a model ready to draw, and the missing one keeps its reason.
TEST_F(StlPreloadTest, EachFileIsTakenOnceAndOnlyTheFirstComesReadyToDraw)
{
    const std::string a = WriteCube("a.stl", 10, 40, -25, 7), b = WriteCube("b.stl", 6);
    const std::string missing = m_dir.File("missing.stl");
    std::vector<ZELKCAD::StlFileRead> files;
    {
        ZELKCAD::StlPreload preload({a, b, missing});
        for (const std::string& path : {a, b, missing})
            files.push_back(ZELKCAD::ReadOrTakeStlFile(path));
        // Taken already: a second import reads the file itself.
        const ZELKCAD::StlFileRead again = ZELKCAD::ReadOrTakeStlFile(a);
        EXPECT_TRUE(again.ok);
        EXPECT_EQ(again.model, nullptr);
        EXPECT_EQ(again.mesh.GetGePrint().size(), 12u);
    }
    ASSERT_TRUE(files[0].ok);
    ASSERT_NE(files[0].model, nullptr);
    EXPECT_TRUE(files[0].model->IsDrawingPrepared());
    EXPECT_TRUE(files[0].mesh.IsEmpty());  // moved into the model
    ASSERT_TRUE(files[1].ok);
    EXPECT_EQ(files[1].model, nullptr);
    EXPECT_EQ(files[1].mesh.GetGePrint().size(), 12u);
    EXPECT_FALSE(files[2].ok);
    EXPECT_NE(files[2].error.find(missing), std::string::npos);

    ZELDBEntityDatabase database;
    ZELKDBEntityReset store;
    const ZELKDBPrint* prepared = files[0].model.get();
    EXPECT_EQ(ZELKCAD::AddStlModels(std::move(files), {&database, &store, &m_profile}), 2);
    const std::vector<ZELKDBPrint*> models = Models(database);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[0], prepared);  // taken as it is, not made again
    EXPECT_EQ(store.GetCount(), 2);
    // The file that could not be read is named with its reason.
    ASSERT_EQ(m_ui.texts.size(), 1u);
    EXPECT_NE(m_ui.texts[0].utf8_string().find(missing), std::string::npos);

    // The models stand where a load read on the spot puts them.
    ZELDBEntityDatabase reference;
    ZELKDBEntityReset referenceStore;
    ASSERT_EQ(ZELKCAD::LoadSTLFiles({a, b}, {&reference, &referenceStore, &m_profile}), 2);
    const std::vector<ZELKDBPrint*> expected = Models(reference);
    ExpectSameModel(*models[0], *expected[0]);
    ExpectSameModel(*models[1], *expected[1]);
}

// A prepared model that arrives when the plate already holds models is made
// again from its mesh and placed beside them, as a file read on the spot.
TEST_F(StlPreloadTest, APreparedModelComingToAPlateWithModelsIsPlacedBesideThem)
{
    const std::string a = WriteCube("a.stl", 20), b = WriteCube("b.stl", 10, 5, 5, 5);
    ZELDBEntityDatabase database, reference;
    ZELKDBEntityReset store, referenceStore;
    ASSERT_EQ(ZELKCAD::LoadSTLFiles({a}, {&database, &store, &m_profile}), 1);
    ASSERT_EQ(ZELKCAD::LoadSTLFiles({a, b}, {&reference, &referenceStore, &m_profile}), 2);
    std::vector<ZELKCAD::StlFileRead> files;
    files.push_back(ZELKCAD::ReadStlFile(b));
    ZELKCAD::PrepareStlModel(files[0]);
    ASSERT_NE(files[0].model, nullptr);
    const ZELKDBPrint* prepared = files[0].model.get();
    EXPECT_EQ(ZELKCAD::AddStlModels(std::move(files), {&database, &store, &m_profile}), 1);
    const std::vector<ZELKDBPrint*> models = Models(database), expected = Models(reference);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_NE(models[1], prepared);
    ExpectSameModel(*models[1], *expected[1]);
    EXPECT_TRUE(m_ui.texts.empty());
}

}  // namespace
