// Window-free arithmetic of the temperature graph: the axes' ticks, the
// mapping from time and degrees to the plot's pixels, and the legend's texts.
#pragma once

#include <string>
#include <vector>

#include "TemperatureHistory.h"

namespace zelk {

// Values at a round step (1, 2 or 5 times a power of ten) from lo to hi,
// inclusive: the finest such step that gives no more than maxTicks of them.
// Empty for an empty range.
std::vector<double> ValueTicks(double lo, double hi, int maxTicks);

// A tick of the time axis, whole minutes before the latest sample.
struct MinuteTick {
    int minutesAgo = 0;
    bool labelled = false;
};

// A tick for every whole minute of `spanS` (0 included); the labelled ones
// are a round number of minutes apart (1, 2, 5, 10, ...), at least
// minLabelGapPx apart on a plot `plotWidthPx` wide. Newest (0) first.
std::vector<MinuteTick> MinuteTicks(double spanS, double plotWidthPx, double minLabelGapPx);

// The plot's rectangle in pixels and what it shows: the right edge is the
// latest sample, the left edge spanS before it; the top is range.maxC.
struct GraphMapping {
    double left = 0, top = 0, width = 1, height = 1;
    double endS = 0, spanS = 1;
    TemperatureRange range{0, 1};

    double X(double timeS) const { return left + width * (1.0 - (endS - timeS) / spanS); }
    double Y(double c) const { return top + height * (range.maxC - c) / (range.maxC - range.minC); }
};

// "<name> 187 / 220 °C" with the heater on, "<name> 25 °C" with it off;
// whole degrees. `name` is UTF-8.
std::string LegendText(const std::string& name, double readingC, double targetC);

// The translation key of the text shown for a state; "" for NotReported.
const char* StateTextKey(HeaterState state);

}  // namespace zelk
