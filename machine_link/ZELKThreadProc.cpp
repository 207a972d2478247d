// A small thread wrapper over std::thread.
#include "ZELKThreadProc.h"

#include <chrono>
#include <system_error>

ZELKThreadProc::ZELKThreadProc(void* parameter) : m_parameter(parameter) {}

ZELKThreadProc::~ZELKThreadProc()
{
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach();
        else
            m_thread.join();
    }
}

int ZELKThreadProc::SetTechFun(StartRoutine routine)
{
    m_routine = routine;
    m_function = nullptr;
    return 1;
}

int ZELKThreadProc::SetTechFun(std::function<void()> routine)
{
    m_function = std::move(routine);
    m_routine = nullptr;
    return 1;
}

bool ZELKThreadProc::BeginThread()
{
    if (m_thread.joinable())
        return true;
    if (m_routine == nullptr && !m_function)
        return false;
    auto finished = std::make_shared<Finished>();
    try {
        m_thread = std::thread([routine = m_routine, function = m_function, parameter = m_parameter, finished] {
            if (routine != nullptr)
                routine(parameter);
            else
                function();
            std::lock_guard lock(finished->mutex);
            finished->done = true;
            finished->cv.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    m_finished = std::move(finished);
    return true;
}

bool ZELKThreadProc::IsThreadRunning() const
{
    return m_thread.joinable();
}

bool ZELKThreadProc::SuspendThread()
{
    return false;
}

bool ZELKThreadProc::ResumeThread()
{
    return false;
}

bool ZELKThreadProc::EndThread(unsigned long ms)
{
    if (!m_thread.joinable())
        return true;
    if (m_thread.get_id() == std::this_thread::get_id())
        return false;  // a thread cannot wait for itself
    {
        std::unique_lock lock(m_finished->mutex);
        const auto done = [&] { return m_finished->done; };
        if (ms >= kWaitForever)
            m_finished->cv.wait(lock, done);
        else if (!m_finished->cv.wait_for(lock, std::chrono::milliseconds(ms), done))
            return false;
    }
    m_thread.join();
    m_finished.reset();
    return true;
}

std::thread::id ZELKThreadProc::GetThreadHandle() const
{
    return m_thread.get_id();
}
