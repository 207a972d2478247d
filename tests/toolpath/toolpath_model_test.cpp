// The toolpaths of small hand-written G-code: segments by kind, layers, resets, bad numbers, refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolpathModel.h"

namespace {

using zelk::ToolpathModel;

ToolpathModel FromText(const std::string& content, const zelk::ToolpathReadOptions& options = {})
{
    testsupport::TempDir dir;
    const std::string path = dir.File("part.gcode");
    testsupport::WriteFile(path, content);
    return zelk::ReadToolpath(path, options);
}

// The segments of an array as {x0, y0, z0, x1, y1, z1} rows.
std::vector<std::vector<float>> Segments(const zelk::SegmentArray& array)
{
    std::vector<std::vector<float>> rows;
    for (std::size_t i = 0; i + 6 <= array.xyz.size(); i += 6)
        rows.emplace_back(array.xyz.begin() + static_cast<long>(i), array.xyz.begin() + static_cast<long>(i) + 6);
    return rows;
}

using Rows = std::vector<std::vector<float>>;

TEST(ToolpathSegments, ExtrusionTravelAndRetractionAreToldApart)
{
    const ToolpathModel m = FromText(
        "G1 X0 Y0 Z0.3 F3000 E0\n"      // from the origin up to 0.3: travel (Z alone)
        "G1 X10 Y0 Z0.3 F1800 E1.0\n"   // extrusion
        "G1 X10 Y10 Z0.3 F1800 E2.0\n"  // extrusion
        "G1 E1.0\n"                     // retraction: E alone
        "G1 X20 Y20 Z0.3 F4800 E1.0\n"  // travel: E unchanged
        "G1 E2.0\n"                     // prime
        "G1 X30 Y20 Z0.3 F1800 E1.5\n"  // wipe: moves while E shrinks, travel
        "G1 X30 Y30 Z0.3 F1800 E2.5\n"); // extrusion
    ASSERT_TRUE(m.IsUsable()) << m.reason;
    EXPECT_TRUE(m.reason.empty());
    EXPECT_EQ(Segments(m.extrusion),
              (Rows{{0, 0, 0.3f, 10, 0, 0.3f}, {10, 0, 0.3f, 10, 10, 0.3f}, {30, 20, 0.3f, 30, 30, 0.3f}}));
    EXPECT_EQ(Segments(m.travel),
              (Rows{{0, 0, 0, 0, 0, 0.3f}, {10, 10, 0.3f, 20, 20, 0.3f}, {20, 20, 0.3f, 30, 20, 0.3f}}));
    EXPECT_EQ(m.lineCount, 8u);
    EXPECT_EQ(m.skippedLineCount, 0u);
}

TEST(ToolpathSegments, G92ResetsTheFilamentCountSoTheNextGrowthExtrudes)
{
    const ToolpathModel m = FromText(
        "G1 X0 Y0 Z0.2 F3000 E0\n"
        "G1 X5 Y0 Z0.2 F1800 E5\n"   // extrusion, E at 5
        "G92 E0\n"
        "G1 X5 Y5 Z0.2 F1800 E0.5\n" // E 0 -> 0.5: extrusion (without the reset it would be a retraction)
        "G92 E10\n"
        "G1 X0 Y5 Z0.2 F1800 E9\n"); // E 10 -> 9: travel
    ASSERT_TRUE(m.IsUsable());
    EXPECT_EQ(Segments(m.extrusion), (Rows{{0, 0, 0.2f, 5, 0, 0.2f}, {5, 0, 0.2f, 5, 5, 0.2f}}));
    ASSERT_EQ(m.travel.SegmentCount(), 2u);
    EXPECT_EQ(Segments(m.travel)[1], (std::vector<float>{5, 5, 0.2f, 0, 5, 0.2f}));
}

TEST(ToolpathSegments, PositionResetOfEveryAxisAndTheStartHeight)
{
    // "G92 X Y Z F" (six words) sets X, Y, Z and E 0; above 1 mm Z is the start height.
    const std::string text =
        "G92 X1 Y2 Z0.5 F100 E7\n"
        "G1 X3 Y2 Z0.5 F1800 E1\n"
        "G92 X0 Y0 Z5 F100 E0\n"
        "G1 X4 Y0 Z2 F1800 E2\n";
    const ToolpathModel plain = FromText(text);
    ASSERT_EQ(plain.extrusion.SegmentCount(), 2u);
    EXPECT_EQ(Segments(plain.extrusion)[0], (std::vector<float>{1, 2, 0.5f, 3, 2, 0.5f}));
    // Without the start height, Z stays where it was (0.5).
    EXPECT_EQ(Segments(plain.extrusion)[1], (std::vector<float>{0, 0, 0.5f, 4, 0, 2}));

    zelk::ToolpathReadOptions options;
    options.startHeightMM = 1.5f;
    const ToolpathModel started = FromText(text, options);
    ASSERT_EQ(started.extrusion.SegmentCount(), 2u);
    EXPECT_EQ(Segments(started.extrusion)[1], (std::vector<float>{0, 0, 1.5f, 4, 0, 2}));
    // "G92 Z<any>" is the start height: Z where it was without one.
    const std::string lift = "G1 X0 Y0 Z3 F100 E0\nG92 Z9\nG1 X1\n";
    EXPECT_EQ(Segments(FromText(lift, options).travel)[1], (std::vector<float>{0, 0, 1.5f, 1, 0, 1.5f}));
    EXPECT_EQ(Segments(FromText(lift).travel)[1], (std::vector<float>{0, 0, 3, 1, 0, 3}));
}

TEST(ToolpathSegments, TheTranslatorsShapesOfMoveLinesAreKept)
{
    // Two and three words: one axis (and F); four words: by letter; G0 and
    // line-numbered lines move nothing on this printer.
    const ToolpathModel m = FromText(
        "G1 Z0.2\n"
        "G1 X10 F1200\n"
        "G1 X10 Y10 E1\n"
        "G0 X50 Y50\n"
        "N5 G1 X70 Y70 E9\n"
        "G1 X0 E1.5\n");
    // "G1 X0 E1.5" has three words: an axis and E, both read (as "G1 X10
    // Y20" moves both axes), so it extrudes.
    EXPECT_EQ(Segments(m.travel), (Rows{{0, 0, 0, 0, 0, 0.2f}, {0, 0, 0.2f, 10, 0, 0.2f}}));
    EXPECT_EQ(Segments(m.extrusion), (Rows{{10, 0, 0.2f, 10, 10, 0.2f}, {10, 10, 0.2f, 0, 10, 0.2f}}));
    EXPECT_EQ(m.lineCount, 6u);
    EXPECT_EQ(m.extrusion.layerEnd, (std::vector<std::size_t>{4}));
}

TEST(ToolpathLayers, ANewLayerStartsOnlyWithAnExtrudingMoveAtAHigherZ)
{
    const ToolpathModel m = FromText(
        "G1 X0 Y0 Z0.3 F4800 E0\n"
        "G1 X10 Y0 Z0.3 F1800 E1\n"   // layer 0 at 0.3
        "G1 X10 Y0 Z0.8 F4800 E1\n"   // a lift: travel, no new layer
        "G1 X0 Y0 Z0.8 F4800 E1\n"    // travel at 0.8
        "G1 X0 Y0 Z0.5 F4800 E1\n"    // down again
        "G1 X0 Y10 Z0.5 F1800 E2\n"   // layer 1 at 0.5
        "G1 X0 Y20 Z0.4 F1800 E3\n"   // extruding lower: still layer 1
        "G1 X5 Y20 Z0.7 F1800 E4\n"   // layer 2 at 0.7
        "G1 X9 Y9 Z0.7 F4800 E4\n");  // travel at the end: the last layer's
    ASSERT_TRUE(m.IsUsable());
    EXPECT_EQ(m.layerZ, (std::vector<float>{0.3f, 0.5f, 0.7f}));
    EXPECT_EQ(m.extrusion.layerEnd, (std::vector<std::size_t>{2, 6, 8}));
    // The first travel belongs to layer 0; the lift and the way down lead to layer 1.
    EXPECT_EQ(m.travel.layerEnd, (std::vector<std::size_t>{2, 8, 10}));
    EXPECT_FLOAT_EQ(m.boxMin[2], 0.0f);
    EXPECT_FLOAT_EQ(m.boxMax[2], 0.8f);
    EXPECT_FLOAT_EQ(m.boxMax[0], 10.0f);
    EXPECT_FLOAT_EQ(m.boxMax[1], 20.0f);
}

TEST(ToolpathLayers, TheSliderEndsShowTheFirstLayerAloneOrEverything)
{
    std::string text = "G1 X0 Y0 Z0.2 F4800 E0\n";
    float e = 0;
    for (int layer = 0; layer < 4; ++layer) {
        const std::string z = std::to_string(0.2 * (layer + 1));
        text += "G1 X0 Y0 Z" + z + " F4800 E" + std::to_string(e) + "\n";
        for (int side = 0; side < 3; ++side) {
            e += 1;
            text += "G1 X" + std::to_string(side + 1) + " Y" + std::to_string(layer) + " Z" + z + " F1800 E" +
                    std::to_string(e) + "\n";
        }
    }
    const ToolpathModel m = FromText(text);
    ASSERT_EQ(m.LayerCount(), 4u);
    // Layer 0: its own three segments (and no vertex of a higher layer).
    EXPECT_EQ(m.extrusion.VerticesThrough(0), 6u);
    for (std::size_t v = 0; v < m.extrusion.VerticesThrough(0); ++v)
        EXPECT_LE(m.extrusion.xyz[3 * v + 2], m.layerZ[0]);
    // The top: every vertex of both arrays; past the top too.
    EXPECT_EQ(m.extrusion.VerticesThrough(3), m.extrusion.VertexCount());
    EXPECT_EQ(m.travel.VerticesThrough(3), m.travel.VertexCount());
    EXPECT_EQ(m.extrusion.VerticesThrough(99), m.extrusion.VertexCount());
    // Each prefix holds exactly the vertices at or below its layer's Z.
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t n = m.extrusion.VerticesThrough(k);
        EXPECT_EQ(n, 6 * (k + 1));
        EXPECT_FLOAT_EQ(m.extrusion.xyz[3 * (n - 1) + 2], m.layerZ[k]);
    }
}

TEST(ToolpathRefusals, BadNumbersAreSkippedAsTheTranslatorSkipsThem)
{
    const ToolpathModel m = FromText(
        "G1 X0 Y0 Z0.2 F3000 E0\n"
        "G1 X10 Y0 Z0.2 F1800 E1\n"
        "G1 Xinf Y0 Z0.2 F1800 E2\n"      // not finite
        "G1 X10 Ynan Z0.2 F1800 E2\n"
        "G1 X20000 Y0 Z0.2 F1800 E2\n"    // beyond 10000 mm
        "G1 X10 Y5 Z0.2 F1800 E2e7\n"     // beyond the filament limit
        "G1 X10 Y5 Z0.2 F-5 E2\n"         // a negative feedrate
        "G92 E1e300\n"
        "G1 X10 Y10 Z0.2 F1800 E2\n");
    EXPECT_EQ(m.skippedLineCount, 6u);
    EXPECT_EQ(Segments(m.extrusion), (Rows{{0, 0, 0.2f, 10, 0, 0.2f}, {10, 0, 0.2f, 10, 10, 0.2f}}));
    EXPECT_FLOAT_EQ(m.boxMax[0], 10.0f);
    EXPECT_FLOAT_EQ(m.boxMax[1], 10.0f);
}

TEST(ToolpathRefusals, UnreadableEmptyAndMotionlessFilesGiveAReasonNamingThem)
{
    testsupport::TempDir dir;
    const ToolpathModel missing = zelk::ReadToolpath(dir.File("missing.gcode"));
    EXPECT_FALSE(missing.read);
    EXPECT_FALSE(missing.IsUsable());
    EXPECT_NE(missing.reason.find("missing.gcode"), std::string::npos) << missing.reason;

    const ToolpathModel folder = zelk::ReadToolpath(dir.Path().string());
    EXPECT_FALSE(folder.read);
    EXPECT_FALSE(folder.reason.empty());

    const ToolpathModel empty = FromText("");
    EXPECT_TRUE(empty.read);
    EXPECT_FALSE(empty.IsUsable());
    EXPECT_NE(empty.reason.find("no move"), std::string::npos) << empty.reason;
    EXPECT_EQ(empty.LayerCount(), 0u);

    const ToolpathModel still = FromText("(comment only)\nM104 S220\nG92 E0\nG1 E5\nG1 F1200\n");
    EXPECT_FALSE(still.IsUsable());
    EXPECT_NE(still.reason.find("no move"), std::string::npos);
    EXPECT_EQ(still.lineCount, 4u);
}

TEST(ToolpathRefusals, TravelAloneIsOneLayer)
{
    const ToolpathModel m = FromText("G1 X0 Y0 Z1 F3000 E0\nG1 X5 Y0 Z1 F3000 E0\n");
    ASSERT_TRUE(m.IsUsable());
    EXPECT_EQ(m.LayerCount(), 1u);
    EXPECT_EQ(m.extrusion.VertexCount(), 0u);
    EXPECT_EQ(m.travel.VerticesThrough(0), 4u);
}

TEST(ToolpathBuilderLines, CommentsAndLineEndsAreCleanedAsForTheTranslator)
{
    const ToolpathModel m = FromText("G1 X0 Y0 Z0.2 F3000 E0 (start)\r\n\r\n  G1 X3 Y0 Z0.2 F1800 E1  \r\n");
    EXPECT_EQ(m.lineCount, 2u);
    EXPECT_EQ(Segments(m.extrusion), (Rows{{0, 0, 0.2f, 3, 0, 0.2f}}));
}

// Another slicer's G-code is drawn as the translator reads it: G0 travels,
// relative extrusion, arcs as their pieces, G28 where this printer homes.
TEST(ToolpathFlavors, OtherFlavoursAreDrawnAsTheyPrint)
{
    const std::string body = "G28\nM83\nG0 X0 Y0 Z0.3 F3000\nG1 X10 Y0 E1 F1200\nG1 E-1\nG0 X10 Y10\n"
                             "G1 E1\nG3 X0 Y10 R5 E1\nG1 Z0.6\nG1 X0 Y0 E1\n";
    zelk::ToolpathReadOptions options;
    options.startHeightMM = 120.0f;
    const ToolpathModel m = FromText(";FLAVOR:Marlin\n" + body, options);
    ASSERT_TRUE(m.IsUsable()) << m.reason;
    const Rows extrusion = Segments(m.extrusion);
    ASSERT_GT(extrusion.size(), 10u);  // the half circle in pieces
    EXPECT_EQ(extrusion.front(), (std::vector<float>{0, 0, 0.3f, 10, 0, 0.3f}));
    EXPECT_EQ(extrusion.back(), (std::vector<float>{0, 10, 0.6f, 0, 0, 0.6f}));
    const Rows travel = Segments(m.travel);
    // From the homed corner down to the start, and the G0 to the arc.
    EXPECT_EQ(travel.front(), (std::vector<float>{-75, -75, 120, 0, 0, 0.3f}));
    EXPECT_EQ(travel[1], (std::vector<float>{10, 0, 0.3f, 10, 10, 0.3f}));
    EXPECT_EQ(m.LayerCount(), 2u);

    // The same file unmarked is the printer's dialect, where G0 moves nothing:
    // what the translator would do, unless the flavour is chosen.
    EXPECT_LT(Segments(FromText(body).extrusion).size(), extrusion.size());
    options.flavor = zelk::gcode::GCodeFlavor::kRepRap;
    EXPECT_EQ(Segments(FromText(body, options).extrusion), extrusion);

    const ToolpathModel refused = FromText(";FLAVOR:Marlin\nG1 X1 E1\nT1\n");
    EXPECT_FALSE(refused.IsUsable());
    EXPECT_NE(refused.reason.find("part.gcode: line 3: tool T1"), std::string::npos) << refused.reason;
}

}  // namespace
