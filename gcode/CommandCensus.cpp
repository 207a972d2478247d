// The commands a translation left out, counted by name in the order first met.
#include "CommandCensus.h"

namespace zelk::gcode {

void CommandCensus::Count(const std::string& name, bool changesMotion)
{
    m_changesMotion = m_changesMotion || changesMotion;
    for (Entry& e : m_entries) {
        if (e.name == name) {
            ++e.count;
            return;
        }
    }
    m_entries.push_back({name, 1, changesMotion});
}

std::size_t CommandCensus::Total() const
{
    std::size_t total = 0;
    for (const Entry& e : m_entries)
        total += e.count;
    return total;
}

std::string CommandCensus::Summary() const
{
    std::string text;
    for (const Entry& e : m_entries)
        text += (text.empty() ? "" : ", ") + e.name + " \u00d7" + std::to_string(e.count);
    return text;
}

std::string CommandCensus::MotionSummary() const
{
    std::string text;
    for (const Entry& e : m_entries)
        if (e.changesMotion)
            text += (text.empty() ? "" : ", ") + e.name + " \u00d7" + std::to_string(e.count);
    return text;
}

}  // namespace zelk::gcode
