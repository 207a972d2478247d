// What the worker does: serve the operation queue (idle) or stream the print
// list (printing), and which temperature queries wait to go out first.
#pragma once

#include <atomic>

namespace zelk {

// Any thread: one atomic word. Exactly one of idle or printing is set.
class LinkMode {
public:
    enum Bits {
        kIdle = 1,
        kPrinting = 2,
        kExtruderQuery = 4,
        kPlatformQuery = 8,
    };
    static constexpr int kQueries = kExtruderQuery | kPlatformQuery;

    int Get() const { return m_bits.load(); }
    bool IsPrinting() const { return (m_bits.load() & kPrinting) != 0; }
    // Idle or printing; a query asked for is dropped.
    void SetIdle() { m_bits = kIdle; }
    void SetPrinting() { m_bits = kPrinting; }
    void Ask(int queryBit) { m_bits.fetch_or(queryBit & kQueries); }
    void Answered(int queryBit) { m_bits.fetch_and(~(queryBit & kQueries)); }
    // The printer reported the build finished: idle, and a query asked for
    // meanwhile still goes out.
    void FinishBuild();

private:
    std::atomic<int> m_bits{kIdle};
};

}  // namespace zelk
