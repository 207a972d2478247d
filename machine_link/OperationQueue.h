// The operations waiting for the worker: single packages the user interface
// and the tools queue (jogs, temperatures, stops), served one at a time while
// no print streams.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "Package.h"

namespace zelk {

// Any thread. Each package gets an id when it is queued, so that the worker
// takes off the very package it sent even when others were put in front of
// it, or the queue was emptied, while its reply was awaited.
class OperationQueue {
public:
    struct Entry {
        std::uint64_t id = 0;
        Package package;
    };

    // Appends the packages in their order.
    void Add(const std::vector<Package>& packages);
    // Puts the packages in front of everything queued, in their order.
    void Insert(const std::vector<Package>& packages);
    // Drops everything queued; waiters for an empty queue wake.
    void Clear();
    // The first package, copied; nothing when the queue is empty.
    std::optional<Entry> Front() const;
    // Takes off the package with this id, wherever it now stands (nothing
    // when it is gone already); waiters for an empty queue wake.
    void Remove(std::uint64_t id);
    std::vector<Package> Packages() const;
    bool Empty() const;
    // Waits until the queue is empty; false after timeoutMs.
    bool WaitUntilEmpty(int timeoutMs);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_taken;  // a package left the queue
    std::deque<Entry> m_entries;
    std::uint64_t m_nextId = 1;
};

}  // namespace zelk
