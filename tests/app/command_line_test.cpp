// The program's command line.
#include <gtest/gtest.h>

#include "CommandLine.h"

namespace {

zelk::ProgramOptions Parse(std::vector<const char*> args)
{
    args.insert(args.begin(), "Morvadin-X");
    return zelk::ParseProgramOptions(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, FilesPortAndHelp)
{
    auto o = Parse({"a.stl", "--port", "/dev/pts/7", "b c.stl"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.port, "/dev/pts/7");
    EXPECT_EQ(o.stlFiles, (std::vector<std::string>{"a.stl", "b c.stl"}));

    EXPECT_EQ(Parse({"--port=/dev/ttyACM0"}).port, "/dev/ttyACM0");
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"x.stl", "--help"}).help);
    // After "--" everything is a file, also what looks like an option.
    EXPECT_EQ(Parse({"--", "--help"}).stlFiles, std::vector<std::string>{"--help"});
}

TEST(CommandLine, MistakesAreNamed)
{
    EXPECT_NE(Parse({"--port"}).error.find("--port"), std::string::npos);
    EXPECT_NE(Parse({"--colour"}).error.find("--colour"), std::string::npos);
    EXPECT_NE(Parse({"--port="}).error, "");
    EXPECT_NE(zelk::ProgramUsage("Morvadin-X").find("--port DEVICE"), std::string::npos);
}

}  // namespace
