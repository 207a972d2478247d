// The recent temperatures of the printer's heaters against their targets, for
// the temperature graph: a bounded window of samples, the vertical range that
// shows them, and whether each heater has reached its target.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "Heater.h"

namespace zelk {

// One reading of the heaters. Times are seconds of a steady clock chosen by
// the caller; they only ever grow. A target of 0 means the heater is off.
struct TemperatureSample {
    double timeS = 0;
    double extruderC = 0;
    double extruderTargetC = 0;
    std::optional<double> platformC;  // empty: the printer does not report its platform
    double platformTargetC = 0;
};

// What a heater is doing, by its latest sample and the seconds before it.
enum class HeaterState {
    NotReported,  // no sample, or the platform is not reported
    Off,          // target 0
    Heating,      // below the target (or not yet steady at it)
    Cooling,      // above the target by more than the tolerance
    AtTarget,     // within the tolerance of the target, long enough
};

// A heater's state and since when (seconds of the samples' clock) it holds:
// for AtTarget the first sample of the stretch near the target, for a
// heater short of the hold time near its target the start of that stretch,
// otherwise the latest sample; 0 for NotReported.
struct HeaterStatus {
    HeaterState state = HeaterState::NotReported;
    double sinceS = 0;
};

// What became of a sample handed to the history.
enum class SampleVerdict {
    Stored,
    StoredWithoutPlatform,  // the platform's reading or target was not sane: kept as not reported
    RefusedReading,         // the extruder's reading or target was not sane
    RefusedTime,            // not finite, or older than the latest sample
};

struct TemperatureRange {
    double minC = 0;
    double maxC = 0;
};

// A reading is sane when it is a number from 0 to this, inclusive.
inline constexpr double kMaxSaneTemperatureC = 500.0;
// A heater is at its target within this many degrees either way...
inline constexpr double kAtTargetToleranceC = 3.0;
// ...for at least this many seconds up to its latest sample.
inline constexpr double kAtTargetHoldS = 5.0;
// The vertical range reaches this far beyond the highest and lowest value...
inline constexpr double kRangePaddingC = 5.0;
// ...and is never narrower than this.
inline constexpr double kMinRangeSpanC = 20.0;
// The range shown when there is nothing to show.
inline constexpr TemperatureRange kEmptyRange{0.0, 250.0};

bool IsSaneTemperature(double c);

// Holds the samples of the last `windowS` seconds (counted back from the
// latest sample), never more than `maxSamples` of them. When a fast feed
// reaches the cap, the history keeps samples at least a minimum spacing
// apart (doubled each time the cap is reached again): the whole window stays
// evenly covered at a coarser step. The latest sample is always the one last
// added; it replaces the one before while that one is closer than the
// spacing to its own predecessor.
class TemperatureHistory {
public:
    static constexpr double kDefaultWindowS = 600.0;
    static constexpr std::size_t kDefaultMaxSamples = 4096;
    static constexpr std::size_t kMinMaxSamples = 16;

    // `maxSamples` below kMinMaxSamples is raised to it; a window that is
    // not a positive number is the default.
    explicit TemperatureHistory(double windowS = kDefaultWindowS, std::size_t maxSamples = kDefaultMaxSamples);

    SampleVerdict Add(const TemperatureSample& sample);
    void Clear();

    bool Empty() const { return m_samples.empty(); }
    std::size_t Size() const { return m_samples.size(); }
    double WindowS() const { return m_windowS; }
    // 0 until the cap has been reached.
    double MinSpacingS() const { return m_minSpacingS; }
    std::size_t MaxSamples() const { return m_maxSamples; }
    // Oldest first.
    const std::deque<TemperatureSample>& Samples() const { return m_samples; }
    // The latest sample; nullptr when empty.
    const TemperatureSample* Latest() const;

    // The samples with fromS <= time <= toS, oldest first.
    std::vector<TemperatureSample> InRange(double fromS, double toS) const;
    // The vertical range over the samples from fromS to toS: readings and the
    // targets that are on, padded; kEmptyRange when there is no sample there.
    TemperatureRange Range(double fromS, double toS) const;
    // Over every sample held.
    TemperatureRange Range() const;

    HeaterState State(Heater heater) const;
    HeaterStatus Status(Heater heater) const;

private:
    void Evict();
    void Thin();

    double m_windowS;
    std::size_t m_maxSamples;
    double m_minSpacingS = 0;
    std::deque<TemperatureSample> m_samples;
};

// The reading and target of one heater in a sample; the platform's reading
// is empty when it is not reported.
std::optional<double> ReadingOf(const TemperatureSample& sample, Heater heater);
double TargetOf(const TemperatureSample& sample, Heater heater);

// The state of `heater` at the last of `samples` (oldest first), by the
// rules above. Pure, so the graph and the tests share it.
HeaterState HeaterStateOf(const std::deque<TemperatureSample>& samples, Heater heater);
HeaterStatus HeaterStatusOf(const std::deque<TemperatureSample>& samples, Heater heater);

// The padded vertical range of a set of samples; kEmptyRange for none.
TemperatureRange RangeOf(const std::vector<TemperatureSample>& samples);

}  // namespace zelk
