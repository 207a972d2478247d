// The printable models merged into the slicer's model file, their fingerprint and the record of what was sliced.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileAliases.h"
#include "ModelFixtures.h"
#include "PrintMode.h"
#include "PrintModelFile.h"
#include "TempDir.h"

using modeltest::Box;
using modeltest::Wedge;

namespace {

class PrintModelFileTest : public ::testing::Test {
protected:
    ZELKDBPrint* Add(const ZELKGePrint& mesh)
    {
        auto* model = new ZELKDBPrint(mesh);
        model->SetPlatformMinMaxPoint(ZELKGePoint3d(-75, -75, 0), ZELKGePoint3d(75, 75, 150));
        int id = 0;
        db.Add(model, id);
        return model;
    }

    ZELDBEntityDatabase db;
    testsupport::TempDir dir;
};

TEST_F(PrintModelFileTest, MergedFileHoldsEveryModelWhereTheUserPutIt)
{
    ZELKDBPrint* box = Add(Box({0, 0, 0}, {20, 10, 5}));
    ZELKDBPrint* wedge = Add(Wedge());
    box->Move(ZELKGePoint3d(-40, 30, 0));
    wedge->RotateBy(90, ZELKGeVector3d(0, 0, 1), ZELKGePoint3d(0, 0, 0));
    wedge->Move(ZELKGePoint3d(25, -5, 0));

    const std::string path = (dir.Path() / "PrintModel" / "plate.stl").string();
    std::string error;
    ASSERT_TRUE(ZELKCAD::MergePrintModels(db, path, error)) << error;

    ZELKGePrint merged;
    std::string reason;
    ASSERT_TRUE(zelk::LoadStlFile(path, merged, reason)) << reason;
    const auto& facets = merged.GetGePrint();
    ASSERT_EQ(facets.size(), 12u + 4u);
    // Facet by facet, in database order, the world coordinates of each model.
    std::size_t k = 0;
    for (const ZELKDBPrint* model : {box, wedge})
        for (const Triangle& t : model->GetPrint().GetGePrint()) {
            for (int v = 0; v < 3; ++v) {
                EXPECT_NEAR(facets[k].point[v].x, t.point[v].x, 1e-4) << "facet " << k;
                EXPECT_NEAR(facets[k].point[v].y, t.point[v].y, 1e-4) << "facet " << k;
                EXPECT_NEAR(facets[k].point[v].z, t.point[v].z, 1e-4) << "facet " << k;
            }
            ++k;
        }
    EXPECT_NEAR(facets.front().point[0].x, -40, 1e-4);  // the moved box, not the box as loaded
    EXPECT_EQ(std::filesystem::file_size(path), 84u + 50u * 16u);
}

TEST_F(PrintModelFileTest, NoModelsGiveAnEmptyButValidFile)
{
    const std::string path = (dir.Path() / "empty.stl").string();
    std::string error;
    ASSERT_TRUE(ZELKCAD::MergePrintModels(db, path, error)) << error;
    EXPECT_EQ(std::filesystem::file_size(path), 84u);
}

TEST_F(PrintModelFileTest, AFileThatCannotBeWrittenIsNamedAndLeavesNothing)
{
    Add(Box({0, 0, 0}, {10, 10, 10}));
    // A regular file where the folder should be: refused even for root.
    { std::ofstream(dir.File("PrintModel")) << "not a folder"; }
    const std::string path = (dir.Path() / "PrintModel" / "plate.stl").string();
    std::string error;
    EXPECT_FALSE(ZELKCAD::MergePrintModels(db, path, error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_EQ(dir.EntryCount(), 1u);
}

// A model opened from the working folder is still the user's file: the merge
// never replaces it, whatever the name it is reached by.
TEST_F(PrintModelFileTest, TheMergeNeverWritesOverAModelsOwnFile)
{
    const std::string source = dir.File("plate.stl");
    { std::ofstream(source, std::ios::binary) << "the user's model"; }
    Add(Box({0, 0, 0}, {10, 10, 10}))->SetName(source);
    std::vector<testsupport::FileAlias> names = testsupport::OtherNamesOf(source);
    names.push_back({"same spelling", source});
    for (const testsupport::FileAlias& name : names) {
        std::string error;
        EXPECT_FALSE(ZELKCAD::MergePrintModels(db, name.path, error)) << name.how;
        EXPECT_NE(error.find("'" + name.path + "' is the input file '" + source + "'"), std::string::npos) << error;
        EXPECT_EQ(testsupport::ReadFile(source), "the user's model") << name.how;
    }
    std::string error;
    EXPECT_TRUE(ZELKCAD::MergePrintModels(db, dir.File("merged.stl"), error)) << error;
}

TEST_F(PrintModelFileTest, FingerprintFollowsEveryChangeOfTheMergedFile)
{
    ZELDBEntityDatabase twin;
    for (ZELDBEntityDatabase* d : {&db, &twin}) {
        int id = 0;
        d->Add(new ZELKDBPrint(Box({0, 0, 0}, {20, 10, 5})), id);
    }
    const std::uint64_t start = ZELKCAD::PrintModelFingerprint(db);
    EXPECT_EQ(start, ZELKCAD::PrintModelFingerprint(twin));  // same models, same number

    ZELKDBPrint* box = dynamic_cast<ZELKDBPrint*>(db.FindEntity(1));
    ASSERT_NE(box, nullptr);
    box->Move(ZELKGePoint3d(0.5, 0, 0));
    const std::uint64_t moved = ZELKCAD::PrintModelFingerprint(db);
    EXPECT_NE(moved, start);

    box->RotateBy(90, ZELKGeVector3d(0, 0, 1), ZELKGePoint3d(10, 5, 0));
    const std::uint64_t turned = ZELKCAD::PrintModelFingerprint(db);
    EXPECT_NE(turned, moved);

    ZELKDBPrint* second = Add(Wedge());
    const std::uint64_t added = ZELKCAD::PrintModelFingerprint(db);
    EXPECT_NE(added, turned);
    db.Remove(second);
    EXPECT_EQ(ZELKCAD::PrintModelFingerprint(db), turned);
}

}  // namespace
