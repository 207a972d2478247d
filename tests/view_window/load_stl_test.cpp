// Loading STL files: placement against the models present, selection, the reset store, skipped files and the dialog.
#include <gtest/gtest.h>

#include <fstream>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "EntityReset.h"
#include "FakeViewUi.h"
#include "FileIni.h"
#include "LoadSTL.h"
#include "StlFiles.h"
#include "TempDir.h"

namespace {

class LoadStl : public ::testing::Test {
protected:
    std::string WriteCube(const std::string& name, float side, float x0 = 0, float y0 = 0, float z0 = 0)
    {
        const std::string path = m_dir.File(name);
        std::ofstream(path, std::ios::binary) << stltest::Binary(stltest::Cube(side, x0, y0, z0));
        return path;
    }
    int Load(const std::vector<std::string>& paths)
    {
        return ZELKCAD::LoadSTLFiles(paths, {&m_database, &m_store, &m_profile});
    }
    ZELKDBPrint* Model(int index)
    {
        std::vector<ZELKDBEntity*> models;
        m_database.FindEntity(kEntityPrint, models);
        return static_cast<ZELKDBPrint*>(models.at(index));
    }
    static void Box(ZELKDBPrint* model, ZELKGePoint3d& lo, ZELKGePoint3d& hi) { model->GetMinMaxPoint(lo, hi); }

    testsupport::TempDir m_dir;
    ZELKFileIniBase m_profile{m_dir.File("profile.ini")};
    viewtest::FakeViewUi m_ui;
    ZELDBEntityDatabase m_database;
    ZELKDBEntityReset m_store;
};

TEST_F(LoadStl, FirstModelStandsCentredOnTheOrigin)
{
    // Off-centre and floating in its file.
    ASSERT_EQ(Load({WriteCube("a.stl", 10, 40, -25, 7)}), 1);
    ZELKGePoint3d lo, hi;
    Box(Model(0), lo, hi);
    EXPECT_NEAR((lo.x + hi.x) / 2, 0, 1e-5);
    EXPECT_NEAR((lo.y + hi.y) / 2, 0, 1e-5);
    EXPECT_NEAR(lo.z, 0, 1e-5);
    EXPECT_STREQ(Model(0)->GetName(), m_dir.File("a.stl").c_str());
    EXPECT_EQ(m_ui.editPictures, std::vector<int>{1});
}

TEST_F(LoadStl, ThreeFilesGoSideBySideOnPlusXAndTheLastIsSelected)
{
    ASSERT_EQ(Load({WriteCube("a.stl", 20), WriteCube("b.stl", 10, 5, 5, 5), WriteCube("c.stl", 6)}), 3);
    ZELKGePoint3d a0, a1, b0, b1, c0, c1;
    Box(Model(0), a0, a1);
    Box(Model(1), b0, b1);
    Box(Model(2), c0, c1);
    // The first stays where it was put.
    EXPECT_NEAR(a0.x, -10, 1e-5);
    EXPECT_NEAR(a1.x, 10, 1e-5);
    // Each next one starts 2 mm beyond the right side of those before it, on the platform.
    EXPECT_NEAR(b0.x, a1.x + 2, 1e-5);
    EXPECT_NEAR(c0.x, b1.x + 2, 1e-5);
    EXPECT_NEAR(b0.z, 0, 1e-5);
    EXPECT_NEAR(c0.z, 0, 1e-5);
    // Across, the new centre lies 2 mm below the larger of 0 and the models' lowest y.
    EXPECT_NEAR((b0.y + b1.y) / 2, -2, 1e-5);
    EXPECT_NEAR((c0.y + c1.y) / 2, -2, 1e-5);

    ASSERT_EQ(m_database.GetSelectCount(), 1);
    EXPECT_EQ(m_database.GetSelectEntity().begin()->first, Model(2)->GetEventId());
    // The reset store keeps each mesh as read from its file.
    ZELKGePrint kept;
    ASSERT_EQ(m_store.GetGePrint(Model(1)->GetEventId(), kept), 1);
    ZELKGePoint3d k0, k1;
    kept.GetMinMaxPoint(k0, k1);
    EXPECT_NEAR(k0.x, 5, 1e-5);
    EXPECT_NEAR(k1.z, 15, 1e-5);
}

TEST_F(LoadStl, PlatformCornersComeFromTheProfileOrTheDefault)
{
    Load({WriteCube("a.stl", 10)});
    ZELKGePoint3d lo, hi;
    Model(0)->GetPlatformMinMaxPoint(lo, hi);
    EXPECT_NEAR(lo.x, -75, 1e-9);
    EXPECT_NEAR(hi.z, 150, 1e-9);

    m_profile.WriteIniProfileDouble("PRINTPLATFORM", "PlatformLength", 200);
    m_profile.WriteIniProfileDouble("PRINTPLATFORM", "PlatformWidth", 100);
    m_profile.WriteIniProfileDouble("PRINTPLATFORM", "PlatformHigh", 120);
    Load({WriteCube("b.stl", 10)});
    Model(1)->GetPlatformMinMaxPoint(lo, hi);
    EXPECT_NEAR(lo.x, -100, 1e-9);
    EXPECT_NEAR(lo.y, -50, 1e-9);
    EXPECT_NEAR(hi.z, 120, 1e-9);

    m_profile.WriteIniProfileString("PRINTPLATFORM", "PlatformLength", "1e308");
    m_profile.WriteIniProfileString("PRINTPLATFORM", "PlatformHigh", "nan");
    Load({WriteCube("c.stl", 10)});
    Model(2)->GetPlatformMinMaxPoint(lo, hi);
    EXPECT_NEAR(lo.x, -75, 1e-9);
    EXPECT_NEAR(lo.y, -50, 1e-9);
    EXPECT_NEAR(hi.z, 150, 1e-9);
}

TEST_F(LoadStl, UnreadableFilesAreSkippedAndNamedInOneMessage)
{
    const std::string good = WriteCube("good.stl", 10);
    const std::string missing = m_dir.File("missing.stl");
    const std::string junk = m_dir.File("junk.stl");
    std::ofstream(junk) << "this is not an STL file at all";
    EXPECT_EQ(Load({missing, good, junk}), 1);
    EXPECT_EQ(m_database.GetCount(kEntityPrint), 1);
    EXPECT_EQ(m_store.GetCount(), 1);
    ASSERT_EQ(m_ui.texts.size(), 1u);
    EXPECT_TRUE(m_ui.texts[0].StartsWith("<id_message_modelNotRead>\n")) << "headed in the window's language";
    EXPECT_NE(m_ui.texts[0].Find("missing.stl"), wxNOT_FOUND);
    EXPECT_NE(m_ui.texts[0].Find("junk.stl"), wxNOT_FOUND);
    EXPECT_EQ(m_ui.texts[0].Find("good.stl"), wxNOT_FOUND);
    // The good one still went to the origin.
    ZELKGePoint3d lo, hi;
    Box(Model(0), lo, hi);
    EXPECT_NEAR(lo.x, -5, 1e-5);
}

TEST_F(LoadStl, TheDialogChoosesWhatLoadsAndCancelChangesNothing)
{
    std::vector<std::string> answer;
    auto previous = ZELKCAD::SetStlFileDialogFunction([&answer] { return answer; });
    ZELDBEntityDatabase* database = ZELDBEntityDatabase::GetInterFace();
    const int before = database->GetCount();
    ZELKCAD::LoadSTL();  // cancelled
    EXPECT_EQ(database->GetCount(), before);
    EXPECT_TRUE(m_ui.editPictures.empty());

    answer = {WriteCube("a.stl", 10), WriteCube("b.stl", 10)};
    ZELKCAD::LoadSTL();
    EXPECT_EQ(database->GetCount(kEntityPrint), before + 2);
    database->RemoveAll();
    ZELKCAD::SetStlFileDialogFunction(std::move(previous));
}

}  // namespace
