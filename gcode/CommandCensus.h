// The commands a translation left out, counted by name in the order first met, for one line that tells the user.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace zelk::gcode {

class CommandCensus {
public:
    // Counts one line of `name`; `changesMotion` marks a command whose loss
    // changes where the head goes or how much it extrudes (G0, arcs, G91, M83...).
    void Count(const std::string& name, bool changesMotion);

    bool Empty() const { return m_entries.empty(); }
    bool ChangesMotion() const { return m_changesMotion; }
    std::size_t Total() const;
    // "G0 ×40, M83 ×1", in the order the commands were first met.
    std::string Summary() const;
    // The same for the commands that change motion alone.
    std::string MotionSummary() const;

private:
    struct Entry {
        std::string name;
        std::size_t count = 0;
        bool changesMotion = false;
    };
    std::vector<Entry> m_entries;
    bool m_changesMotion = false;
};

}  // namespace zelk::gcode
