// Which models each G-code file was sliced from, so that a print never silently uses G-code of older models.
#pragma once

#include <cstdint>
#include <string>

namespace ZELKCAD {

enum SlicedGCodeState {
    GCODE_NOT_SLICED_HERE = 0,  // no slicing in this run wrote it (put there by hand, or never sliced)
    GCODE_CURRENT = 1,          // sliced from the models as they are now
    GCODE_STALE = 2,            // sliced, but the models changed since
};

// Remembers that `gcodePath` was written by slicing models whose
// PrintModelFingerprint was `fingerprint`. Thread-safe.
void RecordSlicedGCode(const std::string& gcodePath, std::uint64_t fingerprint);
void ForgetSlicedGCode(const std::string& gcodePath);
SlicedGCodeState GetSlicedGCodeState(const std::string& gcodePath, std::uint64_t currentFingerprint);

}  // namespace ZELKCAD
