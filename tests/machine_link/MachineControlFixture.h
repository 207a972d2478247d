// A machine control on its own machine model, start G-code and log, with
// millisecond timeouts, and a callback that tests can block on.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "TempDir.h"
#include "ZELKFileLog.h"
#include "ZELKMachine.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace linktest {

// Counts replies seen by the receive callback and lets a test wait for a
// condition on the reply record.
class ReplyWatch {
public:
    void Attach(ZELKMachineControl& control)
    {
        m_control = &control;
        control.SetReceiveCallback([this](const RECEIVEBUF& reply) { OnReply(reply); });
    }
    // Waits until pred(record) holds after some reply (or timeoutMs passes).
    bool WaitFor(const std::function<bool(const RECEIVEBUF&)>& pred, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(m_last); });
    }
    bool WaitForType(int type, int timeoutMs = 5000)
    {
        return WaitFor([type](const RECEIVEBUF& r) { return r.type == type; }, timeoutMs);
    }
    // Waits until the control mode satisfies pred after a reply.
    bool WaitForMode(const std::function<bool(int)>& pred, int timeoutMs = 10000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return pred(m_control->GetControlMode()); });
    }
    // Waits for a reply of `type` that came after the first `count` replies.
    bool WaitForTypeAfter(int type, int count, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return m_count > count && m_last.type == type; });
    }
    bool WaitForCount(int count, int timeoutMs = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_count >= count; });
    }
    int Count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    // Runs on the reader thread after each reply, before the worker wakes.
    std::function<void(ZELKMachineControl&, const RECEIVEBUF&)> onReply;

private:
    void OnReply(const RECEIVEBUF& record)
    {
        if (onReply)
            onReply(*m_control, record);
        std::lock_guard lock(m_mutex);
        m_last = record;
        ++m_count;
        m_cv.notify_all();
    }

    ZELKMachineControl* m_control = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    RECEIVEBUF m_last;
    int m_count = 0;
};

// Records the machine control's printer-lost report and lets a test wait for it.
class LostWatch {
public:
    void Attach(ZELKMachineControl& control)
    {
        control.SetPrinterLostCallback([this](const std::string& reason) {
            std::lock_guard lock(m_mutex);
            m_reason = reason;
            ++m_count;
            m_cv.notify_all();
        });
    }
    bool Wait(int timeoutMs = 10000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_count > 0; });
    }
    std::string Reason()
    {
        std::lock_guard lock(m_mutex);
        return m_reason;
    }
    int Count()
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_reason;
    int m_count = 0;
};

// A start G-code file of the printer's profile: extruder 220 °C, platform
// 60 °C, start height 140 mm.
inline std::string WriteStartGCode(const testsupport::TempDir& dir)
{
    const std::string path = dir.File("start.gcode");
    testsupport::WriteFile(path,
                           "M104 S220 T0\nM109 S60 T0\nG21\nG90\nM17\nM6 T0\nG162 Z F1000\n"
                           "G161 X Y F2500\nM103\nG92 X-75 Y-75 Z140.0 A0 B0\n");
    return path;
}

struct ControlParts {
    testsupport::TempDir dir;
    ZELKMachine machine;
    ZELKStartGCodeOperater startGCode{WriteStartGCode(dir)};
    ZELKFileLog log{dir.File("morvadin.log")};
    std::unique_ptr<ZELKMachineControl> control =
        std::make_unique<ZELKMachineControl>(&machine, &startGCode, &log);

    ControlParts()
    {
        control->SetReplyTimeoutMs(2000);
        control->SetRestartDelayMs(1);
        control->SetFrameStallTimeoutMs(50);
        control->SetPollIntervalMs(5);
        control->SetDeviceReturnTimeoutMs(200);
    }
    std::string LogText() const { return testsupport::ReadFile(log.GetPath()); }
};

}  // namespace linktest
