// The slicer bridge's --help text, built from the values the bridge really uses.
#include <cstdio>
#include <string>

#include "BridgeOptions.h"
#include "GCodeRewrite.h"

namespace bridge {

namespace {

std::string Value(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

std::string OptionsText()
{
    const BridgeOptions d;
    return "usage: slicer-bridge [OPTIONS] MODEL.stl\n"
           "\n"
           "Slices an STL model with PrusaSlicer (Debian package prusa-slicer) and\n"
           "rewrites its G-code for the printer: the profile's start G-code first,\n"
           "every move as \"G1 X Y Z F E\" with absolute E, an end sequence last.\n"
           "Models print where they stand on the platform (no re-arranging).\n"
           "\n"
           "Options (every one optional; the defaults are the slicing panel's):\n"
           "  --profile NAME      start G-code profile (default " + d.profile + "): the user's edited or\n"
           "                      the shipped skein_engines/skeinforge-50/skeinforge_application/prefs/\n"
           "                      NAME/alterations/start.gcode; its first line must hold M104\n"
           "                      and its second M109 (the temperatures)\n"
           "  --start-gcode FILE  use FILE as the start G-code instead\n"
           "  --layer-height MM   0.05 to 0.4 (default " + Value(d.layerHeightMm) + ")\n"
           "  --infill V          up to 1 a fraction (0.30 = 30 %), above 1 a percentage up\n"
           "                      to 100 (default " + Value(d.infillPercent) + " %)\n"
           "  --shells N          0 thin, 1 normal, 2 thick: N + 1 perimeters (default " +
           std::to_string(d.shells) + ")\n"
           "  --speed MM_PER_S    print speed, 5 to 80 (default " + Value(d.speedMmPerS) + ")\n"
           "  --raft 0|1          1: " + std::to_string(EngineSettings::kRaftLayers) +
           " raft layers under the model (default 1)\n"
           "  --support 0|1|2     0 none, 1 only where it stands on the platform, 2 everywhere\n"
           "                      (default 0)\n"
           "  --output FILE       the G-code file (default: MODEL with its extension\n"
           "                      replaced by .gcode); replaced only by a complete new one,\n"
           "                      never the model or the start G-code under any name\n"
           "  --engine PATH       the slicing engine (default $MORVADIN_SLICER_ENGINE when\n"
           "                      set, else prusa-slicer from PATH)\n"
           "  -h, --help          this text\n";
}

std::string ChosenValuesText()
{
    using E = EngineSettings;
    std::string end;
    for (std::size_t from = 0; from < kEndSequence.size();) {
        const std::size_t nl = kEndSequence.find('\n', from);
        end += (from == 0 ? "" : ", ") + std::string(kEndSequence.substr(from, nl - from));
        from = nl + 1;
    }
    return "Chosen for what the settings leave open:\n"
           "  nozzle " + Value(E::kNozzleMm) + " mm, filament " + Value(E::kFilamentMm) + " mm, rectilinear infill\n"
           "  first layer: at least " + Value(E::kFirstLayerMinMm) + " mm high, at most " +
           Value(E::kFirstLayerMaxMmPerS) + " mm/s\n"
           "  perimeters, infill, solid infill and support at the print speed; outer and\n"
           "  small perimeters and top surfaces at 75 % of it; bridges at most " +
           Value(E::kBridgeMaxMmPerS) + " mm/s,\n"
           "  gap fill at most " + Value(E::kGapFillMaxMmPerS) + " mm/s; layers printed too fast are slowed down\n"
           "  travel " + Value(E::kTravelMmPerS) + " mm/s (" + Value(E::kTravelMmPerS * 60) +
           " mm/min; X/Y limit 5000 mm/min), Z travel " + Value(E::kTravelZMmPerS) + " mm/s\n"
           "  (" + Value(E::kTravelZMmPerS * 60) + " mm/min; Z limit 1170 mm/min)\n"
           "  retraction " + Value(E::kRetractMm) + " mm at " + Value(E::kRetractMmPerS) + " mm/s (" +
           Value(E::kRetractMmPerS * 60) + " mm/min; extruder limit 1600 mm/min)\n"
           "  skirt: " + std::to_string(E::kSkirtLoops) + " loop, " + Value(E::kSkirtDistanceMm) +
           " mm from the model, first layer only; no brim\n"
           "  bed " + Value(2 * E::kBedHalfMm) + " x " + Value(2 * E::kBedHalfMm) + " mm centred on the origin\n"
           "  raft layers: " + std::to_string(E::kRaftLayers) + "\n"
           "  open models (edges used by one facet only) get their holes closed before slicing\n"
           "  end sequence: " + end + "\n";
}

}  // namespace

std::string HelpText()
{
    return OptionsText() + "\n" + ChosenValuesText() + "\n" +
           "Progress lines: \"Inset layer count 0 of T\", \"Inset layer count N\" while\n"
           "the engine slices, \"Fill layer count N of T\" while the G-code is rewritten,\n"
           "\"Raft layer count K\" for a raft, then \"The exported file is saved as FILE\".\n"
           "\n"
           "The model must lie within the build volume of the program's profile\n"
           "(morvadin.ini, [PRINTPLATFORM]: the platform centred on the origin, from the\n"
           "plate up to its height), as the program's plate requires; else it is refused.\n"
           "\n"
           "Exit status: 0 done; 1 the model was refused or the engine failed; 2 bad\n"
           "command line; 3 the engine is not installed; 4 the output cannot be written;\n"
           "5 the start G-code is missing or lacks its temperature lines; 130 cancelled\n"
           "(SIGINT, SIGTERM, SIGHUP, or a broken pipe when the reader of the progress\n"
           "has gone). Errors are one line \"error: ...\". On failure no G-code file is\n"
           "written and a previous one stays as it was. The engine never outlives the\n"
           "bridge, however the bridge ends; the work folder of a killed run is removed\n"
           "by the next run that writes beside it.\n";
}

}  // namespace bridge
