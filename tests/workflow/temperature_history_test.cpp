// The heaters' temperature history: its window and cap, the samples it
// refuses, its vertical range and the heaters' states over time.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TemperatureHistory.h"

using zelk::Heater;
using zelk::HeaterState;
using zelk::SampleVerdict;
using zelk::TemperatureHistory;
using zelk::TemperatureSample;

namespace {

TemperatureSample Sample(double timeS, double extruderC, double extruderTargetC = 0)
{
    TemperatureSample s;
    s.timeS = timeS;
    s.extruderC = extruderC;
    s.extruderTargetC = extruderTargetC;
    return s;
}

TemperatureSample WithPlatform(TemperatureSample s, double platformC, double platformTargetC)
{
    s.platformC = platformC;
    s.platformTargetC = platformTargetC;
    return s;
}

void ExpectIncreasingTimes(const TemperatureHistory& history)
{
    const auto& samples = history.Samples();
    for (std::size_t i = 1; i < samples.size(); ++i)
        ASSERT_LT(samples[i - 1].timeS, samples[i].timeS) << i;
}

// ---------------------------------------------------------------- window and cap

TEST(TemperatureHistory, KeepsOnlyTheWindowBeforeTheLatestSample)
{
    TemperatureHistory history(600.0);
    for (int t = 0; t <= 900; ++t)
        ASSERT_EQ(history.Add(Sample(t, 20 + t * 0.1)), SampleVerdict::Stored);
    // 300 .. 900: the sample exactly one window old stays.
    EXPECT_EQ(history.Size(), 601u);
    EXPECT_DOUBLE_EQ(history.Samples().front().timeS, 300.0);
    EXPECT_DOUBLE_EQ(history.Latest()->timeS, 900.0);
    ExpectIncreasingTimes(history);

    // A gap longer than the window leaves the new sample alone.
    history.Add(Sample(2000, 30));
    EXPECT_EQ(history.Size(), 1u);
    history.Clear();
    EXPECT_TRUE(history.Empty());
    EXPECT_EQ(history.Latest(), nullptr);
    // After a clear any time is accepted again.
    EXPECT_EQ(history.Add(Sample(5, 30)), SampleVerdict::Stored);
}

TEST(TemperatureHistory, AFastFeedStaysUnderTheCapAndStillCoversTheWindow)
{
    TemperatureHistory history(600.0, 1000);
    std::size_t largest = 0;
    // 100 samples a second for 15 minutes.
    for (int i = 0; i <= 90000; ++i) {
        history.Add(Sample(i * 0.01, 200 + (i % 7)));
        largest = std::max(largest, history.Size());
    }
    EXPECT_LE(largest, 1000u);
    EXPECT_GT(history.Size(), 500u);
    ExpectIncreasingTimes(history);
    // The window is still covered (at a coarser step in its older part)...
    EXPECT_LE(history.Samples().front().timeS, 900.0 - 590.0);
    EXPECT_GE(history.Samples().front().timeS, 900.0 - 600.0);
    // ...evenly: no gap beyond a few times window / cap, none below the spacing...
    const auto& samples = history.Samples();
    EXPECT_GT(history.MinSpacingS(), 0.0);
    for (std::size_t i = 1; i + 1 < samples.size(); ++i) {
        EXPECT_GE(samples[i].timeS - samples[i - 1].timeS, history.MinSpacingS() - 1e-9) << i;
        EXPECT_LE(samples[i].timeS - samples[i - 1].timeS, 4 * 600.0 / 1000) << i;
    }
    // ...and the latest reading is the one last added.
    EXPECT_DOUBLE_EQ(history.Latest()->timeS, 900.0);
    EXPECT_DOUBLE_EQ(history.Latest()->extruderC, 200 + 90000 % 7);

    // A cap below the minimum is raised, a window that is no number is the default.
    TemperatureHistory tiny(std::numeric_limits<double>::quiet_NaN(), 1);
    EXPECT_EQ(tiny.MaxSamples(), TemperatureHistory::kMinMaxSamples);
    EXPECT_DOUBLE_EQ(tiny.WindowS(), TemperatureHistory::kDefaultWindowS);
    for (int i = 0; i < 100; ++i)
        tiny.Add(Sample(i, 20));
    EXPECT_LE(tiny.Size(), TemperatureHistory::kMinMaxSamples);
    EXPECT_DOUBLE_EQ(tiny.Latest()->timeS, 99.0);
    // Samples that all share one time are capped too.
    TemperatureHistory same(600.0, 16);
    for (int i = 0; i < 100; ++i)
        same.Add(Sample(7, 20 + i));
    EXPECT_LE(same.Size(), 16u);
    EXPECT_DOUBLE_EQ(same.Latest()->extruderC, 119.0);
    // A clear forgets the spacing.
    history.Clear();
    EXPECT_EQ(history.MinSpacingS(), 0.0);
}

TEST(TemperatureHistory, GivesTheSamplesOfATimeRangeBoundsIncluded)
{
    TemperatureHistory history;
    for (int t = 0; t < 10; ++t)
        history.Add(Sample(t, 100 + t));
    const auto some = history.InRange(3.0, 6.0);
    ASSERT_EQ(some.size(), 4u);
    EXPECT_DOUBLE_EQ(some.front().extruderC, 103.0);
    EXPECT_DOUBLE_EQ(some.back().extruderC, 106.0);
    EXPECT_EQ(history.InRange(3.5, 3.9).size(), 0u);
    EXPECT_EQ(history.InRange(6.0, 3.0).size(), 0u);
    EXPECT_EQ(history.InRange(-100, 100).size(), 10u);
}

// ---------------------------------------------------------------- refused samples

TEST(TemperatureHistory, RefusesReadingsThatAreNoTemperature)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    TemperatureHistory history;
    ASSERT_EQ(history.Add(Sample(1, 25)), SampleVerdict::Stored);
    for (double bad : {-1.0, -0.001, 500.5, 1000.0, nan, inf, -inf}) {
        EXPECT_EQ(history.Add(Sample(2, bad)), SampleVerdict::RefusedReading) << bad;
        EXPECT_EQ(history.Add(Sample(2, 25, bad)), SampleVerdict::RefusedReading) << "target " << bad;
    }
    EXPECT_EQ(history.Size(), 1u);
    EXPECT_EQ(history.Add(Sample(2, 500.0, 0.0)), SampleVerdict::Stored) << "the limits themselves are sane";

    // A platform that reads nonsense is kept as not reported; the extruder stays.
    EXPECT_EQ(history.Add(WithPlatform(Sample(3, 30), nan, 60)), SampleVerdict::StoredWithoutPlatform);
    EXPECT_FALSE(history.Latest()->platformC.has_value());
    EXPECT_EQ(history.Latest()->platformTargetC, 0.0);
    EXPECT_EQ(history.Add(WithPlatform(Sample(4, 30), 55, -5)), SampleVerdict::StoredWithoutPlatform);
    EXPECT_EQ(history.Add(WithPlatform(Sample(5, 30), 55, 60)), SampleVerdict::Stored);
    EXPECT_DOUBLE_EQ(*history.Latest()->platformC, 55.0);

    // Time never goes back, and must be a number.
    EXPECT_EQ(history.Add(Sample(4.5, 30)), SampleVerdict::RefusedTime);
    EXPECT_EQ(history.Add(Sample(nan, 30)), SampleVerdict::RefusedTime);
    EXPECT_EQ(history.Add(Sample(5, 31)), SampleVerdict::Stored) << "the same time is no step back";
    EXPECT_EQ(history.Size(), 6u);
}

// ---------------------------------------------------------------- vertical range

TEST(TemperatureHistory, RangeHoldsReadingsAndTargetsThatAreOnPadded)
{
    TemperatureHistory history;
    EXPECT_DOUBLE_EQ(history.Range().minC, zelk::kEmptyRange.minC);
    EXPECT_DOUBLE_EQ(history.Range().maxC, zelk::kEmptyRange.maxC);

    // Extruder alone, heating from 25 towards 220.
    for (int t = 0; t <= 60; ++t)
        history.Add(Sample(t, 25 + 2.5 * t, 220));
    auto range = history.Range();
    EXPECT_DOUBLE_EQ(range.minC, 25 - zelk::kRangePaddingC);
    EXPECT_DOUBLE_EQ(range.maxC, 220 + zelk::kRangePaddingC) << "the target is above every reading";

    // Only the samples of the range asked for count.
    range = history.Range(40, 60);
    EXPECT_DOUBLE_EQ(range.minC, 125 - zelk::kRangePaddingC);

    // A platform at 12 °C widens it downwards; its target too, once on.
    history.Add(WithPlatform(Sample(61, 175, 220), 12, 0));
    EXPECT_DOUBLE_EQ(history.Range().minC, 12 - zelk::kRangePaddingC);
    history.Add(WithPlatform(Sample(62, 176, 0), 13, 240));
    EXPECT_DOUBLE_EQ(history.Range().maxC, 240 + zelk::kRangePaddingC);
}

TEST(TemperatureHistory, RangeNeverCollapsesNorGoesBelowZero)
{
    TemperatureHistory history;
    for (int t = 0; t < 10; ++t)
        history.Add(Sample(t, 25, 0));
    // The target 0 (off) does not drag the axis down to 0.
    const auto flat = history.Range();
    EXPECT_DOUBLE_EQ(flat.maxC - flat.minC, zelk::kMinRangeSpanC);
    EXPECT_DOUBLE_EQ((flat.maxC + flat.minC) / 2, 25.0);

    TemperatureHistory cold;
    cold.Add(Sample(0, 0));
    const auto zero = cold.Range();
    EXPECT_DOUBLE_EQ(zero.minC, 0.0);
    EXPECT_DOUBLE_EQ(zero.maxC, zelk::kMinRangeSpanC);
}

// ---------------------------------------------------------------- heater states

TEST(TemperatureHistory, AtTargetOnlyAfterStayingWithinTheToleranceLongEnough)
{
    TemperatureHistory history;
    EXPECT_EQ(history.State(Heater::Extruder), HeaterState::NotReported);
    double t = 0;
    const auto feed = [&](double c, double target) {
        history.Add(Sample(t, c, target));
        t += 1;
        return history.State(Heater::Extruder);
    };
    EXPECT_EQ(feed(25, 0), HeaterState::Off);
    EXPECT_EQ(feed(25, 220), HeaterState::Heating);
    EXPECT_EQ(feed(216.9, 220), HeaterState::Heating) << "just outside the tolerance";
    // Inside the band from here on: not yet at target until the hold time has passed.
    const double entered = t;
    HeaterState state = HeaterState::Heating;
    while (t - entered <= zelk::kAtTargetHoldS + 1) {
        const double since = t - entered;
        state = feed(since == 0 ? 217.0 : 221.5, 220);
        EXPECT_EQ(state, since >= zelk::kAtTargetHoldS ? HeaterState::AtTarget : HeaterState::Heating) << since;
    }
    EXPECT_EQ(state, HeaterState::AtTarget);
    EXPECT_DOUBLE_EQ(history.Status(Heater::Extruder).sinceS, entered) << "held since it entered the band";

    // A dip out of the band starts the wait again.
    EXPECT_EQ(feed(216.5, 220), HeaterState::Heating);
    EXPECT_EQ(feed(219, 220), HeaterState::Heating);
    // A new target starts it again too, even when the reading is inside both bands.
    for (int i = 0; i < 10; ++i)
        feed(220, 220);
    EXPECT_EQ(history.State(Heater::Extruder), HeaterState::AtTarget);
    EXPECT_EQ(feed(220, 222), HeaterState::Heating);

    // Above the target: cooling, also while settling into the band from above.
    EXPECT_EQ(feed(240, 200), HeaterState::Cooling);
    EXPECT_EQ(feed(202, 200), HeaterState::Cooling);
    EXPECT_EQ(feed(150, 0), HeaterState::Off);
    EXPECT_DOUBLE_EQ(history.Status(Heater::Extruder).sinceS, t - 1);
    EXPECT_EQ(history.Status(Heater::Platform).state, HeaterState::NotReported);
}

TEST(TemperatureHistory, PlatformStateFollowsItsOwnReadingsAndTarget)
{
    TemperatureHistory history;
    history.Add(Sample(0, 200, 220));
    EXPECT_EQ(history.State(Heater::Platform), HeaterState::NotReported);
    for (int t = 1; t <= 10; ++t)
        history.Add(WithPlatform(Sample(t, 200, 220), 59 + 0.1 * t, 60));
    EXPECT_EQ(history.State(Heater::Platform), HeaterState::AtTarget);
    EXPECT_EQ(history.State(Heater::Extruder), HeaterState::Heating);
    // A sample without the platform breaks its run: reported again, it waits anew.
    history.Add(Sample(11, 200, 220));
    EXPECT_EQ(history.State(Heater::Platform), HeaterState::NotReported);
    history.Add(WithPlatform(Sample(12, 200, 220), 60, 60));
    EXPECT_EQ(history.State(Heater::Platform), HeaterState::Heating);
    history.Add(WithPlatform(Sample(13, 200, 220), 60, 0));
    EXPECT_EQ(history.State(Heater::Platform), HeaterState::Off);
}

}  // namespace
