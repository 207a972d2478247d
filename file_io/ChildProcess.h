// A program run as a child process, its output read line by line, and the
// splitting of a command line and of output chunks into lines.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// Splits output chunks into lines. A chunk may hold several lines, part of a
// line, or the end of one line and the start of the next; every complete line
// comes out once, in order, without its end ("\n", "\r\n" or a lone "\r").
class LineSplitter {
public:
    // Appends the complete lines that `chunk` finishes to `lines`.
    void Feed(std::string_view chunk, std::vector<std::string>& lines);
    // The unfinished last line, if any (for the end of the output); clears it.
    bool Flush(std::string& line);

private:
    std::string m_pending;
    bool m_afterCr = false;
};

// Splits a command line into arguments: white space separates them; double
// quotes group (and are removed); inside quotes a backslash escapes a double
// quote or a backslash. False (with a reason) for an unbalanced quote or an
// empty command line.
bool SplitCommandLine(const std::string& commandLine, std::vector<std::string>& argv, std::string& error);

// Quotes one argument for SplitCommandLine: "..." with '"' and '\' escaped.
std::string QuoteArgument(const std::string& argument);

// A child process in a process group of its own, with standard output and
// standard error joined into one pipe. Terminate() ends the whole group, so a
// child's own children (a slicing engine behind the slicer bridge) end with
// it. The destructor terminates a child still running (SIGKILL after two
// seconds) and reaps it. A child never outlives the thread that started it:
// when that thread ends, or this process dies in any way (a SIGKILL
// included), the child is sent SIGTERM.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // argv[0] is the program: a path, or a name looked up in PATH. False with
    // a one-line reason (naming the program) when it cannot be started: not
    // found, not executable, or no pipe or process to be had.
    bool Start(const std::vector<std::string>& argv, std::string& error);

    // Blocks until the next complete line of output (without its end) and
    // returns true; false once the output has ended (the last, unterminated
    // line is returned before that). Call from one thread at a time.
    bool ReadLine(std::string& line);

    // Sends SIGTERM to the child's process group: never blocks, safe from
    // another thread while ReadLine blocks, harmless once the child has ended.
    void Terminate();
    // SIGKILL to the process group (for a child that ignores Terminate).
    void Kill();

    // Waits for the child to end and returns its exit code, or 128 + the
    // signal that ended it; -1 when no child was started.
    int Wait();
    // Like Wait, but gives up after timeoutMs: false (the child still runs).
    bool WaitFor(int timeoutMs, int& exitCode);

    // The child's process id (also its process-group id); 0 before Start.
    pid_t Pid() const { return m_pid; }
    bool IsRunning() const;

private:
    int Spawn(const std::string& path, const std::vector<std::string>& argv, int outputFd);
    void SignalGroup(int sig);
    // Reaps the child if it has ended (waitpid options); true once reaped.
    // Called with m_mutex held.
    bool ReapLocked(int options);

    mutable std::mutex m_mutex;  // guards m_pid/m_reaped against Terminate from another thread
    pid_t m_pid = 0;
    int m_pidFd = -1;  // readable once the child ends (WaitFor); -1 where the kernel has none
    bool m_reaped = false;
    int m_status = -1;
    int m_readFd = -1;
    bool m_outputEnded = false;
    LineSplitter m_splitter;
    std::vector<std::string> m_lines;
    std::size_t m_nextLine = 0;
};

}  // namespace zelk
