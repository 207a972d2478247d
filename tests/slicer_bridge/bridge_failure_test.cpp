// The bridge when things go wrong: each failure's error line and exit code, a clean folder, and cancelling by signal.
#include <gtest/gtest.h>

#include <filesystem>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "BridgeRun.h"
#include "ChildProcess.h"
#include "StlShapes.h"
#include "ProcessGone.h"
#include "TempDir.h"

using bridgetest::BridgeRun;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace fs = std::filesystem;

namespace {

struct FailureCase {
    const char* name;
    std::vector<std::string> options;  // "DIR" stands for the case's folder
    int exitCode;
    std::vector<std::string> named;  // in the error line ("DIR" as above)
    bool previousGCode;              // a G-code file of an earlier slice is at the target
};

std::string Expand(std::string text, const TempDir& dir)
{
    for (std::size_t at = text.find("DIR"); at != std::string::npos; at = text.find("DIR"))
        text.replace(at, 3, dir.Path().string());
    return text;
}

TEST(SlicerBridgeFailures, EachFailureSaysWhyExitsWithItsCodeAndLeavesNothingBehind)
{
    ::unsetenv("MORVADIN_SLICER_ENGINE");
    const FailureCase cases[] = {
        // One standing triangle: the project's loader reads it, the engine refuses it.
        {"engine refuses", {}, 1, {"Loading of a model file failed"}, true},
        {"not an STL", {}, 1, {"model.stl"}, false},
        {"engine missing",
         {"--engine", "/nonexistent/prusa-slicer"},
         3,
         {"not installed", "prusa-slicer", "/nonexistent/prusa-slicer"},
         true},
        {"output folder missing",
         {"--output", "DIR/no-such-folder/model.gcode"},
         4,
         {"DIR/no-such-folder/model.gcode"},
         false},
        {"start G-code missing", {"--start-gcode", "DIR/none.gcode"}, 5, {"DIR/none.gcode"}, true},
        {"start G-code short", {"--start-gcode", "DIR/short.gcode"}, 5, {"DIR/short.gcode", "M109"}, false},
        {"profile unknown", {"--profile", "NOPE"}, 5, {"prefs/NOPE/alterations/start.gcode"}, false},
        {"bad option", {"--speed", "100"}, 2, {"--speed", "100"}, true},
    };
    for (const FailureCase& c : cases) {
        TempDir dir;
        const std::string model = dir.File("model.stl");
        if (std::string(c.name) == "engine refuses")
            stlshapes::WriteBinaryStl(model, {{{{0, 0, 0}, {10, 0, 0}, {0, 0, 10}}}});
        else if (std::string(c.name) == "not an STL")
            WriteFile(model, "this is not a model\n");
        else
            stlshapes::WriteBinaryStl(model, stlshapes::Box(-10, -10, 0, 10, 10, 20));
        WriteFile(dir.File("short.gcode"), "M104 S220 T0\n");
        if (c.previousGCode)
            WriteFile(dir.File("model.gcode"), "previous slice\n");

        std::vector<std::string> args;
        for (const std::string& o : c.options)
            args.push_back(Expand(o, dir));
        args.push_back(model);
        const BridgeRun run = bridgetest::RunBridge(args);

        EXPECT_EQ(run.exitCode, c.exitCode) << c.name << ": " << run.Last();
        EXPECT_EQ(run.Last().rfind("error: ", 0), 0u) << c.name << ": " << run.Last();
        for (const std::string& word : c.named)
            EXPECT_NE(run.Last().find(Expand(word, dir)), std::string::npos) << c.name << ": " << run.Last();
        EXPECT_EQ(run.Last().find("[error]"), std::string::npos) << c.name << ": the engine's log is no reason";
        std::set<std::string> expected = {"model.stl", "short.gcode"};
        if (c.previousGCode) {
            expected.insert("model.gcode");
            EXPECT_EQ(ReadFile(dir.File("model.gcode")), "previous slice\n") << c.name;
        }
        const std::set<std::string> extra = bridgetest::Unexpected(dir.Path(), expected);
        EXPECT_TRUE(extra.empty()) << c.name << ": left " << *extra.begin();
    }
}

using testsupport::GoneWithin;

// A cancelled bridge: its output up to the engine's first stage, the engine's pid.
struct CancelRun {
    TempDir dir;
    zelk::ChildProcess bridge;
    std::vector<std::string> lines;
    pid_t engine = 0;

    // The engine runs `prelude`, writes its pid and one stage, then runs `stubBody`.
    explicit CancelRun(const std::string& stubBody, const std::string& prelude = std::string())
    {
        const std::string stub = dir.File("engine-stub");
        WriteFile(stub, "#!/bin/sh\n" + prelude + "echo $$ > '" + dir.File("engine.pid") +
                            "'\necho '10 => Processing triangulated mesh'\n" + stubBody);
        ::chmod(stub.c_str(), 0755);
        stlshapes::WriteBinaryStl(dir.File("model.stl"), stlshapes::Box(-10, -10, 0, 10, 10, 20));
        ::setenv("MORVADIN_SLICER_ENGINE", stub.c_str(), 1);
        std::string error;
        const bool started = bridge.Start({bridgetest::Bridge(), dir.File("model.stl")}, error);
        ::unsetenv("MORVADIN_SLICER_ENGINE");
        EXPECT_TRUE(started) << error;
        std::string line;
        while (started && bridge.ReadLine(line)) {
            lines.push_back(line);
            if (line.rfind("Inset layer count ", 0) == 0 && line.find(" of ") == std::string::npos)
                break;  // the engine is at work
        }
        if (!lines.empty() && lines.back().find(" of ") == std::string::npos)
            engine = static_cast<pid_t>(std::stol(ReadFile(dir.File("engine.pid"))));
    }
    void Finish()
    {
        std::string line;
        while (bridge.ReadLine(line))
            lines.push_back(line);
    }
};

TEST(SlicerBridgeFailures, SigtermCancelsTheEngineAndCleansUp)
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    CancelRun run("exec sleep 1000\n");
    ASSERT_GT(run.engine, 0) << "the engine never started";
    ASSERT_EQ(::kill(run.bridge.Pid(), SIGTERM), 0);
    run.Finish();
    EXPECT_EQ(run.bridge.Wait(), 130);
    EXPECT_EQ(run.lines.back(), "error: slicing cancelled");
    EXPECT_TRUE(GoneWithin(run.engine, std::chrono::seconds(10)));
    EXPECT_TRUE(bridgetest::Unexpected(run.dir.Path(), {"model.stl", "engine-stub", "engine.pid"}).empty());
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

// An engine that ignores SIGTERM is killed by the second request, so the
// caller's escalation always ends the run.
TEST(SlicerBridgeFailures, SecondRequestKillsAnEngineThatIgnoresTheFirst)
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    // It notes each SIGTERM in a file and goes on working.
    CancelRun run("while :; do sleep 1000 & wait $!; done\n",
                  "trap 'echo term > \"$(dirname \"$0\")/term\"' TERM\n");
    ASSERT_GT(run.engine, 0) << "the engine never started";
    ASSERT_EQ(::kill(run.bridge.Pid(), SIGTERM), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(run.dir.File("term")) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(fs::exists(run.dir.File("term"))) << "the engine was not asked to end";
    int code = 0;
    EXPECT_FALSE(run.bridge.WaitFor(0, code)) << "the bridge ended while its engine still worked";
    EXPECT_EQ(::kill(run.engine, 0), 0);
    ASSERT_EQ(::kill(run.bridge.Pid(), SIGTERM), 0);
    run.Finish();
    EXPECT_EQ(run.bridge.Wait(), 130);
    EXPECT_EQ(run.lines.back(), "error: slicing cancelled");
    EXPECT_TRUE(GoneWithin(run.engine, std::chrono::seconds(10)));
    EXPECT_TRUE(bridgetest::Unexpected(run.dir.Path(), {"model.stl", "engine-stub", "engine.pid", "term"}).empty());
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

}  // namespace
