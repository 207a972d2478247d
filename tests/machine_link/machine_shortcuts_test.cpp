// The jog coordinate and feedrate, and the package shortcuts on a machine
// control without a printer: what they queue, where, and the feedrates of
// the lines they make.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "JogMove.h"
#include "MachineControlFixture.h"
#include "MachinePackageShortcuts.h"
#include "MachinePackages.h"

using zelk::AxisLimits;
using zelk::ChooseJogMove;

namespace {

constexpr double kSpm = 71.699959;

std::int32_t Field32(const Package& p, int offset)
{
    std::int32_t v = 0;
    std::memcpy(&v, p.Payload() + offset, sizeof v);
    return v;
}

}  // namespace

TEST(JogMove, ValueIsWholeStepsAndFeedTheMotorsSpeedWithinTheLimit)
{
    const zelk::JogMove small = ChooseJogMove(0.1, {kSpm, 5000, 5000});
    EXPECT_DOUBLE_EQ(small.value, 7 / kSpm);  // 7.17 steps: 7
    EXPECT_DOUBLE_EQ(ChooseJogMove(160, {kSpm, 5000, 5000}).value, 11472 / kSpm);
    EXPECT_DOUBLE_EQ(ChooseJogMove(-1, {kSpm, 5000, 5000}).value, -72 / kSpm);

    EXPECT_EQ(small.feed, 5000);
    EXPECT_EQ(ChooseJogMove(1, {kSpm, 400, 1170}).feed, 400);    // the motor's speed
    EXPECT_EQ(ChooseJogMove(1, {kSpm, 6000, 1170}).feed, 1170);  // never above the limit
    EXPECT_EQ(ChooseJogMove(1, {kSpm, 0, 1170}).feed, 1170);     // no speed set: the limit
    EXPECT_EQ(ChooseJogMove(1, {kSpm, 400, 0}).feed, 400);       // no limit known: the speed
    const zelk::JogMove unknown = ChooseJogMove(0.37, {});
    EXPECT_EQ(unknown.feed, zelk::kJogFeedWithoutLimit);
    EXPECT_EQ(unknown.value, 0.37);
}

TEST(JogMove, AxisLimitsComeFromTheMachineModelAndZIsTheSlowest)
{
    ZELKMachine machine;
    const zelk::JogMove x = ChooseJogMove(1, zelk::AxisLimitsOf(machine, 0));
    const zelk::JogMove y = ChooseJogMove(1, zelk::AxisLimitsOf(machine, 1));
    const zelk::JogMove z = ChooseJogMove(1, zelk::AxisLimitsOf(machine, 2));
    EXPECT_EQ(x.feed, 5000);
    EXPECT_EQ(y.feed, 5000);
    EXPECT_EQ(z.feed, 400);
    EXPECT_EQ(ChooseJogMove(1, zelk::AxisLimitsOf(machine, 7)).feed, z.feed);
    // A motor allowed more than the machine's limit point is held to the point.
    machine.GetMachineMotorZ().SetSpeed(3000);
    machine.GetMachineMotorZ().SetMaxFeedrate(3000);
    EXPECT_EQ(ChooseJogMove(1, zelk::AxisLimitsOf(machine, 2)).feed, machine.GetMaxFeedrate().Axis_Z());
}

struct Shortcuts : ::testing::Test {
    linktest::ControlParts parts;
    zelk::MachineShortcuts shortcuts{*parts.control};
};

// The jog lines the panel makes, translated: every step on every axis moves
// by exactly its value and no faster than that axis allows.
TEST_F(Shortcuts, JogLinesMoveByTheirValueWithinTheAxisLimits)
{
    const CPoint5D limits = parts.machine.GetMaxFeedrate();
    const char* const letters = "XYZ";
    for (int axis = 0; axis < 3; ++axis) {
        for (double step : {0.1, 0.5, 1.0, 5.0, 160.0}) {
            double value = 0, feed = 0;
            shortcuts.GetMotorMMtoStepsAndSpeed(step, axis, value, feed);
            char line[64];
            std::snprintf(line, sizeof line, "G1 %c%f F%f", letters[axis], -value, feed);
            ASSERT_GT(shortcuts.GetPack("G92 X0 Y0 Z0 A0 B0").size, 0);
            const Package move = shortcuts.GetPack(line);
            ASSERT_EQ(move.Payload()[0], 155) << line;
            EXPECT_EQ(Field32(move, 1 + 4 * axis), -std::lround(step * kSpm)) << line;
            const double mmPerMin = (move.Payload()[30] | (move.Payload()[31] << 8)) / 64.0 * 60.0;
            EXPECT_GT(mmPerMin, 0) << line;
            EXPECT_LE(mmPerMin, limits.get(axis)) << line;
        }
    }
}

TEST_F(Shortcuts, FeedAndRetractRunTheExtruderWithinItsLimit)
{
    shortcuts.InsertStartExtrude(1, 6.0f, 30);
    shortcuts.InsertStartExtrude(0, 6.0f, 30);
    const std::vector<Package> list = parts.control->GetOperatePackList();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Field32(list[0], 13), 9600);   // retract, inserted last, goes first
    EXPECT_EQ(Field32(list[1], 13), -9600);  // feed: negative A pushes filament out
    const double seconds = Field32(list[1], 21) / 1e6;
    const double mmPerMin = 9600 / parts.machine.GetStepsPerMM().Axis_A() / seconds * 60;
    EXPECT_GT(mmPerMin, 0);
    EXPECT_LE(mmPerMin, parts.machine.GetMaxFeedrate().Axis_A());
}

TEST(ShortcutFunctions, ActOnTheProgramsMachineControl)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    control->RemoveOperatePackList();
    ZELKCAD::InsertPackage(std::string("M17"));
    ZELKCAD::InsertPackage(ZELKCAD::GetMoveStopPack());
    EXPECT_EQ(control->GetOperatePackList(),
              (std::vector<Package>{zelk::HaltSteppersPackage(), zelk::MachineCoordinateQueryPackage(),
                                    zelk::EnableAllAxesPackage()}));
    control->RemoveOperatePackList();
    double value = 0, feed = 0;
    ZELKCAD::GetMotorMMtoStepsAndSpeed(1.0, ZELKCAD::MotorZ, value, feed);
    EXPECT_EQ(feed, 400);
    EXPECT_DOUBLE_EQ(value, 72 / kSpm);
}
