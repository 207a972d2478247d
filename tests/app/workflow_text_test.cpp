// The print workflow's window-free rules: clock text, derived paths, emptying the import folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "WorkflowText.h"

namespace {

TEST(PrepareClock, MinutesAndSecondsWithTheHourTakenOffOnce)
{
    EXPECT_EQ(zelk::FormatPrepareClock(0), "00:00");
    EXPECT_EQ(zelk::FormatPrepareClock(59), "00:59");
    EXPECT_EQ(zelk::FormatPrepareClock(61), "01:01");
    EXPECT_EQ(zelk::FormatPrepareClock(3600), "60:00");
    EXPECT_EQ(zelk::FormatPrepareClock(3601), "00:01");
    EXPECT_EQ(zelk::FormatPrepareClock(7201), "60:01");
    EXPECT_EQ(zelk::FormatPrepareClock(7300), "61:40");
}

TEST(ModelPaths, GCodeAndExportNamesComeFromTheModelFile)
{
    EXPECT_EQ(zelk::GCodePathForModel("/m/part.stl"), "/m/part.gcode");
    EXPECT_EQ(zelk::GCodePathForModel("  /m/my part.stl \n"), "/m/my part.gcode");
    const zelk::ExportDialogStart start = zelk::ExportDialogStartForModel("/m/part.stl");
    EXPECT_EQ(start.folder, "/m/");
    EXPECT_EQ(start.fileName, "part");
    const zelk::ExportDialogStart bare = zelk::ExportDialogStartForModel("part.stl");
    EXPECT_EQ(bare.folder, "");
    EXPECT_EQ(bare.fileName, "part");
}

TEST(EmptyFolder, DeletesFilesAtEveryDepthAndKeepsTheFolders)
{
    testsupport::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.Path() / "a" / "b");
    fs::create_directories(dir.Path() / "empty");
    testsupport::WriteFile(dir.File("top.stl"), "x");
    testsupport::WriteFile(dir.File("a/mid.stl"), "x");
    testsupport::WriteFile(dir.File("a/b/deep.gcode"), "x");
    testsupport::TempDir outside;
    testsupport::WriteFile(outside.File("keep.txt"), "precious");
    fs::create_directory_symlink(outside.Path(), dir.Path() / "link");

    const zelk::EmptyFolderResult result = zelk::EmptyFolderKeepingSubfolders(dir.Path().string());
    EXPECT_EQ(result.deleted, 4);  // three files and the link itself
    EXPECT_EQ(result.failed, 0);
    EXPECT_TRUE(fs::is_directory(dir.Path() / "a" / "b"));
    EXPECT_TRUE(fs::is_directory(dir.Path() / "empty"));
    EXPECT_FALSE(fs::exists(dir.Path() / "top.stl"));
    EXPECT_FALSE(fs::exists(dir.Path() / "a" / "b" / "deep.gcode"));
    // What a link pointed to is not the import folder's to delete.
    EXPECT_TRUE(fs::exists(outside.File("keep.txt")));

    EXPECT_EQ(zelk::EmptyFolderKeepingSubfolders(dir.File("missing")).deleted, 0);
}

}  // namespace
