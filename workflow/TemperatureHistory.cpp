// The window of heater samples, its vertical range and the heaters' states.
#include "TemperatureHistory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelk {

namespace {

bool NearTarget(double readingC, double targetC) { return std::fabs(readingC - targetC) <= kAtTargetToleranceC; }

// Readings of the heaters that are reported and targets of those that are on.
template <typename Iterator>
TemperatureRange RangeOver(Iterator first, Iterator last)
{
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    const auto take = [&](double c) {
        lo = std::min(lo, c);
        hi = std::max(hi, c);
    };
    for (Iterator it = first; it != last; ++it) {
        for (Heater heater : {Heater::Extruder, Heater::Platform}) {
            const std::optional<double> reading = ReadingOf(*it, heater);
            if (!reading)
                continue;
            take(*reading);
            if (TargetOf(*it, heater) > 0)
                take(TargetOf(*it, heater));
        }
    }
    if (lo > hi)
        return kEmptyRange;
    lo -= kRangePaddingC;
    hi += kRangePaddingC;
    if (hi - lo < kMinRangeSpanC) {
        const double centre = (lo + hi) / 2;
        lo = centre - kMinRangeSpanC / 2;
        hi = centre + kMinRangeSpanC / 2;
    }
    // No sample is below 0 °C, so neither is the axis.
    if (lo < 0) {
        hi -= lo;
        lo = 0;
    }
    return {lo, hi};
}

}  // namespace

bool IsSaneTemperature(double c) { return std::isfinite(c) && c >= 0 && c <= kMaxSaneTemperatureC; }

std::optional<double> ReadingOf(const TemperatureSample& sample, Heater heater)
{
    if (heater == Heater::Extruder)
        return sample.extruderC;
    return sample.platformC;
}

double TargetOf(const TemperatureSample& sample, Heater heater)
{
    return heater == Heater::Extruder ? sample.extruderTargetC : sample.platformTargetC;
}

HeaterStatus HeaterStatusOf(const std::deque<TemperatureSample>& samples, Heater heater)
{
    if (samples.empty())
        return {};
    const TemperatureSample& latest = samples.back();
    const std::optional<double> reading = ReadingOf(latest, heater);
    if (!reading)
        return {};
    const double target = TargetOf(latest, heater);
    if (target <= 0)
        return {HeaterState::Off, latest.timeS};
    if (!NearTarget(*reading, target))
        return {*reading > target ? HeaterState::Cooling : HeaterState::Heating, latest.timeS};

    // How long the heater has stayed near this same target, back from now;
    // short of the hold time, where it came from tells heating from cooling.
    double since = latest.timeS;
    bool fromAbove = false;
    for (auto it = samples.rbegin(); it != samples.rend(); ++it) {
        const std::optional<double> c = ReadingOf(*it, heater);
        if (!c || TargetOf(*it, heater) != target || !NearTarget(*c, target)) {
            fromAbove = c && *c > target;
            break;
        }
        since = it->timeS;
    }
    if (latest.timeS - since >= kAtTargetHoldS)
        return {HeaterState::AtTarget, since};
    return {fromAbove ? HeaterState::Cooling : HeaterState::Heating, since};
}

HeaterState HeaterStateOf(const std::deque<TemperatureSample>& samples, Heater heater)
{
    return HeaterStatusOf(samples, heater).state;
}

TemperatureRange RangeOf(const std::vector<TemperatureSample>& samples)
{
    return RangeOver(samples.begin(), samples.end());
}

TemperatureHistory::TemperatureHistory(double windowS, std::size_t maxSamples)
    : m_windowS(std::isfinite(windowS) && windowS > 0 ? windowS : kDefaultWindowS),
      m_maxSamples(std::max(maxSamples, kMinMaxSamples))
{
}

SampleVerdict TemperatureHistory::Add(const TemperatureSample& sample)
{
    if (!std::isfinite(sample.timeS) || (!m_samples.empty() && sample.timeS < m_samples.back().timeS))
        return SampleVerdict::RefusedTime;
    if (!IsSaneTemperature(sample.extruderC) || !IsSaneTemperature(sample.extruderTargetC))
        return SampleVerdict::RefusedReading;

    TemperatureSample kept = sample;
    SampleVerdict verdict = SampleVerdict::Stored;
    if (kept.platformC && (!IsSaneTemperature(*kept.platformC) || !IsSaneTemperature(kept.platformTargetC))) {
        kept.platformC.reset();
        verdict = SampleVerdict::StoredWithoutPlatform;
    }
    if (!kept.platformC)
        kept.platformTargetC = 0;
    // The latest sample stands in for its stretch until it is the spacing
    // after the one before; then it stays and the next one follows it.
    const std::size_t n = m_samples.size();
    if (n >= 2 && m_samples[n - 1].timeS - m_samples[n - 2].timeS < m_minSpacingS)
        m_samples.back() = kept;
    else
        m_samples.push_back(kept);
    Evict();
    if (m_samples.size() > m_maxSamples)
        Thin();
    return verdict;
}

void TemperatureHistory::Clear()
{
    m_samples.clear();
    m_minSpacingS = 0;
}

const TemperatureSample* TemperatureHistory::Latest() const
{
    return m_samples.empty() ? nullptr : &m_samples.back();
}

void TemperatureHistory::Evict()
{
    const double oldest = m_samples.back().timeS - m_windowS;
    while (m_samples.front().timeS < oldest)
        m_samples.pop_front();
}

// Widens the spacing so about half the cap covers what is held, then keeps
// the oldest sample, every sample at least the spacing after the last one
// kept, and the latest. Samples that share one time cannot be spaced: the
// oldest of them go.
void TemperatureHistory::Thin()
{
    const double span = m_samples.back().timeS - m_samples.front().timeS;
    m_minSpacingS = std::max(2 * m_minSpacingS, 2 * span / static_cast<double>(m_maxSamples));
    std::size_t kept = 0;
    double lastKept = -std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < m_samples.size(); ++i) {
        if (i + 1 == m_samples.size() || m_samples[i].timeS - lastKept >= m_minSpacingS) {
            lastKept = m_samples[i].timeS;
            m_samples[kept++] = m_samples[i];
        }
    }
    m_samples.resize(kept);
    while (m_samples.size() > m_maxSamples)
        m_samples.pop_front();
}

std::vector<TemperatureSample> TemperatureHistory::InRange(double fromS, double toS) const
{
    const auto first = std::lower_bound(m_samples.begin(), m_samples.end(), fromS,
                                        [](const TemperatureSample& s, double t) { return s.timeS < t; });
    const auto last = std::upper_bound(first, m_samples.end(), toS,
                                       [](double t, const TemperatureSample& s) { return t < s.timeS; });
    return first < last ? std::vector<TemperatureSample>(first, last) : std::vector<TemperatureSample>();
}

TemperatureRange TemperatureHistory::Range(double fromS, double toS) const { return RangeOf(InRange(fromS, toS)); }

TemperatureRange TemperatureHistory::Range() const { return RangeOver(m_samples.begin(), m_samples.end()); }

HeaterState TemperatureHistory::State(Heater heater) const { return HeaterStateOf(m_samples, heater); }

HeaterStatus TemperatureHistory::Status(Heater heater) const { return HeaterStatusOf(m_samples, heater); }

}  // namespace zelk
