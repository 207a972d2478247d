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
#include "TempDir.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using zelk::ChildProcess;
using zelk::LineSplitter;

namespace {

std::vector<std::string> SplitInChunks(const std::string& text, const std::vector<std::size_t>& cuts)
{
    LineSplitter splitter;
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        splitter.Feed(std::string_view(text).substr(from, cut - from), lines);
        from = cut;
    }
    splitter.Feed(std::string_view(text).substr(from), lines);
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
        {"one\ntwo\n", {"one", "two"}},
        {"one\r\ntwo\r\n", {"one", "two"}},
        {"one\rtwo\r", {"one", "two"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\rb\r\r\nc", {"a", "", "b", "", "c"}},
        {"unterminated", {"unterminated"}},
        {"\n\n", {"", ""}},
    };
    for (const Case& c : cases) {
        // One cut and every pair of cuts, including cuts between "\r" and "\n".
        for (std::size_t i = 0; i <= c.text.size(); ++i) {
            EXPECT_EQ(SplitInChunks(c.text, {i}), c.lines) << "text '" << c.text << "' cut at " << i;
            for (std::size_t j = i; j <= c.text.size(); ++j)
                ASSERT_EQ(SplitInChunks(c.text, {i, j}), c.lines) << "cut at " << i << " and " << j;
        }
    }
}

TEST(LineSplitter, ACarriageReturnAtAChunkEndSwallowsOnlyTheNextNewline)
{
    LineSplitter splitter;
    std::vector<std::string> lines;
    splitter.Feed("progress 1\r", lines);
    splitter.Feed("progress 2\r", lines);
    splitter.Feed("\nnext", lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"progress 1", "progress 2"}));
    std::string rest;
    EXPECT_TRUE(splitter.Flush(rest));
    EXPECT_EQ(rest, "next");
    EXPECT_FALSE(splitter.Flush(rest));
}

TEST(CommandLine, QuotedArgumentsSplitBackUnchanged)
{
    const std::vector<std::string> arguments = {
        "/opt/My Programs/slicer-bridge", "plain", "", "with \"quotes\"", "back\\slash\\", "\\\"", "ünïcødé 模型.stl",
        "$HOME", "*.stl", "tab\there", "new\nline", "'single'", "a b  c",
    };
    std::string line;
    for (const std::string& a : arguments)
        line += zelk::QuoteArgument(a) + " ";
    std::vector<std::string> split;
    std::string error;
    ASSERT_TRUE(zelk::SplitCommandLine(line, split, error)) << error;
    EXPECT_EQ(split, arguments);
}

TEST(CommandLine, SplitsTheWaysItDocuments)
{
    struct Case {
        std::string line;
        std::vector<std::string> argv;
    };
    const Case cases[] = {
        {"  a   b\tc\n", {"a", "b", "c"}},
        {"x\"y z\"w", {"xy zw"}},
        {"\"\" \"\"", {"", ""}},
        {"\"a\\\"b\" \"c\\\\d\" \"e\\f\"", {"a\"b", "c\\d", "e\\f"}},
        {"C:\\dir\\file \\\\", {"C:\\dir\\file", "\\\\"}},  // plain outside quotes
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv;
        std::string error;
        ASSERT_TRUE(zelk::SplitCommandLine(c.line, argv, error)) << c.line << ": " << error;
        EXPECT_EQ(argv, c.argv) << c.line;
    }
}

TEST(CommandLine, RefusesUnbalancedQuotesAndEmptyLines)
{
    for (const std::string line : {"prog \"open", "\"", "", "   \t ", "a \"b\\\""}) {
        std::vector<std::string> argv{"stale"};
        std::string error;
        EXPECT_FALSE(zelk::SplitCommandLine(line, argv, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
        EXPECT_TRUE(argv.empty()) << line;
    }
}

TEST(ChildProcess, OutputLinesArriveInOrderAndTheExitCodeIsReturned)
{
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "i=1; while [ $i -le 2000 ]; do echo line $i; i=$((i+1)); done;"
                                              " echo to-stderr >&2; printf 'no end'; exit 7"},
                            error))
        << error;
    EXPECT_GT(child.Pid(), 0);
    EXPECT_EQ(::getpgid(child.Pid()), child.Pid());
    std::vector<std::string> lines;
    std::string line;
    while (child.ReadLine(line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2002u);
    for (int i = 1; i <= 2000; ++i)
        ASSERT_EQ(lines[static_cast<std::size_t>(i - 1)], "line " + std::to_string(i));
    EXPECT_EQ(lines[2000], "to-stderr");
    EXPECT_EQ(lines[2001], "no end");
    EXPECT_FALSE(child.ReadLine(line));
    EXPECT_EQ(child.Wait(), 7);
    EXPECT_FALSE(child.IsRunning());
    EXPECT_EQ(child.Wait(), 7);
}

TEST(ChildProcess, FindsProgramsInPathAndReadsNothingFromStandardInput)
{
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"cat"}, error)) << error;
    std::string line;
    EXPECT_FALSE(child.ReadLine(line));  // stdin is /dev/null: cat ends at once
    EXPECT_EQ(child.Wait(), 0);
}

TEST(ChildProcess, RefusesProgramsThatCannotRunNamingThem)
{
    TempDir dir;
    const std::string notExecutable = dir.File("plain file");
    testsupport::WriteFile(notExecutable, "#!/bin/sh\n");
    const std::vector<std::string> programs = {"/nonexistent/engine", "no-such-program-zq", notExecutable,
                                               dir.Path().string()};
    for (const std::string& program : programs) {
        ChildProcess child;
        std::string error;
        EXPECT_FALSE(child.Start({program, "--help"}, error)) << program;
        EXPECT_NE(error.find(program), std::string::npos) << error;
        EXPECT_EQ(child.Pid(), 0);
        EXPECT_EQ(child.Wait(), -1);
    }
}

TEST(ChildProcess, WaitForGivesUpOnARunningChildAndReapsAnEndedOne)
{
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "read x; exec sleep 1000"}, error)) << error;
    int code = 0;
    EXPECT_FALSE(child.WaitFor(20, code));
    EXPECT_TRUE(child.IsRunning());
    child.Kill();
    ASSERT_TRUE(child.WaitFor(10000, code));
    EXPECT_EQ(code, 128 + SIGKILL);
    EXPECT_FALSE(child.IsRunning());
    child.Terminate();  // after the reaping: no signal goes anywhere
}

// Orphans are re-parented to this process while it lives, so a killed
// grandchild can be reaped here instead of lingering as a zombie that
// kill(pid, 0) still finds.
class Subreaper {
public:
    Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }
    ~Subreaper() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
};

bool GoneWithin(pid_t pid, std::chrono::seconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        ::waitpid(pid, nullptr, WNOHANG);
        if (::kill(pid, 0) != 0 && errno == ESRCH)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

TEST(ChildProcess, TerminateEndsTheChildAndItsGrandchild)
{
    Subreaper subreaper;
    TempDir dir;
    const std::string pidFile = dir.File("grandchild.pid");
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "sleep 1000 & echo $! > '" + pidFile + "'; echo started; wait"}, error))
        << error;
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    ASSERT_EQ(line, "started");
    const pid_t grandchild = static_cast<pid_t>(std::stol(ReadFile(pidFile)));
    ASSERT_EQ(::kill(grandchild, 0), 0);

    child.Terminate();
    EXPECT_EQ(child.Wait(), 128 + SIGTERM);
    EXPECT_TRUE(GoneWithin(grandchild, std::chrono::seconds(10)));
}

TEST(ChildProcess, TheDestructorEndsAChildThatIsStillRunning)
{
    pid_t pid = 0;
    {
        ChildProcess child;
        std::string error;
        ASSERT_TRUE(child.Start({"/bin/sh", "-c", "echo up; exec sleep 1000"}, error)) << error;
        std::string line;
        ASSERT_TRUE(child.ReadLine(line));
        pid = child.Pid();
    }
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(ChildProcess, TerminateFromAnotherThreadEndsABlockedRead)
{
    ChildProcess child;
    std::string error;
    ASSERT_TRUE(child.Start({"/bin/sh", "-c", "echo ready; exec sleep 1000"}, error)) << error;
    std::string line;
    ASSERT_TRUE(child.ReadLine(line));
    std::thread stopper([&child] { child.Terminate(); });
    EXPECT_FALSE(child.ReadLine(line));  // returns once the group is gone
    stopper.join();
    EXPECT_EQ(child.Wait(), 128 + SIGTERM);
}

}  // namespace
