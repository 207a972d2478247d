// The slicer command line: the bridge, the settings as options, and a bridge that is not there.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "ChildProcess.h"
#include "TempDir.h"
#include "ZELKSkfParameterCmdLines.h"

namespace {

std::string MakeExecutable(const testsupport::TempDir& dir, const std::string& name)
{
    const std::string path = dir.File(name);
    std::ofstream(path) << "#!/bin/sh\n";
    ::chmod(path.c_str(), 0755);
    return path;
}

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> argv;
    std::string error;
    EXPECT_TRUE(zelk::SplitCommandLine(line, argv, error)) << error;
    return argv;
}

TEST(SlicerCommandLineTest, SettingsBecomeOptionsAndTheModelCanBeAppended)
{
    testsupport::TempDir dir;
    const std::string bridge = MakeExecutable(dir, "slicer \"bridge\" $HOME");
    ZELKSkfParameterCmdLines service(bridge);
    SkeinforgeParameter p;
    p.raft = 0;
    p.support = 2;
    p.infill = "0.90";
    p.layerHeight = "0.3";
    p.shells = "2";
    p.speed = "80";
    service.SetSkeinforgePrameter(p);

    // The panel appends the model file in double quotes.
    const std::string line = service.GetSkeinforgeCmdLiens() + " \"/home/u/PrintModel/gear v2.stl\"";
    const std::vector<std::string> expected = {bridge,     "--profile", "QUEN", "--layer-height", "0.3",
                                               "--infill", "0.90",      "--shells", "2",          "--speed",
                                               "80",       "--raft",    "0",    "--support",      "2",
                                               "/home/u/PrintModel/gear v2.stl"};
    EXPECT_EQ(Split(line), expected);
}

TEST(SlicerCommandLineTest, DefaultRecordGivesTheDefaultOptions)
{
    testsupport::TempDir dir;
    ZELKSkfParameterCmdLines service(MakeExecutable(dir, "slicer-bridge"));
    const std::vector<std::string> argv = Split(service.GetSkeinforgeCmdLiens());
    const std::vector<std::string> options(argv.begin() + 1, argv.end());
    const std::vector<std::string> expected = {"--profile", "QUEN", "--layer-height", "0.2", "--infill", "20",
                                               "--shells",  "1",    "--speed",        "60",  "--raft",   "1",
                                               "--support", "0"};
    EXPECT_EQ(options, expected);
    // The list the slice job runs is the same, argument for argument, with
    // no quoting to undo: a bridge whose name has spaces and quotes stays one argument.
    EXPECT_EQ(service.GetSkeinforgeArguments(), argv);
    const std::string odd = MakeExecutable(dir, "my \"slicer\" bridge");
    EXPECT_EQ(ZELKSkfParameterCmdLines(odd).GetSkeinforgeArguments().front(), odd);
}

TEST(SlicerCommandLineTest, NoCommandLineWithoutARunnableBridge)
{
    testsupport::TempDir dir;
    EXPECT_EQ(ZELKSkfParameterCmdLines(dir.File("missing")).GetSkeinforgeCmdLiens(), "");
    const std::string plain = dir.File("not-executable");
    std::ofstream(plain) << "data";
    EXPECT_EQ(ZELKSkfParameterCmdLines(plain).GetSkeinforgeCmdLiens(), "");
    // The process-wide service names the bridge beside the running executable.
    EXPECT_EQ(ZELKSkfParameterCmdLines::getInstance()->GetBridgePath().substr(
                  ZELKSkfParameterCmdLines::getInstance()->GetBridgePath().rfind('/')),
              "/slicer-bridge");
}

}  // namespace
