// The program folder: the executable's folder unless MORVADIN_HOME names another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "ProgramFolder.h"

namespace {

TEST(ProgramFolder, FollowsTheEnvironmentAndEndsWithASlash)
{
    ::setenv("MORVADIN_HOME", "/some/folder", 1);
    EXPECT_EQ(zelk::GetProgramFolder(), "/some/folder/");
    EXPECT_EQ(zelk::ProgramFilePath("ini/x.xml"), "/some/folder/ini/x.xml");

    ::setenv("MORVADIN_HOME", "", 1);
    const std::string exeFolder = zelk::GetProgramFolder();
    ::unsetenv("MORVADIN_HOME");
    EXPECT_EQ(exeFolder, zelk::GetProgramFolder());
    ASSERT_FALSE(exeFolder.empty());
    EXPECT_EQ(exeFolder.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(exeFolder + "file_io_tests"));
}

}  // namespace
