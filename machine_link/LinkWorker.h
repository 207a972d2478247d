// The machine control's worker thread: it runs rounds of work (one package
// out and its reply back), and sleeps when a round finds nothing to do until
// a request wakes it. Begun and ended by its owner; told to stop through its
// stop flag, which the owner's other waits watch too.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "ZELKThreadProc.h"

namespace zelk {

class LinkWorker {
public:
    using Clock = std::chrono::steady_clock;
    enum class Round {
        Worked,    // the next round follows at once
        Idle,      // nothing to do: sleep until a request
        Finished,  // the thread ends (the printer is lost)
    };

    explicit LinkWorker(std::function<Round()> round);
    // Ends a running thread.
    ~LinkWorker();

    LinkWorker(const LinkWorker&) = delete;
    LinkWorker& operator=(const LinkWorker&) = delete;

    // Starts the thread with the stop flag cleared (nothing when it runs).
    void Begin();
    // Sets the stop flag and wakes the worker's own waits; the owner wakes
    // its other waits, then calls Join.
    void RequestStop();
    // Waits for the thread to return and forgets it.
    void Join();
    void End()
    {
        RequestStop();
        Join();
    }
    // True from Begin until Join, also after a round finished the thread.
    bool IsRunning() const { return m_thread.IsThreadRunning(); }
    const std::atomic<bool>& StopFlag() const { return m_stop; }
    bool StopRequested() const { return m_stop.load(); }

    // Any thread: there is something to do (a request made during a round
    // is not missed).
    void Wake();
    // Worker thread, inside a round: sleeps until the deadline, a request
    // made after the round began, or a stop.
    void WaitUntil(Clock::time_point deadline);

private:
    static unsigned long ThreadProc(void* parameter);
    void Loop();

    std::function<Round()> m_round;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::uint64_t m_requests = 0;     // bumped by every Wake
    std::uint64_t m_roundStart = 0;   // m_requests when this round began
    ZELKThreadProc m_thread;
};

}  // namespace zelk
