// A program run as a child process in its own process group, its joined output read line by line.
#include "ChildProcess.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace zelk {

namespace {

constexpr std::size_t kReadChunkBytes = 4096;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Empty when `path` names a file this process may execute, else why not.
std::string ExecutableProblem(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "not found" : std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return "not a regular file";
    if (::access(path.c_str(), X_OK) != 0)
        return "not executable";
    return std::string();
}

// The file the program name stands for: the name itself when it holds a
// '/', else the first executable match in PATH (as the shell finds it).
bool ResolveProgram(const std::string& program, std::string& path, std::string& error)
{
    if (program.empty()) {
        error = "cannot start a program with an empty name";
        return false;
    }
    if (program.find('/') != std::string::npos) {
        const std::string problem = ExecutableProblem(program);
        if (!problem.empty()) {
            error = "cannot start " + program + ": " + problem;
            return false;
        }
        path = program;
        return true;
    }
    const char* env = std::getenv("PATH");
    const std::string searchPath = env != nullptr && *env != '\0' ? env : "/usr/local/bin:/usr/bin:/bin";
    std::size_t begin = 0;
    while (begin <= searchPath.size()) {
        std::size_t end = searchPath.find(':', begin);
        if (end == std::string::npos)
            end = searchPath.size();
        const std::string dir = end > begin ? searchPath.substr(begin, end - begin) : ".";
        const std::string candidate = dir + "/" + program;
        if (ExecutableProblem(candidate).empty()) {
            path = candidate;
            return true;
        }
        begin = end + 1;
    }
    error = "cannot start " + program + ": not found in PATH";
    return false;
}

int DecodeStatus(int status)
{
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return -1;
}

int OpenPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    return fd >= 0 ? static_cast<int>(fd) : -1;
#else
    (void)pid;
    return -1;
#endif
}

}  // namespace

void LineSplitter::Feed(std::string_view chunk, std::vector<std::string>& lines)
{
    std::size_t pos = 0;
    if (m_afterCr && !chunk.empty()) {
        // The "\n" of a "\r\n" whose "\r" ended the previous chunk.
        if (chunk.front() == '\n')
            pos = 1;
        m_afterCr = false;
    }
    while (pos < chunk.size()) {
        const std::size_t end = chunk.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            m_pending.append(chunk.substr(pos));
            return;
        }
        m_pending.append(chunk.substr(pos, end - pos));
        lines.push_back(std::move(m_pending));
        m_pending.clear();
        pos = end + 1;
        if (chunk[end] == '\r') {
            if (pos == chunk.size())
                m_afterCr = true;
            else if (chunk[pos] == '\n')
                ++pos;
        }
    }
}

bool LineSplitter::Flush(std::string& line)
{
    m_afterCr = false;
    if (m_pending.empty())
        return false;
    line = std::move(m_pending);
    m_pending.clear();
    return true;
}

bool SplitCommandLine(const std::string& commandLine, std::vector<std::string>& argv, std::string& error)
{
    argv.clear();
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (quoted) {
            if (c == '\\' && i + 1 < commandLine.size() && (commandLine[i + 1] == '"' || commandLine[i + 1] == '\\'))
                current += commandLine[++i];
            else if (c == '"')
                quoted = false;
            else
                current += c;
        } else if (IsSpace(c)) {
            if (inArgument)
                argv.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            inArgument = true;
            if (c == '"')
                quoted = true;
            else
                current += c;
        }
    }
    if (quoted) {
        argv.clear();
        error = "unbalanced double quote in the command line";
        return false;
    }
    if (inArgument)
        argv.push_back(std::move(current));
    if (argv.empty()) {
        error = "empty command line";
        return false;
    }
    return true;
}

std::string QuoteArgument(const std::string& argument)
{
    std::string quoted;
    quoted.reserve(argument.size() + 2);
    quoted += '"';
    for (const char c : argument) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

ChildProcess::~ChildProcess()
{
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        running = m_pid > 0 && !m_reaped;
    }
    if (running) {
        Terminate();
        int exitCode = 0;
        if (!WaitFor(2000, exitCode)) {
            Kill();
            Wait();
        }
    }
    if (m_readFd >= 0)
        ::close(m_readFd);
    if (m_pidFd >= 0)
        ::close(m_pidFd);
}

bool ChildProcess::Start(const std::vector<std::string>& argv, std::string& error)
{
    if (m_pid != 0) {
        error = "a child process was already started";
        return false;
    }
    if (argv.empty()) {
        error = "cannot start a program: empty command";
        return false;
    }
    std::string path;
    if (!ResolveProgram(argv[0], path, error))
        return false;

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error = "cannot start " + argv[0] + ": no pipe: " + std::strerror(errno);
        return false;
    }
    const int spawnError = Spawn(path, argv, fds[1]);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        error = "cannot start " + argv[0] + ": " + std::strerror(spawnError);
        return false;
    }
    m_readFd = fds[0];
    m_pidFd = OpenPidFd(m_pid);
    return true;
}

int ChildProcess::Spawn(const std::string& path, const std::vector<std::string>& argv, int outputFd)
{
    // Everything the new process needs is made before the fork: between the
    // fork and the exec it calls only async-signal-safe functions.
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0)
        return errno;
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) {
        const int err = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        return err;
    }
    if (pid == 0) {
        // Its own group, so that Terminate reaches the child's children.
        ::setpgid(0, 0);
        // It ends when the thread that started it ends (with this process,
        // however that ends, a kill included); a parent that ended before
        // this line was reached is seen in the parent pid.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(128 + SIGTERM);
        // Default dispositions and an empty mask, whatever this process
        // ignores or blocks (an ignored SIGPIPE or SIGTERM would otherwise
        // survive the exec).
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        sigemptyset(&defaults.sa_mask);
        for (const int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGCHLD})
            ::sigaction(sig, &defaults, nullptr);
        sigset_t emptyMask;
        sigemptyset(&emptyMask);
        ::sigprocmask(SIG_SETMASK, &emptyMask, nullptr);
        const int input = ::open("/dev/null", O_RDONLY);
        if (input < 0 || ::dup2(input, 0) < 0 || ::dup2(outputFd, 1) < 0 || ::dup2(outputFd, 2) < 0) {
            const int err = errno;
            [[maybe_unused]] const ssize_t n = ::write(errorPipe[1], &err, sizeof err);
            ::_exit(127);
        }
        ::execve(path.c_str(), args.data(), environ);
        const int err = errno;
        [[maybe_unused]] const ssize_t n = ::write(errorPipe[1], &err, sizeof err);
        ::_exit(127);
    }
    // Set from both sides, so the group exists whichever runs first.
    ::setpgid(pid, pid);
    ::close(errorPipe[1]);
    // The write end closes at the exec: nothing to read means it started, so
    // a program that cannot run never looks started.
    int childError = 0;
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &childError, sizeof childError);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof childError)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return childError != 0 ? childError : ECHILD;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pid = pid;
    m_reaped = false;
    return 0;
}

bool ChildProcess::ReadLine(std::string& line)
{
    char buffer[kReadChunkBytes];
    for (;;) {
        if (m_nextLine < m_lines.size()) {
            line = std::move(m_lines[m_nextLine++]);
            return true;
        }
        m_lines.clear();
        m_nextLine = 0;
        if (m_outputEnded || m_readFd < 0)
            return m_splitter.Flush(line);
        const ssize_t got = ::read(m_readFd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            m_outputEnded = true;
            ::close(m_readFd);
            m_readFd = -1;
            continue;
        }
        m_splitter.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), m_lines);
    }
}

void ChildProcess::SignalGroup(int sig)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A reaped pid may already belong to another process: never signal it.
    if (m_pid > 0 && !m_reaped)
        ::kill(-m_pid, sig);
}

void ChildProcess::Terminate()
{
    SignalGroup(SIGTERM);
}

void ChildProcess::Kill()
{
    SignalGroup(SIGKILL);
}

bool ChildProcess::ReapLocked(int options)
{
    if (m_reaped)
        return true;
    int status = 0;
    pid_t got;
    do {
        got = ::waitpid(m_pid, &status, options);
    } while (got < 0 && errno == EINTR);
    if (got == m_pid) {
        m_status = DecodeStatus(status);
    } else if (got < 0 && errno == ECHILD) {
        // Reaped behind our back (SIGCHLD ignored): the exit code is lost.
        m_status = -1;
    } else {
        return false;
    }
    m_reaped = true;
    return true;
}

int ChildProcess::Wait()
{
    pid_t pid;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_pid <= 0)
            return -1;
        if (m_reaped)
            return m_status;
        pid = m_pid;
    }
    // Wait without reaping, so that the pid stays ours (and Terminate from
    // another thread stays safe) until the mutex is held for the reaping.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    ReapLocked(0);
    return m_status;
}

bool ChildProcess::WaitFor(int timeoutMs, int& exitCode)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int pidFd = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_pid <= 0) {
                exitCode = -1;
                return true;
            }
            if (ReapLocked(WNOHANG)) {
                exitCode = m_status;
                return true;
            }
            pidFd = m_pidFd;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        if (pidFd >= 0) {
            // Readable once the child has ended.
            pollfd p{pidFd, POLLIN, 0};
            ::poll(&p, 1, static_cast<int>(left > INT_MAX ? INT_MAX : left));
        } else {
            // No process descriptors on this kernel: look again shortly.
            std::this_thread::sleep_for(std::chrono::milliseconds(left < 5 ? left : 5));
        }
    }
}

bool ChildProcess::IsRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pid <= 0 || m_reaped)
        return false;
    siginfo_t info{};
    info.si_pid = 0;
    if (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

}  // namespace zelk
