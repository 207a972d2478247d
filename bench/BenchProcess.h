// Timing a program run as a child process: its wall time, processor time and
// peak memory, the best and median of several rounds, and the helpers around
// them (finding programs, a temporary folder, a note of the machine's load).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// One child run.
struct ChildRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;   // user + system
    long maxRssKiB = 0;      // peak resident memory
    bool peakExact = true;   // false: ru_maxrss, an upper bound
    std::uintmax_t outputBytes = 0;
};

// Runs args[0] (a path) with standard input from /dev/null and its output and
// errors going to logPath. outputPath is removed before; the run counts only
// when the program exits 0 and outputPath is there, not empty, after. False,
// with error set (the command, how it ended, the end of its log), otherwise.
//
// The peak memory: a child's ru_maxrss also counts the memory of the process
// it was forked from (the kernel carries the old address space's peak over
// exec), so for a program smaller than the benchmark it would show the
// benchmark's size. The child is therefore traced, and the peak of its own
// address space (VmHWM) is read when it stops on its way out. Where tracing
// is not allowed, ru_maxrss is kept and marked as an upper bound.
bool RunChild(const std::vector<std::string>& args, const std::string& outputPath, const std::string& logPath,
              ChildRun& result, std::string& error);

// The rounds of one program: the best and median wall time, the processor
// time of the best run and the median processor time, the largest peak.
class RoundStats {
public:
    void Add(const ChildRun& run);

    int Count() const { return static_cast<int>(m_runs.size()); }
    double BestWall() const;
    double BestCpu() const;  // of the run with the best wall time
    double MedianWall() const;
    double MedianCpu() const;
    // Peak memory hardly varies; the largest is the honest figure.
    double PeakBytes() const;
    bool PeakExact() const;
    std::uintmax_t OutputBytes() const { return m_runs.empty() ? 0 : m_runs.back().outputBytes; }

private:
    std::vector<ChildRun> m_runs;
};

// The middle value (the mean of the two middle ones for an even count); 0 when empty.
double Median(std::vector<double> values);

// Seconds on the monotonic clock.
double Now();

// The folder this program was started from.
std::string ExecutableFolder();

// The program's path as execvp would find it, or empty.
std::string FindOnPath(const std::string& name);

// The last bytes of a file (a log), or empty.
std::string Tail(const std::string& path, std::size_t maxBytes = 2000);

// "load average 0.52 on 2 processors": wall times are only comparable on a
// machine that is otherwise idle.
std::string LoadNote();

// This process's own peak resident memory.
long SelfPeakKiB();

// A temporary folder, removed with everything in it on destruction unless kept.
class TempFolder {
public:
    TempFolder() = default;
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();

    // Under $TMPDIR (or /tmp), named prefix.XXXXXX. False with errno set when it cannot be made.
    bool Create(const std::string& prefix);
    void Keep(bool keep) { m_keep = keep; }
    const std::string& Path() const { return m_path; }
    std::string File(const char* name) const { return m_path + "/" + name; }

private:
    std::string m_path;
    bool m_keep = false;
};

}  // namespace bench
