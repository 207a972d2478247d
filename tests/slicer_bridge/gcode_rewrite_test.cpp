// The rewrite of engine G-code into the printer's dialect: line by line, the invariants over a long print, refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "EngineGCode.h"
#include "GCodeRewrite.h"
#include "GCodeScan.h"

using bridge::GCodeRewriter;
using bridge::RewriteStatus;

namespace {

// A start G-code that ends at X1 Y2 Z5, F1000, E0.
const std::string kStart =
    "M104 S220 T0\nM109 S100 T0\nG92 X-75 Y-75 Z140.0 A0 B0\nG1 X1 F3000\nG1 Y2\nG1 Z5.0 F1000\n";

struct Result {
    RewriteStatus status = RewriteStatus::kOk;
    std::string output;  // without the start G-code and the end sequence
    std::string all;
    std::string error;
    std::size_t layers = 0;
    std::size_t raftLayers = 0;
    std::vector<std::size_t> observed;
};

Result Rewrite(const std::string& engine, const std::string& start = kStart)
{
    Result r;
    GCodeRewriter rewriter([&r](std::string_view chunk) {
        r.all.append(chunk);
        return true;
    });
    rewriter.SetLayerObserver([&r](std::size_t layer) { r.observed.push_back(layer); });
    r.status = rewriter.WriteStart(start);
    if (r.status == RewriteStatus::kOk)
        r.status = rewriter.Rewrite(engine);
    if (r.status == RewriteStatus::kOk)
        r.status = rewriter.Finish();
    r.error = rewriter.Error();
    r.layers = rewriter.Layers();
    r.raftLayers = rewriter.RaftLayers();
    if (r.status == RewriteStatus::kOk) {
        EXPECT_EQ(r.all.substr(0, start.size()), start);
        EXPECT_EQ(r.all.substr(r.all.size() - bridge::kEndSequence.size()), bridge::kEndSequence);
        r.output = r.all.substr(start.size(), r.all.size() - start.size() - bridge::kEndSequence.size());
    }
    return r;
}

TEST(GCodeRewrite, EachEngineLineBecomesTheDialectsLine)
{
    struct Case {
        const char* engine;
        const char* expected;
    };
    const Case cases[] = {
        // The first move names only Z: X and Y come from the end of the start G-code.
        {"G1 Z.2 F900", "G1 X1.000 Y2.000 Z0.200 F900 E0.00000\n"},
        {"G1 X10.5 Y-.25", "G1 X10.500 Y-0.250 Z5.000 F1000 E0.00000\n"},
        {"G0 X3 Y4 Z0.3 F4800", "G1 X3.000 Y4.000 Z0.300 F4800 E0.00000\n"},
        // A feedrate alone gives no line; the next move carries it.
        {"G1 F1800\nG1 X3 E0.5", "G1 X3.000 Y2.000 Z5.000 F1800 E0.50000\n"},
        {"G1 X3 F1234.5678", "G1 X3.000 Y2.000 Z5.000 F1234.568 E0.00000\n"},
        // Moves that change nothing, also after rounding, give no line.
        {"G1 X1 Y2 Z5\nG1 X1.0004 F500\nG1 E0.000001", ""},
        // A retraction is a full line at the current position.
        {"G1 E-1 F1500", "G1 X1.000 Y2.000 Z5.000 F1500 E-1.00000\n"},
        {"G92 E0\nG92 E2.5\nG92 E-0.125", "G92 E0\nG92 E2.5\nG92 E-0.125\n"},
        // Comments, temperatures and what the dialect has no use for.
        {"; generated\n;TYPE:Perimeter\n;LAYER_CHANGE\nM107\nM106 S255\nM104 S200\nM109 S200 ; wait\nM140 S60\n"
         "M190 S60\nM82\nG21 ; mm\nG90\nG28\nM73 P10 R3\nM204 S500\nM201 X1000\nG4 P100\nT0\nM84\n\n   \n",
         ""},
        {"G1 X7 Y8 ; travel to the next island", "G1 X7.000 Y8.000 Z5.000 F1000 E0.00000\n"},
        {"g1 x7 y8 e+1", "G1 X7.000 Y8.000 Z5.000 F1000 E1.00000\n"},
        {"G1 X-0.0004 Y-0.0006", "G1 X0.000 Y-0.001 Z5.000 F1000 E0.00000\n"},
        {"G1 X1\r\nG1 X2\r\n", "G1 X2.000 Y2.000 Z5.000 F1000 E0.00000\n"},
    };
    for (const Case& c : cases) {
        const Result r = Rewrite(c.engine);
        ASSERT_EQ(r.status, RewriteStatus::kOk) << c.engine << ": " << r.error;
        EXPECT_EQ(r.output, c.expected) << c.engine;
    }
}

TEST(GCodeRewrite, RelativeExtrusionBecomesAbsolute)
{
    const Result r = Rewrite("M83\nG1 X2 E1\nG1 X3 E0.5\nG1 E-0.8 F1500\nG92 E0\nG1 X4 E0.25 F1200\nM82\nG1 X5 E3\n");
    ASSERT_EQ(r.status, RewriteStatus::kOk) << r.error;
    EXPECT_EQ(r.output,
              "G1 X2.000 Y2.000 Z5.000 F1000 E1.00000\n"
              "G1 X3.000 Y2.000 Z5.000 F1000 E1.50000\n"
              "G1 X3.000 Y2.000 Z5.000 F1500 E0.70000\n"
              "G92 E0\n"
              "G1 X4.000 Y2.000 Z5.000 F1200 E0.25000\n"
              "G1 X5.000 Y2.000 Z5.000 F1200 E3.00000\n");
}

TEST(GCodeRewrite, RefusesWhatTheTranslatorWouldMisread)
{
    struct Case {
        const char* engine;
        const char* named;  // in the reason
    };
    const Case cases[] = {
        {"G1 X1\nG91\nG1 X1", "G91"},       {"G2 X1 Y1 I1 J0", "G2"},    {"G3 X1 Y1 I1 J0", "G3"},
        {"G92 X0 Y0", "G92 X0 Y0"},         {"G92", "G92"},              {"G92 E0 Z1", "G92 E0 Z1"},
        {"G20", "G20"},                     {"G10", "G10"},              {"G1 X1e40", "X1e40"},
        {"G1 Xabc", "Xabc"},                {"G1 X1 Y", "G1 X1 Y"},      {"G1.5 X1", "G1.5"},
    };
    for (const Case& c : cases) {
        const Result r = Rewrite(c.engine);
        EXPECT_EQ(r.status, RewriteStatus::kRefused) << c.engine;
        EXPECT_NE(r.error.find(c.named), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("line "), std::string::npos) << r.error;
    }
}

TEST(GCodeRewrite, TheStartGCodesPositionIsTracked)
{
    struct Case {
        const char* start;
        bridge::MachineState expected;
    };
    const Case cases[] = {
        {"M104 S1 T0\nM109 S1 T0\nG92 X-75 Y-75 Z140.0 A0 B0\nG1 X-70 F3000\nG1 Y-70 F3000\nG1 Z5.0 F1000\nM101\n"
         "G92 E0\nG4 P15000\n",
         {-70, -70, 5, 1000, 0}},
        {"G92 X1 Y2 Z3 A4 B0\n", {1, 2, 3, 0, 4}},
        {"G1 X5 Y6 Z7 F800 E2.5 ; comment\nG92 E1\n", {5, 6, 7, 800, 1}},
        {"G161 X Y F2500\nG162 Z F1000\nG1 Z9\n", {0, 0, 9, 0, 0}},
    };
    for (const Case& c : cases) {
        const bridge::MachineState s = bridge::TrackStartGCode(c.start);
        EXPECT_DOUBLE_EQ(s.x, c.expected.x) << c.start;
        EXPECT_DOUBLE_EQ(s.y, c.expected.y) << c.start;
        EXPECT_DOUBLE_EQ(s.z, c.expected.z) << c.start;
        EXPECT_DOUBLE_EQ(s.feedMmPerMin, c.expected.feedMmPerMin) << c.start;
        EXPECT_DOUBLE_EQ(s.e, c.expected.e) << c.start;
    }
}

TEST(GCodeRewrite, TheStartGCodeMustCarryBothTemperatures)
{
    struct Case {
        const char* text;
        bool usable;
    };
    const Case cases[] = {
        {"M104 S220 T0\nM109 S100 T0\nG21\n", true},
        {"\n  \nM104 S220 T0\r\n\nM109 S100 T0\r\n", true},
        {"", false},
        {"M104 S220 T0\n", false},
        {"G21\nM104 S220 T0\nM109 S100 T0\n", false},
        {"M104 S220 T0\nG21\nM109 S100 T0\n", false},
        {"M109 S100 T0\nM104 S220 T0\n", false},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(bridge::CheckStartGCode(c.text, error), c.usable) << c.text;
        EXPECT_EQ(error.empty(), c.usable) << c.text;
    }
}

TEST(GCodeRewrite, LayersAreNewHeightsOfExtrudingMovesAndRaftLayersPrecedeTheModel)
{
    const std::string engine =
        ";TYPE:Skirt/Brim\nG1 Z.3\nG1 X1 Y1\nG1 X2 Y1 E1\n"
        ";TYPE:Support material\nG1 X3 Y1 E2\n"
        "G1 Z.5\nG1 X1 Y1 E3\n"                         // raft layer 2
        "G1 Z.9 F900\nG1 X5 Y5\nG1 E3.5\n"              // travel and deretraction at a new height: no layer yet
        ";TYPE:Perimeter\nG1 X6 Y5 E4\nG1 X6 Y6 E5\n"  // the model's first layer
        "G1 Z1.2\n;TYPE:Solid infill\nG1 X7 Y6 E6\n"
        "G1 Z1.4\nG1 X8 Y6\nG1 Z1.2\nG1 X9 Y6 E7\n";     // a lift and back down: no layer
    const Result r = Rewrite(engine);
    ASSERT_EQ(r.status, RewriteStatus::kOk) << r.error;
    EXPECT_EQ(r.layers, 4u);
    EXPECT_EQ(r.raftLayers, 2u);
    EXPECT_EQ(r.observed, (std::vector<std::size_t>{1, 2, 3, 4}));

    // Without the engine's type comments nothing is known to be raft.
    const Result plain = Rewrite("G1 Z.3\nG1 X1 Y1 E1\nG1 Z.6\nG1 X2 Y1 E2\n");
    EXPECT_EQ(plain.layers, 2u);
    EXPECT_EQ(plain.raftLayers, 0u);
}

TEST(GCodeRewrite, CountingWithoutOutputAgreesWithWriting)
{
    const std::string engine = testgcode::EngineStyleGCode(3, 40, 60, 2);
    GCodeRewriter counter;
    counter.WriteStart(kStart);
    ASSERT_EQ(counter.Rewrite(engine), RewriteStatus::kOk);
    const Result written = Rewrite(engine);
    ASSERT_EQ(written.status, RewriteStatus::kOk);
    EXPECT_EQ(counter.Layers(), 40u);
    EXPECT_EQ(counter.Layers(), written.layers);
    EXPECT_EQ(counter.RaftLayers(), 2u);
    EXPECT_EQ(counter.RaftLayers(), written.raftLayers);
}

TEST(GCodeRewrite, ALongPrintKeepsEveryInvariant)
{
    const Result r = Rewrite(testgcode::EngineStyleGCode(7, 120, 200));
    ASSERT_EQ(r.status, RewriteStatus::kOk) << r.error;
    const testgcode::Scan scan = testgcode::ScanDialect(r.output, 1, 2, 5, 0);
    EXPECT_TRUE(scan.problems.empty()) << scan.problems.front();
    EXPECT_EQ(scan.layerHeights.size(), 120u);
    EXPECT_GT(scan.moves, 120u * 200u / 2);
}

TEST(GCodeRewrite, AFailingSinkOrACancelStopsTheRewrite)
{
    const std::string engine = testgcode::EngineStyleGCode(1, 60, 200);
    GCodeRewriter failing([](std::string_view) { return false; });
    failing.WriteStart(kStart);
    EXPECT_EQ(failing.Rewrite(engine), RewriteStatus::kWriteFailed);

    int asked = 0;
    GCodeRewriter cancelled([](std::string_view) { return true; });
    cancelled.SetCancelCheck([&asked] { return ++asked == 2; });
    cancelled.WriteStart(kStart);
    EXPECT_EQ(cancelled.Rewrite(engine), RewriteStatus::kCancelled);
    EXPECT_EQ(asked, 2);
}

}  // namespace
