// s3g-print against s3g-sim as separate processes, over a pseudo-terminal:
// a faulty line printed to completion, Ctrl+C, and the refusals to start.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "MachineControlFixture.h"
#include "PtyPair.h"
#include "SimThread.h"

extern char** environ;

namespace {

std::string Bin(const std::string& name)
{
    const char* dir = std::getenv("MORVADIN_BIN");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

// A child process with its stdout or stderr on a pipe.
class Child {
public:
    Child(const std::vector<std::string>& args, int pipedFd)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], pipedFd);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~Child()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    bool Started() const { return m_pid > 0; }
    // Reads the pipe until text appears (or it closes / timeoutMs passes,
    // also while a hung child keeps writing).
    std::string ReadUntil(const std::string& text, int timeoutMs)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (m_text.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                                    std::chrono::steady_clock::now());
            pollfd pfd{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                break;
            char buf[512];
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0)
                break;
            m_text.append(buf, static_cast<std::size_t>(n));
        }
        return m_text;
    }
    void Signal(int sig) { ::kill(m_pid, sig); }
    // The exit status; -1 when it did not exit normally.
    int Wait()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
};

struct PrintProcesses : ::testing::Test {
    void SetUp() override
    {
        startGCode = linktest::WriteStartGCode(dir);
        gcode = dir.File("print.gcode");
        testsupport::WriteFile(gcode, linktest::PrintGCode(moves));
    }
    // The device path from the simulator's first line.
    std::string DevicePath(Child& sim)
    {
        const std::string out = sim.ReadUntil("\n", 5000);
        return out.substr(0, out.find('\n'));
    }
    std::vector<unsigned char> ExpectedRecord()
    {
        ZELKMachine machine;
        ZELKStartGCodeOperater start(startGCode);
        ZELKMachineControl control(&machine, &start);
        control.GCodeParser(gcode.c_str());
        return linktest::ExpectedRecord(control.GetPrintList());
    }

    int moves = 2000;
    testsupport::TempDir dir;
    std::string startGCode, gcode;
};

}  // namespace

TEST_F(PrintProcesses, FaultyLinePrintsToCompletionAndTheRecordIsThePrintList)
{
    const std::string record = dir.File("record.x3g");
    Child sim({Bin("s3g-sim"), "--record", record, "--refuse", "9", "--garbage", "--split", "--heat-rate",
               "100000", "--exit-after-finish"},
              STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);
    ASSERT_EQ(device.rfind("/dev/", 0), 0u) << device;

    Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, gcode}, STDERR_FILENO);
    ASSERT_TRUE(print.Started());
    const std::string progress = print.ReadUntil("100.0 %", 60000);
    EXPECT_EQ(print.Wait(), 0) << progress;
    EXPECT_EQ(sim.Wait(), 0);
    const std::string bytes = testsupport::ReadFile(record);
    const std::vector<unsigned char> expected = ExpectedRecord();
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), expected);
}

// A printer whose firmware is not 702 is a printer all the same: connected,
// its version named, the print streamed to the end.
TEST_F(PrintProcesses, FirmwareOtherThan702IsConnectedAndPrintedTo)
{
    Child sim({Bin("s3g-sim"), "--firmware-version", "910", "--heat-rate", "100000", "--exit-after-finish"},
              STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);
    Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, "--answer-timeout", "5", gcode},
                STDERR_FILENO);
    ASSERT_TRUE(print.Started());
    const std::string out = print.ReadUntil("100.0 %", 60000);
    EXPECT_EQ(print.Wait(), 0) << out;
    EXPECT_NE(out.find("firmware version 910"), std::string::npos) << out;
    EXPECT_EQ(out.find("no printer answers"), std::string::npos) << out;
    EXPECT_EQ(sim.Wait(), 0);
}

TEST_F(PrintProcesses, CtrlCStopsThePrinterAndHomesZ)
{
    const std::string record = dir.File("record.x3g");
    Child sim({Bin("s3g-sim"), "--record", record, "--record-queries", "--baud-emulation"}, STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);
    Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, gcode}, STDERR_FILENO);
    // The first progress line comes once the print runs.
    ASSERT_NE(print.ReadUntil(" packages ", 10000).find(" packages "), std::string::npos);
    print.Signal(SIGINT);
    EXPECT_EQ(print.Wait(), 130) << print.ReadUntil("stopped", 100);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);

    const std::string bytes = testsupport::ReadFile(record);
    EXPECT_LT(bytes.size(), ExpectedRecord().size());
    // The last action the printer got is the Z homing: command 132, Z only.
    Package home;
    ZELKMachine machine;
    ZELKStartGCodeOperater start(startGCode);
    ZELKMachineControl control(&machine, &start);
    control.GCodeParser(std::string("G162 Z F600"), home);
    const std::string homePayload(home.Payload(), home.Payload() + home.PayloadSize());
    // Right before it: the extended stop that halted and cleared the printer.
    const std::string stopThenHome = std::string("\x16\x03") + homePayload;
    ASSERT_GE(bytes.size(), stopThenHome.size());
    EXPECT_EQ(bytes.substr(bytes.size() - stopThenHome.size()), stopThenHome);
}

TEST_F(PrintProcesses, MissingPortIsAClearFailure)
{
    Child print({Bin("s3g-print"), "--port", "/dev/ttyACM-not-there", "--start-gcode", startGCode, gcode},
                STDERR_FILENO);
    const std::string err = print.ReadUntil("\n", 5000);
    EXPECT_EQ(print.Wait(), 1);
    EXPECT_NE(err.find("does not exist"), std::string::npos) << err;
}

// A G-code file without a move, or a start G-code without its temperature
// lines, is no print: refused with the reason before the printer gets any of it.
TEST_F(PrintProcesses, GCodeWithoutMovesAndAColdStartGCodeAreRefused)
{
    const std::string record = dir.File("record.x3g");
    Child sim({Bin("s3g-sim"), "--record", record}, STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);

    const std::string empty = dir.File("comments.gcode");
    testsupport::WriteFile(empty, "; nothing to print\n(really)\n");
    Child noMoves({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, empty}, STDERR_FILENO);
    const std::string noMovesErr = noMoves.ReadUntil("comments.gcode", 10000);
    EXPECT_EQ(noMoves.Wait(), 1);
    EXPECT_NE(noMovesErr.find("comments.gcode"), std::string::npos) << noMovesErr;

    const std::string cold = dir.File("cold.gcode");
    testsupport::WriteFile(cold, "M104 S220 T0\nM109 S60 T0\nG21\n");
    Child coldStart({Bin("s3g-print"), "--port", device, "--start-gcode", cold, gcode}, STDERR_FILENO);
    const std::string coldErr = coldStart.ReadUntil("start G-code", 10000);
    EXPECT_EQ(coldStart.Wait(), 1);
    EXPECT_NE(coldErr.find("cold.gcode"), std::string::npos) << coldErr;

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    // Only what a connection asks (the version) reached the printer, no print.
    EXPECT_LT(testsupport::ReadFile(record).size(), 64u);
}

TEST_F(PrintProcesses, SilentDeviceIsAClearFailure)
{
    linktest::PtyPair pty;  // nobody answers on it
    ASSERT_TRUE(pty.Ok());
    Child print({Bin("s3g-print"), "--port", pty.SlavePath(), "--answer-timeout", "0.2", "--start-gcode",
                 startGCode, gcode},
                STDERR_FILENO);
    const std::string err = print.ReadUntil("\n", 5000);
    EXPECT_EQ(print.Wait(), 3);
    EXPECT_NE(err.find("no printer answers"), std::string::npos) << err;
}

namespace {

// Runs per case of the soak below: MORVADIN_LINK_REPEAT, or 2.
int Repeat()
{
    const char* text = std::getenv("MORVADIN_LINK_REPEAT");
    const int n = text != nullptr ? std::atoi(text) : 0;
    return n > 0 ? n : 2;
}

}  // namespace

// Every way the link can end, again and again: a printer that reports the
// build finished and exits at once (its last reply must still arrive), one
// that falls silent, one whose device vanishes. Each run ends with the status
// and words its case calls for, never in a hang.
TEST_F(PrintProcesses, EveryEndingOfTheLinkEndsThePrintCleanlyEveryTime)
{
    struct Case {
        std::vector<std::string> simArgs;
        int status;
        std::string text;
    };
    const Case cases[] = {
        {{"--exit-after-finish"}, 0, "100.0 %"},
        {{"--silent-from", "700"}, 4, "printer lost"},
        {{"--hangup-after", "700"}, 4, "printer lost"},
    };
    const int runs = Repeat();
    for (const Case& c : cases) {
        int clean = 0;
        for (int run = 0; run < runs; ++run) {
            std::vector<std::string> simArgs{Bin("s3g-sim"), "--heat-rate", "100000"};
            simArgs.insert(simArgs.end(), c.simArgs.begin(), c.simArgs.end());
            Child sim(simArgs, STDOUT_FILENO);
            ASSERT_TRUE(sim.Started());
            Child print({Bin("s3g-print"), "--port", DevicePath(sim), "--start-gcode", startGCode, "--reply-timeout",
                         "0.05", "--device-timeout", "0.3", gcode},
                        STDERR_FILENO);
            const std::string out = print.ReadUntil(c.text, 30000);
            if (out.find(c.text) == std::string::npos)
                print.Signal(SIGKILL);  // hung: the run fails below
            const int status = print.Wait();
            if (status == c.status && out.find(c.text) != std::string::npos)
                ++clean;
            else
                ADD_FAILURE() << c.simArgs[0] << " run " << run << ": status " << status << "\n" << out;
            sim.Signal(SIGTERM);
            sim.Wait();
        }
        std::printf("%s: %d of %d runs ended cleanly\n", c.simArgs[0].c_str(), clean, runs);
        EXPECT_EQ(clean, runs) << c.simArgs[0];
    }
}

TEST_F(PrintProcesses, CtrlCWhileThePrinterIsSilentDoesNotClaimTheStop)
{
    Child sim({Bin("s3g-sim"), "--silent-from", "50", "--heat-rate", "100000"}, STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);
    Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, "--reply-timeout", "30", gcode},
                STDERR_FILENO);
    ASSERT_NE(print.ReadUntil(" packages ", 10000).find(" packages "), std::string::npos);
    print.Signal(SIGINT);
    EXPECT_EQ(print.Wait(), 1);
    const std::string err = print.ReadUntil("no such text", 5000);  // to the end of its output
    EXPECT_EQ(err.find("stopped"), std::string::npos) << err;
    EXPECT_NE(err.find("did not answer the stop"), std::string::npos) << err;
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
}
