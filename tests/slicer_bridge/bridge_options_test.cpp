// The bridge's command line: defaults, how every value maps onto the engine, and refusals that name the option.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BridgeOptions.h"

using bridge::BridgeOptions;
using bridge::EngineSettings;

namespace {

BridgeOptions Parse(std::vector<std::string> args)
{
    BridgeOptions options;
    std::string error;
    EXPECT_TRUE(bridge::ParseBridgeArguments(args, options, error)) << error;
    return options;
}

std::vector<std::string> EngineArgs(std::vector<std::string> args)
{
    args.push_back("model.stl");
    return bridge::EngineCommandLine("engine", bridge::DeriveEngineSettings(Parse(args)), "out.gcode", "model.stl");
}

// The value after `option` in an engine command line; "<absent>" when missing.
std::string ValueOf(const std::vector<std::string>& argv, const std::string& option)
{
    const auto it = std::find(argv.begin(), argv.end(), option);
    return it == argv.end() || it + 1 == argv.end() ? "<absent>" : *(it + 1);
}

bool Has(const std::vector<std::string>& argv, const std::string& word)
{
    return std::find(argv.begin(), argv.end(), word) != argv.end();
}

TEST(BridgeOptions, WithoutOptionsThePanelsDefaultsApply)
{
    const BridgeOptions o = Parse({"cube.stl"});
    EXPECT_EQ(o.profile, "QUEN");
    EXPECT_DOUBLE_EQ(o.layerHeightMm, 0.2);
    EXPECT_DOUBLE_EQ(o.infillPercent, 30);
    EXPECT_EQ(o.shells, 1);
    EXPECT_DOUBLE_EQ(o.speedMmPerS, 60);
    EXPECT_TRUE(o.raft);
    EXPECT_EQ(o.support, 0);
    EXPECT_EQ(o.modelPath, "cube.stl");
    // The panel's full command line gives the same settings.
    const BridgeOptions panel = Parse({"--profile", "QUEN", "--layer-height", "0.2", "--infill", "0.30", "--shells",
                                       "1", "--speed", "60", "--raft", "1", "--support", "0", "cube.stl"});
    EXPECT_EQ(bridge::EngineCommandLine("e", bridge::DeriveEngineSettings(panel), "o", "m"),
              bridge::EngineCommandLine("e", bridge::DeriveEngineSettings(o), "o", "m"));
}

TEST(BridgeOptions, InfillUpToOneIsAFractionAboveAPercentage)
{
    const std::pair<const char*, const char*> cases[] = {
        {"0.0", "0%"},   {"0.10", "10%"}, {"0.30", "30%"}, {"0.50", "50%"}, {"0.90", "90%"},
        {"1", "100%"},   {"20", "20%"},   {"100", "100%"}, {"27.5", "27.5%"}, {"0.255", "25.5%"},
    };
    for (const auto& [given, engine] : cases)
        EXPECT_EQ(ValueOf(EngineArgs({"--infill", given}), "--fill-density"), engine) << given;
}

TEST(BridgeOptions, EverySettingReachesTheEngine)
{
    struct Case {
        std::vector<std::string> args;
        const char* engineOption;
        const char* value;
    };
    const Case cases[] = {
        {{"--shells", "0"}, "--perimeters", "1"},
        {{"--shells", "1"}, "--perimeters", "2"},
        {{"--shells", "2"}, "--perimeters", "3"},
        {{"--layer-height", "0.3"}, "--layer-height", "0.3"},
        {{"--layer-height", "0.3"}, "--first-layer-height", "0.3"},
        {{"--layer-height", "0.05"}, "--first-layer-height", "0.2"},
        {{"--raft", "0"}, "--raft-layers", "0"},
        {{"--raft", "1"}, "--raft-layers", "2"},
        {{"--speed", "30"}, "--perimeter-speed", "30"},
        {{"--speed", "80"}, "--infill-speed", "80"},
        {{"--speed", "80"}, "--solid-infill-speed", "80"},
        {{"--speed", "80"}, "--support-material-speed", "80"},
        {{"--speed", "80"}, "--bridge-speed", "40"},
        {{"--speed", "30"}, "--bridge-speed", "30"},
        {{"--speed", "80"}, "--first-layer-speed", "20"},
        {{"--speed", "12.5"}, "--first-layer-speed", "12.5"},
        {{"--speed", "80"}, "--travel-speed", "80"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ValueOf(EngineArgs(c.args), c.engineOption), c.value) << c.args[0] << " " << c.args[1];
}

TEST(BridgeOptions, SupportChoosesWhereSupportGrows)
{
    const auto none = EngineArgs({"--support", "0"});
    const auto plate = EngineArgs({"--support", "1"});
    const auto everywhere = EngineArgs({"--support=2"});
    EXPECT_FALSE(Has(none, "--support-material"));
    EXPECT_TRUE(Has(plate, "--support-material") && Has(plate, "--support-material-buildplate-only"));
    EXPECT_TRUE(Has(everywhere, "--support-material"));
    EXPECT_FALSE(Has(everywhere, "--support-material-buildplate-only"));
}

TEST(BridgeOptions, TheEngineKeepsModelsInPlaceOnACentredBedWithoutItsOwnSequences)
{
    const std::vector<std::string> argv = EngineArgs({});
    EXPECT_EQ(argv.front(), "engine");
    EXPECT_TRUE(Has(argv, "--export-gcode") && Has(argv, "--dont-arrange"));
    EXPECT_TRUE(Has(argv, "--bed-shape=-75x-75,75x-75,75x75,-75x75"));
    EXPECT_EQ(ValueOf(argv, "--start-gcode"), "");
    EXPECT_EQ(ValueOf(argv, "--end-gcode"), "");
    EXPECT_EQ(ValueOf(argv, "--layer-gcode"), "G92 E0");
    EXPECT_EQ(ValueOf(argv, "--nozzle-diameter"), "0.4");
    EXPECT_EQ(ValueOf(argv, "--filament-diameter"), "1.75");
    EXPECT_EQ(ValueOf(argv, "--fill-pattern"), "rectilinear");  // works up to 100 %
    EXPECT_EQ(ValueOf(argv, "--output"), "out.gcode");
    EXPECT_EQ(argv.back(), "model.stl");
    // Machine limits: retraction under the extruder's 1600 mm/min, travel
    // under X/Y's 5000 mm/min, Z travel under 1170 mm/min.
    EXPECT_LE(std::stod(ValueOf(argv, "--retract-speed")) * 60, 1600);
    EXPECT_LE(std::stod(ValueOf(argv, "--travel-speed")) * 60, 5000);
    EXPECT_LE(std::stod(ValueOf(argv, "--travel-speed-z")) * 60, 1170);
}

TEST(BridgeOptions, BadValuesAreRefusedNamingTheOption)
{
    struct Case {
        std::vector<std::string> args;
        const char* named;
    };
    const Case cases[] = {
        {{"--layer-height", "0.5", "m.stl"}, "--layer-height"},
        {{"--layer-height", "0.04", "m.stl"}, "--layer-height"},
        {{"--layer-height", "abc", "m.stl"}, "--layer-height"},
        {{"--layer-height", "0.2mm", "m.stl"}, "--layer-height"}, {{"--infill", "-0.1", "m.stl"}, "--infill"},
        {{"--infill", "101", "m.stl"}, "--infill"}, {{"--infill", "nan", "m.stl"}, "--infill"},
        {{"--shells", "3", "m.stl"}, "--shells"}, {{"--shells", "1.5", "m.stl"}, "--shells"},
        {{"--speed", "4", "m.stl"}, "--speed"}, {{"--speed", "81", "m.stl"}, "--speed"},
        {{"--raft", "2", "m.stl"}, "--raft"}, {{"--raft", "yes", "m.stl"}, "--raft"},
        {{"--support", "3", "m.stl"}, "--support"}, {{"--support", "-1", "m.stl"}, "--support"},
        {{"--profile", "../QUEN", "m.stl"}, "--profile"}, {{"--profile", "a/b", "m.stl"}, "--profile"},
        {{"--profile=", "m.stl"}, "--profile"}, {{"--output", "", "m.stl"}, "--output"},
        {{"--bogus", "1", "m.stl"}, "--bogus"}, {{"m.stl", "--speed"}, "--speed"},
        {{"--output", "out/", "m.stl"}, "--output"}, {{}, "model"}, {{"a.stl", "b.stl"}, "model"},
    };
    for (const Case& c : cases) {
        BridgeOptions options;
        std::string error;
        EXPECT_FALSE(bridge::ParseBridgeArguments(c.args, options, error)) << c.named;
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(BridgeOptions, DefaultsThatDependOnTheSurroundings)
{
    EXPECT_EQ(bridge::DefaultOutputPath("/m/PrintModel/cube.stl"), "/m/PrintModel/cube.gcode");
    EXPECT_EQ(bridge::DefaultOutputPath("cube.STL"), "cube.gcode");
    EXPECT_EQ(bridge::DefaultOutputPath("x.stl"), "x.gcode");
    EXPECT_EQ(bridge::DefaultOutputPath("dir.v21/model"), "dir.v21/model.gcode");
    EXPECT_EQ(bridge::DefaultOutputPath("dir/.stl"), "dir/.stl.gcode");
    EXPECT_EQ(bridge::ProfileStartGCodePath("/opt/m/", "QUEN"),
              "/opt/m/skein_engines/skeinforge-50/skeinforge_application/prefs/QUEN/alterations/start.gcode");
    EXPECT_EQ(bridge::ChooseEngine("/x/engine", "/y/stub"), "/x/engine");
    EXPECT_EQ(bridge::ChooseEngine("", "/y/stub"), "/y/stub");
    EXPECT_EQ(bridge::ChooseEngine("", ""), "prusa-slicer");
    EXPECT_EQ(bridge::ChooseEngine("", nullptr), "prusa-slicer");
    EXPECT_TRUE(Parse({"--", "--odd name.stl"}).modelPath == "--odd name.stl");
    EXPECT_TRUE(Parse({"--help"}).help);
}

TEST(BridgeOptions, HelpDocumentsEveryOptionAndChosenValue)
{
    const std::string help = bridge::HelpText();
    for (const char* word : {"--profile", "--start-gcode", "--layer-height", "--infill", "--shells", "--speed",
                             "--raft", "--support", "--output", "--engine", "--help", "nozzle 0.4 mm",
                             "filament 1.75 mm", "1600 mm/min", "5000 mm/min", "1170 mm/min", "150 x 150 mm",
                             "raft layers: 2", "retraction 1 mm at 25 mm/s", "G162 Z F1000", "M18", "prusa-slicer"})
        EXPECT_NE(help.find(word), std::string::npos) << word;
}

}  // namespace
