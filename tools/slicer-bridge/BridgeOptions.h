// The slicer bridge's command line, the engine settings derived from it, and the engine's own command line.
#pragma once

#include <string>
#include <vector>

namespace bridge {

// The values the user (or the slicing panel) gives, defaults as the panel's.
struct BridgeOptions {
    std::string profile = "QUEN";
    std::string startGCodePath;  // empty: the profile's start G-code in the program folder
    double layerHeightMm = 0.2;
    double infillPercent = 30;
    int shells = 1;  // 0 thin, 1 normal, 2 thick
    double speedMmPerS = 60;
    bool raft = true;
    int support = 0;         // 0 none, 1 from the build plate only, 2 everywhere
    std::string outputPath;  // empty: beside the model
    std::string enginePath;  // empty: $MORVADIN_SLICER_ENGINE, else prusa-slicer from PATH
    std::string modelPath;
    bool help = false;
};

// Parses the arguments after the program name. False with a one-line reason
// that names the option (or the missing model) on any mistake.
bool ParseBridgeArguments(const std::vector<std::string>& args, BridgeOptions& options, std::string& error);

// What the bridge chooses for everything the options leave open, and the
// engine values the options map to.
struct EngineSettings {
    static constexpr double kNozzleMm = 0.4;
    static constexpr double kFilamentMm = 1.75;
    // The extruder axis moves at most 1600 mm/min, X/Y 5000 and Z 1170.
    static constexpr double kRetractMm = 1.0;
    static constexpr double kRetractMmPerS = 25;  // 1500 mm/min
    static constexpr double kTravelMmPerS = 80;   // 4800 mm/min
    static constexpr double kTravelZMmPerS = 15;  // 900 mm/min
    static constexpr double kFirstLayerMaxMmPerS = 20;
    static constexpr double kFirstLayerMinMm = 0.2;
    static constexpr double kBridgeMaxMmPerS = 40;
    static constexpr double kGapFillMaxMmPerS = 20;
    static constexpr int kRaftLayers = 2;
    static constexpr int kSkirtLoops = 1;
    static constexpr double kSkirtDistanceMm = 3;
    static constexpr double kBedHalfMm = 75;  // a 150 x 150 mm bed centred on the origin

    double layerHeightMm = 0;
    double firstLayerHeightMm = 0;
    int perimeters = 0;
    double fillDensityPercent = 0;
    double printMmPerS = 0;
    double firstLayerMmPerS = 0;
    double bridgeMmPerS = 0;
    double gapFillMmPerS = 0;
    int raftLayers = 0;
    int support = 0;
};

EngineSettings DeriveEngineSettings(const BridgeOptions& options);

// The layers the model will need: the first layer, then as many as fill the
// rest of its height, plus the raft.
int EstimateLayerCount(double modelHeightMm, const EngineSettings& settings);

// The engine's full command line: program, settings, output file, model.
std::vector<std::string> EngineCommandLine(const std::string& engine, const EngineSettings& settings,
                                           const std::string& outputPath, const std::string& modelPath);

// Defaults that depend on the surroundings, given as parameters.
std::string DefaultOutputPath(const std::string& modelPath);
std::string ProfileStartGCodePath(const std::string& programFolder, const std::string& profile);
std::string ChooseEngine(const std::string& engineOption, const char* engineVariable);

// The --help text: every option, and every value the bridge chooses.
std::string HelpText();

}  // namespace bridge
