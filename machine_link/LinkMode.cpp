#include "LinkMode.h"

namespace zelk {

void LinkMode::FinishBuild()
{
    int bits = m_bits.load();
    while (!m_bits.compare_exchange_weak(bits, (bits & kQueries) | kIdle)) {
    }
}

}  // namespace zelk
