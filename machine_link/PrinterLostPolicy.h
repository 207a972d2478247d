// What the link does when the printer stops answering or its device goes
// away: the port is restarted once, a device that vanished is given time to
// come back, and after that the printer counts as lost, with a sentence for
// the user saying why.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "Outcome.h"

class ZELKFileLog;

namespace zelk {

class PrinterLostPolicy {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultRestartDelayMs = 100;   // between closing and reopening
    static constexpr int kDefaultDeviceReturnMs = 5000;  // a vanished device may come back

    // What the policy does to the printer's port.
    class Port {
    public:
        virtual ~Port() = default;
        virtual std::string Name() = 0;
        virtual bool IsOpen() = 0;
        virtual void Close() = 0;
        // Opens the device of Name() once more; IsOpen says whether it worked.
        virtual void OpenAgain() = 0;
    };

    // stopRequested: the worker's stop flag; a wait ends when it is set and
    // WakeForStop is called. log null: the process-wide log.
    PrinterLostPolicy(Port& port, const std::atomic<bool>& stopRequested, ZELKFileLog* log);

    PrinterLostPolicy(const PrinterLostPolicy&) = delete;
    PrinterLostPolicy& operator=(const PrinterLostPolicy&) = delete;

    void SetRestartDelayMs(int ms) { m_restartDelayMs = ms; }
    void SetDeviceReturnTimeoutMs(int ms) { m_deviceReturnMs = ms; }

    // --- the worker thread
    // The printer answered (or refused): a later silence earns a restart again.
    void NoteReply() { m_restartsWithoutReply = 0; }
    // A new connection, with the worker not running.
    void ResetRestarts() { m_restartsWithoutReply = 0; }
    // A package stayed without a usable reply through every wait, or its
    // device went away. The first time since the last reply the port is
    // restarted, and a device that is missing may come back within the
    // device return timeout: done, the package may go again. Otherwise
    // refused, with the reason the printer is lost. Done too when a stop was
    // asked for (nothing is restarted or lost then).
    Outcome AfterSilence();

    // --- the lost printer
    // Keeps the reason, marks the printer lost and runs the callback once
    // on the calling thread.
    void ReportLost(const std::string& reason);
    void SetLostCallback(std::function<void(const std::string& reason)> callback);
    bool IsLost() const { return m_lost.load(); }
    std::string LostReason() const;
    // A new connection: not lost, no reason.
    void ClearLost();

    // --- any thread
    int RestartCount() const;
    // Waits until the port was restarted count times; false after timeoutMs.
    bool WaitForRestarts(int count, int timeoutMs);
    // Wakes a wait so that it sees the stop flag.
    void WakeForStop();

private:
    // True when the port is open again, or a stop was asked for.
    bool RestartPort();
    // True when a stop was asked for before the deadline.
    bool StopBefore(Clock::time_point deadline);

    Port& m_port;
    const std::atomic<bool>& m_stopRequested;
    ZELKFileLog* m_log;
    std::atomic<int> m_restartDelayMs{kDefaultRestartDelayMs};
    std::atomic<int> m_deviceReturnMs{kDefaultDeviceReturnMs};
    int m_restartsWithoutReply = 0;  // worker thread only

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;  // a restart, or a stop
    int m_restartCount = 0;
    std::string m_lostReason;
    std::function<void(const std::string&)> m_onLost;
    std::atomic<bool> m_lost{false};
};

}  // namespace zelk
