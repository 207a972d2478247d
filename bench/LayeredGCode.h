// A generated print the way a slicer lays one out: parts built layer by layer
// from perimeters and infill, with retraction and travel between them.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

struct LayeredGCodeStats {
    std::size_t lines = 0;
    std::size_t layers = 0;
    std::size_t extrusionMoves = 0;
    std::size_t travelMoves = 0;
};

// Writes at least minLines lines to path: the canonical start sequence, then
// layers of nine parts in a 3 x 3 grid on the plate (a round, lobed outline
// that narrows and twists with height; three perimeters, infill at +-45
// degrees alternating by layer), every move "G1 X Y Z F E" with absolute E
// and "G92 E0" at each layer. Deterministic. False, with error set, when the
// file cannot be written.
bool WriteLayeredGCode(const std::string& path, std::size_t minLines, LayeredGCodeStats& stats, std::string& error);

}  // namespace bench
