// The program's folders: shipped files beside the executable or under share/,
// the user's XDG folders, MORVADIN_HOME for everything, the per-process working folder.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "ProgramFolder.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

// A fake environment for ChooseProgramFolders.
zelk::EnvironmentLookup Environment(const std::map<std::string, std::string>& values)
{
    return [values](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Sets or clears environment variables for one test and restores them after.
class ScopedEnvironment {
public:
    void Set(const char* name, const std::string& value)
    {
        Keep(name);
        ::setenv(name, value.c_str(), 1);
    }
    void Clear(const char* name)
    {
        Keep(name);
        ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : m_saved)
            value.first ? ::setenv(name.c_str(), value.second.c_str(), 1) : ::unsetenv(name.c_str());
    }

private:
    void Keep(const char* name)
    {
        if (m_saved.count(name) != 0)
            return;
        const char* old = std::getenv(name);
        m_saved[name] = {old != nullptr, old != nullptr ? old : ""};
    }
    std::map<std::string, std::pair<bool, std::string>> m_saved;
};

TEST(ProgramFolder, MorvadinHomeHoldsEverythingAndEndsWithASlash)
{
    const zelk::ProgramFolders f =
        zelk::ChooseProgramFolders(Environment({{"MORVADIN_HOME", "/some/folder"}, {"HOME", "/home/u"}}), "/opt/x/");
    EXPECT_TRUE(f.oneFolder);
    EXPECT_TRUE(f.error.empty());
    for (const std::string& folder : {f.shipped, f.config, f.state, f.cache})
        EXPECT_EQ(folder, "/some/folder/");

    ScopedEnvironment env;
    env.Set("MORVADIN_HOME", "/some/folder");
    EXPECT_EQ(zelk::GetProgramFolder(), "/some/folder/");
    EXPECT_EQ(zelk::ProgramFilePath("ini/x.xml"), "/some/folder/ini/x.xml");
    EXPECT_EQ(zelk::UserConfigPath("morvadin.ini"), "/some/folder/morvadin.ini");
    EXPECT_EQ(zelk::UserStatePath("morvadin.log"), "/some/folder/morvadin.log");
    EXPECT_EQ(zelk::WorkingFolder(), "/some/folder/PrintModel/");

    // Empty counts as not set: the shipped files are found from the executable,
    // which in the build folder is the folder holding this test.
    env.Set("MORVADIN_HOME", "");
    const std::string exeFolder = zelk::GetProgramFolder();
    ASSERT_FALSE(exeFolder.empty());
    EXPECT_EQ(exeFolder.back(), '/');
    EXPECT_TRUE(fs::exists(exeFolder + "file_io_tests"));
    EXPECT_EQ(exeFolder, zelk::GetExecutableFolder());
}

TEST(ProgramFolder, WrittenFilesGoToTheXdgFoldersOrTheirDefaults)
{
    const zelk::ProgramFolders defaults = zelk::ChooseProgramFolders(Environment({{"HOME", "/home/u"}}), "/usr/share/m");
    EXPECT_FALSE(defaults.oneFolder);
    EXPECT_TRUE(defaults.error.empty());
    EXPECT_EQ(defaults.shipped, "/usr/share/m/");
    EXPECT_EQ(defaults.config, "/home/u/.config/morvadin-x/");
    EXPECT_EQ(defaults.state, "/home/u/.local/state/morvadin-x/");
    EXPECT_EQ(defaults.cache, "/home/u/.cache/morvadin-x/");

    const zelk::ProgramFolders set = zelk::ChooseProgramFolders(
        Environment({{"HOME", "/home/u/"}, {"XDG_CONFIG_HOME", "/c"}, {"XDG_STATE_HOME", "/s/"},
                     {"XDG_CACHE_HOME", "relative/cache"}, {"MORVADIN_HOME", ""}}),
        "/b");
    EXPECT_EQ(set.config, "/c/morvadin-x/");
    EXPECT_EQ(set.state, "/s/morvadin-x/");
    EXPECT_EQ(set.cache, "/home/u/.cache/morvadin-x/") << "a relative XDG folder is ignored";
}

TEST(ProgramFolder, NoHomeIsAClearErrorUnlessEveryXdgFolderIsSet)
{
    for (const auto& environment : {std::map<std::string, std::string>{},
                                    std::map<std::string, std::string>{{"HOME", ""}},
                                    std::map<std::string, std::string>{{"HOME", "home"}, {"XDG_CONFIG_HOME", "/c"}}}) {
        const zelk::ProgramFolders f = zelk::ChooseProgramFolders(Environment(environment), "/b/");
        EXPECT_NE(f.error.find("HOME"), std::string::npos) << f.error;
        EXPECT_EQ(f.shipped, "/b/");
    }
    const zelk::ProgramFolders xdg = zelk::ChooseProgramFolders(
        Environment({{"XDG_CONFIG_HOME", "/c"}, {"XDG_STATE_HOME", "/s"}, {"XDG_CACHE_HOME", "/k"}}), "/b/");
    EXPECT_TRUE(xdg.error.empty()) << xdg.error;
}

TEST(ProgramFolder, ShippedFilesComeFromShareWhenInstalled)
{
    const auto installed = [](const std::string& path) { return path == "/usr/bin/../share/morvadin-x/"; };
    EXPECT_EQ(zelk::ShippedFolderFor("/usr/bin", installed), "/usr/share/morvadin-x/");
    EXPECT_EQ(zelk::ShippedFolderFor("/home/d/build/bin/", installed), "/home/d/build/bin/");
}

TEST(ProgramFolder, UserFilesAreSeededOnceAndNeverOverwritten)
{
    testsupport::TempDir home;
    ScopedEnvironment env;
    env.Set("MORVADIN_HOME", "");
    env.Set("HOME", home.Path().string());
    env.Clear("XDG_CONFIG_HOME");
    env.Clear("XDG_STATE_HOME");
    env.Clear("XDG_CACHE_HOME");

    std::string error;
    ASSERT_TRUE(zelk::PrepareUserFolders(error)) << error;
    EXPECT_TRUE(fs::is_directory(home.Path() / ".config/morvadin-x"));
    EXPECT_TRUE(fs::is_directory(home.Path() / ".local/state/morvadin-x"));
    EXPECT_TRUE(fs::is_directory(home.Path() / ".cache/morvadin-x/PrintModel"));
    EXPECT_EQ(zelk::UserConfigPath("morvadin.ini"), (home.Path() / ".config/morvadin-x/morvadin.ini").string());
    EXPECT_EQ(zelk::UserStatePath("morvadin.log"), (home.Path() / ".local/state/morvadin-x/morvadin.log").string());

    // The build folder's shipped files are beside this test.
    const std::string relative = "background/2.bmp";
    const std::string user = (home.Path() / ".config/morvadin-x" / relative).string();
    EXPECT_EQ(zelk::UserFileOrShipped(relative), zelk::ProgramFilePath(relative)) << "no user copy yet";
    EXPECT_EQ(zelk::SeedUserFile(relative, error), user) << error;
    EXPECT_EQ(zelk::UserFileOrShipped(relative), user);
    std::ofstream(user) << "edited\n";
    EXPECT_EQ(zelk::SeedUserFile(relative, error), user);
    EXPECT_EQ(ReadAll(user), "edited\n") << "an existing copy is kept";
}

TEST(ProgramFolder, SeedingCopiesTheShippedFileFromTheProgramFolder)
{
    // The build folder's shipped start G-code is beside this test.
    testsupport::TempDir home;
    ScopedEnvironment env;
    env.Clear("MORVADIN_HOME");
    env.Set("XDG_CONFIG_HOME", (home.Path() / "conf").string());
    env.Set("XDG_STATE_HOME", (home.Path() / "state").string());
    env.Set("XDG_CACHE_HOME", (home.Path() / "cache").string());
    const std::string relative = "background/1.bmp";
    ASSERT_TRUE(fs::exists(zelk::ProgramFilePath(relative)));

    std::string error;
    const std::string seeded = zelk::SeedUserFile(relative, error);
    ASSERT_EQ(seeded, (home.Path() / "conf/morvadin-x" / relative).string()) << error;
    EXPECT_EQ(ReadAll(seeded), ReadAll(zelk::ProgramFilePath(relative)));
    for (const auto& entry : fs::directory_iterator(fs::path(seeded).parent_path()))
        EXPECT_EQ(entry.path().extension(), ".bmp") << "no temporary copy is left: " << entry.path();

    EXPECT_TRUE(zelk::SeedUserFile("no/such/file", error).empty());
    EXPECT_NE(error.find("no/such/file"), std::string::npos) << error;
}

TEST(ProgramFolder, AnUnusableHomeIsAnErrorNamingTheFolder)
{
    testsupport::TempDir temp;
    const fs::path notAFolder = temp.Path() / "home-is-a-file";
    std::ofstream(notAFolder) << "x";
    ScopedEnvironment env;
    env.Clear("MORVADIN_HOME");
    env.Set("HOME", notAFolder.string());
    env.Clear("XDG_CONFIG_HOME");
    env.Clear("XDG_STATE_HOME");
    env.Clear("XDG_CACHE_HOME");
    std::string error;
    EXPECT_FALSE(zelk::PrepareUserFolders(error));
    EXPECT_NE(error.find(notAFolder.string()), std::string::npos) << error;
    EXPECT_TRUE(zelk::SeedUserFile("background/1.bmp", error).empty());

    env.Set("HOME", "");
    EXPECT_FALSE(zelk::PrepareUserFolders(error));
    EXPECT_NE(error.find("HOME"), std::string::npos) << error;
    EXPECT_EQ(zelk::UserConfigPath("morvadin.ini"), "");
    EXPECT_EQ(zelk::WorkingFolder(), "");
}

TEST(WorkingFolder, EachProcessKeepsItsOwnAndEndedOnesAreCleaned)
{
    testsupport::TempDir temp;
    const std::string base = temp.Path().string() + "/PrintModel/";

    std::string first, second, error;
    const int running = zelk::ClaimWorkingFolder(base, "100", first, error);
    ASSERT_GE(running, 0) << error;
    EXPECT_EQ(first, base + "100/");
    std::ofstream(first + "model.stl") << "solid";

    // A program that ended left its folder and an unheld lock behind.
    fs::create_directories(base + "200");
    std::ofstream(base + "200/old.gcode") << "G1";
    std::ofstream(base + "200.lock");

    const int other = zelk::ClaimWorkingFolder(base, "300", second, error);
    ASSERT_GE(other, 0) << error;
    EXPECT_EQ(second, base + "300/");
    EXPECT_TRUE(fs::exists(first + "model.stl")) << "a running program's files stay";
    EXPECT_FALSE(fs::exists(base + "200")) << "an ended program's folder goes";
    EXPECT_FALSE(fs::exists(base + "200.lock"));

    // The same name while it is held cannot be claimed twice.
    std::string again;
    EXPECT_LT(zelk::ClaimWorkingFolder(base, "100", again, error), 0);
    EXPECT_NE(error.find("in use"), std::string::npos) << error;

    // Once the first program ends, the next claim cleans its folder.
    ::close(running);
    const int third = zelk::ClaimWorkingFolder(base, "400", again, error);
    ASSERT_GE(third, 0) << error;
    EXPECT_FALSE(fs::exists(first));
    EXPECT_TRUE(fs::exists(second));
    ::close(other);
    ::close(third);
}

TEST(WorkingFolder, IsPerProcessUnderTheCacheFolder)
{
    testsupport::TempDir temp;
    ScopedEnvironment env;
    env.Clear("MORVADIN_HOME");
    env.Set("XDG_CACHE_HOME", temp.Path().string());
    const std::string folder = zelk::WorkingFolder();
    EXPECT_EQ(folder, temp.Path().string() + "/morvadin-x/PrintModel/" + std::to_string(::getpid()) + "/");
    EXPECT_TRUE(fs::is_directory(folder));
    EXPECT_EQ(zelk::WorkingFolder(), folder) << "claimed once";
}

}  // namespace
