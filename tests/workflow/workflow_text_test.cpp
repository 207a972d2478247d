// The print workflow's window-free rules: clock text, derived paths, emptying the working folder.
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
    EXPECT_EQ(start.fileName, "part.x3g");  // the dialog checks for an existing file of the real name
    const zelk::ExportDialogStart bare = zelk::ExportDialogStartForModel("part.stl");
    EXPECT_EQ(bare.folder, "");
    EXPECT_EQ(bare.fileName, "part.x3g");

    EXPECT_EQ(zelk::WithX3gExtension("/out/print"), "/out/print.x3g");
    EXPECT_EQ(zelk::WithX3gExtension("/out/print.x3g"), "/out/print.x3g");
    EXPECT_EQ(zelk::WithX3gExtension("/out/print.bin"), "/out/print.bin");
    EXPECT_EQ(zelk::WithX3gExtension("/out.d/print"), "/out.d/print.x3g");
    EXPECT_EQ(zelk::WithX3gExtension("print"), "print.x3g");
}

TEST(EmptyFolder, DeletesOnlyTheModelAndGCodeFilesTheProgramWritesThere)
{
    testsupport::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.Path() / "a");
    testsupport::WriteFile(dir.File("top.stl"), "x");
    testsupport::WriteFile(dir.File("top.gcode"), "x");
    testsupport::WriteFile(dir.File("notes.txt"), "the user's");
    testsupport::WriteFile(dir.File("a/mid.stl"), "x");
    testsupport::TempDir outside;
    testsupport::WriteFile(outside.File("keep.gcode"), "precious");
    fs::create_symlink(outside.File("keep.gcode"), dir.Path() / "link.gcode");
    fs::create_directory_symlink(outside.Path(), dir.Path() / "folder.stl");

    const zelk::EmptyFolderResult result = zelk::EmptyWorkingFolder(dir.Path().string());
    EXPECT_EQ(result.deleted, 2);
    EXPECT_EQ(result.failed, 0);
    EXPECT_FALSE(fs::exists(dir.Path() / "top.stl"));
    EXPECT_FALSE(fs::exists(dir.Path() / "top.gcode"));
    EXPECT_TRUE(fs::exists(dir.Path() / "notes.txt"));
    EXPECT_TRUE(fs::exists(dir.Path() / "a" / "mid.stl"));
    // Links are not the program's files, and what they point to even less.
    EXPECT_TRUE(fs::is_symlink(dir.Path() / "link.gcode"));
    EXPECT_TRUE(fs::exists(outside.File("keep.gcode")));

    EXPECT_EQ(zelk::EmptyWorkingFolder(dir.File("missing")).deleted, 0);
}

}  // namespace
