// s3g-print against s3g-sim as separate processes, over a pseudo-terminal:
// a faulty line printed to completion, the stop signals and a closed
// terminal, a lost reply owned up to, and the refusals to start.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "MachineControlFixture.h"
#include "PtyPair.h"
#include "SimThread.h"
#include "ToolOptions.h"

extern char** environ;

namespace {

std::string Bin(const std::string& name)
{
    const char* dir = std::getenv("MORVADIN_BIN");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

constexpr int kHung = -2;

// Reaps pid and gives its exit status, -1 when it did not exit normally.
// With a timeout, waits on the process's pidfd: a process still running then
// is killed and kHung returned.
int WaitForExit(pid_t& pid, int timeoutMs = -1)
{
    if (pid <= 0)
        return -1;
    bool hung = false;
    if (timeoutMs >= 0) {
        const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        pollfd ended{fd, POLLIN, 0};
        if (fd >= 0 && ::poll(&ended, 1, timeoutMs) != 1) {
            hung = true;
            ::kill(pid, SIGKILL);
        }
        if (fd >= 0)
            ::close(fd);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
    if (hung)
        return kHung;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Appends what `fd` gives to `got` until `wanted` is in it, the end of the
// output, or timeoutMs (also while a hung child keeps writing); returns `got`.
std::string ReadFdUntil(int fd, std::string& got, const std::string& wanted, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.find(wanted) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd pfd{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[512];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
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
            WaitForExit(m_pid);
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    bool Started() const { return m_pid > 0; }
    // Reads the pipe until text appears (or it closes / timeoutMs passes,
    // also while a hung child keeps writing).
    std::string ReadUntil(const std::string& text, int timeoutMs) { return ReadFdUntil(m_out, m_text, text, timeoutMs); }
    void Signal(int sig) { ::kill(m_pid, sig); }
    // The exit status; -1 when it did not exit normally.
    int Wait() { return WaitForExit(m_pid); }
    // The exit status once it ended within timeoutMs; kHung (and killed) otherwise.
    int WaitWithin(int timeoutMs) { return WaitForExit(m_pid, timeoutMs); }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_text;
};

// s3g-print on a terminal of its own, as run from a terminal window: a new
// session whose controlling terminal is a pseudo-terminal the test holds the
// master side of. Closing the master is closing the window: the kernel hangs
// the terminal up (SIGHUP to the program) and later writes to it fail.
class OnTerminal {
public:
    explicit OnTerminal(const std::vector<std::string>& args)
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        const std::string slave = ::ptsname(m_master);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        // Opened by the new session's leader: its controlling terminal.
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, slave.c_str(), O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, STDIN_FILENO, STDERR_FILENO);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, argv[0], &actions, &attr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    ~OnTerminal()
    {
        Close();
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            WaitForExit(m_pid);
        }
    }
    bool Started() const { return m_pid > 0; }
    // What the program wrote to its terminal, until text appears.
    std::string ReadUntil(const std::string& text, int timeoutMs)
    {
        return ReadFdUntil(m_master, m_text, text, timeoutMs);
    }
    // The terminal window goes away.
    void Close()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    int WaitWithin(int timeoutMs) { return WaitForExit(m_pid, timeoutMs); }

private:
    pid_t m_pid = -1;
    int m_master = -1;
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

    // A stopped print: less than the whole list reached the printer, and the
    // last it got were the extended stop that halted and cleared it (22, flags
    // 3) and the Z homing to the top (command 132, Z only).
    void ExpectStoppedAndHomed(const std::string& record)
    {
        EXPECT_LT(record.size(), ExpectedRecord().size());
        Package home;
        ZELKMachine machine;
        ZELKStartGCodeOperater start(startGCode);
        ZELKMachineControl control(&machine, &start);
        control.GCodeParser(std::string("G162 Z F600"), home);
        const std::string stopThenHome =
            std::string("\x16\x03") + std::string(home.Payload(), home.Payload() + home.PayloadSize());
        ASSERT_GE(record.size(), stopThenHome.size());
        EXPECT_EQ(record.substr(record.size() - stopThenHome.size()), stopThenHome);
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
    // The refused packages were sent again, which the summary says is harmless.
    const std::string err = print.ReadUntil("no such text", 5000);  // to the end of its output
    EXPECT_NE(err.find("resent: "), std::string::npos) << err;
    EXPECT_NE(err.find("refused by the printer (not taken, harmless), 0 after"), std::string::npos) << err;
    EXPECT_EQ(err.find("repeated moves"), std::string::npos) << err;
}

// An X3G file (as the program and gcode2x3g save it) is streamed as it is:
// the printer takes exactly the file's bytes.
TEST_F(PrintProcesses, AnX3gFileIsStreamedAsItIs)
{
    const std::string x3g = dir.File("print.x3g");
    Child convert({Bin("gcode2x3g"), "--start-gcode", startGCode, gcode, x3g}, STDERR_FILENO);
    ASSERT_EQ(convert.Wait(), 0);
    const std::string record = dir.File("record.x3g");
    Child sim({Bin("s3g-sim"), "--record", record, "--heat-rate", "100000", "--exit-after-finish"}, STDOUT_FILENO);
    const std::string device = DevicePath(sim);
    Child print({Bin("s3g-print"), "--port", device, x3g}, STDERR_FILENO);
    const std::string out = print.ReadUntil("100.0 %", 60000);
    EXPECT_EQ(print.Wait(), 0) << out;
    EXPECT_EQ(sim.Wait(), 0);
    const std::string file = testsupport::ReadFile(x3g);
    ASSERT_GT(file.size(), static_cast<std::size_t>(moves) * 30);
    EXPECT_TRUE(testsupport::ReadFile(record) == file) << "the printer took other bytes than the file's";

    // A file that is not X3G is refused before anything is sent.
    testsupport::WriteFile(dir.File("not.x3g"), "G1 X10 Y10\n");
    Child sim2({Bin("s3g-sim"), "--record", dir.File("record2.x3g")}, STDOUT_FILENO);
    Child refused({Bin("s3g-print"), "--port", DevicePath(sim2), dir.File("not.x3g")}, STDERR_FILENO);
    const std::string said = refused.ReadUntil("no such text", 10000);
    EXPECT_EQ(refused.Wait(), 1) << said;
    EXPECT_NE(said.find("not.x3g: byte 0: 71 is no command an X3G file holds"), std::string::npos) << said;
    EXPECT_EQ(testsupport::ReadFile(dir.File("record2.x3g")), "");
}

// G-code of another slicer prints as its flavour says; unmarked, it is
// refused with what would be lost, and printed with --flavor.
TEST_F(PrintProcesses, AnotherSlicersGCodePrintsByItsFlavour)
{
    const std::string body = "G28\nM140 S60\nM104 S200\nM190 S60\nM109 S200\nM83\nM106 S255\nG0 Z0.3 F3000\n"
                             "G0 X-10 Y-10\nM117 Printing\nG1 X10 Y-10 E1.2 F1200\nG2 X10 Y10 I0 J10 E2\n"
                             "G4 P50\nG1 X-10 Y10 E1.2\nM107\nM104 S0\nM84\n";
    testsupport::WriteFile(gcode, ";FLAVOR:Marlin\n" + body);
    const std::string record = dir.File("record.x3g");
    {
        Child sim({Bin("s3g-sim"), "--record", record, "--heat-rate", "100000", "--exit-after-finish"}, STDOUT_FILENO);
        Child print({Bin("s3g-print"), "--port", DevicePath(sim), "--start-gcode", startGCode, gcode}, STDERR_FILENO);
        const std::string out = print.ReadUntil("100.0 %", 60000);
        EXPECT_EQ(print.Wait(), 0) << out;
        EXPECT_NE(out.find("read as reprap G-code (\";FLAVOR:Marlin\")"), std::string::npos) << out;
        EXPECT_EQ(sim.Wait(), 0);
        const std::string bytes = testsupport::ReadFile(record);
        EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), ExpectedRecord());
    }
    testsupport::WriteFile(gcode, body);
    {
        Child sim({Bin("s3g-sim"), "--record", record}, STDOUT_FILENO);
        Child print({Bin("s3g-print"), "--port", DevicePath(sim), "--start-gcode", startGCode, gcode}, STDERR_FILENO);
        const std::string out = print.ReadUntil("no such text", 20000);
        EXPECT_EQ(print.Wait(), 1) << out;
        EXPECT_NE(out.find("a file from another slicer? It holds G28 \u00d71, M83 \u00d71, G0 \u00d72, G2 \u00d71"),
                  std::string::npos)
            << out;
        EXPECT_EQ(testsupport::ReadFile(record), "");
    }
    Child sim({Bin("s3g-sim"), "--heat-rate", "100000", "--exit-after-finish"}, STDOUT_FILENO);
    Child print({Bin("s3g-print"), "--port", DevicePath(sim), "--start-gcode", startGCode, "--flavor", "reprap", gcode},
                STDERR_FILENO);
    const std::string out = print.ReadUntil("100.0 %", 60000);
    EXPECT_EQ(print.Wait(), 0) << out;
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

// Ctrl+C, SIGTERM, SIGQUIT and SIGHUP (the terminal went away) stop the
// print alike: the printer is halted and cleared, then Z is homed.
TEST_F(PrintProcesses, EveryStopSignalStopsThePrinterAndHomesZ)
{
    for (const int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(sig));
        const std::string record = dir.File("record-" + std::to_string(sig) + ".x3g");
        Child sim({Bin("s3g-sim"), "--record", record, "--record-queries", "--baud-emulation"}, STDOUT_FILENO);
        ASSERT_TRUE(sim.Started());
        const std::string device = DevicePath(sim);
        Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, gcode}, STDERR_FILENO);
        // The first progress line comes once the print runs.
        ASSERT_NE(print.ReadUntil(" packages ", 10000).find(" packages "), std::string::npos);
        print.Signal(sig);
        EXPECT_EQ(print.WaitWithin(10000), 130);
        const std::string err = print.ReadUntil("print stopped", 1000);
        EXPECT_NE(err.find("print stopped"), std::string::npos) << err;
        sim.Signal(SIGTERM);
        EXPECT_EQ(sim.Wait(), 0);
        ExpectStoppedAndHomed(testsupport::ReadFile(record));
    }
}

// The terminal window closed under a running print: the kernel hangs the
// terminal up, and what s3g-print writes afterwards fails. The printer is
// stopped all the same, and the exit status is that of Ctrl+C.
TEST_F(PrintProcesses, ClosedTerminalStopsThePrinterAndHomesZ)
{
    const std::string record = dir.File("record.x3g");
    Child sim({Bin("s3g-sim"), "--record", record, "--record-queries", "--baud-emulation"}, STDOUT_FILENO);
    ASSERT_TRUE(sim.Started());
    const std::string device = DevicePath(sim);
    OnTerminal print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, gcode});
    ASSERT_TRUE(print.Started());
    ASSERT_NE(print.ReadUntil(" packages ", 10000).find(" packages "), std::string::npos);
    print.Close();
    EXPECT_EQ(print.WaitWithin(10000), 130);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0);
    ExpectStoppedAndHomed(testsupport::ReadFile(record));
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

// A reply lost on the line has its action sent again, and the printer may
// then hold it twice: a garbled reply means it did (the record shows the
// repeat), a packet swallowed whole means it did not, and the host cannot
// tell them apart. Either way the end of the run says so and its exit status
// is no clean finish.
TEST_F(PrintProcesses, ActionResentAfterALostReplyIsNamedInTheSummary)
{
    moves = 300;
    testsupport::WriteFile(gcode, linktest::PrintGCode(moves));
    const std::vector<unsigned char> expected = ExpectedRecord();
    struct Case {
        std::string option;
        bool printerTookItTwice;
    };
    // Packet 40 is well into the print list: the first is the version query,
    // and the temperature queries go once a second.
    for (const Case& c : {Case{"--corrupt-reply", true}, Case{"--drop", false}}) {
        SCOPED_TRACE(c.option);
        const std::string record = dir.File("record" + c.option + ".x3g");
        Child sim({Bin("s3g-sim"), "--record", record, c.option, "40", "--heat-rate", "100000", "--exit-after-finish"},
                  STDOUT_FILENO);
        ASSERT_TRUE(sim.Started());
        const std::string device = DevicePath(sim);
        Child print({Bin("s3g-print"), "--port", device, "--start-gcode", startGCode, "--reply-timeout", "0.05",
                     "--quiet", gcode},
                    STDERR_FILENO);
        ASSERT_TRUE(print.Started());
        EXPECT_EQ(print.WaitWithin(30000), 5);
        const std::string err = print.ReadUntil("no such text", 5000);
        EXPECT_NE(err.find("print finished"), std::string::npos) << err;
        EXPECT_NE(err.find("1 package resent: 0 refused by the printer (not taken, harmless), 1 after their reply was "
                           "missing or unreadable"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find("the print may hold repeated moves: 1 action went out again"), std::string::npos) << err;
        EXPECT_EQ(sim.WaitWithin(10000), 0);

        const std::string bytes = testsupport::ReadFile(record);
        const std::vector<unsigned char> got(bytes.begin(), bytes.end());
        if (!c.printerTookItTwice) {
            EXPECT_EQ(got, expected);
            continue;
        }
        // The record is the print list with one of its packages twice over.
        ZELKMachine machine;
        ZELKStartGCodeOperater start(startGCode);
        ZELKMachineControl control(&machine, &start);
        control.GCodeParser(gcode.c_str());
        const std::vector<Package> list = control.GetPrintList().ToVector();
        int repeats = 0;
        for (std::size_t i = 0; i < list.size(); ++i) {
            std::vector<Package> twice = list;
            twice.insert(twice.begin() + static_cast<std::ptrdiff_t>(i), list[i]);
            if (linktest::ExpectedRecord(twice) == got)
                ++repeats;
        }
        EXPECT_GE(repeats, 1) << "the record is not the print list with one package repeated";
    }
}

// Numbers that are no time, size or count are refused before anything runs,
// in one line naming the option, what it takes and what was given.
TEST(ToolCommandLines, NumbersThatAreNotSaneAreRefusedInOneLine)
{
    const std::string belowFloor = tooloptions::Shown((ZELKMachineControl::kMinReplyTimeoutMs - 0.5) / 1000.0);
    const std::vector<std::pair<std::string, std::vector<std::string>>> print = {
        {"--reply-timeout", {"nan", "inf", "-inf", "-0", "1e999", "0.001", belowFloor, "20s", "", "0x14"}},
        {"--answer-timeout", {"nan", "0", "-1", "3601", "1e-999"}},
        {"--device-timeout", {"inf", "-5", " 5"}},
    };
    const std::vector<std::pair<std::string, std::vector<std::string>>> sim = {
        {"--timed-moves", {"nan", "inf", "0", "-0", "1e999", "2x"}},
        {"--heat-rate", {"nan", "-5", "inf", "0"}},
        {"--buffer", {"63", "64.5", "1e3", "", "-64"}},
        {"--drop", {"0", "-1", "nan", "1.0"}},
        {"--silent-from", {"0", "+5"}},
        {"--refuse", {"0", "inf"}},
        {"--hangup-after", {"1.5"}},
        {"--corrupt-reply", {"3,,4", "0", "nan", "5,", ","}},
        {"--seed", {"-1", "4294967296"}},
        {"--firmware-version", {"65536", "-0"}},
        {"--drain-timeout", {"nan", "-1", "600001"}},
    };
    // A value taken would have the program run (the simulator until killed).
    const auto check = [](const std::vector<std::string>& argv, const std::string& option, const std::string& value) {
        Child run(argv, STDERR_FILENO);
        ASSERT_TRUE(run.Started());
        const int status = run.WaitWithin(5000);
        const std::string err = run.ReadUntil("no such text", 1000);
        EXPECT_EQ(status, 2) << option << " '" << value << "': " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << option << " '" << value << "': " << err;
        EXPECT_NE(err.find(option + " needs "), std::string::npos) << err;
        EXPECT_NE(err.find("not '" + value + "'"), std::string::npos) << err;
    };
    for (const auto& [option, values] : print)
        for (const std::string& value : values)
            check({Bin("s3g-print"), "--port", "/dev/null", option, value, "print.gcode"}, option, value);
    for (const auto& [option, values] : sim)
        for (const std::string& value : values)
            check({Bin("s3g-sim"), option, value}, option, value);

    // A reply wait shorter than a frame and its reply on the line is refused
    // with the shortest one taken; that one itself is taken.
    const std::string floor = tooloptions::Shown(ZELKMachineControl::kMinReplyTimeoutMs / 1000.0);
    Child tooShort({Bin("s3g-print"), "--port", "/dev/null", "--reply-timeout", belowFloor, "p.gcode"},
                   STDERR_FILENO);
    const std::string tooShortErr = tooShort.ReadUntil("\n", 5000);
    EXPECT_NE(tooShortErr.find("from " + floor + " (a frame and its reply on the line)"), std::string::npos)
        << tooShortErr;
    linktest::PtyPair pty;  // nobody answers on it
    ASSERT_TRUE(pty.Ok());
    testsupport::TempDir dir;
    const std::string startGCode = linktest::WriteStartGCode(dir);
    Child atFloor({Bin("s3g-print"), "--port", pty.SlavePath(), "--reply-timeout", floor, "--answer-timeout", "0.2",
                   "--start-gcode", startGCode, dir.File("p.gcode")},
                  STDERR_FILENO);
    EXPECT_EQ(atFloor.WaitWithin(5000), 3) << atFloor.ReadUntil("no such text", 1000);  // taken: no printer answers
}
