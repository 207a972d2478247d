#include "PrinterLostPolicy.h"

#include <algorithm>

#include "LinkLog.h"

namespace zelk {

PrinterLostPolicy::PrinterLostPolicy(Port& port, const std::atomic<bool>& stopRequested, ZELKFileLog* log)
    : m_port(port), m_stopRequested(stopRequested), m_log(log)
{
}

Outcome PrinterLostPolicy::AfterSilence()
{
    if (m_stopRequested.load())
        return Outcome::Done();
    if (m_restartsWithoutReply >= 1)
        return Outcome::Refused("The printer on " + m_port.Name() + " does not answer.");
    ++m_restartsWithoutReply;
    if (!RestartPort())
        return Outcome::Refused("The printer's port " + m_port.Name() + " went away and did not come back.");
    return Outcome::Done();
}

bool PrinterLostPolicy::RestartPort()
{
    m_port.Close();
    if (StopBefore(Clock::now() + std::chrono::milliseconds(m_restartDelayMs.load())))
        return true;
    m_port.OpenAgain();
    WriteLinkLog(m_log, 96, 1, "Restart COM!");
    {
        std::lock_guard lock(m_mutex);
        ++m_restartCount;
    }
    m_cv.notify_all();
    // A device that went away (unplugged, switched off) may come back under
    // its name within the device return timeout.
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_deviceReturnMs.load());
    while (!m_port.IsOpen()) {
        const auto retryAt =
            std::min(deadline, Clock::now() + std::chrono::milliseconds(std::max(1, m_restartDelayMs.load())));
        if (StopBefore(retryAt))
            return true;
        if (Clock::now() >= deadline)
            return false;
        m_port.OpenAgain();
    }
    return true;
}

bool PrinterLostPolicy::StopBefore(Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_until(lock, deadline, [&] { return m_stopRequested.load(); });
}

void PrinterLostPolicy::ReportLost(const std::string& reason)
{
    std::function<void(const std::string&)> callback;
    {
        std::lock_guard lock(m_mutex);
        m_lostReason = reason;
        callback = m_onLost;
    }
    m_lost = true;
    if (callback)
        callback(reason);
}

void PrinterLostPolicy::SetLostCallback(std::function<void(const std::string& reason)> callback)
{
    std::lock_guard lock(m_mutex);
    m_onLost = std::move(callback);
}

std::string PrinterLostPolicy::LostReason() const
{
    std::lock_guard lock(m_mutex);
    return m_lostReason;
}

void PrinterLostPolicy::ClearLost()
{
    m_lost = false;
    std::lock_guard lock(m_mutex);
    m_lostReason.clear();
}

int PrinterLostPolicy::RestartCount() const
{
    std::lock_guard lock(m_mutex);
    return m_restartCount;
}

bool PrinterLostPolicy::WaitForRestarts(int count, int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_restartCount >= count; });
}

void PrinterLostPolicy::WakeForStop()
{
    {
        std::lock_guard lock(m_mutex);
    }
    m_cv.notify_all();
}

}  // namespace zelk
