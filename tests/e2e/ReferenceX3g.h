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

// The X3G bytes for a G-code text, starting from a new machine.
std::vector<unsigned char> X3gOf(const std::string& gcodeText, const StartValues& start);

}  // namespace reference
