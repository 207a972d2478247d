// Replacing files only once their new content is completely written.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "AtomicFileWriter.h"
#include "FileSizeLimit.h"
#include "TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace fs = std::filesystem;

namespace {

bool WriteWhole(const std::string& target, const std::string& content)
{
    zelk::AtomicFileWriter writer(target);
    return writer.Open() && writer.Write(content) && writer.Commit(true);
}

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

// A link is written through to the file it names, wherever that is; the
// link stays a link and no temporary file is left in either folder.
TEST(AtomicFileWriter, WritesThroughSymbolicLinks)
{
    TempDir dir;
    fs::create_directories(dir.Path() / "real");
    fs::create_directories(dir.Path() / "links");
    WriteFile(dir.File("real/profile.ini"), "old");
    fs::create_symlink("../real/profile.ini", dir.Path() / "links/profile.ini");
    fs::create_symlink("profile.ini", dir.Path() / "links/chained.ini");
    fs::create_symlink("../real/new.ini", dir.Path() / "links/dangling.ini");

    ASSERT_TRUE(WriteWhole(dir.File("links/profile.ini"), "through the link"));
    ASSERT_TRUE(WriteWhole(dir.File("links/chained.ini"), "through two links"));
    ASSERT_TRUE(WriteWhole(dir.File("links/dangling.ini"), "created where the link points"));
    for (const char* link : {"links/profile.ini", "links/chained.ini", "links/dangling.ini"})
        EXPECT_TRUE(fs::is_symlink(dir.Path() / link)) << link;
    EXPECT_EQ(ReadFile(dir.File("real/profile.ini")), "through two links");
    EXPECT_EQ(ReadFile(dir.File("real/new.ini")), "created where the link points");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "real"), fs::directory_iterator()), 2);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path() / "links"), fs::directory_iterator()), 3);
}

TEST(AtomicFileWriter, KeepsTheModeAndOwnerOfTheFileItReplaces)
{
    TempDir dir;
    for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0755}}) {
        SCOPED_TRACE(mode);
        const std::string target = dir.File("out.bin");
        WriteFile(target, "old");
        ASSERT_EQ(::chmod(target.c_str(), mode), 0);
        ASSERT_TRUE(WriteWhole(target, "new"));
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        EXPECT_EQ(ReadFile(target), "new");
    }
    if (::geteuid() != 0)
        return;  // only a privileged writer may keep another user's ownership
    const std::string theirs = dir.File("theirs.ini");
    WriteFile(theirs, "old");
    ASSERT_EQ(::chown(theirs.c_str(), 4321, 4322), 0);
    ASSERT_TRUE(WriteWhole(theirs, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(theirs.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u);
    EXPECT_EQ(info.st_gid, 4322u);
}

// Devices and pipes are written in place: replacing them would put a plain
// file where the device or pipe was.
TEST(AtomicFileWriter, WritesDevicesAndPipesDirectly)
{
    TempDir dir;
    // A null device of the test's own (a writer that replaced it must not
    // replace the system's); without the right to make one, a link to it,
    // which such a writer would replace instead.
    const std::string device = dir.File("null");
    const bool ownNode = ::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    if (!ownNode)
        fs::create_symlink("/dev/null", device);
    EXPECT_TRUE(WriteWhole(device, "discarded"));
    struct stat node {};
    ASSERT_EQ(::lstat(device.c_str(), &node), 0);
    EXPECT_TRUE(ownNode ? S_ISCHR(node.st_mode) : S_ISLNK(node.st_mode));
    EXPECT_EQ(ReadFile(device), "");
    fs::remove(device);

    const std::string fifo = dir.File("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Held open for reading and writing, the pipe never blocks the writer.
    const int reader = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(WriteWhole(fifo, "through the pipe"));
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    char buffer[64] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 16);
    EXPECT_STREQ(buffer, "through the pipe");
    ::close(reader);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

// A tool interrupted while it writes leaves neither a temporary file nor a
// changed target, and still ends by the signal that stopped it.
TEST(AtomicFileWriter, InterruptedToolLeavesNoTemporaryFile)
{
    for (const int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(sig);
        TempDir dir;
        const std::string target = dir.File("out.x3g");
        WriteFile(target, "old");
        const pid_t child = ::fork();
        if (child == 0) {
            zelk::InstallTemporaryFileCleanup();
            zelk::AtomicFileWriter first(dir.File("other.x3g"));
            zelk::AtomicFileWriter second(target);
            if (!first.Open() || !second.Open() || !second.Write("partial") || dir.EntryCount() != 3)
                ::_exit(2);
            ::raise(sig);
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1);
        EXPECT_EQ(WTERMSIG(status), sig);
        EXPECT_EQ(dir.EntryCount(), 1u);
        EXPECT_EQ(ReadFile(target), "old");
    }
}

}  // namespace
