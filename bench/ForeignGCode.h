// A generated print in another slicer's G-code: RepRap/Marlin style as
// PrusaSlicer writes it for a Marlin 2 printer, with relative extrusion (M83),
// short numbers ("X12.345 Y-6.789 E.04521") and its settings block at the end,
// which names the flavour ("; gcode_flavor = marlin2"). Made from a seed, so
// every run converts the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "CanonicalGCode.h"

namespace bench {

struct ForeignGCodeOptions {
    std::uint64_t seed = 1;
    // The file gets at least this many lines, header and settings included.
    std::size_t minLines = 1000000;
};

struct ForeignGCodeStats {
    std::size_t lines = 0;
    std::size_t bytes = 0;
    std::size_t extrusionMoves = 0;  // "G1 X Y E"
    std::size_t travelMoves = 0;     // "G1 X Y F7800"
    std::size_t layers = 0;
};

// Every position stays on the platform's middle, X and Y in [-70, 70], and
// every height in [0.2, 100]: the volume the converter accepts with the
// shipped start G-code.
inline constexpr double kForeignHalfWidthMm = 70.0;
inline constexpr double kForeignMaxHeightMm = 100.0;

// Generates the whole file into sink.
ForeignGCodeStats GenerateForeignGCode(const ForeignGCodeOptions& options, LineSink& sink);

// Writes the file to path ("\n" line ends). False, with error set, when the
// file cannot be written.
bool WriteForeignGCode(const std::string& path, const ForeignGCodeOptions& options, ForeignGCodeStats& stats,
                       std::string& error);

}  // namespace bench
