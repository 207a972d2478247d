// bench_gcode2x3g: how fast, and in how much memory, gcode2x3g converts a
// large G-code file, measured side by side with Debian's gpx on the same file.
//
// Run (after building the targets bench_gcode2x3g and gcode2x3g):
//
//     build/release/bin/bench_gcode2x3g
//
// It writes a canonical G-code file (fixed seed, about a million lines) into a
// temporary folder, then runs "gcode2x3g --start-gcode <start.gcode> IN OUT"
// and "gpx -m r1 IN OUT" as child processes, interleaved for a few rounds,
// and prints the best wall time and the peak memory (resident) of each, their
// ratio and the targets: gcode2x3g at least 3x as fast as gpx, and its peak
// memory at most 3.5x the size of the input file. It prints PASS or MISS per
// target and exits 0 either way; it exits 1 only when a program could not
// run, failed or wrote no output (2 for a bad command line).
//
// gcode2x3g and the start G-code are taken from the benchmark's own program
// folder unless given; gpx is looked up on PATH (Debian package gpx).
// See --help for the options.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "CanonicalGCode.h"
#include "ZELKStartGCodeOperater.h"

namespace {

namespace fs = std::filesystem;

constexpr double kSpeedTarget = 3.0;    // gpx time / gcode2x3g time, at least
constexpr double kMemoryTarget = 3.5;   // gcode2x3g peak RSS / input size, at most
constexpr double kMB = 1e6;

const char* const kUsage =
    "usage: bench_gcode2x3g [--gcode2x3g PATH] [--gpx PATH] [--start-gcode FILE]\n"
    "                       [--lines N] [--rounds N] [--seed N] [--keep]\n";

const char* const kHelp =
    "Times gcode2x3g against gpx on one generated G-code file.\n"
    "\n"
    "  --gcode2x3g PATH    converter to time (default: beside this program)\n"
    "  --gpx PATH          gpx to compare with (default: gpx on PATH)\n"
    "  --start-gcode FILE  start G-code for gcode2x3g (default: the program\n"
    "                      folder's shipped start.gcode)\n"
    "  --lines N           lines of the generated file (default 1000000)\n"
    "  --rounds N          interleaved rounds; the best of each is kept (default 3)\n"
    "  --seed N            seed of the generated file (default 1)\n"
    "  --keep              keep the temporary folder (input, outputs, logs)\n";

struct Options {
    std::string converter;
    std::string gpx;
    std::string startGCode;
    std::size_t lines = 1000000;
    int rounds = 3;
    std::uint64_t seed = 1;
    bool keep = false;
};

// One child run.
struct RunResult {
    double wallSeconds = 0;
    double cpuSeconds = 0;      // user + system
    long maxRssKiB = 0;         // peak resident memory
    bool peakExact = true;      // false: ru_maxrss, an upper bound
    std::uintmax_t outputBytes = 0;
};

// The best of the rounds of one program.
struct Best {
    double wallSeconds = std::numeric_limits<double>::infinity();
    double cpuSeconds = std::numeric_limits<double>::infinity();
    long maxRssKiB = 0;
    bool peakExact = true;
    std::uintmax_t outputBytes = 0;

    void Add(const RunResult& run)
    {
        peakExact = peakExact && run.peakExact;
        if (run.wallSeconds < wallSeconds) {
            wallSeconds = run.wallSeconds;
            cpuSeconds = run.cpuSeconds;
        }
        // Peak memory hardly varies; the largest is the honest figure.
        if (run.maxRssKiB > maxRssKiB)
            maxRssKiB = run.maxRssKiB;
        outputBytes = run.outputBytes;
    }

    double RssBytes() const { return static_cast<double>(maxRssKiB) * 1024.0; }
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "bench_gcode2x3g: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool ParseCount(const char* text, std::uint64_t& value)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-')
        return false;
    value = v;
    return true;
}

// -1: go on; otherwise the exit status.
int ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char*& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        std::uint64_t n = 0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--keep") {
            options.keep = true;
        } else if (arg == "--gcode2x3g" || arg == "--gpx" || arg == "--start-gcode") {
            if (!value(v))
                return UsageError(arg + " needs a value");
            (arg == "--gcode2x3g" ? options.converter : arg == "--gpx" ? options.gpx : options.startGCode) = v;
        } else if (arg == "--lines" || arg == "--rounds" || arg == "--seed") {
            if (!value(v) || !ParseCount(v, n))
                return UsageError(arg + " needs a whole number");
            if (arg == "--lines") {
                if (n < 1000)
                    return UsageError("--lines must be at least 1000");
                options.lines = static_cast<std::size_t>(n);
            } else if (arg == "--rounds") {
                if (n < 1 || n > 100)
                    return UsageError("--rounds must be 1 to 100");
                options.rounds = static_cast<int>(n);
            } else {
                options.seed = n;
            }
        } else {
            return UsageError("unknown argument '" + arg + "'");
        }
    }
    return -1;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

// The program's path as execvp would find it, or empty.
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

double Seconds(const timeval& t)
{
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

double Now()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The last lines of a log, for the failure message.
std::string Tail(const std::string& path, std::size_t maxBytes = 2000)
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

// Runs args[0] (a path) with its output and errors going to logPath; the
// output file must not exist before and must be there, not empty, after.
// False (and a message on stderr) when the program cannot start, fails or
// writes nothing.
//
// The peak memory: a child's ru_maxrss also counts the memory of the process
// it was forked from (the kernel carries the old address space's peak over
// exec), so for a program smaller than this benchmark it would show the
// benchmark's size. The child is therefore traced, and the peak of its own
// address space (VmHWM) is read when it stops on its way out. Where tracing
// is not allowed, ru_maxrss is kept and marked as an upper bound.
bool Run(const std::vector<std::string>& args, const std::string& outputPath, const std::string& logPath,
         RunResult& result)
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
        std::fprintf(stderr, "bench_gcode2x3g: cannot start %s: %s\n", argv[0], std::strerror(errno));
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
            std::fprintf(stderr, "bench_gcode2x3g: waiting for %s: %s\n", argv[0], std::strerror(errno));
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

    std::string command;
    for (const std::string& a : args)
        command += (command.empty() ? "" : " ") + a;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (WIFEXITED(status))
            std::fprintf(stderr, "bench_gcode2x3g: '%s' exited with status %d\n", command.c_str(), WEXITSTATUS(status));
        else
            std::fprintf(stderr, "bench_gcode2x3g: '%s' ended by signal %d\n", command.c_str(),
                         WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        std::fprintf(stderr, "%s\n", Tail(logPath).c_str());
        return false;
    }
    const std::uintmax_t size = fs::file_size(outputPath, ec);
    if (ec || size == 0) {
        std::fprintf(stderr, "bench_gcode2x3g: '%s' wrote no output to %s\n%s\n", command.c_str(),
                     outputPath.c_str(), Tail(logPath).c_str());
        return false;
    }
    result.wallSeconds = end - start;
    result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    result.peakExact = peakKiB >= 0;
    result.maxRssKiB = result.peakExact ? peakKiB : usage.ru_maxrss;  // kibibytes on Linux
    result.outputBytes = size;
    return true;
}

// Removes the temporary folder at exit unless it is to be kept.
class TempFolder {
public:
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder()
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

    bool Create()
    {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/bench_gcode2x3g.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return false;
        m_path = pattern;
        return true;
    }

    void Keep(bool keep) { m_keep = keep; }
    const std::string& Path() const { return m_path; }
    std::string File(const char* name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    bool m_keep = false;
};

// The 1-minute load average and the processor count: wall times are only
// comparable on a machine that is otherwise idle.
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

const char* Verdict(bool met)
{
    return met ? "PASS" : "MISS";
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0)
        return parsed;

    const std::string programFolder = ExecutableFolder();
    if (options.converter.empty())
        options.converter = programFolder + "/gcode2x3g";
    if (options.startGCode.empty())
        options.startGCode = programFolder + "/" + ZELKStartGCodeOperater::kRelativePath;
    const std::string gpx = FindOnPath(options.gpx.empty() ? std::string("gpx") : options.gpx);

    if (::access(options.converter.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "bench_gcode2x3g: no converter at %s (build the gcode2x3g target, or use --gcode2x3g)\n",
                     options.converter.c_str());
        return 1;
    }
    if (gpx.empty()) {
        std::fprintf(stderr, "bench_gcode2x3g: gpx not found (install the Debian package gpx, or use --gpx)\n");
        return 1;
    }
    if (::access(options.startGCode.c_str(), R_OK) != 0) {
        std::fprintf(stderr, "bench_gcode2x3g: cannot read the start G-code %s\n", options.startGCode.c_str());
        return 1;
    }

    TempFolder folder;
    if (!folder.Create()) {
        std::fprintf(stderr, "bench_gcode2x3g: cannot create a temporary folder: %s\n", std::strerror(errno));
        return 1;
    }
    folder.Keep(options.keep);

    const std::string input = folder.File("canonical.gcode");
    bench::CanonicalGCodeOptions generate;
    generate.seed = options.seed;
    generate.minLines = options.lines;
    bench::CanonicalGCodeStats stats;
    std::string error;
    const double generateStart = Now();
    if (!bench::WriteCanonicalGCode(input, generate, stats, error)) {
        std::fprintf(stderr, "bench_gcode2x3g: %s\n", error.c_str());
        return 1;
    }
    const double generateSeconds = Now() - generateStart;
    const double inputBytes = static_cast<double>(stats.bytes);

    std::printf("gcode2x3g vs gpx, G-code to X3G, best of %d interleaved rounds (MB = 10^6 bytes)\n", options.rounds);
    std::printf("input     %.1f MB, %zu lines (%zu six-word moves, %zu layers), seed %" PRIu64
                ", made in %.2f s\n",
                inputBytes / kMB, stats.lines, stats.moveLines, stats.layers, options.seed, generateSeconds);
    std::printf("ours      %s --start-gcode %s IN OUT\n", options.converter.c_str(), options.startGCode.c_str());
    std::printf("gpx       %s -m r1 IN OUT\n", gpx.c_str());
    std::printf("before    %s\n", LoadNote().c_str());
    std::fflush(stdout);

    const std::vector<std::string> oursArgs = {options.converter, "--start-gcode", options.startGCode, input,
                                               folder.File("ours.x3g")};
    const std::vector<std::string> gpxArgs = {gpx, "-m", "r1", input, folder.File("gpx.x3g")};
    Best ours, theirs;
    for (int round = 1; round <= options.rounds; ++round) {
        RunResult a, b;
        if (!Run(oursArgs, folder.File("ours.x3g"), folder.File("ours.log"), a))
            return 1;
        if (!Run(gpxArgs, folder.File("gpx.x3g"), folder.File("gpx.log"), b))
            return 1;
        ours.Add(a);
        theirs.Add(b);
        std::printf("round %d   ours %.3f s, %.1f MB   gpx %.3f s, %.1f MB\n", round, a.wallSeconds,
                    static_cast<double>(a.maxRssKiB) * 1024.0 / kMB, b.wallSeconds,
                    static_cast<double>(b.maxRssKiB) * 1024.0 / kMB);
        std::fflush(stdout);
    }

    std::printf("after     %s\n", LoadNote().c_str());
    const double speedRatio = theirs.wallSeconds / ours.wallSeconds;
    const double memoryRatio = ours.RssBytes() / inputBytes;
    std::printf("\n");
    std::printf("%-10s %12s %12s %14s %12s\n", "", "best wall", "its cpu", "peak RSS", "output");
    std::printf("%-10s %10.3f s %10.3f s %11.1f MB %9.1f MB\n", "gcode2x3g", ours.wallSeconds, ours.cpuSeconds,
                ours.RssBytes() / kMB, static_cast<double>(ours.outputBytes) / kMB);
    std::printf("%-10s %10.3f s %10.3f s %11.1f MB %9.1f MB\n", "gpx", theirs.wallSeconds, theirs.cpuSeconds,
                theirs.RssBytes() / kMB, static_cast<double>(theirs.outputBytes) / kMB);
    std::printf("\n");
    std::printf("speed     gpx time / our time = %.2fx   (target: at least %.1fx)   %s\n", speedRatio, kSpeedTarget,
                Verdict(speedRatio >= kSpeedTarget));
    // On a busy machine the processor time of the best runs is the steadier figure.
    std::printf("          (processor time: gpx / ours = %.2fx)\n", theirs.cpuSeconds / ours.cpuSeconds);
    std::printf("memory    our peak = %.1f MB = %.2fx the input   (target: at most %.1fx)   %s\n",
                ours.RssBytes() / kMB, memoryRatio, kMemoryTarget, Verdict(memoryRatio <= kMemoryTarget));
    std::printf("          gpx peak = %.1f MB = %.2fx the input\n", theirs.RssBytes() / kMB,
                theirs.RssBytes() / inputBytes);
    if (!ours.peakExact || !theirs.peakExact)
        std::printf("          (peaks from ru_maxrss, which also counts this benchmark's own %.1f MB: upper bounds)\n",
                    static_cast<double>(SelfPeakKiB()) * 1024.0 / kMB);
    return 0;
}
