#include "OperationQueue.h"

#include <chrono>

namespace zelk {

void OperationQueue::Add(const std::vector<Package>& packages)
{
    std::lock_guard lock(m_mutex);
    for (const Package& p : packages)
        m_entries.push_back({m_nextId++, p});
}

void OperationQueue::Insert(const std::vector<Package>& packages)
{
    std::lock_guard lock(m_mutex);
    for (auto it = packages.rbegin(); it != packages.rend(); ++it)
        m_entries.push_front({m_nextId++, *it});
}

void OperationQueue::Clear()
{
    {
        std::lock_guard lock(m_mutex);
        m_entries.clear();
    }
    m_taken.notify_all();
}

std::optional<OperationQueue::Entry> OperationQueue::Front() const
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty())
        return std::nullopt;
    return m_entries.front();
}

void OperationQueue::Remove(std::uint64_t id)
{
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->id == id) {
                m_entries.erase(it);
                break;
            }
        }
    }
    m_taken.notify_all();
}

std::vector<Package> OperationQueue::Packages() const
{
    std::lock_guard lock(m_mutex);
    std::vector<Package> list;
    list.reserve(m_entries.size());
    for (const Entry& e : m_entries)
        list.push_back(e.package);
    return list;
}

bool OperationQueue::Empty() const
{
    std::lock_guard lock(m_mutex);
    return m_entries.empty();
}

bool OperationQueue::WaitUntilEmpty(int timeoutMs)
{
    std::unique_lock lock(m_mutex);
    return m_taken.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_entries.empty(); });
}

}  // namespace zelk
