// Choosing the toolpath segments a parallel view shows, without OpenGL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ToolpathModel.h"
#include "ToolpathVisibility.h"

namespace {

// A view straight down onto the plate: window x = 4 * x + 100,
// y = 4 * y + 100, depth = 0.5 - z / 100 (higher is nearer), 200 x 200 pixels.
zelk::ParallelView TopDown()
{
    zelk::ParallelView view;
    view.rows[0][0] = 4;
    view.rows[0][3] = 100;
    view.rows[1][1] = 4;
    view.rows[1][3] = 100;
    view.rows[2][2] = -0.01;
    view.rows[2][3] = 0.5;
    view.width = 200;
    view.height = 200;
    return view;
}

zelk::ToolpathModel FromLines(const std::vector<std::string>& lines)
{
    zelk::ToolpathModel model;
    zelk::ToolpathBuilder builder(model);
    for (const std::string& line : lines)
        builder.Line(line);
    builder.Finish();
    return model;
}

zelk::VisibleSegments Choose(const zelk::ToolpathModel& model, std::size_t top, bool travel = true)
{
    zelk::VisibleSegments out;
    zelk::VisibilityScratch scratch;
    zelk::ChooseVisibleSegments(model, zelk::LayerChoice{top, travel}, TopDown(), out, scratch);
    return out;
}

TEST(ToolpathVisibility, ALineUnderABandOfNearerOnesIsLeftOutAndOneBesideItIsKept)
{
    // Layer 0 at z 0.2: one line under layer 1's band of three (z 0.4,
    // 0.25 mm = 1 pixel apart, longer at both ends), one 5 mm beside it.
    const zelk::ToolpathModel model = FromLines({
        "G1 X0 Y0 Z0.2 F1800 E0",
        "G1 X10 Y0 Z0.2 F1800 E1",   // under the band
        "G1 X10 Y5 Z0.2 F4800 E1",   // travel
        "G1 X0 Y5 Z0.2 F1800 E2",    // beside it
        "G1 X-2 Y-0.25 Z0.4 F4800 E2",
        "G1 X12 Y-0.25 Z0.4 F1800 E3",  // layer 1
        "G1 X12 Y0 Z0.4 F4800 E3",
        "G1 X-2 Y0 Z0.4 F1800 E4",
        "G1 X-2 Y0.25 Z0.4 F4800 E4",
        "G1 X12 Y0.25 Z0.4 F1800 E5",
    });
    ASSERT_EQ(model.LayerCount(), 2u);
    const zelk::VisibleSegments all = Choose(model, 1, false);
    // Below the top layer only the line beside it is left.
    ASSERT_EQ(all.belowEnd, 2u);
    EXPECT_EQ(std::vector<float>(all.xyz.begin(), all.xyz.begin() + 6), (std::vector<float>{10, 5, 0.2f, 0, 5, 0.2f}));
    EXPECT_EQ(all.topEnd - all.belowEnd, 6u) << "the band";
    EXPECT_EQ(all.travelEnd, all.topEnd) << "travel hidden";

    // One longer line right over it hides it too; one a pixel aside leaves an edge to show.
    auto over = [](const char* y) {
        return FromLines({"G1 X0 Y0 Z0.2 F1800 E0", "G1 X10 Y0 Z0.2 F1800 E1",
                          std::string("G1 X-2 Y") + y + " Z0.4 F4800 E1", std::string("G1 X12 Y") + y + " Z0.4 F1800 E2"});
    };
    EXPECT_EQ(Choose(over("0"), 1, false).belowEnd, 0u);
    EXPECT_EQ(Choose(over("0.25"), 1, false).belowEnd, 2u);
    EXPECT_EQ(Choose(over("-0.25"), 1, false).belowEnd, 2u);

    // With layer 0 on top nothing covers it: both lines are the top layer's.
    const zelk::VisibleSegments first = Choose(model, 0, false);
    EXPECT_EQ(first.belowEnd, 0u);
    EXPECT_EQ(first.topEnd, 4u);

    // Travel (thin) covers nothing: with it shown, the band's moves are kept
    // and nothing more is left out.
    const zelk::VisibleSegments withTravel = Choose(model, 1, true);
    EXPECT_EQ(withTravel.topEnd, all.topEnd);
    EXPECT_GE(withTravel.travelEnd - withTravel.topEnd, 6u);
}

TEST(ToolpathVisibility, SegmentsOutsideTheWindowAreLeftOut)
{
    // Window x = 4x + 100 leaves the window beyond x = 25 mm.
    const zelk::ToolpathModel model = FromLines({
        "G1 X30 Y0 Z0.2 F1800 E0",
        "G1 X40 Y0 Z0.2 F1800 E1",   // outside
        "G1 X20 Y0 Z0.2 F1800 E2",   // partly inside
        "G1 X-30 Y3 Z0.2 F4800 E2",  // travel crossing the whole window
    });
    const zelk::VisibleSegments out = Choose(model, 0);
    EXPECT_EQ(out.topEnd, 2u);
    EXPECT_EQ(std::vector<float>(out.xyz.begin(), out.xyz.begin() + 6), (std::vector<float>{40, 0, 0.2f, 20, 0, 0.2f}));
    EXPECT_EQ(out.travelEnd - out.topEnd, 4u) << "the move onto the start and the crossing";
}

TEST(ToolpathVisibility, RunsThatLookStraightAreJoinedAndTurnsAreNot)
{
    // Ten steps along a line bent by 0.01 mm (0.04 pixel), then a right angle,
    // then back on itself.
    std::vector<std::string> lines = {"G1 X0 Y0 Z0.2 F1800 E0"};
    for (int i = 1; i <= 10; ++i)
        lines.push_back("G1 X" + std::to_string(i) + " Y" + (i % 2 ? "0.01" : "0") + " Z0.2 F1800 E" +
                        std::to_string(i));
    lines.push_back("G1 X10 Y10 Z0.2 F1800 E11");
    lines.push_back("G1 X10 Y2 Z0.2 F1800 E12");
    const zelk::ToolpathModel model = FromLines(lines);
    ASSERT_EQ(model.extrusion.SegmentCount(), 12u);
    const zelk::VisibleSegments out = Choose(model, 0);
    // The ten become one, the turn and the way back stay apart.
    ASSERT_EQ(out.topEnd, 6u);
    EXPECT_EQ(std::vector<float>(out.xyz.begin(), out.xyz.begin() + 6), (std::vector<float>{0, 0, 0.2f, 10, 0, 0.2f}));
    EXPECT_EQ(std::vector<float>(out.xyz.begin() + 6, out.xyz.begin() + 18),
              (std::vector<float>{10, 0, 0.2f, 10, 10, 0.2f, 10, 10, 0.2f, 10, 2, 0.2f}));
}

TEST(ToolpathVisibility, AnEmptyModelOrWindowGivesNothing)
{
    zelk::VisibleSegments out;
    out.xyz = {1, 2, 3, 4, 5, 6};
    zelk::VisibilityScratch scratch;
    zelk::ChooseVisibleSegments(zelk::ToolpathModel(), zelk::LayerChoice{}, TopDown(), out, scratch);
    EXPECT_TRUE(out.xyz.empty());
    const zelk::ToolpathModel model = FromLines({"G1 X0 Y0 Z0.2 F1800 E0", "G1 X5 Y0 Z0.2 F1800 E1"});
    zelk::ParallelView none = TopDown();
    none.width = 0;
    zelk::ChooseVisibleSegments(model, zelk::LayerChoice{}, none, out, scratch);
    EXPECT_EQ(out.travelEnd, 0u);
}

}  // namespace
