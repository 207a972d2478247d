// How long a print takes and how much of it is left, from the moves themselves.
#include "PrintTimeEstimate.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "S3GCommands.h"

namespace zelk {
namespace {

constexpr int kCmdDelay = 133;  // microseconds (32)

std::uint32_t ReadU32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

double MoveSeconds(const Package& package)
{
    return MoveSeconds(std::span<const unsigned char>(package.Payload(), static_cast<std::size_t>(package.PayloadSize())));
}

double MoveSeconds(std::span<const unsigned char> payload)
{
    const int n = static_cast<int>(payload.size());
    if (n <= 0)
        return 0;
    const unsigned char* p = payload.data();
    double seconds = 0;
    if (p[0] == kCmdDelay && n >= 5) {
        // A dwell: its time in microseconds.
        seconds = ReadU32(p + 1) / 1e6;
    } else if (p[0] == s3g::kCmdQueueRelativePoint && n >= 25) {
        // Five 32-bit steps, then the duration in microseconds.
        seconds = ReadU32(p + 21) / 1e6;
    } else if (p[0] == s3g::kCmdQueueAcceleratedPoint && n >= 32) {
        // Five steps, the DDA rate, the relative-axes mask, then the distance
        // (float, mm) and the feedrate (mm/s x 64).
        float distanceMm = 0;
        const std::uint32_t bits = ReadU32(p + 26);
        std::memcpy(&distanceMm, &bits, sizeof distanceMm);
        const double mmPerS = static_cast<std::uint16_t>(p[30] | (p[31] << 8)) / 64.0;
        if (mmPerS > 0 && std::isfinite(distanceMm))
            seconds = std::fabs(distanceMm) / mmPerS;
    }
    return std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

void PrintTimeEstimate::Start(const PrintList& list, double nowS)
{
    m_prefix.assign(list.size() + 1, 0.0);
    for (std::size_t i = 0; i < list.size(); ++i)
        m_prefix[i + 1] = m_prefix[i] + MoveSeconds(list.Payload(i));
    m_sent = 0;
    m_startS = nowS;
    m_busyUntil = nowS;
    m_lastObserved = nowS;
    m_started = true;
    m_paused = false;
    m_pausedAt = 0;
    m_pausedTotal = 0;
}

void PrintTimeEstimate::Observe(std::size_t sentCount, double nowS)
{
    if (!m_started)
        return;
    sentCount = std::min(sentCount, PackageCount());
    const double now = Now(nowS) - m_pausedTotal;  // on the clock that stands while paused
    if (sentCount > m_sent) {
        // The packages went out some time since the last look: taken as sent
        // half-way, the printer's work is off by half an observation at most.
        const double sentAt = (std::min(m_lastObserved, now) + now) / 2;
        m_busyUntil = std::max(m_busyUntil, sentAt) + (m_prefix[sentCount] - m_prefix[m_sent]);
    } else if (sentCount < m_sent) {
        m_busyUntil = now;  // sent again from an earlier package: what the printer holds is unknown
    }
    m_sent = sentCount;
    m_lastObserved = now;
}

void PrintTimeEstimate::Pause(double nowS)
{
    if (!m_started || m_paused)
        return;
    m_paused = true;
    m_pausedAt = nowS;
}

void PrintTimeEstimate::Resume(double nowS)
{
    if (!m_paused)
        return;
    m_pausedTotal += std::max(0.0, nowS - m_pausedAt);
    m_paused = false;
}

double PrintTimeEstimate::SentPercent() const
{
    const std::size_t count = PackageCount();
    return count == 0 ? 0.0 : 100.0 * static_cast<double>(m_sent) / static_cast<double>(count);
}

double PrintTimeEstimate::ElapsedSeconds(double nowS) const
{
    return m_started ? std::max(0.0, Now(nowS) - m_startS - m_pausedTotal) : 0.0;
}

double PrintTimeEstimate::RemainingSeconds(double nowS) const
{
    if (!m_started)
        return 0;
    const double now = Now(nowS) - m_pausedTotal;
    const double buffered = std::max(0.0, m_busyUntil - now);
    return buffered + (TotalSeconds() - m_prefix[m_sent]);
}

std::string FormatDuration(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0 || seconds > 1e9)
        return "--:--";
    const auto total = static_cast<long long>(std::llround(seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%02lld:%02lld", total / 60, total % 60);
    return text;
}

}  // namespace zelk
