// The start G-code: the check of its temperature lines and the position it leaves the head at.
#include "GCodeRewrite.h"
#include "GCodeLines.h"

namespace bridge {

using namespace gcodelines;

bool CheckStartGCode(std::string_view text, std::string& error)
{
    std::string_view first, second;
    int found = 0;
    ForEachLine(text, [&](std::string_view line) {
        if (CodePart(line).empty())
            return true;
        (found == 0 ? first : second) = line;
        return ++found < 2;
    });
    if (first.find("M104") == std::string_view::npos) {
        error = "its first line does not set the extruder temperature (M104)";
        return false;
    }
    if (second.find("M109") == std::string_view::npos) {
        error = "its second line does not set the platform temperature (M109)";
        return false;
    }
    return true;
}

MachineState TrackStartGCode(std::string_view text)
{
    MachineState state;
    ForEachLine(text, [&](std::string_view line) {
        line = CodePart(line);
        const std::size_t space = line.find_first_of(" \t");
        const std::string_view command = line.substr(0, space);
        const bool move = command == "G1" || command == "G0" || command == "G01" || command == "G00";
        const bool set = command == "G92";
        if (!move && !set)
            return true;
        // Bare axis letters ("G92 X Y") are not numbers: skip them, keep the rest.
        std::string_view rest = space == std::string_view::npos ? std::string_view() : line.substr(space);
        while (!rest.empty()) {
            while (!rest.empty() && IsBlank(rest.front()))
                rest.remove_prefix(1);
            std::size_t n = 0;
            while (n < rest.size() && !IsBlank(rest[n]))
                ++n;
            double v = 0;
            if (n > 1 && ParseNumber(rest.substr(1, n - 1), v)) {
                switch (Upper(rest.front())) {
                case 'X': state.x = v; break;
                case 'Y': state.y = v; break;
                case 'Z': state.z = v; break;
                case 'F': state.feedMmPerMin = move ? v : state.feedMmPerMin; break;
                case 'E': state.e = v; break;
                case 'A': state.e = set ? v : state.e; break;
                default: break;
                }
            }
            rest.remove_prefix(n);
        }
        return true;
    });
    return state;
}

}  // namespace bridge
