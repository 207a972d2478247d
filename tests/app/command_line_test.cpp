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
    // Wayland without XWayland: no X display to choose (the program says so
    // and ends, see NoWindowReason).
    EXPECT_EQ(zelk::ChooseGdkBackend(nullptr, nullptr), "");
    EXPECT_EQ(zelk::ChooseGdkBackend(nullptr, ""), "");
}

TEST(DisplayBackend, WithoutAnX11WindowTheReasonIsSaid)
{
    EXPECT_EQ(zelk::NoWindowReason(nullptr, ":0", "wayland-0"), "");
    EXPECT_EQ(zelk::NoWindowReason("", ":1", nullptr), "");
    EXPECT_EQ(zelk::NoWindowReason("x11", ":1", nullptr), "");
    EXPECT_EQ(zelk::NoWindowReason("wayland,x11", ":1", "wayland-0"), "");
    EXPECT_EQ(zelk::NoWindowReason("*", ":1", nullptr), "");
    // A Wayland desktop without XWayland, and no desktop at all.
    const std::string wayland = zelk::NoWindowReason(nullptr, nullptr, "wayland-0");
    EXPECT_NE(wayland.find("XWayland"), std::string::npos) << wayland;
    EXPECT_EQ(zelk::NoWindowReason(nullptr, "", "wayland-0"), wayland);
    const std::string none = zelk::NoWindowReason(nullptr, nullptr, nullptr);
    EXPECT_NE(none.find("DISPLAY is not set"), std::string::npos) << none;
    EXPECT_EQ(none.find("XWayland"), std::string::npos) << none;
    EXPECT_EQ(zelk::NoWindowReason(nullptr, nullptr, ""), none);
    // A backend list without X11, even with an X display there.
    for (const char* chosen : {"wayland", "wayland,broadway", "x1"}) {
        const std::string reason = zelk::NoWindowReason(chosen, ":0", "wayland-0");
        EXPECT_NE(reason.find(std::string("GDK_BACKEND=") + chosen + " leaves out X11"), std::string::npos)
            << reason;
    }
}
