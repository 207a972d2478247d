// The program's command line.
#include <gtest/gtest.h>

#include "CommandLine.h"
#include "DisplayBackend.h"

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

TEST(DisplayBackend, X11WheneverAnXDisplayIsThereUnlessTheUserChose)
{
    // A Wayland desktop with XWayland, a plain X11 session: through X11 (GLX).
    EXPECT_EQ(zelk::ChooseGdkBackend(nullptr, ":0"), "x11");
    EXPECT_EQ(zelk::ChooseGdkBackend("", ":1"), "x11");
    // The user's choice stands, even one that cannot give the 3D view.
    EXPECT_EQ(zelk::ChooseGdkBackend("wayland", ":0"), "wayland");
    // Wayland without XWayland: left to the toolkit (the program then says
    // why the view cannot be shown).
    EXPECT_EQ(zelk::ChooseGdkBackend(nullptr, nullptr), "");
    EXPECT_EQ(zelk::ChooseGdkBackend(nullptr, ""), "");
}
