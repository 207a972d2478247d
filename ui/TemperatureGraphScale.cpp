// Ticks, mapping and legend texts of the temperature graph.
#include "TemperatureGraphScale.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelk {

namespace {

// The smallest of 1, 2, 5 times a power of ten that is at least `rough`.
double RoundStep(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= rough * (1 - 1e-9))
            return factor * power;
    return 10.0 * power;
}

std::string WholeDegrees(double c)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", c);
    // "-0" after rounding a reading just below zero reads oddly.
    return std::string(text) == "-0" ? std::string("0") : std::string(text);
}

}  // namespace

std::vector<double> ValueTicks(double lo, double hi, int maxTicks)
{
    std::vector<double> ticks;
    if (!(hi > lo) || !std::isfinite(lo) || !std::isfinite(hi) || maxTicks < 1)
        return ticks;
    const double span = hi - lo;
    // From a step surely too fine up to the first round one that fits.
    double step = RoundStep(span / (2.0 * maxTicks));
    while (std::floor(hi / step) - std::ceil(lo / step) + 1 > maxTicks)
        step = RoundStep(step * 1.5);
    for (double k = std::ceil(lo / step); k * step <= hi * (1 + 1e-12) + 1e-9; k += 1)
        ticks.push_back(k * step == 0 ? 0.0 : k * step);
    return ticks;
}

std::vector<MinuteTick> MinuteTicks(double spanS, double plotWidthPx, double minLabelGapPx)
{
    std::vector<MinuteTick> ticks;
    if (!(spanS > 0) || !(plotWidthPx > 0))
        return ticks;
    const int minutes = static_cast<int>(std::floor(spanS / 60.0 + 1e-9));
    const double pxPerMinute = plotWidthPx * 60.0 / spanS;
    int every = 1;
    for (int candidate : {1, 2, 5, 10, 15, 30, 60, 120}) {
        every = candidate;
        if (candidate * pxPerMinute >= minLabelGapPx)
            break;
    }
    for (int m = 0; m <= minutes; ++m)
        ticks.push_back({m, m % every == 0});
    return ticks;
}

std::string LegendText(const std::string& name, double readingC, double targetC)
{
    if (targetC > 0)
        return name + " " + WholeDegrees(readingC) + " / " + WholeDegrees(targetC) + " \u00B0C";
    return name + " " + WholeDegrees(readingC) + " \u00B0C";
}

const char* StateTextKey(HeaterState state)
{
    switch (state) {
    case HeaterState::AtTarget:
        return "id_static_atTemperature";
    case HeaterState::Heating:
        return "id_static_heating";
    case HeaterState::Cooling:
        return "id_static_cooling";
    case HeaterState::Off:
        return "id_static_heaterOff";
    case HeaterState::NotReported:
        break;
    }
    return "";
}

}  // namespace zelk
