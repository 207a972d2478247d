// No slicing outlives whoever asked for it: a killed bridge takes its engine along, a killed caller its bridge, and
// what a killed run left is removed by the next.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "BridgeRun.h"
#include "ChildProcess.h"
#include "ProcessGone.h"
#include "StlShapes.h"
#include "TempDir.h"

using testsupport::GoneWithin;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

constexpr std::chrono::seconds kEndLimit{10};

// A model and an engine that writes its pid and one stage, then blocks until
// it is ended (it never ends by itself: the tests wait on its end, not on time).
struct StuckEngine {
    TempDir dir;
    std::string model = dir.File("model.stl");

    StuckEngine()
    {
        const std::string stub = dir.File("engine-stub");
        WriteFile(stub, "#!/bin/sh\necho $$ > '" + dir.File("engine.pid") +
                            "'\necho '10 => Processing triangulated mesh'\nexec tail -f /dev/null\n");
        ::chmod(stub.c_str(), 0755);
        stlshapes::WriteBinaryStl(model, stlshapes::Box(-10, -10, 0, 10, 10, 20));
        ::setenv("MORVADIN_SLICER_ENGINE", stub.c_str(), 1);
    }
    ~StuckEngine() { ::unsetenv("MORVADIN_SLICER_ENGINE"); }

    // Reads the bridge's lines until the engine is at work; its pid then.
    pid_t WaitForEngine(zelk::ChildProcess& bridge)
    {
        std::string line;
        while (bridge.ReadLine(line))
            if (line.rfind("Inset layer count ", 0) == 0 && line.find(" of ") == std::string::npos)
                return static_cast<pid_t>(std::stol(ReadFile(dir.File("engine.pid"))));
        return 0;
    }

    std::vector<std::string> WorkFolders() const
    {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            if (entry.path().filename().string().find(".slicing-") != std::string::npos)
                found.push_back(entry.path().filename().string());
        return found;
    }
};

// Orphans come back to this process, so their ends can be reaped and seen.
class BridgeLifetime : public ::testing::Test {
protected:
    void SetUp() override { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    void TearDown() override { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

TEST_F(BridgeLifetime, AKilledBridgeTakesItsEngineAlongAndTheNextRunRemovesItsFolder)
{
    StuckEngine stuck;
    zelk::ChildProcess bridge;
    std::string error;
    ASSERT_TRUE(bridge.Start({bridgetest::Bridge(), stuck.model}, error)) << error;
    const pid_t engine = stuck.WaitForEngine(bridge);
    ASSERT_GT(engine, 0) << "the engine never started";
    ASSERT_EQ(stuck.WorkFolders().size(), 1u);

    ASSERT_EQ(::kill(bridge.Pid(), SIGKILL), 0);
    EXPECT_EQ(bridge.Wait(), 128 + SIGKILL);
    EXPECT_TRUE(GoneWithin(engine, kEndLimit)) << "the engine outlived the bridge";
    EXPECT_EQ(stuck.WorkFolders().size(), 1u) << "a killed run cleans nothing";

    // The next run, whatever it slices into the same folder, takes the
    // abandoned folder away (its engine fails at once).
    WriteFile(stuck.dir.File("engine-stub"), "#!/bin/sh\nexit 1\n");
    const bridgetest::BridgeRun next = bridgetest::RunBridge({stuck.model});
    EXPECT_EQ(next.exitCode, 1) << next.Last();
    EXPECT_TRUE(stuck.WorkFolders().empty()) << stuck.WorkFolders().front();
}

// The program that ran the bridge is killed during a slice: the bridge and
// its engine end too (nothing is left working for nobody).
TEST_F(BridgeLifetime, AKilledCallerTakesTheBridgeAndItsEngineAlong)
{
    StuckEngine stuck;
    int pids[2];
    ASSERT_EQ(::pipe(pids), 0);
    const pid_t caller = ::fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
        ::close(pids[0]);
        zelk::ChildProcess bridge;
        std::string error;
        pid_t found[2] = {0, 0};
        if (bridge.Start({bridgetest::Bridge(), stuck.model}, error)) {
            found[0] = bridge.Pid();
            found[1] = stuck.WaitForEngine(bridge);
        }
        [[maybe_unused]] const ssize_t n = ::write(pids[1], found, sizeof found);
        ::pause();  // until killed
        ::_exit(0);
    }
    ::close(pids[1]);
    pid_t found[2] = {0, 0};
    ASSERT_EQ(::read(pids[0], found, sizeof found), static_cast<ssize_t>(sizeof found));
    ::close(pids[0]);
    const pid_t bridgePid = found[0];
    const pid_t engine = found[1];
    ASSERT_GT(bridgePid, 0);
    ASSERT_GT(engine, 0) << "the engine never started";

    ASSERT_EQ(::kill(caller, SIGKILL), 0);
    ASSERT_EQ(::waitpid(caller, nullptr, 0), caller);
    EXPECT_TRUE(GoneWithin(bridgePid, kEndLimit)) << "the bridge outlived the program that ran it";
    EXPECT_TRUE(GoneWithin(engine, kEndLimit)) << "the engine outlived the program that ran the bridge";
    // The bridge ended as a cancelled run does: its work folder is gone.
    EXPECT_TRUE(stuck.WorkFolders().empty());
}

}  // namespace
