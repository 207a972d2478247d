// How long a print takes and how much of it is left, from the moves themselves.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "Package.h"
#include "PrintList.h"

namespace zelk {

// Seconds a queued move takes at its own rate: an accelerated point (155) its
// distance over its feedrate, a relative point (142) its duration. 0 for every
// other package (queries, temperatures, waits, homing) and for a move whose
// fields do not give a finite, positive time.
double MoveSeconds(const Package& package);
// The same, of a payload (command byte first).
double MoveSeconds(std::span<const unsigned char> payload);

// The time of a print list and what is left of it while it streams. The total
// and the remaining moves are sums over the list (kept as running sums, so each
// question costs nothing); the moves the printer holds in its buffer but has
// not yet done are modelled from when they were sent: the printer works through
// what it is sent one move after another, so the time it is busy for grows by
// each sent move's time and shrinks with the clock. Heating and homing take
// the time they take and are not in the estimate.
//
// Times are seconds on a clock the caller gives (steady, any origin). The
// caller tells when it sees the index of the next package to send move on
// (Observe), and when the print pauses and resumes: a paused print's clock and
// estimate stand still.
class PrintTimeEstimate {
public:
    PrintTimeEstimate() = default;
    // A new print over `list`, started at nowS with nothing sent.
    void Start(const PrintList& list, double nowS);
    bool IsStarted() const { return m_started; }

    // The next package to send is `sentCount` (the packages before it are with
    // the printer) at nowS.
    void Observe(std::size_t sentCount, double nowS);
    void Pause(double nowS);
    void Resume(double nowS);
    bool IsPaused() const { return m_paused; }

    std::size_t PackageCount() const { return m_prefix.empty() ? 0 : m_prefix.size() - 1; }
    std::size_t SentCount() const { return m_sent; }
    // Percentage of the list sent, 0 to 100.
    double SentPercent() const;
    double TotalSeconds() const { return m_prefix.empty() ? 0 : m_prefix.back(); }
    // Time since Start, paused time left out.
    double ElapsedSeconds(double nowS) const;
    // The moves not yet sent plus what the printer still has to do of those sent.
    double RemainingSeconds(double nowS) const;

private:
    double Now(double nowS) const { return m_paused ? m_pausedAt : nowS; }
    double PausedTotal() const { return m_pausedTotal; }

    std::vector<double> m_prefix;  // m_prefix[i]: seconds of packages [0, i)
    std::size_t m_sent = 0;
    double m_startS = 0;
    double m_busyUntil = 0;  // on the unpaused clock (real time less paused time)
    double m_lastObserved = 0;
    bool m_started = false;
    bool m_paused = false;
    double m_pausedAt = 0;
    double m_pausedTotal = 0;
};

// "1:02:03" for an hour and more, "02:03" below; negative and non-finite give "--:--".
std::string FormatDuration(double seconds);

}  // namespace zelk
