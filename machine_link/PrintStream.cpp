#include "PrintStream.h"

namespace zelk {

void PrintStream::ReplaceList(PrintList list)
{
    std::lock_guard lock(m_listMutex);
    m_list = std::move(list);
}

void PrintStream::ClearList()
{
    std::lock_guard lock(m_listMutex);
    m_list.clear();
}

int PrintStream::Size() const
{
    std::lock_guard lock(m_listMutex);
    return static_cast<int>(m_list.size());
}

PrintStream::Next PrintStream::Peek() const
{
    Next next;
    next.index = m_index.load();
    std::lock_guard lock(m_listMutex);
    if (next.index >= 0 && next.index < static_cast<int>(m_list.size()))
        next.package = m_list[static_cast<std::size_t>(next.index)];
    return next;
}

void PrintStream::Took(int index)
{
    m_index.compare_exchange_strong(index, index + 1);
}

bool PrintStream::PrinterToggled()
{
    const bool paused = !m_printerPaused.load();
    m_printerPaused = paused;
    return paused;
}

void PrintStream::ForgetPause()
{
    m_hostPaused = false;
    m_printerPaused = false;
}

void PrintStream::FinishedQuerySent(Clock::time_point now)
{
    m_finishedQueryNotBefore = now + std::chrono::milliseconds(m_pollIntervalMs.load());
}

}  // namespace zelk
