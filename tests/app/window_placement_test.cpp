// Where the main window starts: the stored placement, fitted to the displays there are now.
#include <gtest/gtest.h>

#include <fstream>

#include "FileIni.h"
#include "TempDir.h"
#include "WindowPlacement.h"

namespace {

using zelk::ChooseStartRect;
using zelk::ScreenRect;
using zelk::WindowPlacement;

const ScreenRect kLaptop{0, 0, 1366, 740};        // work area below a panel
const ScreenRect kRightScreen{1366, 0, 1920, 1050};  // a second display to the right

TEST(StartRect, WithoutAStoredPlacementThePreferredSizeIsCentredOnThePrimaryDisplay)
{
    EXPECT_EQ(ChooseStartRect(nullptr, 1000, 693, 425, 653, {kLaptop, kRightScreen}),
              (ScreenRect{183, 23, 1000, 693}));
    // A display smaller than the layout: the window fills it rather than hang off it.
    EXPECT_EQ(ChooseStartRect(nullptr, 1000, 693, 425, 653, {{0, 0, 800, 570}}), (ScreenRect{0, 0, 800, 570}));
}

TEST(StartRect, AStoredPlacementComesBackWhereItWasOnTheDisplayItWasOn)
{
    const WindowPlacement onRight{{1500, 100, 1200, 800}, false};
    EXPECT_EQ(ChooseStartRect(&onRight, 1000, 693, 425, 653, {kLaptop, kRightScreen}), onRight.normal);

    // Stored smaller than the layout (an older version, a hand-edited
    // profile): grown to the minimum, where it was.
    const WindowPlacement tiny{{100, 50, 300, 200}, false};
    EXPECT_EQ(ChooseStartRect(&tiny, 1000, 693, 425, 653, {kLaptop}), (ScreenRect{100, 50, 425, 653}));

    // Grown past the display's edge: pulled back inside it.
    const WindowPlacement nearEdge{{1000, 300, 1000, 700}, false};
    EXPECT_EQ(ChooseStartRect(&nearEdge, 1000, 693, 425, 653, {kLaptop}), (ScreenRect{366, 40, 1000, 700}));
}

TEST(StartRect, APlacementOnADisplayThatIsGoneIsCentredOnThePrimaryOne)
{
    // Left on the second display, which is unplugged now: same size, centred
    // on the laptop, never out of reach.
    const WindowPlacement gone{{1500, 100, 1200, 800}, true};
    EXPECT_EQ(ChooseStartRect(&gone, 1000, 693, 425, 653, {kLaptop}), (ScreenRect{83, 0, 1200, 740}));
    // Only the bottom of the window on a display: its title bar cannot be
    // grabbed, so it is moved.
    const WindowPlacement above{{100, -700, 1000, 720}, false};
    EXPECT_EQ(ChooseStartRect(&above, 1000, 693, 425, 653, {kLaptop}), (ScreenRect{183, 10, 1000, 720}));
}

TEST(StoredPlacement, RoundTripsThroughTheProfileAndRefusesWhatCannotBeAWindow)
{
    testsupport::TempDir folder;
    const std::string path = (folder.Path() / "morvadin.ini").string();
    std::ofstream(path) << "[Multi-language]\nlanguage=1\n";
    ZELKFileIniBase profile(path);

    WindowPlacement read;
    EXPECT_FALSE(zelk::ReadWindowPlacement(profile, read)) << "nothing stored yet";

    const WindowPlacement written{{-20, 35, 1111, 777}, true};
    ASSERT_TRUE(zelk::WriteWindowPlacement(profile, written));
    ASSERT_TRUE(zelk::ReadWindowPlacement(profile, read));
    EXPECT_EQ(read.normal, written.normal);
    EXPECT_TRUE(read.maximized);
    int language = 0;
    EXPECT_EQ(profile.GetIniProfileInt("Multi-language", "language", language), 1);
    EXPECT_EQ(language, 1) << "the rest of the profile is kept";

    for (const char* bad : {"0", "-5", "wide", ""}) {
        ASSERT_EQ(profile.WriteIniProfileString("MainWindow", "Width", bad), 1);
        WindowPlacement untouched{{1, 2, 3, 4}, false};
        EXPECT_FALSE(zelk::ReadWindowPlacement(profile, untouched)) << bad;
        EXPECT_EQ(untouched.normal, (ScreenRect{1, 2, 3, 4})) << "a refused read leaves the placement alone";
    }
}

}  // namespace
