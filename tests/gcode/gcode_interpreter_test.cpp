// The interpreter's modal state: relative and absolute moves and filament, resets, units, arcs, homing, heaters.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "GCodeInterpreter.h"

using zelk::gcode::Action;
using zelk::gcode::ActionKind;
using zelk::gcode::GCodeFlavor;
using zelk::gcode::GCodeInterpreter;
using zelk::gcode::MachineSetup;

namespace {

struct Reading {
    std::unique_ptr<std::string> text;  // what the actions' messages point into, wherever the reading goes
    std::vector<Action> actions;
    std::string error;
    std::size_t refusedAt = 0;  // the line that refused the text, from 1
    zelk::gcode::CommandCensus leftOut;

    std::vector<Action> Moves() const
    {
        std::vector<Action> moves;
        for (const Action& a : actions)
            if (a.kind == ActionKind::kMove)
                moves.push_back(a);
        return moves;
    }
};

Reading Interpret(const std::string& text, GCodeFlavor flavor = GCodeFlavor::kRepRap, MachineSetup setup = {})
{
    Reading run;
    run.text = std::make_unique<std::string>(text);
    GCodeInterpreter interpreter(flavor, setup);
    std::size_t begin = 0, number = 0;
    while (begin < text.size()) {
        const std::size_t end = std::min(text.find('\n', begin), text.size());  // the same offsets in the copy
        ++number;
        if (!interpreter.Feed(std::string_view(*run.text).substr(begin, end - begin), run.actions, run.error)) {
            run.refusedAt = number;
            break;
        }
        begin = end + 1;
    }
    run.leftOut = interpreter.LeftOut();
    return run;
}

void ExpectAt(const Action& a, double x, double y, double z, double e, const char* what)
{
    EXPECT_NEAR(a.x, x, 1e-9) << what;
    EXPECT_NEAR(a.y, y, 1e-9) << what;
    EXPECT_NEAR(a.z, z, 1e-9) << what;
    EXPECT_NEAR(a.e, e, 1e-9) << what;
}

TEST(GCodeInterpreterModes, RelativeAndAbsolutePositionsAndFilament)
{
    const Reading run = Interpret(
        "G90\nM83\n"
        "G1 X10 Y10 Z0.2 F1200\n"
        "G1 X20 E1.5\n"         // relative filament: 1.5
        "G1 Y20 E2\n"           // 3.5
        "G92 E0\n"              // the count starts again: the printer is told 0
        "G1 X10 E0.5\n"         // 0.5
        "G91\n"
        "G1 X-5 Y-5 Z1 E0.25\n" // relative all: (5, 15, 1.2), 0.75
        "G90\nM82\n"
        "G1 X0 Y0 E10\n"        // absolute filament: 10
        "G0 Z5\n");             // G0 moves as G1, at the feedrate in force
    const std::vector<Action> m = run.Moves();
    ASSERT_EQ(m.size(), 7u) << run.error;
    ExpectAt(m[0], 10, 10, 0.2, 0, "first move");
    ExpectAt(m[1], 20, 10, 0.2, 1.5, "relative E");
    ExpectAt(m[2], 20, 20, 0.2, 3.5, "relative E again");
    ExpectAt(m[3], 10, 20, 0.2, 0.5, "after G92 E0");
    ExpectAt(m[4], 5, 15, 1.2, 0.75, "G91 block");
    ExpectAt(m[5], 0, 0, 1.2, 10, "M82");
    ExpectAt(m[6], 0, 0, 5, 10, "G0");
    for (const Action& a : m)
        EXPECT_EQ(a.feedMmPerMin, 1200);
    EXPECT_TRUE(run.leftOut.Empty()) << run.leftOut.Summary();
}

TEST(GCodeInterpreterModes, PositionResetsAndInches)
{
    const Reading run = Interpret("G1 X10 Y10 Z1 E5 F600\nG92\nG1 X1\nG92 X50 Z3\nG1 Y2\nG20\nG1 X1 Y1 E0.1 F10\n");
    ASSERT_EQ(run.error, "");
    std::vector<Action> resets;
    for (const Action& a : run.actions)
        if (a.kind == ActionKind::kSetPosition)
            resets.push_back(a);
    ASSERT_EQ(resets.size(), 2u);
    ExpectAt(resets[0], 0, 0, 0, 0, "G92 without axes zeroes them all");
    ExpectAt(resets[1], 50, 0, 3, 0, "G92 X Z keeps Y and E");
    const std::vector<Action> m = run.Moves();
    ASSERT_EQ(m.size(), 4u);
    ExpectAt(m[1], 1, 0, 0, 0, "after the zeroing");
    ExpectAt(m[2], 50, 2, 3, 0, "after the partial reset");
    ExpectAt(m[3], 25.4, 25.4, 3, 2.54, "inches");
    EXPECT_DOUBLE_EQ(m[3].feedMmPerMin, 254);
}

// Every piece of an arc ends on the circle, the pieces stray no more than
// the tolerance from it, and the arc ends where the line says.
void ExpectArc(const std::string& text, double cx, double cy, double r, double endX, double endY, double sweepRad,
               const char* what)
{
    MachineSetup setup;
    const Reading run = Interpret("G1 X10 Y0 Z0.2 E0 F600\n" + text, GCodeFlavor::kRepRap, setup);
    ASSERT_EQ(run.error, "") << what;
    const std::vector<Action> m = run.Moves();
    ASSERT_GT(m.size(), 2u) << what;
    double px = 10, py = 0, swept = 0;
    for (std::size_t k = 1; k < m.size(); ++k) {
        EXPECT_NEAR(std::hypot(m[k].x - cx, m[k].y - cy), r, 1e-6) << what << " piece " << k;
        const double chord = std::hypot(m[k].x - px, m[k].y - py);
        const double sagitta = r - std::sqrt(std::max(0.0, r * r - chord * chord / 4));
        EXPECT_LE(sagitta, setup.arcToleranceMm + 1e-9) << what << " piece " << k;
        swept += 2 * std::asin(std::min(1.0, chord / (2 * r)));
        px = m[k].x;
        py = m[k].y;
    }
    EXPECT_NEAR(m.back().x, endX, 1e-9) << what;
    EXPECT_NEAR(m.back().y, endY, 1e-9) << what;
    EXPECT_NEAR(swept, sweepRad, 1e-3) << what;
    // Filament and height grow evenly along the arc.
    EXPECT_NEAR(m.back().e, 2.0, 1e-9) << what;
    EXPECT_NEAR(m[m.size() / 2].e / 2.0, static_cast<double>(m.size() / 2 - 1 + 1) / (m.size() - 1), 0.05) << what;
}

TEST(GCodeInterpreterArcs, CutWithinTheToleranceEachWay)
{
    const double pi = std::acos(-1.0);
    ExpectArc("G3 X0 Y10 I-10 J0 E2\n", 0, 0, 10, 0, 10, pi / 2, "counter-clockwise quarter, I J");
    ExpectArc("G2 X0 Y10 I-10 J0 E2\n", 0, 0, 10, 0, 10, 3 * pi / 2, "clockwise three quarters, I J");
    ExpectArc("G3 X0 Y10 R10 E2\n", 0, 0, 10, 0, 10, pi / 2, "counter-clockwise, short R");
    ExpectArc("G3 X0 Y10 R-10 E2\n", 10, 10, 10, 0, 10, 3 * pi / 2, "counter-clockwise, long R");
    ExpectArc("G2 X0 Y10 R10 E2\n", 10, 10, 10, 0, 10, pi / 2, "clockwise, short R");
    ExpectArc("G3 X10 Y0 I-10 J0 E2\n", 0, 0, 10, 10, 0, 2 * pi, "a whole circle");
    EXPECT_EQ(Interpret("G1 X0 Y0\nG2 X10 Y0 R2\n").refusedAt, 2u);
    EXPECT_EQ(Interpret("G1 X0 Y0\nG2 X10 Y0\n").refusedAt, 2u);
    // An arc of a radius no printer has is refused before it is cut.
    const Reading huge = Interpret("G1 X10 Y0 F600\nG2 X0 Y10 I-" + std::string(40, '3') + "\n");
    EXPECT_EQ(huge.refusedAt, 2u);
    EXPECT_NE(huge.error.find("an arc larger than any printer"), std::string::npos) << huge.error;
}

TEST(GCodeInterpreterHoming, G28IsThisPrintersHoming)
{
    MachineSetup setup;
    setup.homeZ = 137.4;
    const Reading run = Interpret("G1 X5 Y5 Z5 E1 F600\nG28\nG1 X1\nG28 X\n", GCodeFlavor::kRepRap, setup);
    ASSERT_EQ(run.error, "");
    std::vector<ActionKind> kinds;
    for (const Action& a : run.actions)
        kinds.push_back(a.kind);
    const std::vector<ActionKind> expected = {ActionKind::kMove, ActionKind::kHome, ActionKind::kHome,
                                              ActionKind::kSetPosition, ActionKind::kMove, ActionKind::kHome,
                                              ActionKind::kSetPosition};
    ASSERT_EQ(kinds, expected);
    EXPECT_EQ(run.actions[1].axes, zelk::gcode::kAxisZ);  // Z first, up
    EXPECT_EQ(run.actions[1].feedMmPerMin, setup.homeFeedZMmPerMin);
    EXPECT_EQ(run.actions[2].axes, zelk::gcode::kAxisX | zelk::gcode::kAxisY);
    ExpectAt(run.actions[3], -75, -75, 137.4, 1, "after homing all: the filament stays");
    EXPECT_EQ(run.actions[5].axes, zelk::gcode::kAxisX);
    ExpectAt(run.actions[6], -75, -75, 137.4, 1, "after homing X alone");
}

TEST(GCodeInterpreterHeaters, EachFlavoursMeaning)
{
    const std::string text = "M104 S200\nM109 S210\nM140 S60\nM190 S65\nM6 T0\nM133 T0\n";
    const auto kinds = [](const Reading& run) {
        std::vector<std::pair<ActionKind, int>> k;
        for (const Action& a : run.actions)
            k.emplace_back(a.kind, a.value);
        return k;
    };
    const Reading reprap = Interpret(text, GCodeFlavor::kRepRap);
    EXPECT_EQ(kinds(reprap), (std::vector<std::pair<ActionKind, int>>{
                                 {ActionKind::kExtruderTemp, 200}, {ActionKind::kExtruderTemp, 210},
                                 {ActionKind::kWaitExtruder, 0}, {ActionKind::kPlatformTemp, 60},
                                 {ActionKind::kPlatformTemp, 65}, {ActionKind::kWaitPlatform, 0}}));
    EXPECT_EQ(reprap.leftOut.Summary(), "M6 \u00d71, M133 \u00d71");
    const Reading makerbot = Interpret(text, GCodeFlavor::kMakerbot);
    EXPECT_EQ(kinds(makerbot), (std::vector<std::pair<ActionKind, int>>{
                                   {ActionKind::kExtruderTemp, 200}, {ActionKind::kPlatformTemp, 210},
                                   {ActionKind::kPlatformTemp, 60}, {ActionKind::kPlatformTemp, 65},
                                   {ActionKind::kWaitPlatform, 0}, {ActionKind::kWaitExtruder, 0},
                                   {ActionKind::kWaitExtruder, 0}}));
    EXPECT_TRUE(makerbot.leftOut.Empty());
    EXPECT_EQ(Interpret("M104 S999\n").refusedAt, 1u);
}

TEST(GCodeInterpreterRefusals, OneExtruderTheBuildVolumeAndTheirLines)
{
    EXPECT_EQ(Interpret("T0\nG1 X1\nT1\n").refusedAt, 3u);
    const Reading tool = Interpret("M104 S200 T1\n");
    EXPECT_EQ(tool.refusedAt, 1u);
    EXPECT_NE(tool.error.find("one extruder"), std::string::npos) << tool.error;

    MachineSetup setup;
    setup.checkVolume = true;
    setup.maxZ = 120;
    EXPECT_EQ(Interpret("G1 X75.005 Y-75 Z120\nG1 X0 Y0 Z0\n", GCodeFlavor::kRepRap, setup).refusedAt, 0u);
    const Reading corner = Interpret("G1 X10 Y10 Z0.3\nG1 X110 Y10\n", GCodeFlavor::kRepRap, setup);
    EXPECT_EQ(corner.refusedAt, 2u);
    EXPECT_NE(corner.error.find("X 110 mm leaves the build volume (X from -75 to 75 mm)"), std::string::npos)
        << corner.error;
    EXPECT_EQ(Interpret("G1 Z121\n", GCodeFlavor::kRepRap, setup).refusedAt, 1u);
    EXPECT_EQ(Interpret("G1 Z-1\n", GCodeFlavor::kRepRap, setup).refusedAt, 1u);
    // An arc that bulges out of the volume is refused though both ends are in.
    EXPECT_EQ(Interpret("G1 X60 Y0\nG3 X60 Y1 I10 J0.5\n", GCodeFlavor::kRepRap, setup).refusedAt, 2u);
}

TEST(GCodeInterpreterLeftOut, CountedByNameAndWhetherTheyChangeMotion)
{
    const Reading run = Interpret("M201 X1000\nM201 Y1000\nM900 K0\nG29\nM221 S90\nX10 Y10\nG1 X1\nM107\n");
    EXPECT_EQ(run.leftOut.Summary(), "M201 \u00d72, M900 \u00d71, G29 \u00d71, M221 \u00d71, words without a command \u00d71");
    EXPECT_TRUE(run.leftOut.ChangesMotion());
    EXPECT_EQ(run.leftOut.MotionSummary(), "M221 \u00d71, words without a command \u00d71");
    EXPECT_EQ(run.Moves().size(), 1u);

    // Arguments that are no numbers, of commands left out anyway, refuse nothing.
    const Reading files = Interpret("M23 print.gco\nM862.3 P \"MK3S\"\nG1 X1.2.3\n");
    EXPECT_EQ(files.refusedAt, 3u);
    EXPECT_EQ(files.leftOut.Summary(), "M23 \u00d71, M862.3 \u00d71");
}

TEST(GCodeInterpreterOthers, FansPercentMessagesMotorsAndDwells)
{
    const Reading run = Interpret("M106 S255\nM106 S0\nM107\nM126\nM127\nM73 P42\nM73 R10\nM117 Hello\nM84\nM18\nM17\n"
                              "G4 P250\nG4 S2\nG4 P0\n");
    std::vector<std::pair<ActionKind, int>> k;
    for (const Action& a : run.actions)
        k.emplace_back(a.kind, a.value);
    EXPECT_EQ(k, (std::vector<std::pair<ActionKind, int>>{
                     {ActionKind::kFan, 1}, {ActionKind::kFan, 0}, {ActionKind::kFan, 0}, {ActionKind::kFan, 1},
                     {ActionKind::kFan, 0}, {ActionKind::kPercent, 42}, {ActionKind::kMessage, 0},
                     {ActionKind::kMotorsOff, 0}, {ActionKind::kMotorsOff, 0}, {ActionKind::kMotorsOn, 0},
                     {ActionKind::kDwell, 250}, {ActionKind::kDwell, 2000}}));
    EXPECT_EQ(run.actions[6].text, "Hello");
}

}  // namespace
