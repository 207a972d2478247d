// The INI profile: reads that leave missing values alone, writes that keep the rest of the file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "FileIni.h"
#include "TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

const char* const kProfile =
    "; printer profile\n"
    "[PRINTPLATFORM]\n"
    "PlatformLength = 200.5\n"
    "PlatformWidth=140\n"
    "PlatformHigh = tall\n"
    "\n"
    "# the user's language\n"
    "[Multi-language]\n"
    "language=2\n";

TEST(FileIni, ReadsNumbersAndLeavesTheValueAloneWhenAnythingIsMissing)
{
    TempDir dir;
    const std::string path = dir.File("profile.ini");
    WriteFile(path, kProfile);
    ZELKFileIniBase ini(path);

    double length = 0;
    EXPECT_EQ(ini.GetIniProfileDouble("PRINTPLATFORM", "PlatformLength", length), 1);
    EXPECT_DOUBLE_EQ(length, 200.5);
    int width = 0;
    EXPECT_EQ(ini.GetIniProfileInt("PRINTPLATFORM", "PlatformWidth", width), 1);
    EXPECT_EQ(width, 140);

    double high = 7;
    EXPECT_EQ(ini.GetIniProfileDouble("PRINTPLATFORM", "PlatformHigh", high), 0);  // not a number
    EXPECT_EQ(high, 7);
    int language = 5;
    EXPECT_EQ(ini.GetIniProfileInt("Multi-language", "missing", language), 0);
    EXPECT_EQ(ini.GetIniProfileInt("No such section", "language", language), 0);
    EXPECT_EQ(ini.GetIniProfileInt("PRINTPLATFORM", "PlatformLength", language), 0);  // 200.5 is no int
    EXPECT_EQ(language, 5);

    ZELKFileIniBase absent(dir.File("absent.ini"));
    double value = 3.25;
    EXPECT_EQ(absent.GetIniProfileDouble("PRINTPLATFORM", "PlatformLength", value), 0);
    EXPECT_EQ(value, 3.25);
}

TEST(FileIni, WritingOneKeyKeepsEveryOtherSectionKeyAndComment)
{
    TempDir dir;
    const std::string path = dir.File("profile.ini");
    WriteFile(path, kProfile);
    ZELKFileIniBase ini(path);

    ASSERT_EQ(ini.WriteIniProfileInt("Multi-language", "language", 1), 1) << ini.LastError();
    ASSERT_EQ(ini.WriteIniProfileInt("New section", "count", -12), 1) << ini.LastError();

    int language = 0, count = 0, width = 0;
    double length = 0;
    EXPECT_EQ(ini.GetIniProfileInt("Multi-language", "language", language), 1);
    EXPECT_EQ(language, 1);
    EXPECT_EQ(ini.GetIniProfileInt("New section", "count", count), 1);
    EXPECT_EQ(count, -12);
    EXPECT_EQ(ini.GetIniProfileInt("PRINTPLATFORM", "PlatformWidth", width), 1);
    EXPECT_EQ(width, 140);
    EXPECT_EQ(ini.GetIniProfileDouble("PRINTPLATFORM", "PlatformLength", length), 1);
    EXPECT_EQ(length, 200.5);

    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("; printer profile"), std::string::npos) << text;
    EXPECT_NE(text.find("# the user's language"), std::string::npos) << text;
    EXPECT_NE(text.find("tall"), std::string::npos) << text;
    EXPECT_EQ(dir.EntryCount(), 1u);  // no temporary file left behind
}

// A key outside every section whose name begins with the byte-order mark's
// bytes: written first, it must not be taken for the mark of the whole file
// (which would turn its line into a section and move the keys after it).
TEST(FileIni, AKeyThatBeginsWithTheMarksBytesStaysAKey)
{
    const std::string content = "\n\xEF\xBB\xBF[odd=2.5\n";
    const std::string oddKey = "\xEF\xBB\xBF[odd";
    std::string before;
    ASSERT_TRUE(zelk::ini::ReadValue(content, "", oddKey, before));
    EXPECT_EQ(before, "2.5");
    for (const char* section : {"", "Machine"}) {
        SCOPED_TRACE(section);
        std::string output, error, back;
        ASSERT_TRUE(zelk::ini::WithValue(content, section, "orphan", "1", output, error)) << error;
        EXPECT_TRUE(zelk::ini::ReadValue(output, section, "orphan", back));
        EXPECT_EQ(back, "1");
        EXPECT_TRUE(zelk::ini::ReadValue(output, "", oddKey, back));
        EXPECT_EQ(back, "2.5");
    }
    // A file that has the mark keeps it.
    std::string output, error, back;
    ASSERT_TRUE(zelk::ini::WithValue("\xEF\xBB\xBF[Machine]\nPlatformX=1\n", "Machine", "PlatformX", "2", output,
                                     error));
    EXPECT_EQ(output.rfind("\xEF\xBB\xBF", 0), 0u);
    EXPECT_TRUE(zelk::ini::ReadValue(output, "Machine", "PlatformX", back));
    EXPECT_EQ(back, "2");
}

TEST(FileIni, WritingCreatesAMissingFileAndRefusesAnUnwritablePlace)
{
    TempDir dir;
    ZELKFileIniBase fresh(dir.File("new.ini"));
    ASSERT_EQ(fresh.WriteIniProfileDouble("PRINTPLATFORM", "PlatformHigh", 123.75), 1) << fresh.LastError();
    double high = 0;
    EXPECT_EQ(fresh.GetIniProfileDouble("PRINTPLATFORM", "PlatformHigh", high), 1);
    EXPECT_EQ(high, 123.75);

    ZELKFileIniBase nowhere(dir.File("missing-folder/profile.ini"));
    EXPECT_EQ(nowhere.WriteIniProfileInt("a", "b", 1), 0);
    EXPECT_NE(nowhere.LastError().find("missing-folder/profile.ini"), std::string::npos) << nowhere.LastError();

    // A folder where the file should be stays as it is.
    std::filesystem::create_directory(dir.File("taken.ini"));
    WriteFile(dir.File("taken.ini/keep"), "x");
    ZELKFileIniBase taken(dir.File("taken.ini"));
    EXPECT_EQ(taken.WriteIniProfileInt("a", "b", 1), 0);
    EXPECT_FALSE(taken.LastError().empty());
    EXPECT_EQ(ReadFile(dir.File("taken.ini/keep")), "x");
    EXPECT_EQ(dir.EntryCount(), 2u);  // new.ini and the folder, no temporary files
}

// Bytes that are no profile are never replaced unseen: a copy is kept, the
// user is told once, and the next write starts a new profile.
TEST(FileIni, AProfileThatIsNoProfileIsKeptAsideAndTheUserToldOnce)
{
    TempDir dir;
    const std::string path = dir.File("profile.ini");
    const std::string garbage("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe[x]\n", 22);
    WriteFile(path, garbage);
    ZELKFileIniBase profile(path);
    const std::string notice = profile.SetAsideIfBroken();
    EXPECT_NE(notice.find(path + ".broken"), std::string::npos) << notice;
    EXPECT_EQ(ReadFile(path + ".broken"), garbage);
    EXPECT_EQ(profile.SetAsideIfBroken(), "") << "told twice";

    ASSERT_EQ(profile.WriteIniProfileInt("Multi-language", "language", 1), 1) << profile.LastError();
    int language = 0;
    EXPECT_EQ(profile.GetIniProfileInt("Multi-language", "language", language), 1);
    EXPECT_EQ(language, 1);
    EXPECT_EQ(ReadFile(path).find("PNG"), std::string::npos);
    EXPECT_EQ(ReadFile(path + ".broken"), garbage);
    EXPECT_EQ(profile.SetAsideIfBroken(), "");

    // Broken while the program ran: the write keeps the copy, and the next
    // look tells of it once.
    const std::string text = "this line is no setting\n[MainWindow]\nWidth = 800\n";
    WriteFile(path, text);
    ASSERT_EQ(profile.WriteIniProfileInt("MainWindow", "Height", 600), 1) << profile.LastError();
    EXPECT_EQ(ReadFile(path + ".broken"), text);
    EXPECT_NE(profile.SetAsideIfBroken(), "");
    EXPECT_EQ(profile.SetAsideIfBroken(), "");

    // What the program and hand edits write is a profile, odd values and all.
    WriteFile(path, std::string("\xEF\xBB\xBF") + kProfile + "[\xE4\xB8\xAD\xE6\x96\x87]\nname = caf\xC3\xA9\r\n");
    EXPECT_EQ(profile.SetAsideIfBroken(), "");
    EXPECT_TRUE(zelk::ini::LooksLikeProfile(""));
    EXPECT_FALSE(zelk::ini::LooksLikeProfile("[a]\nk = \xC3\n"));  // a cut UTF-8 sequence
    EXPECT_FALSE(zelk::ini::LooksLikeProfile("[a]\nk = v\x01\n"));
}

// Two programs writing the profile at once: every key of both is there.
TEST(FileIni, TwoProgramsWritingAtOnceLoseNoKey)
{
    TempDir dir;
    const std::string path = dir.File("profile.ini");
    constexpr int kKeys = 60;
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            // Both start together, when the test closes the pipe.
            ::close(ready[1]);
            char c;
            [[maybe_unused]] const ssize_t n = ::read(ready[0], &c, 1);
            ZELKFileIniBase profile(path);
            int failed = 0;
            for (int k = 0; k < kKeys; ++k)
                failed += profile.WriteIniProfileInt("writer" + std::to_string(w), "key" + std::to_string(k), k) == 0;
            ::_exit(failed == 0 ? 0 : 1);
        }
    }
    ::close(ready[0]);
    ::close(ready[1]);
    for (const pid_t writer : writers) {
        int status = -1;
        ASSERT_EQ(::waitpid(writer, &status, 0), writer);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ZELKFileIniBase profile(path);
    int missing = 0;
    for (int w = 0; w < 2; ++w)
        for (int k = 0; k < kKeys; ++k) {
            int value = -1;
            missing += profile.GetIniProfileInt("writer" + std::to_string(w), "key" + std::to_string(k), value) == 0 ||
                       value != k;
        }
    EXPECT_EQ(missing, 0);
}

TEST(FileIni, TheProgramProfileLivesInTheProgramFolder)
{
    TempDir dir;
    ::setenv("MORVADIN_HOME", dir.Path().c_str(), 1);
    ZELKFileIni* ini = ZELKFileIni::GetFileIniObject();
    ASSERT_NE(ini, nullptr);
    EXPECT_EQ(ini, ZELKFileIni::GetFileIniObject());
    ASSERT_EQ(ini->WriteIniProfileInt("Multi-language", "language", 2), 1) << ini->LastError();
    EXPECT_NE(ReadFile(dir.File("morvadin.ini")).find("language"), std::string::npos);
    ::unsetenv("MORVADIN_HOME");
}

}  // namespace
