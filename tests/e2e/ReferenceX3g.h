// A plain, literal rendering of the translation rules for the line shapes they
// define (formatted reads, vectors, no shortcuts), used as the oracle that the
// converter's bytes are compared with.
#pragma once

#include <string>
#include <vector>

namespace reference {

struct StartValues {
    float extruderTempC;
    float platformTempC;
    float startHeightMM;
};

// The start G-code the converter tests run with: 212 C, 95 C, 137.4 mm.
inline const char* const kStartGCode =
    "M104 S212 T0\nM109 S95 T0\nG21\nG90\nM17\nM6 T0\nG162 Z F1000\nG161 X Y F2500\nM103\n"
    "G92 X-75 Y-75 Z137.4 A0 B0\n";
inline constexpr StartValues kStartValues{212, 95, 137.4f};

// The X3G bytes for a G-code text, starting from a new machine.
std::vector<unsigned char> X3gOf(const std::string& gcodeText, const StartValues& start);

}  // namespace reference
