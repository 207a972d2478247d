// Which firmware's G-code a file is written for: the marks slicers leave in their files, and the names users give.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zelk::gcode {

enum class GCodeFlavor {
    kPrinter,   // this printer's own dialect, as the slicer bridge writes it, read as the translator always has
    kMakerbot,  // the printers of this family: M109 and M140 heat the platform, M6/M133 wait for the extruder
    kRepRap,    // RepRap and Marlin: M104/M109 the extruder (M109 waits), M140/M190 the platform
};

// "printer", "makerbot", "reprap".
const char* FlavorName(GCodeFlavor flavor);
// The flavour of a --flavor value (those three names); nothing for another.
std::optional<GCodeFlavor> ParseFlavorName(std::string_view name);

// A flavour a file names itself.
struct FlavorMark {
    GCodeFlavor flavor = GCodeFlavor::kPrinter;
    bool found = false;
    std::string mark;  // the line that said so, as written ("; gcode_flavor = marlin2")
};

// Looks for the marks slicers write: ";FLAVOR:Marlin" among the first lines
// (Cura), "; gcode_flavor = marlin2" in the settings block at the end
// (PrusaSlicer, Slic3r, SuperSlicer), ";   gcodeFlavor,reprap" in the
// settings block at the top (Simplify3D). A file without a mark is the
// printer's own dialect. Reads only the head and the tail of the text.
FlavorMark DetectFlavor(std::string_view text);
// The same from a file's first and last bytes, read apart (the head holds the
// whole file when it is small, and the tail is then empty).
FlavorMark DetectFlavor(std::string_view head, std::string_view tail);
// How much of each end the marks are looked for in.
inline constexpr std::size_t kFlavorHeadBytes = 64 * 1024;
inline constexpr std::size_t kFlavorTailBytes = 256 * 1024;

// The flavour a slicer's name for its firmware stands for ("marlin2",
// "Marlin", "sailfish", "makerware", "Griffin", ...); nothing for a name
// that is no firmware we know.
std::optional<GCodeFlavor> FlavorOfFirmwareName(std::string_view name);

}  // namespace zelk::gcode
