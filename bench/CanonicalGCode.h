// The benchmarks' canonical G-code: a deterministic print of the dialect the
// translator reads, made from a fixed seed so every run converts the same file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace bench {

struct CanonicalGCodeOptions {
    std::uint64_t seed = 1;
    // The file gets at least this many lines (start sequence, layers of
    // moves, progress and end lines together).
    std::size_t minLines = 1000000;
};

struct CanonicalGCodeStats {
    std::size_t lines = 0;
    std::size_t bytes = 0;
    std::size_t moveLines = 0;    // six-word G1 lines
    std::size_t layers = 0;
};

// Small, fast and the same on every platform (unlike the standard
// distributions, whose results depend on the library).
class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
    double Uniform(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    // Uniform in [0, n).
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>((Next() >> 32) * n >> 32); }

private:
    std::uint64_t m_state;
};

// Receives the file line by line (each line without its newline).
class LineSink {
public:
    virtual ~LineSink() = default;
    virtual void Line(const char* text, std::size_t size) = 0;
};

// The start sequence every canonical file opens with: the extruder and
// platform temperatures on its first two lines, then homing, the start
// position and the priming dwell.
const std::vector<std::string>& CanonicalStartSequence();

// Generates the whole file into sink.
CanonicalGCodeStats GenerateCanonicalGCode(const CanonicalGCodeOptions& options, LineSink& sink);

// Writes the file to path ("\n" line ends). False, with error set, when the
// file cannot be written.
bool WriteCanonicalGCode(const std::string& path, const CanonicalGCodeOptions& options,
                         CanonicalGCodeStats& stats, std::string& error);

// Writes the lines generate hands its sink to path ("\n" line ends, written
// in large blocks). False, with error set, when the file cannot be written.
bool WriteGCodeLines(const std::string& path, const std::function<void(LineSink&)>& generate, std::string& error);

// The file's lines in memory (for the micro benchmarks).
std::vector<std::string> CanonicalGCodeLines(const CanonicalGCodeOptions& options);

}  // namespace bench
