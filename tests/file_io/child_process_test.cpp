// Child processes: line splitting of output chunks, command-line quoting, and real children and their groups.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "ChildProcess.h"
#include "ProcessGone.h"
#include "TempDir.h"

using testsupport::TempDir;
using zelk::ChildProcess;

namespace {

std::vector<std::string> SplitInChunks(std::string_view text, std::size_t cut1, std::size_t cut2)
{
    zelk::LineSplitter splitter;
    std::vector<std::string> lines;
    splitter.Feed(text.substr(0, cut1), lines);
    splitter.Feed(text.substr(cut1, cut2 - cut1), lines);
    splitter.Feed(text.substr(cut2), lines);
    std::string last;
    if (splitter.Flush(last))
        lines.push_back(last);
    return lines;
}

TEST(LineSplitter, EveryWayOfCuttingTheTextGivesTheSameLines)
{
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one\ntwo\n", {"one", "two"}},  {"one\r\ntwo\r\n", {"one", "two"}},    {"one\rtwo\r", {"one", "two"}},
        {"a\r\n\r\nb", {"a", "", "b"}},  {"a\n\rb\r\r\nc", {"a", "", "b", "", "c"}}, {"unterminated", {"unterminated"}},
        {"\n\n", {"", ""}},
    };
    // Every pair of cuts, among them cuts between "\r" and "\n".
    for (const Case& c : cases)
        for (std::size_t i = 0; i <= c.text.size(); ++i)
            for (std::size_t j = i; j <= c.text.size(); ++j)
                ASSERT_EQ(SplitInChunks(c.text, i, j), c.lines) << "'" << c.text << "' cut at " << i << ", " << j;
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged)
{
    const std::vector<std::string> arguments = {
        "/opt/My Programs/slicer-bridge", "plain", "", "with \"quotes\"", "back\\slash\\", "\\\"",
        "ünïcødé 模型.stl", "$HOME", "*.stl", "tab\there", "new\nline", "'single'", "a b  c",
    };
    std::string line;
    for (const std::string& a : arguments)
        line += zelk::QuoteArgument(a) + " ";
    std::vector<std::string> split;
    std::string error;
    ASSERT_TRUE(zelk::SplitCommandLine(line, split, error)) << error;
    EXPECT_EQ(split, arguments);
}

TEST(CommandLine, SplitsAsDocumentedAndRefusesUnbalancedOrEmptyLines)
{
    struct Case {
        std::string line;
        std::vector<std::string> argv;  // empty: refused
    };
    const Case cases[] = {
        {"  a   b\tc\n", {"a", "b", "c"}},
        {"x\"y z\"w", {"xy zw"}},
        {"\"\" \"\"", {"", ""}},
        {"\"a\\\"b\" \"c\\\\d\" \"e\\f\"", {"a\"b", "c\\d", "e\\f"}},
        {"C:\\dir\\file \\\\", {"C:\\dir\\file", "\\\\"}},  // plain outside quotes
        {"prog \"open", {}}, {"\"", {}}, {"", {}}, {"   \t ", {}}, {"a \"b\\\"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv{"stale"};
        std::string error;
        EXPECT_EQ(zelk::SplitCommandLine(c.line, argv, error), !c.argv.empty()) << c.line;
        EXPECT_EQ(argv, c.argv) << c.line;
        EXPECT_EQ(error.empty(), !c.argv.empty()) << c.line;
    }
}

TEST(ChildProcess, OutputLinesArriveInOrderAndTheExitCodeIsReturned)
{
    ChildProcess child;
    std::string error;
    // Found in PATH; "cat" ends at once because standard input is /dev/null.
    ASSERT_TRUE(child.Start({"sh", "-c", "cat; i=1; while [ $i -le 2000 ]; do echo line $i; i=$((i+1)); done;"
                                         " echo to-stderr >&2; printf 'no end'; exit 7"},
                            error))
        << error;
    EXPECT_EQ(::getpgid(child.Pid()), child.Pid());
    std::vector<std::string> lines;
    std::string line;
    while (child.ReadLine(line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2002u);
    for (std::size_t i = 0; i < 2000; ++i)
        ASSERT_EQ(lines[i], "line " + std::to_string(i + 1));
    EXPECT_EQ(lines[2000], "to-stderr");
    EXPECT_EQ(lines[2001], "no end");
    EXPECT_EQ(child.Wait(), 7);
    EXPECT_FALSE(child.IsRunning());
    EXPECT_EQ(child.Wait(), 7);
}

TEST(ChildProcess, RefusesProgramsThatCannotRunNamingThem)
{
    TempDir dir;
    const std::string notExecutable = dir.File("plain file");
    testsupport::WriteFile(notExecutable, "#!/bin/sh\n");
    for (const std::string& program : {std::string("/nonexistent/engine"), std::string("no-such-program-zq"),
                                       notExecutable, dir.Path().string()}) {
        ChildProcess child;
        std::string error;
        EXPECT_FALSE(child.Start({program, "--help"}, error)) << program;
        EXPECT_NE(error.find(program), std::string::npos) << error;
        EXPECT_EQ(child.Wait(), -1);
    }
}

TEST(ChildProcess, WaitForGivesUpOnARunningChildAndReapsAnEndedOne)
{
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "exec sleep 1000"}, error)) << error;
    int code = 0;
    EXPECT_FALSE(child.WaitFor(20, code));
    EXPECT_TRUE(child.IsRunning());
    child.Kill();
    ASSERT_TRUE(child.WaitFor(10000, code));
    EXPECT_EQ(code, 128 + SIGKILL);
    EXPECT_FALSE(child.IsRunning());
}

using testsupport::GoneWithin;

TEST(ChildProcess, TerminateEndsTheChildAndItsGrandchild)
{
    // Orphans come to this process, so the killed grandchild is reaped here
    // rather than lingering as a zombie that kill(pid, 0) still finds.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    TempDir dir;
    const std::string pidFile = dir.File("grandchild.pid");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "sleep 1000 & echo $! > '" + pidFile + "'; echo started; wait"}, error))
        << error;
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    const pid_t grandchild = static_cast<pid_t>(std::stol(testsupport::ReadFile(pidFile)));
    ASSERT_EQ(::kill(grandchild, 0), 0);

    child.Terminate();
    EXPECT_EQ(child.Wait(), 128 + SIGTERM);
    EXPECT_TRUE(GoneWithin(grandchild, std::chrono::seconds(10)));
    ::prctl(PR_SET_CHILD_SUBREAPER, 0);
}

TEST(ChildProcess, TerminateFromAnotherThreadEndsABlockedReadAndTheDestructorEndsTheRest)
{
    pid_t pid = 0;
    {
        ChildProcess reading;
        std::string error;
        ASSERT_TRUE(reading.Start({"/bin/sh", "-c", "echo ready; exec sleep 1000"}, error)) << error;
        std::string line;
        ASSERT_TRUE(reading.ReadLine(line));
        std::thread stopper([&reading] { reading.Terminate(); });
        EXPECT_FALSE(reading.ReadLine(line));  // returns once the group is gone
        stopper.join();
        EXPECT_EQ(reading.Wait(), 128 + SIGTERM);

        ChildProcess running;
        ASSERT_TRUE(running.Start({"/bin/sh", "-c", "exec sleep 1000"}, error)) << error;
        pid = running.Pid();
    }
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

}  // namespace
