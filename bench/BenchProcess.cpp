// Timing a program run as a child process.
#include "BenchProcess.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace bench {

namespace fs = std::filesystem;

namespace {

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

// The peak resident size of a process's own memory, from /proc; -1 when unknown.
long ReadPeakKiB(pid_t pid)
{
    const std::string path = "/proc/" + std::to_string(pid) + "/status";
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return -1;
    long kib = -1;
    char line[256];
    while (std::fgets(line, sizeof line, file) != nullptr) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(file);
    return kib;
}

std::string Joined(const std::vector<std::string>& args)
{
    std::string command;
    for (const std::string& a : args)
        command += (command.empty() ? "" : " ") + a;
    return command;
}

}  // namespace

bool RunChild(const std::vector<std::string>& args, const std::string& outputPath, const std::string& logPath,
              ChildRun& result, std::string& error)
{
    std::error_code ec;
    fs::remove(outputPath, ec);

    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const char* const log = logPath.c_str();

    const double start = Now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = "cannot start " + args[0] + ": " + std::strerror(errno);
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(out, STDERR_FILENO) < 0)
            ::_exit(126);
        ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);  // refused: run untraced
        ::execv(argv[0], argv.data());
        const char message[] = "exec failed\n";
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, message, sizeof message - 1);
        ::_exit(127);
    }

    int status = 0;
    rusage usage{};
    bool traced = false;
    long peakKiB = -1;
    for (;;) {
        pid_t waited = 0;
        do {
            waited = ::wait4(pid, &status, 0, &usage);
        } while (waited < 0 && errno == EINTR);
        if (waited != pid) {
            error = "waiting for " + args[0] + ": " + std::strerror(errno);
            return false;
        }
        if (!WIFSTOPPED(status))
            break;
        int deliver = 0;
        const int signal = WSTOPSIG(status);
        if (signal == SIGTRAP && !traced) {
            // The stop after exec: from now on stop once more, at the exit.
            traced = true;
            ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(PTRACE_O_TRACEEXIT | PTRACE_O_EXITKILL));
        } else if (signal == SIGTRAP && (status >> 16) == PTRACE_EVENT_EXIT) {
            peakKiB = ReadPeakKiB(pid);
        } else {
            deliver = signal;
        }
        ::ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(deliver)));
    }
    const double end = Now();

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "'" + Joined(args) + "' " +
                (WIFEXITED(status) ? "exited with status " + std::to_string(WEXITSTATUS(status))
                                   : "ended by signal " + std::to_string(WIFSIGNALED(status) ? WTERMSIG(status) : 0)) +
                "\n" + Tail(logPath);
        return false;
    }
    const std::uintmax_t size = fs::file_size(outputPath, ec);
    if (ec || size == 0) {
        error = "'" + Joined(args) + "' wrote no output to " + outputPath + "\n" + Tail(logPath);
        return false;
    }
    result.wallSeconds = end - start;
    result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    result.peakExact = peakKiB >= 0;
    result.maxRssKiB = result.peakExact ? peakKiB : usage.ru_maxrss;  // kibibytes on Linux
    result.outputBytes = size;
    return true;
}

void RoundStats::Add(const ChildRun& run)
{
    m_runs.push_back(run);
}

double RoundStats::BestWall() const
{
    double best = std::numeric_limits<double>::infinity();
    for (const ChildRun& r : m_runs)
        best = std::min(best, r.wallSeconds);
    return best;
}

double RoundStats::BestCpu() const
{
    const auto best = std::min_element(m_runs.begin(), m_runs.end(), [](const ChildRun& a, const ChildRun& b) {
        return a.wallSeconds < b.wallSeconds;
    });
    return best == m_runs.end() ? 0 : best->cpuSeconds;
}

double RoundStats::MedianWall() const
{
    std::vector<double> v;
    for (const ChildRun& r : m_runs)
        v.push_back(r.wallSeconds);
    return Median(std::move(v));
}

double RoundStats::MedianCpu() const
{
    std::vector<double> v;
    for (const ChildRun& r : m_runs)
        v.push_back(r.cpuSeconds);
    return Median(std::move(v));
}

double RoundStats::PeakBytes() const
{
    long peak = 0;
    for (const ChildRun& r : m_runs)
        peak = std::max(peak, r.maxRssKiB);
    return static_cast<double>(peak) * 1024.0;
}

bool RoundStats::PeakExact() const
{
    return std::all_of(m_runs.begin(), m_runs.end(), [](const ChildRun& r) { return r.peakExact; });
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 == 1 ? values[half] : (values[half - 1] + values[half]) / 2;
}

double Now()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

std::string FindOnPath(const std::string& name)
{
    if (name.find('/') != std::string::npos)
        return ::access(name.c_str(), X_OK) == 0 ? name : std::string();
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : std::string(".");
        const std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return std::string();
}

std::string Tail(const std::string& path, std::size_t maxBytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::string();
    std::string text;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
        if (text.size() > 4 * maxBytes)
            text.erase(0, text.size() - maxBytes);
    }
    std::fclose(file);
    if (text.size() > maxBytes)
        text.erase(0, text.size() - maxBytes);
    return text;
}

std::string LoadNote()
{
    double load[1] = {0};
    if (::getloadavg(load, 1) != 1)
        return "load unknown";
    char text[96];
    std::snprintf(text, sizeof text, "load average %.2f on %ld processors", load[0], ::sysconf(_SC_NPROCESSORS_ONLN));
    return text;
}

long SelfPeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TempFolder::~TempFolder()
{
    if (m_path.empty())
        return;
    if (m_keep) {
        std::printf("kept: %s\n", m_path.c_str());
        return;
    }
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

bool TempFolder::Create(const std::string& prefix)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/" + prefix + ".XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        return false;
    m_path = pattern;
    return true;
}

}  // namespace bench
