// Replacing files only once their new content is completely written.
#include <gtest/gtest.h>

#include "AtomicFileWriter.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(AtomicFileWriter, ReplacesTheTargetOnlyOnCommit)
{
    TempDir dir;
    const std::string target = dir.File("out.bin");
    WriteFile(target, "old content");

    zelk::AtomicFileWriter writer(target);
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write("new "));
    ASSERT_TRUE(writer.Write("content"));
    EXPECT_EQ(ReadFile(target), "old content");
    EXPECT_EQ(dir.EntryCount(), 2u);  // the target and the temporary file
    ASSERT_TRUE(writer.Commit(true));
    EXPECT_EQ(ReadFile(target), "new content");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(AtomicFileWriter, UncommittedWriterLeavesNothingBehind)
{
    TempDir dir;
    const std::string target = dir.File("out.bin");
    {
        zelk::AtomicFileWriter writer(target);
        ASSERT_TRUE(writer.Open());
        ASSERT_TRUE(writer.Write("partial"));
    }
    EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(AtomicFileWriter, ReportsAMissingFolderWithTheFileName)
{
    TempDir dir;
    const std::string target = dir.File("no-such-folder/out.bin");
    zelk::AtomicFileWriter writer(target);
    EXPECT_FALSE(writer.Open());
    EXPECT_NE(writer.Error().find(target), std::string::npos);
    EXPECT_NE(writer.Error().find("No such file or directory"), std::string::npos);
    EXPECT_FALSE(writer.Write("x"));
    EXPECT_FALSE(writer.Commit(false));
}

TEST(AtomicFileWriter, RenameOntoAFolderFailsAndCleansUp)
{
    TempDir dir;
    std::filesystem::create_directory(dir.Path() / "taken");
    zelk::AtomicFileWriter writer(dir.File("taken"));
    ASSERT_TRUE(writer.Open());
    ASSERT_TRUE(writer.Write("data"));
    EXPECT_FALSE(writer.Commit(false));
    EXPECT_FALSE(writer.Error().empty());
    EXPECT_EQ(dir.EntryCount(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "taken"));
}

// A disk that fills up: the process's file-size limit makes the writes fail
// for real. Runs in a child so the limit does not touch the test runner.
TEST(AtomicFileWriter, FullDiskIsAFailureAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string target = dir.File("out.bin");
    WriteFile(target, "old content");
    const int result = testsupport::RunWithFileSizeLimit(4096, [&] {
        zelk::AtomicFileWriter writer(target);
        std::string block(1 << 20, 'x');
        bool ok = writer.Open();
        for (int i = 0; ok && i < 4; ++i)
            ok = writer.Write(block);
        ok = ok && writer.Commit(false);
        return ok ? 0 : (writer.Error().find("File too large") != std::string::npos ? 3 : 4);
    });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(ReadFile(target), "old content");
    EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
