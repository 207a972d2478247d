// The temperature graph's arithmetic without windows: round ticks, minute
// ticks, the pixel mapping and the legend's texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "TemperatureGraphScale.h"

namespace {

bool IsRoundStep(double step)
{
    const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
    for (double m : {1.0, 2.0, 5.0})
        if (std::fabs(mantissa - m) < 1e-9)
            return true;
    return false;
}

TEST(TemperatureGraphScale, ValueTicksAreRoundEvenlySpacedAndInside)
{
    const struct {
        double lo, hi;
        int maxTicks;
    } cases[] = {{20, 225, 5}, {15, 35, 5}, {0, 250, 6}, {50.3, 70.7, 4}, {0, 20, 3}, {193, 247, 7}, {0, 500, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lo << ".." << c.hi << " max " << c.maxTicks);
        const std::vector<double> ticks = zelk::ValueTicks(c.lo, c.hi, c.maxTicks);
        ASSERT_GE(ticks.size(), 2u);
        EXPECT_LE(static_cast<int>(ticks.size()), c.maxTicks);
        const double step = ticks[1] - ticks[0];
        EXPECT_TRUE(IsRoundStep(step)) << step;
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            EXPECT_GE(ticks[i], c.lo - 1e-9);
            EXPECT_LE(ticks[i], c.hi + 1e-9);
            EXPECT_NEAR(std::remainder(ticks[i], step), 0.0, 1e-9) << "a multiple of the step";
            if (i > 0) {
                EXPECT_NEAR(ticks[i] - ticks[i - 1], step, 1e-9);
            }
        }
        // No room left for a tick at either end.
        EXPECT_LT(ticks.front() - step, c.lo);
        EXPECT_GT(ticks.back() + step, c.hi);
        // The next finer round step would give too many.
        const double finer = step / (std::fabs(step / std::pow(10.0, std::floor(std::log10(step))) - 5) < 1e-9 ? 2.5 : 2);
        EXPECT_GT(std::floor(c.hi / finer + 1e-9) - std::ceil(c.lo / finer - 1e-9) + 1, c.maxTicks) << finer;
    }
    EXPECT_EQ(zelk::ValueTicks(20, 225, 5), (std::vector<double>{50, 100, 150, 200}));
    EXPECT_EQ(zelk::ValueTicks(20, 225, 4), (std::vector<double>{50, 100, 150, 200}));
    EXPECT_EQ(zelk::ValueTicks(20, 225, 3), (std::vector<double>{100, 200}));
    EXPECT_TRUE(zelk::ValueTicks(30, 30, 5).empty());
    EXPECT_TRUE(zelk::ValueTicks(40, 30, 5).empty());
    EXPECT_TRUE(zelk::ValueTicks(0, std::nan(""), 5).empty());
}

TEST(TemperatureGraphScale, EveryMinuteHasATickAndLabelsKeepTheirDistance)
{
    // Ten minutes on 270 pixels: 27 pixels a minute.
    auto ticks = zelk::MinuteTicks(600, 270, 26);
    ASSERT_EQ(ticks.size(), 11u);
    for (int m = 0; m <= 10; ++m) {
        EXPECT_EQ(ticks[m].minutesAgo, m);
        EXPECT_TRUE(ticks[m].labelled) << m;
    }
    // Narrower: every second minute, then every fifth.
    ticks = zelk::MinuteTicks(600, 200, 26);
    for (const auto& tick : ticks)
        EXPECT_EQ(tick.labelled, tick.minutesAgo % 2 == 0) << tick.minutesAgo;
    ticks = zelk::MinuteTicks(600, 100, 26);
    for (const auto& tick : ticks)
        EXPECT_EQ(tick.labelled, tick.minutesAgo % 5 == 0) << tick.minutesAgo;
    // A window that is no whole number of minutes ticks the whole ones.
    EXPECT_EQ(zelk::MinuteTicks(150, 300, 26).size(), 3u);
    EXPECT_TRUE(zelk::MinuteTicks(0, 300, 26).empty());
}

TEST(TemperatureGraphScale, MappingPutsTheLatestSampleAtTheRightAndHotterHigher)
{
    zelk::GraphMapping map;
    map.left = 30;
    map.top = 10;
    map.width = 300;
    map.height = 100;
    map.endS = 1000;
    map.spanS = 600;
    map.range = {20, 220};
    EXPECT_DOUBLE_EQ(map.X(1000), 330);
    EXPECT_DOUBLE_EQ(map.X(400), 30);
    EXPECT_DOUBLE_EQ(map.X(700), 180);
    EXPECT_DOUBLE_EQ(map.Y(220), 10);
    EXPECT_DOUBLE_EQ(map.Y(20), 110);
    EXPECT_LT(map.Y(200), map.Y(100));
}

TEST(TemperatureGraphScale, LegendShowsWholeDegreesAndTheTargetOnlyWhenOn)
{
    EXPECT_EQ(zelk::LegendText("Extruder", 187.4, 220), "Extruder 187 / 220 \u00B0C");
    EXPECT_EQ(zelk::LegendText("Extruder", 187.6, 220), "Extruder 188 / 220 \u00B0C");
    EXPECT_EQ(zelk::LegendText("Platform", 24.8, 0), "Platform 25 \u00B0C");
    EXPECT_EQ(zelk::LegendText("Buse", 0.2, 0), "Buse 0 \u00B0C");
    EXPECT_EQ(zelk::LegendText("\u6324\u51FA\u5934", 60, 60), "\u6324\u51FA\u5934 60 / 60 \u00B0C");

    EXPECT_STREQ(zelk::StateTextKey(zelk::HeaterState::AtTarget), "id_static_atTemperature");
    EXPECT_STREQ(zelk::StateTextKey(zelk::HeaterState::Heating), "id_static_heating");
    EXPECT_STREQ(zelk::StateTextKey(zelk::HeaterState::Cooling), "id_static_cooling");
    EXPECT_STREQ(zelk::StateTextKey(zelk::HeaterState::Off), "id_static_heaterOff");
    EXPECT_STREQ(zelk::StateTextKey(zelk::HeaterState::NotReported), "");
}

}  // namespace
