// What the bridge is handed: never writes over its own input, refuses what the plate refuses, odd names kept safe.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>

#include "BridgeRun.h"
#include "FileAliases.h"
#include "StlShapes.h"
#include "TempDir.h"

using bridgetest::BridgeRun;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// The run's own config folder, with a profile whose platform is 120 x 100 mm
// and 90 mm high, so the numbers in a refusal come from the profile.
class BridgeInputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(m_config.File("morvadin-x"));
        WriteFile(m_config.File("morvadin-x/morvadin.ini"),
                  "[PRINTPLATFORM]\nPlatformLength = 120\nPlatformWidth = 100\nPlatformHigh = 90\n");
        const char* old = std::getenv("XDG_CONFIG_HOME");
        m_oldConfig = old != nullptr ? old : "";
        ::setenv("XDG_CONFIG_HOME", m_config.Path().c_str(), 1);
        ::unsetenv("MORVADIN_SLICER_ENGINE");
    }
    void TearDown() override
    {
        if (m_oldConfig.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", m_oldConfig.c_str(), 1);
        ::unsetenv("MORVADIN_SLICER_ENGINE");
    }

    // An engine that writes the arguments it got, one a line, and fails.
    std::string ArgumentEngine()
    {
        const std::string stub = m_dir.File("engine-stub");
        WriteFile(stub, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + m_dir.File("engine.args") +
                            "'\nexit 1\n");
        ::chmod(stub.c_str(), 0755);
        return stub;
    }

    TempDir m_config;
    TempDir m_dir;
    std::string m_oldConfig;
};

TEST_F(BridgeInputs, RefusesAnOutputThatIsTheModelUnderAnyName)
{
    const std::string model = m_dir.File("model.stl");
    stlshapes::WriteBinaryStl(model, stlshapes::Box(-10, -10, 0, 10, 10, 20));
    const std::string original = ReadFile(model);
    std::vector<testsupport::FileAlias> names = testsupport::OtherNamesOf(model);
    names.push_back({"same spelling", model});
    for (const testsupport::FileAlias& name : names) {
        const BridgeRun run = bridgetest::RunBridge({"--output", name.path, model});
        EXPECT_EQ(run.exitCode, 2) << name.how << ": " << run.Last();
        EXPECT_EQ(run.Last(), "error: '" + name.path + "' is the input file '" + model +
                                  "'" + (name.path == model ? "" : " under another name") +
                                  ": writing it would destroy the input; choose another output file")
            << name.how;
        EXPECT_EQ(ReadFile(model), original) << name.how << ": the model was replaced";
    }
    EXPECT_TRUE(bridgetest::Unexpected(m_dir.Path(), {"model.stl", "symlink-model.stl", "hardlink-model.stl"}).empty());
}

TEST_F(BridgeInputs, RefusesModelsBeyondTheProfilesBuildVolumeWithItsNumbers)
{
    struct Case {
        const char* name;
        std::vector<stlshapes::Facet> mesh;
        std::string named;
    };
    const Case cases[] = {
        {"far off the bed", stlshapes::Box(490, -10, 0, 510, 10, 20),
         "X from 490 to 510 mm, the platform reaches from -60 to 60 mm"},
        {"over the edge in Y", stlshapes::Box(-10, 40, 0, 10, 60, 20),
         "Y from 40 to 60 mm, the platform reaches from -50 to 50 mm"},
        {"taller than the printer", stlshapes::Box(-10, -10, 0, 10, 10, 300),
         "Z from 0 to 300 mm, the printer reaches from 0 to 90 mm"},
        {"below the plate", stlshapes::Box(-10, -10, -5, 10, 10, 20),
         "Z from -5 to 20 mm, the printer reaches from 0 to 90 mm"},
    };
    ::setenv("MORVADIN_SLICER_ENGINE", ArgumentEngine().c_str(), 1);
    for (const Case& c : cases) {
        const std::string model = m_dir.File("model.stl");
        stlshapes::WriteBinaryStl(model, c.mesh);
        const BridgeRun run = bridgetest::RunBridge({model});
        EXPECT_EQ(run.exitCode, 1) << c.name << ": " << run.Last();
        EXPECT_NE(run.Last().find("the model lies beyond the build volume (" + c.named + ")"), std::string::npos)
            << c.name << ": " << run.Last();
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("engine.args"))) << c.name << ": the engine was run";
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("model.gcode"))) << c.name;
    }
    // Within 0.01 mm of the edge is still on the plate, as the plate says.
    stlshapes::WriteBinaryStl(m_dir.File("model.stl"), stlshapes::Box(-60.005f, -10, 0, 10, 10, 89.99f));
    bridgetest::RunBridge({m_dir.File("model.stl")});
    EXPECT_TRUE(std::filesystem::exists(m_dir.File("engine.args"))) << "a model at the edge was refused";
}

TEST_F(BridgeInputs, ANameThatStartsWithADashReachesTheEngineAsAFile)
{
    ::setenv("MORVADIN_SLICER_ENGINE", ArgumentEngine().c_str(), 1);
    // Run from the model's folder, so the name is a bare "-dash.stl".
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(m_dir.Path());
    stlshapes::WriteBinaryStl("-dash.stl", stlshapes::Box(-10, -10, 0, 10, 10, 20));
    const BridgeRun run = bridgetest::RunBridge({"--", "-dash.stl"});
    std::filesystem::current_path(before);
    EXPECT_EQ(run.exitCode, 1) << run.Last();
    const std::string args = ReadFile(m_dir.File("engine.args"));
    EXPECT_NE(args.find("\n./-dash.stl\n"), std::string::npos) << args;
    EXPECT_EQ(args.find("\n-dash.stl\n"), std::string::npos) << "passed as an option:\n" << args;
}

TEST_F(BridgeInputs, AnOutputThatNamesAFolderIsRefusedWithAFileNameToUse)
{
    const std::string model = m_dir.File("model.stl");
    stlshapes::WriteBinaryStl(model, stlshapes::Box(-10, -10, 0, 10, 10, 20));
    const std::string folder = m_dir.Path().string();

    const BridgeRun slash = bridgetest::RunBridge({"--output", folder + "/", model});
    EXPECT_EQ(slash.exitCode, 2);
    EXPECT_EQ(slash.Last(), "error: --output '" + folder + "/': expected a file name, not a folder (for example " +
                                folder + "/model.gcode)");

    const BridgeRun bare = bridgetest::RunBridge({"--output", folder, model});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.Last(), "error: '" + folder + "' is a folder: name the G-code file to write in it, for example " +
                               folder + "/model.gcode");

    const BridgeRun empty = bridgetest::RunBridge({"--output", "", model});
    EXPECT_EQ(empty.Last(), "error: --output '': expected a file name");
    const BridgeRun profile = bridgetest::RunBridge({"--profile", "../x", model});
    EXPECT_EQ(profile.Last(), "error: --profile '../x': expected a profile's folder name, without '/' or '..'");
}

}  // namespace
