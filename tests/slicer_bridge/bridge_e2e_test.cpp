// The bridge with the real engine: the dialect, progress, models kept in place, each setting's effect, the X3G after.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "BridgeRun.h"
#include "GCodeRewrite.h"
#include "GCodeScan.h"
#include "RunProcess.h"
#include "StlShapes.h"
#include "TempDir.h"

using bridgetest::BridgeRun;
using testsupport::ReadFile;

namespace {

const char* const kStartRelative =
    "skein_engines/skeinforge-50/skeinforge_application/prefs/QUEN/alterations/start.gcode";
const char* const kEndLines = "M103\nM104 S0 T0\nM109 S0 T0\nG162 Z F1000\nG161 X Y F2500\nM18\n";

struct Slice {
    BridgeRun run;
    std::string path;
    std::string gcode;
    testgcode::Scan scan;
};

class SlicerBridgeE2E : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ::unsetenv("MORVADIN_SLICER_ENGINE");
        s_dir = std::make_unique<testsupport::TempDir>();
        using namespace stlshapes;
        WriteBinaryStl(s_dir->File("cube.stl"), Box(-10, -10, 0, 10, 10, 20));
        WriteBinaryStl(s_dir->File("off-centre.stl"), Box(30, -40, 0, 50, -20, 20));
        WriteBinaryStl(s_dir->File("cylinder.stl"), Cylinder(-30, 25, 10, 0, 15, 120));
        WriteBinaryStl(s_dir->File("tee.stl"), TShape(40, 10, 15, 5, 10));
        std::vector<Facet> open = Box(-10, -10, 0, 10, 10, 20);
        open.pop_back();
        WriteBinaryStl(s_dir->File("open.stl"), open);
        s_start = ReadFile(bridgetest::ProgramFolder() + kStartRelative);
    }
    static void TearDownTestSuite()
    {
        s_slices.clear();
        s_dir.reset();
    }

    // Slices once per model and options; later tests reuse the result.
    static const Slice& Sliced(const std::string& model, const std::vector<std::string>& options)
    {
        std::string key = model;
        for (const std::string& o : options)
            key += " " + o;
        auto found = s_slices.find(key);
        if (found != s_slices.end())
            return found->second;
        Slice& slice = s_slices[key];
        slice.path = s_dir->File("run" + std::to_string(s_slices.size()) + ".gcode");
        std::vector<std::string> args = options;
        args.insert(args.end(), {"--output", slice.path, s_dir->File(model)});
        slice.run = bridgetest::RunBridge(args);
        slice.gcode = ReadFile(slice.path);
        const std::string end = kEndLines;
        if (slice.gcode.size() > s_start.size() + end.size()) {
            const bridge::MachineState at = bridge::TrackStartGCode(s_start);
            slice.scan = testgcode::ScanDialect(
                slice.gcode.substr(s_start.size(), slice.gcode.size() - s_start.size() - end.size()), at.x, at.y, at.z,
                at.e);
        }
        return slice;
    }

    static void ExpectWellFormed(const Slice& s)
    {
        ASSERT_EQ(s.run.exitCode, 0) << s.run.Last();
        EXPECT_EQ(s.gcode.substr(0, s_start.size()), s_start);
        EXPECT_EQ(s.gcode.substr(s.gcode.size() - std::string(kEndLines).size()), kEndLines);
        EXPECT_TRUE(s.scan.problems.empty()) << s.scan.problems.front();
        EXPECT_GT(s.scan.layerHeights.size(), 10u);
        EXPECT_EQ(s.run.Last(), "The exported file is saved as " + s.path);
    }

    static std::unique_ptr<testsupport::TempDir> s_dir;
    static std::string s_start;
    static std::map<std::string, Slice> s_slices;
};

std::unique_ptr<testsupport::TempDir> SlicerBridgeE2E::s_dir;
std::string SlicerBridgeE2E::s_start;
std::map<std::string, Slice> SlicerBridgeE2E::s_slices;

// "Inset layer count 0 of T", rising "Inset layer count n", "Fill layer count
// k of T2" for k = 1..T2, "Raft layer count r" for r = 1..raft, the saved
// line; nothing else may use their first words.
void ExpectProgressSequence(const BridgeRun& run, int total, std::size_t layers, std::size_t raft)
{
    std::size_t i = 0;
    while (i < run.lines.size() && run.lines[i].rfind("Model repair:", 0) == 0)
        ++i;
    ASSERT_LT(i, run.lines.size());
    EXPECT_EQ(run.lines[i++], "Inset layer count 0 of " + std::to_string(total));
    int shown = 0;
    for (; i < run.lines.size() && run.lines[i].rfind("Inset layer count ", 0) == 0; ++i) {
        int n = 0;
        char rest = 0;
        ASSERT_EQ(std::sscanf(run.lines[i].c_str(), "Inset layer count %d%c", &n, &rest), 1) << run.lines[i];
        EXPECT_GT(n, shown);
        EXPECT_LE(n, total);
        shown = n;
    }
    EXPECT_GE(shown, 1);
    for (std::size_t k = 1; k <= layers; ++k, ++i)
        ASSERT_EQ(run.lines.at(i), "Fill layer count " + std::to_string(k) + " of " + std::to_string(layers));
    for (std::size_t r = 1; r <= raft; ++r, ++i)
        ASSERT_EQ(run.lines.at(i), "Raft layer count " + std::to_string(r));
    ASSERT_EQ(i + 1, run.lines.size()) << run.lines.at(i);
    EXPECT_EQ(run.lines[i].rfind("The exported file is saved as ", 0), 0u);
}

TEST_F(SlicerBridgeE2E, ACubeBecomesTheDialectWithItsProgressInOrderAndConvertsToX3g)
{
    const Slice& s = Sliced("cube.stl", {});
    ExpectWellFormed(s);
    ExpectProgressSequence(s.run, 102, s.scan.layerHeights.size(), 2);
    EXPECT_NEAR(s.scan.CentreX(), 0, 1.0);
    EXPECT_NEAR(s.scan.CentreY(), 0, 1.0);
    std::set<std::string> expected = {"cube.stl", "off-centre.stl", "cylinder.stl", "tee.stl", "open.stl"};
    for (const auto& [key, slice] : s_slices)
        expected.insert(std::filesystem::path(slice.path).filename().string());
    EXPECT_TRUE(bridgetest::Unexpected(s_dir->Path(), expected).empty());

    const std::string x3g = s_dir->File("cube.x3g");
    const auto converted = testsupport::RunProcess({bridgetest::ProgramFolder() + "gcode2x3g", s.path, x3g});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const auto dump = testsupport::RunProcess({"s3gdump", x3g});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    for (const char* bad : {"rror", "nknown", "nvalid"}) {
        EXPECT_EQ(dump.out.find(bad), std::string::npos) << bad;
        EXPECT_EQ(dump.err.find(bad), std::string::npos) << dump.err;
    }
    // Every G1 line became one decoded move, and the file was decoded to its end.
    std::size_t g1Lines = 0, decodedMoves = 0;
    for (std::size_t at = s.gcode.find("G1 "); at != std::string::npos; at = s.gcode.find("\nG1 ", at + 1))
        ++g1Lines;
    for (std::size_t at = dump.out.find("(155) Move"); at != std::string::npos;
         at = dump.out.find("(155) Move", at + 1))
        ++decodedMoves;
    EXPECT_EQ(decodedMoves, g1Lines);
    EXPECT_NE(dump.out.find("Set build percentage 100%"), std::string::npos);
    std::remove(x3g.c_str());
}

TEST_F(SlicerBridgeE2E, ModelsPrintWhereTheyStandOnThePlatform)
{
    struct Case {
        const char* model;
        double centreX, centreY;
    };
    for (const Case& c : {Case{"off-centre.stl", 40, -30}, Case{"cylinder.stl", -30, 25}, Case{"tee.stl", 0, 0}}) {
        const Slice& s = Sliced(c.model, {"--raft", "0"});
        ExpectWellFormed(s);
        EXPECT_NEAR(s.scan.CentreX(), c.centreX, 1.0) << c.model;
        EXPECT_NEAR(s.scan.CentreY(), c.centreY, 1.0) << c.model;
    }
}

TEST_F(SlicerBridgeE2E, AnOpenModelIsClosedAndSlicedWhole)
{
    const Slice& open = Sliced("open.stl", {});
    const Slice& closed = Sliced("cube.stl", {});
    ExpectWellFormed(open);
    EXPECT_TRUE(open.run.Printed("Model repair: closed 1 hole in " + s_dir->File("open.stl") + " before slicing"));
    EXPECT_EQ(open.scan.layerHeights.size(), closed.scan.layerHeights.size());
    EXPECT_NEAR(open.scan.extrusion, closed.scan.extrusion, closed.scan.extrusion * 0.01);
    EXPECT_NEAR(open.scan.CentreX(), 0, 1.0);
}

double MaxExtrudingFeed(const testgcode::Scan& scan)
{
    return scan.feedCountAboveFirstLayer.empty() ? 0 : scan.feedCountAboveFirstLayer.rbegin()->first;
}

TEST_F(SlicerBridgeE2E, EverySettingChangesTheOutputAsItShould)
{
    const std::vector<std::string> base = {"--layer-height", "0.3", "--infill", "0", "--shells", "0",
                                           "--speed",        "30",  "--raft",   "0"};
    auto with = [&base](std::vector<std::string> changes) {
        std::vector<std::string> args = base;
        args.insert(args.end(), changes.begin(), changes.end());  // later options win
        return args;
    };
    const Slice& plain = Sliced("cube.stl", base);
    const Slice& dense = Sliced("cube.stl", with({"--infill", "0.9", "--speed", "80"}));
    const Slice& thick = Sliced("cube.stl", with({"--shells", "2", "--layer-height", "0.15"}));
    const Slice& raft = Sliced("cube.stl", with({"--raft", "1"}));
    for (const Slice* s : {&plain, &dense, &thick, &raft})
        ExpectWellFormed(*s);

    // Layer height: the layer count and the step between layers.
    EXPECT_EQ(plain.scan.layerHeights.size(), 67u);   // 0.3 mm, then 0.3 mm steps to 20 mm
    EXPECT_EQ(thick.scan.layerHeights.size(), 133u);  // 0.2 mm, then 0.15 mm steps
    EXPECT_NEAR(plain.scan.layerHeights[10] - plain.scan.layerHeights[9], 0.3, 1e-3);
    EXPECT_NEAR(thick.scan.layerHeights[10] - thick.scan.layerHeights[9], 0.15, 1e-3);
    ExpectProgressSequence(plain.run, 67, 67, 0);
    ExpectProgressSequence(thick.run, 133, 133, 0);
    // Infill: much more filament inside the walls.
    EXPECT_GT(dense.scan.ExtrusionBetween(5, 15), 3 * plain.scan.ExtrusionBetween(5, 15));
    // Shells: three perimeters instead of one, per millimetre of height.
    EXPECT_GT(thick.scan.ExtrusionBetween(5, 15), 2 * plain.scan.ExtrusionBetween(5, 15));
    // Speed: the fastest extruding moves print at the speed given.
    EXPECT_DOUBLE_EQ(MaxExtrudingFeed(plain.scan), 30 * 60);
    EXPECT_DOUBLE_EQ(MaxExtrudingFeed(dense.scan), 80 * 60);
    // Raft: two more layers, under a model lifted by them.
    ExpectProgressSequence(raft.run, 69, raft.scan.layerHeights.size(), 2);
    EXPECT_GE(raft.scan.layerHeights.size(), plain.scan.layerHeights.size() + 2);
    EXPECT_GT(raft.scan.layerHeights.back(), plain.scan.layerHeights.back() + 0.3);
}

// Filament laid below the T's bar and outside its stem, above the first layer.
double ExtrusionUnderTheWings(const testgcode::Scan& scan)
{
    double sum = 0;
    for (const testgcode::Segment& s : scan.segments)
        if (s.z > 1 && s.z < 14 && std::fabs(s.x0) > 8 && std::fabs(s.x1) > 8)
            sum += s.e;
    return sum;
}

TEST_F(SlicerBridgeE2E, SupportGrowsUnderAnOverhangOnlyWhenAskedFor)
{
    const Slice& none = Sliced("tee.stl", {"--raft", "0"});
    const Slice& everywhere = Sliced("tee.stl", {"--raft", "0", "--support", "2"});
    ExpectWellFormed(none);
    ExpectWellFormed(everywhere);
    EXPECT_EQ(ExtrusionUnderTheWings(none.scan), 0.0);
    EXPECT_GT(ExtrusionUnderTheWings(everywhere.scan), 10);
}

}  // namespace
