#include "LinkWorker.h"

namespace zelk {

LinkWorker::LinkWorker(std::function<Round()> round) : m_round(std::move(round)), m_thread(this)
{
    m_thread.SetTechFun(&LinkWorker::ThreadProc);
}

LinkWorker::~LinkWorker()
{
    if (IsRunning())
        End();
}

unsigned long LinkWorker::ThreadProc(void* parameter)
{
    static_cast<LinkWorker*>(parameter)->Loop();
    return 0;
}

void LinkWorker::Begin()
{
    if (IsRunning())
        return;
    m_stop = false;
    m_thread.BeginThread();
}

void LinkWorker::RequestStop()
{
    m_stop = true;
    Wake();
}

void LinkWorker::Join()
{
    // Woken from any wait, the worker ends within one write at most.
    m_thread.EndThread(ZELKThreadProc::kWaitForever);
}

void LinkWorker::Wake()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_requests;
    }
    m_cv.notify_all();
}

void LinkWorker::WaitUntil(Clock::time_point deadline)
{
    std::unique_lock lock(m_mutex);
    m_cv.wait_until(lock, deadline, [&] { return m_requests != m_roundStart || m_stop.load(); });
}

void LinkWorker::Loop()
{
    while (!m_stop.load()) {
        {
            std::lock_guard lock(m_mutex);
            m_roundStart = m_requests;
        }
        const Round round = m_round();
        if (round == Round::Finished)
            break;
        if (round == Round::Worked)
            continue;
        // Idle: sleep until a request arrives (any request bumps the counter,
        // so one made after the round began is not missed).
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [&] { return m_requests != m_roundStart || m_stop.load(); });
    }
}

}  // namespace zelk
