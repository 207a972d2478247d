// The print time and time left: the moves' own times, the printer's buffered
// work, pauses; the temperature targets and the pause query.
#include <gtest/gtest.h>

#include <cmath>

#include "MachinePackages.h"
#include "PrintTimeEstimate.h"
#include "S3GCommands.h"
#include "TranslatorFixture.h"

namespace {

using zelk::MoveSeconds;
using zelk::PrintTimeEstimate;

class MoveTime : public TranslatorTest {};

// A list of `count` moves of `seconds` each (relative points, the duration is a field).
std::vector<Package> Moves(int count, double seconds)
{
    std::vector<Package> list;
    for (int i = 0; i < count; ++i)
        list.push_back(ZELKMachineCodeBuild::GetPackage(
            zelk::s3g::kCmdQueueRelativePoint,
            {{3, 0}, {3, 0}, {3, 0}, {3, -10}, {3, 0}, {3, static_cast<int>(seconds * 1e6)}, {1, 0x18}}));
    return list;
}

}  // namespace

// A move's time is its distance over its feedrate, whatever axes it uses; the
// packages that are not moves take none.
TEST_F(MoveTime, TranslatedMovesTakeDistanceOverFeedrate)
{
    MustTranslate("G92 X0 Y0 Z0 A0 B0");
    EXPECT_NEAR(MoveSeconds(MustTranslate("G1 X10 Y0 Z0 F600")), 1.0, 1e-3);        // 10 mm at 10 mm/s
    EXPECT_NEAR(MoveSeconds(MustTranslate("G1 X13 Y4 Z0 F1200")), 0.25, 1e-3);      // 5 mm at 20 mm/s
    EXPECT_NEAR(MoveSeconds(MustTranslate("G1 X13 Y4 Z0 F300 E2")), 2.0 / 5.0, 1e-3);  // filament only
    EXPECT_NEAR(MoveSeconds(zelk::ExtruderMovePackage(1, 5.0f, 30)), 30.0, 1e-6);  // a timed feed
    EXPECT_EQ(MoveSeconds(MustTranslate("M104 S200 T0")), 0.0);
    EXPECT_EQ(MoveSeconds(zelk::IsFinishedPackage()), 0.0);
    EXPECT_EQ(MoveSeconds(Package()), 0.0);
    // A move cut short (fewer bytes than its fields) has no time rather than a misread one.
    Package cut = MustTranslate("G1 X20 Y4 Z0 F600");
    cut.data[1] = 20;
    EXPECT_EQ(MoveSeconds(cut), 0.0);
    // A dwell of another flavour's G-code ("G4 S2") takes its time too.
    const std::vector<Package> dwell = File(";FLAVOR:Marlin\nG4 S2\nG4 P250\n");
    ASSERT_EQ(dwell.size(), 2u);
    EXPECT_NEAR(MoveSeconds(dwell[0]), 2.0, 1e-9);
    EXPECT_NEAR(MoveSeconds(dwell[1]), 0.25, 1e-9);
}

TEST(PrintTimeEstimate, TotalIsTheSumAndTheUnsentShrinkAsPackagesGo)
{
    std::vector<Package> list = Moves(10, 2.0);
    list.insert(list.begin(), zelk::WaitForToolPackage());  // heating: no time of its own
    PrintTimeEstimate estimate;
    estimate.Start(list, 100.0);
    EXPECT_EQ(estimate.PackageCount(), 11u);
    EXPECT_NEAR(estimate.TotalSeconds(), 20.0, 1e-9);
    EXPECT_NEAR(estimate.RemainingSeconds(100.0), 20.0, 1e-9);
    EXPECT_EQ(estimate.SentPercent(), 0.0);

    // Six packages (the wait and five moves) went out between 100 and 101:
    // the printer holds about ten seconds of work, the unsent five ten more.
    estimate.Observe(6, 101.0);
    EXPECT_NEAR(estimate.SentPercent(), 100.0 * 6 / 11, 1e-9);
    EXPECT_NEAR(estimate.RemainingSeconds(101.0), 19.5, 1e-9);  // sent half-way: 10.5 - 1 + 10
    // Four seconds later nothing more went out (the buffer is full): the
    // printer worked off four seconds.
    estimate.Observe(6, 105.0);
    EXPECT_NEAR(estimate.RemainingSeconds(105.0), 15.5, 1e-9);
    // The rest went out: queued behind what the printer still had.
    estimate.Observe(11, 106.0);
    EXPECT_NEAR(estimate.RemainingSeconds(106.0), 4.5 + 10.0, 1e-9);  // queued behind the first five
    EXPECT_EQ(estimate.RemainingSeconds(200.0), 0.0);
    EXPECT_NEAR(estimate.ElapsedSeconds(200.0), 100.0, 1e-9);
    EXPECT_EQ(estimate.SentPercent(), 100.0);
    // A count beyond the list is the whole list.
    estimate.Observe(50, 201.0);
    EXPECT_EQ(estimate.SentCount(), 11u);
}

// A printer that was idle when packages went out starts them when they arrive,
// not at some earlier time: its buffered work never ends before it began.
TEST(PrintTimeEstimate, IdlePrinterStartsSentWorkWhenItArrives)
{
    PrintTimeEstimate estimate;
    estimate.Start(Moves(4, 10.0), 0.0);
    estimate.Observe(0, 50.0);  // 50 s of heating: nothing sent, nothing done
    EXPECT_NEAR(estimate.RemainingSeconds(50.0), 40.0, 1e-9);
    estimate.Observe(2, 51.0);
    EXPECT_NEAR(estimate.RemainingSeconds(51.0), 40.0 - 0.5, 1e-9);
}

TEST(PrintTimeEstimate, PausedClockAndEstimateStandStill)
{
    PrintTimeEstimate estimate;
    estimate.Start(Moves(3, 10.0), 0.0);
    estimate.Observe(3, 0.0);
    EXPECT_NEAR(estimate.RemainingSeconds(5.0), 25.0, 1e-9);
    estimate.Pause(5.0);
    EXPECT_TRUE(estimate.IsPaused());
    EXPECT_NEAR(estimate.RemainingSeconds(65.0), 25.0, 1e-9);
    EXPECT_NEAR(estimate.ElapsedSeconds(65.0), 5.0, 1e-9);
    estimate.Pause(70.0);  // a second pause changes nothing
    estimate.Resume(105.0);
    EXPECT_FALSE(estimate.IsPaused());
    EXPECT_NEAR(estimate.RemainingSeconds(105.0), 25.0, 1e-9);
    EXPECT_NEAR(estimate.RemainingSeconds(115.0), 15.0, 1e-9);
    EXPECT_NEAR(estimate.ElapsedSeconds(115.0), 15.0, 1e-9);
    estimate.Resume(120.0);  // not paused: nothing
    EXPECT_NEAR(estimate.ElapsedSeconds(120.0), 20.0, 1e-9);
}

TEST(PrintTimeEstimate, NotStartedAndEmptyListsAreZero)
{
    PrintTimeEstimate estimate;
    EXPECT_EQ(estimate.RemainingSeconds(10.0), 0.0);
    EXPECT_EQ(estimate.ElapsedSeconds(10.0), 0.0);
    estimate.Observe(5, 1.0);
    EXPECT_EQ(estimate.SentCount(), 0u);
    estimate.Start({}, 0.0);
    EXPECT_EQ(estimate.SentPercent(), 0.0);
    EXPECT_EQ(estimate.RemainingSeconds(1.0), 0.0);
}

TEST(PrintTimeEstimate, DurationsReadAsClockTimes)
{
    EXPECT_EQ(zelk::FormatDuration(0), "00:00");
    EXPECT_EQ(zelk::FormatDuration(59.6), "01:00");
    EXPECT_EQ(zelk::FormatDuration(3599), "59:59");
    EXPECT_EQ(zelk::FormatDuration(3600), "1:00:00");
    EXPECT_EQ(zelk::FormatDuration(27 * 3600 + 62), "27:01:02");
    EXPECT_EQ(zelk::FormatDuration(-1), "--:--");
    EXPECT_EQ(zelk::FormatDuration(NAN), "--:--");
    EXPECT_EQ(zelk::FormatDuration(INFINITY), "--:--");
}

TEST_F(MoveTime, TemperatureTargetsAreReadFromTheirToolActionsOnly)
{
    zelk::Heater heater = zelk::Heater::Platform;
    int celsius = -1;
    ASSERT_TRUE(zelk::ReadTemperatureTarget(MustTranslate("M104 S215 T0"), heater, celsius));
    EXPECT_EQ(heater, zelk::Heater::Extruder);
    EXPECT_EQ(celsius, 215);
    ASSERT_TRUE(zelk::ReadTemperatureTarget(MustTranslate("M109 S60 T0"), heater, celsius));
    EXPECT_EQ(heater, zelk::Heater::Platform);
    EXPECT_EQ(celsius, 60);
    EXPECT_FALSE(zelk::ReadTemperatureTarget(zelk::ExtruderMotorPackage(), heater, celsius));
    EXPECT_FALSE(zelk::ReadTemperatureTarget(MustTranslate("G1 X1 Y1 Z1 F600"), heater, celsius));
    EXPECT_FALSE(zelk::ReadTemperatureTarget(Package(), heater, celsius));
}

TEST(PausePackage, IsTheBarePauseQuery)
{
    const Package pause = zelk::PausePackage();
    ASSERT_EQ(pause.size, 4);
    EXPECT_EQ(pause.data[0], 0xD5);
    EXPECT_EQ(pause.data[1], 1);
    EXPECT_EQ(pause.data[2], zelk::s3g::kQueryPause);
    EXPECT_EQ(pause.data[3], CPacketBuilder::CaculateCRC_8C(pause.data, 2, 1));
}
