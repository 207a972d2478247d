// The print as the worker streams it: the print list, the index of the next
// package, the pause the user asked for against the pause the printer is in,
// and the pace of the is-finished queries once every package is out.
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <vector>

#include "Package.h"
#include "PrintList.h"

namespace zelk {

class PrintStream {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultPollIntervalMs = 250;

    // --- the list: replaced from any thread, against the worker's reads
    void ReplaceList(PrintList list);
    // Empties the list and gives its memory back (before a large translation).
    void ClearList();
    int Size() const;
    // The list itself: read it only while no print streams and nothing
    // replaces it.
    const PrintList& List() const { return m_list; }

    // --- the index (any thread)
    int Index() const { return m_index.load(); }
    // Back to the first package.
    void Rewind() { m_index = 0; }
    // The package at the index, copied under the list's lock; no package once
    // every package is out.
    struct Next {
        int index = 0;
        std::optional<Package> package;
    };
    Next Peek() const;
    // The printer took the package at index: the index moves past it, unless
    // it was set anew meanwhile (a print started or ended during the wait).
    void Took(int index);

    // --- the pause (any thread). The printer's pause query toggles, so the
    // worker sends it while what the user asked for and what the printer was
    // last told differ.
    void Pause() { m_hostPaused = true; }
    void Resume() { m_hostPaused = false; }
    bool IsPaused() const { return m_hostPaused.load(); }
    bool IsPrinterPaused() const { return m_printerPaused.load(); }
    bool PauseToggleDue() const { return m_hostPaused.load() != m_printerPaused.load(); }
    // The printer took a pause toggle; whether it is paused now.
    bool PrinterToggled();
    // A new connection: neither the user nor the printer holds a pause.
    void ForgetPause();

    // --- is-finished queries once every package is out (worker thread only,
    // but for the interval)
    void SetPollIntervalMs(int ms) { m_pollIntervalMs = ms; }
    // Nothing before this time point: the printer is asked a few times a
    // second rather than back to back for the rest of the build.
    Clock::time_point FinishedQueryNotBefore() const { return m_finishedQueryNotBefore; }
    void FinishedQuerySent(Clock::time_point now);
    void ResetPolls() { m_finishedQueryNotBefore = {}; }

private:
    mutable std::mutex m_listMutex;
    PrintList m_list;
    std::atomic<int> m_index{0};
    std::atomic<bool> m_hostPaused{false};
    std::atomic<bool> m_printerPaused{false};
    std::atomic<int> m_pollIntervalMs{kDefaultPollIntervalMs};
    Clock::time_point m_finishedQueryNotBefore{};
};

}  // namespace zelk
