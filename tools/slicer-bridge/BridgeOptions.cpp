// The slicer bridge's command line, the engine settings derived from it, and the engine's own command line.
#include "BridgeOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "GeNumberText.h"

namespace bridge {

namespace {

const char* const kValueOptions[] = {"--profile", "--start-gcode", "--layer-height", "--infill", "--shells",
                                     "--speed", "--raft", "--support", "--output", "--engine"};

bool ParseDouble(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto [stop, ec] = std::from_chars(begin, end, value);
    return begin != end && ec == std::errc() && stop == end && std::isfinite(value);
}

bool ParseChoice(const std::string& text, int highest, int& value)
{
    const auto [stop, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && stop == text.data() + text.size() && value >= 0 && value <= highest;
}

// Sets one option from its value; false with the reason (the caller names the option).
bool SetOption(const std::string& name, const std::string& value, BridgeOptions& o, std::string& why)
{
    double number = 0;
    int choice = 0;
    if (name == "--profile") {
        if (value.empty() || value.find('/') != std::string::npos || value.find("..") != std::string::npos) {
            why = "a profile's folder name, without '/' or '..'";
            return false;
        }
        o.profile = value;
    } else if (name == "--start-gcode" || name == "--output" || name == "--engine") {
        if (value.empty()) {
            why = "a file name";
            return false;
        }
        if (name == "--output" && value.back() == '/') {
            why = "a file name, not a folder (for example " + value + "model.gcode)";
            return false;
        }
        (name == "--start-gcode" ? o.startGCodePath : name == "--output" ? o.outputPath : o.enginePath) = value;
    } else if (name == "--layer-height") {
        if (!ParseDouble(value, number) || number < 0.05 || number > 0.4) {
            why = "a layer height from 0.05 to 0.4 mm";
            return false;
        }
        o.layerHeightMm = number;
    } else if (name == "--infill") {
        if (!ParseDouble(value, number) || number < 0 || number > 100) {
            why = "a fraction from 0 to 1, or a percentage above 1 up to 100";
            return false;
        }
        o.infillPercent = number <= 1 ? number * 100 : number;
    } else if (name == "--shells") {
        if (!ParseChoice(value, 2, choice)) {
            why = "0 (thin), 1 (normal) or 2 (thick)";
            return false;
        }
        o.shells = choice;
    } else if (name == "--speed") {
        if (!ParseDouble(value, number) || number < 5 || number > 80) {
            why = "a print speed from 5 to 80 mm/s";
            return false;
        }
        o.speedMmPerS = number;
    } else if (name == "--raft") {
        if (!ParseChoice(value, 1, choice)) {
            why = "0 (no raft) or 1 (raft)";
            return false;
        }
        o.raft = choice == 1;
    } else {  // --support
        if (!ParseChoice(value, 2, choice)) {
            why = "0 (none), 1 (from the build plate) or 2 (everywhere)";
            return false;
        }
        o.support = choice;
    }
    return true;
}

// "30", "27.5": what the engine reads as a number or a percentage.
std::string Number(double value)
{
    return zelk::ShortNumber(value);
}

}  // namespace

bool ParseBridgeArguments(const std::vector<std::string>& args, BridgeOptions& options, std::string& error)
{
    std::vector<std::string> models;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            models.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) == std::end(kValueOptions)) {
            error = name + ": unknown option (see --help)";
            return false;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + ": needs a value";
            return false;
        }
        std::string why;
        if (!SetOption(name, value, options, why)) {
            error = name + " '" + value + "': expected " + why;
            return false;
        }
    }
    if (models.size() != 1) {
        error = models.empty() ? "no model file given (usage: slicer-bridge [OPTIONS] MODEL.stl)"
                               : "one model file expected, got " + std::to_string(models.size());
        return false;
    }
    options.modelPath = models.front();
    return true;
}

EngineSettings DeriveEngineSettings(const BridgeOptions& o)
{
    EngineSettings s;
    s.layerHeightMm = o.layerHeightMm;
    // A thin first layer sticks badly: at least 0.2 mm.
    s.firstLayerHeightMm = std::max(o.layerHeightMm, EngineSettings::kFirstLayerMinMm);
    s.perimeters = o.shells + 1;
    s.fillDensityPercent = o.infillPercent;
    s.printMmPerS = o.speedMmPerS;
    s.firstLayerMmPerS = std::min(o.speedMmPerS, EngineSettings::kFirstLayerMaxMmPerS);
    s.bridgeMmPerS = std::min(o.speedMmPerS, EngineSettings::kBridgeMaxMmPerS);
    s.gapFillMmPerS = std::min(o.speedMmPerS, EngineSettings::kGapFillMaxMmPerS);
    s.raftLayers = o.raft ? EngineSettings::kRaftLayers : 0;
    s.support = o.support;
    return s;
}

int EstimateLayerCount(double modelHeightMm, const EngineSettings& s)
{
    int layers = 1;
    const double rest = modelHeightMm - s.firstLayerHeightMm;
    if (rest > 1e-9)
        layers += static_cast<int>(std::ceil(rest / s.layerHeightMm - 1e-9));
    return layers + s.raftLayers;
}

std::vector<std::string> EngineCommandLine(const std::string& engine, const EngineSettings& s,
                                           const std::string& outputPath, const std::string& modelPath)
{
    using E = EngineSettings;
    const std::string speed = Number(s.printMmPerS);
    const std::string half = Number(E::kBedHalfMm);
    std::vector<std::string> argv = {
        engine, "--export-gcode", "--dont-arrange", "--loglevel", "3",
        "--bed-shape=-" + half + "x-" + half + "," + half + "x-" + half + "," + half + "x" + half + ",-" + half +
            "x" + half,
        // The bridge writes the start and end sequences itself; temperatures
        // come from the start G-code alone.
        "--start-gcode", "", "--end-gcode", "",
        "--temperature", "0", "--first-layer-temperature", "0", "--bed-temperature", "0",
        "--first-layer-bed-temperature", "0",
        // Relative E with a reset on every layer, turned into absolute E by
        // the rewrite: the engine refuses the reset with absolute E, and the
        // reset keeps E small in the translator's single precision.
        "--use-relative-e-distances", "--layer-gcode", "G92 E0",
        "--nozzle-diameter", Number(E::kNozzleMm), "--filament-diameter", Number(E::kFilamentMm),
        "--layer-height", Number(s.layerHeightMm), "--first-layer-height", Number(s.firstLayerHeightMm),
        "--perimeters", std::to_string(s.perimeters),
        "--fill-density", Number(s.fillDensityPercent) + "%", "--fill-pattern", "rectilinear",
        "--perimeter-speed", speed, "--external-perimeter-speed", "75%", "--small-perimeter-speed", "75%",
        "--infill-speed", speed, "--solid-infill-speed", speed, "--top-solid-infill-speed", "75%",
        "--support-material-speed", speed, "--bridge-speed", Number(s.bridgeMmPerS),
        "--gap-fill-speed", Number(s.gapFillMmPerS), "--first-layer-speed", Number(s.firstLayerMmPerS),
        "--max-print-speed", speed,
        "--travel-speed", Number(E::kTravelMmPerS), "--travel-speed-z", Number(E::kTravelZMmPerS),
        "--retract-length", Number(E::kRetractMm), "--retract-speed", Number(E::kRetractMmPerS),
        "--skirts", std::to_string(E::kSkirtLoops), "--skirt-distance", Number(E::kSkirtDistanceMm),
        "--skirt-height", "1", "--brim-width", "0",
        "--raft-layers", std::to_string(s.raftLayers),
    };
    if (s.support >= 1) {
        argv.insert(argv.end(), {"--support-material", "--support-material-auto"});
        if (s.support == 1)
            argv.push_back("--support-material-buildplate-only");
    }
    argv.insert(argv.end(), {"--output", outputPath, modelPath});
    return argv;
}

std::string DefaultOutputPath(const std::string& modelPath)
{
    const std::size_t n = modelPath.size();
    const std::size_t slash = modelPath.rfind('/');
    // "NAME.stl" -> "NAME.gcode": the last four characters when they are an extension.
    if (n > 4 && modelPath[n - 4] == '.' && (slash == std::string::npos || slash < n - 5))
        return modelPath.substr(0, n - 4) + ".gcode";
    return modelPath + ".gcode";
}

std::string ProfileStartGCodePath(const std::string& programFolder, const std::string& profile)
{
    std::string folder = programFolder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + "skein_engines/skeinforge-50/skeinforge_application/prefs/" + profile + "/alterations/start.gcode";
}

std::string ChooseEngine(const std::string& engineOption, const char* engineVariable)
{
    if (!engineOption.empty())
        return engineOption;
    if (engineVariable != nullptr && *engineVariable != '\0')
        return engineVariable;
    return "prusa-slicer";
}

}  // namespace bridge
