// bench_gcode2x3g: how fast, and in how much memory, gcode2x3g converts a
// large G-code file, measured side by side with Debian's gpx on the same file.
//
// Run (after building the targets bench_gcode2x3g and gcode2x3g):
//
//     build/release/bin/bench_gcode2x3g [--only printer|foreign]
//
// Two inputs, each generated into a temporary folder from a fixed seed (about
// a million lines each) and each converted by both programs as child
// processes, interleaved for a few rounds (who goes first alternates):
//
//   printer   the printer's own dialect (the canonical file):
//             "gcode2x3g --start-gcode START IN OUT" against "gpx -m r1 IN OUT".
//   foreign   RepRap/Marlin G-code as PrusaSlicer writes it, relative
//             extrusion, its flavour named only in the settings block at the
//             end: the same gcode2x3g command (no --flavor: it must find the
//             mark) against "gpx -r -m r1 IN OUT".
//
// Targets, both inputs: at least 5x as fast as gpx, and a peak memory of at
// most 64 MB whatever the input's size (gcode2x3g reads, translates and
// spools the file as a stream; --lines makes the input as large as wanted).
//
// For each it prints the best and median wall time and the processor time of
// each program, the peak memory (resident) against the target and the input
// size, the ratio gpx/ours and PASS or MISS per target. The printer block's lines come first
// and keep their form; every line of the foreign block starts with "foreign".
// It exits 0 whatever the verdicts; 1 only when a program could not run,
// failed or wrote no output, or gcode2x3g did not read the foreign file as
// RepRap G-code (2 for a bad command line).
//
// gcode2x3g and the start G-code are taken from the benchmark's own program
// folder unless given; gpx is looked up on PATH (Debian package gpx).
// See --help for the options.
#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "CanonicalGCode.h"
#include "BenchProcess.h"
#include "ForeignGCode.h"
#include "ZELKStartGCodeOperater.h"

namespace {

constexpr double kMB = 1e6;
// The targets, for both inputs: gpx's time over ours, at least; our peak
// resident memory, at most (in the MB printed, 10^6 bytes), whatever the
// input's size.
constexpr double kSpeedTarget = 5.0;
constexpr double kPeakTargetBytes = 64 * kMB;

const char* const kUsage =
    "usage: bench_gcode2x3g [--gcode2x3g PATH] [--gpx PATH] [--start-gcode FILE]\n"
    "                       [--lines N] [--rounds N] [--seed N] [--only printer|foreign] [--keep]\n";

const char* const kHelp =
    "Times gcode2x3g against gpx on generated G-code files: the printer's own\n"
    "dialect (gpx -m r1), then RepRap/Marlin G-code (gpx -r -m r1).\n"
    "\n"
    "  --gcode2x3g PATH    converter to time (default: beside this program)\n"
    "  --gpx PATH          gpx to compare with (default: gpx on PATH)\n"
    "  --start-gcode FILE  start G-code for gcode2x3g (default: the program\n"
    "                      folder's shipped start.gcode)\n"
    "  --lines N           lines of each generated file (default 1000000)\n"
    "  --rounds N          interleaved rounds; best and median are kept (default 3)\n"
    "  --seed N            seed of the generated files (default 1)\n"
    "  --only NAME         run one input: printer or foreign (default: both)\n"
    "  --keep              keep the temporary folder (inputs, outputs, logs)\n";

struct Options {
    std::string converter;
    std::string gpx;
    std::string startGCode;
    std::size_t lines = 1000000;
    int rounds = 3;
    std::uint64_t seed = 1;
    bool printer = true;
    bool foreign = true;
    bool keep = false;
};

// One input and how each program converts it.
struct Comparison {
    std::string tag;       // starts every line of the block ("" for the printer's dialect)
    std::string title;
    std::string inputLine;
    double inputBytes = 0;
    std::vector<std::string> ours, gpx;  // command lines
    std::string oursOutput, oursLog, gpxOutput, gpxLog;
    std::string input;
    double speedTarget = 0;   // gpx time / our time, at least
    double memoryTarget = 0;  // our peak in bytes, at most, whatever the input's size
    bool foreign = false;     // gcode2x3g must say it read the file as RepRap G-code
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "bench_gcode2x3g: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "bench_gcode2x3g: %s\n", message.c_str());
    return 1;
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
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        std::uint64_t n = 0;
        if (arg == "-h" || arg == "--help") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--keep") {
            options.keep = true;
        } else if (arg == "--gcode2x3g" || arg == "--gpx" || arg == "--start-gcode") {
            if (v == nullptr)
                return UsageError(arg + " needs a value");
            (arg == "--gcode2x3g" ? options.converter : arg == "--gpx" ? options.gpx : options.startGCode) = v;
            ++i;
        } else if (arg == "--only") {
            const std::string name = v != nullptr ? v : "";
            if (name != "printer" && name != "foreign")
                return UsageError("--only needs printer or foreign");
            options.printer = name == "printer";
            options.foreign = name == "foreign";
            ++i;
        } else if (arg == "--lines" || arg == "--rounds" || arg == "--seed") {
            if (v == nullptr || !ParseCount(v, n))
                return UsageError(arg + " needs a whole number");
            ++i;
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

const char* Verdict(bool met)
{
    return met ? "PASS" : "MISS";
}

double MB(double bytes)
{
    return bytes / kMB;
}

// A command line as shown: the input and output files as IN and OUT.
std::string Shown(const std::vector<std::string>& args, const Comparison& c)
{
    std::string text;
    for (const std::string& a : args) {
        const bool out = a == c.oursOutput || a == c.gpxOutput;
        text += (text.empty() ? "" : " ") + (a == c.input ? std::string("IN") : out ? std::string("OUT") : a);
    }
    return text;
}

// printf with the block's tag before the text (blank lines stay blank).
__attribute__((format(printf, 2, 3))) void Say(const Comparison& c, const char* format, ...)
{
    if (format[0] != '\n')
        std::fputs(c.tag.c_str(), stdout);
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

// What gcode2x3g said about the foreign file, line by line. False when it
// did not read it as RepRap G-code.
bool ShowForeignReading(const Comparison& c)
{
    const std::string log = bench::Tail(c.oursLog);
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos)
            end = log.size();
        Say(c, "said      %s\n", log.substr(start, end - start).c_str());
        start = end + 1;
    }
    if (log.find("read as reprap G-code") != std::string::npos)
        return true;
    Fail("gcode2x3g did not say it read " + c.input + " as RepRap G-code");
    return false;
}

// Runs the rounds, ours and gpx in turn (who goes first alternates), and
// prints the block. False, with a message, when a run failed (or gcode2x3g
// did not read a foreign file as RepRap G-code).
bool Compare(const Comparison& c, int rounds)
{
    Say(c, "%s\n", c.title.c_str());
    Say(c, "%s\n", c.inputLine.c_str());
    Say(c, "ours      %s\n", Shown(c.ours, c).c_str());
    Say(c, "gpx       %s\n", Shown(c.gpx, c).c_str());
    Say(c, "before    %s\n", bench::LoadNote().c_str());
    std::fflush(stdout);

    bench::RoundStats ours, theirs;
    for (int round = 1; round <= rounds; ++round) {
        bench::ChildRun a, b;
        std::string error;
        const bool oursFirst = round % 2 == 1;
        for (int turn = 0; turn < 2; ++turn) {
            const bool isOurs = (turn == 0) == oursFirst;
            const bool ok = isOurs ? bench::RunChild(c.ours, c.oursOutput, c.oursLog, a, error)
                                   : bench::RunChild(c.gpx, c.gpxOutput, c.gpxLog, b, error);
            if (!ok) {
                Fail(error);
                return false;
            }
        }
        ours.Add(a);
        theirs.Add(b);
        Say(c, "round %d   ours %.3f s, %.1f MB   gpx %.3f s, %.1f MB\n", round, a.wallSeconds,
            static_cast<double>(a.maxRssKiB) * 1024.0 / kMB, b.wallSeconds,
            static_cast<double>(b.maxRssKiB) * 1024.0 / kMB);
        std::fflush(stdout);
    }
    Say(c, "after     %s\n", bench::LoadNote().c_str());
    if (c.foreign && !ShowForeignReading(c))
        return false;

    const double speedRatio = theirs.BestWall() / ours.BestWall();
    const double memoryRatio = ours.PeakBytes() / c.inputBytes;
    Say(c, "\n");
    Say(c, "%-10s %12s %12s %14s %12s\n", "", "best wall", "its cpu", "peak RSS", "output");
    for (const auto& [name, stats] : {std::pair<const char*, const bench::RoundStats*>{"gcode2x3g", &ours},
                                      std::pair<const char*, const bench::RoundStats*>{"gpx", &theirs}})
        Say(c, "%-10s %10.3f s %10.3f s %11.1f MB %9.1f MB\n", name, stats->BestWall(), stats->BestCpu(),
            MB(stats->PeakBytes()), MB(static_cast<double>(stats->OutputBytes())));
    Say(c, "\n");
    Say(c, "speed     gpx time / our time = %.2fx   (target: at least %.1fx)   %s\n", speedRatio, c.speedTarget,
        Verdict(speedRatio >= c.speedTarget));
    // On a busy machine the processor time of the best runs is the steadier figure.
    Say(c, "          (processor time: gpx / ours = %.2fx)\n", theirs.BestCpu() / ours.BestCpu());
    Say(c, "median    gpx / ours = %.2fx   (ours %.3f s, cpu %.3f s; gpx %.3f s, cpu %.3f s; %d rounds)\n",
        theirs.MedianWall() / ours.MedianWall(), ours.MedianWall(), ours.MedianCpu(), theirs.MedianWall(),
        theirs.MedianCpu(), ours.Count());
    Say(c, "memory    our peak = %.1f MB = %.2fx the input   (target: at most %.0f MB)   %s\n", MB(ours.PeakBytes()),
        memoryRatio, MB(c.memoryTarget), Verdict(ours.PeakBytes() <= c.memoryTarget));
    Say(c, "          gpx peak = %.1f MB = %.2fx the input\n", MB(theirs.PeakBytes()),
        theirs.PeakBytes() / c.inputBytes);
    if (!ours.PeakExact() || !theirs.PeakExact())
        Say(c, "          (peaks from ru_maxrss, which also counts this benchmark's own %.1f MB: upper bounds)\n",
            static_cast<double>(bench::SelfPeakKiB()) * 1024.0 / kMB);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0)
        return parsed;

    const std::string programFolder = bench::ExecutableFolder();
    if (options.converter.empty())
        options.converter = programFolder + "/gcode2x3g";
    if (options.startGCode.empty())
        options.startGCode = programFolder + "/" + ZELKStartGCodeOperater::kRelativePath;
    const std::string gpx = bench::FindOnPath(options.gpx.empty() ? std::string("gpx") : options.gpx);

    if (::access(options.converter.c_str(), X_OK) != 0)
        return Fail("no converter at " + options.converter + " (build the gcode2x3g target, or use --gcode2x3g)");
    if (gpx.empty())
        return Fail("gpx not found (install the Debian package gpx, or use --gpx)");
    if (::access(options.startGCode.c_str(), R_OK) != 0)
        return Fail("cannot read the start G-code " + options.startGCode);

    bench::TempFolder folder;
    if (!folder.Create("bench_gcode2x3g"))
        return Fail(std::string("cannot create a temporary folder: ") + std::strerror(errno));
    folder.Keep(options.keep);

    auto prepare = [&](Comparison& c, const char* stem, const char* gpxFlavor) {
        const std::string s = stem;
        c.input = folder.File((s + ".gcode").c_str());
        c.oursOutput = folder.File((s + "-ours.x3g").c_str());
        c.oursLog = folder.File((s + "-ours.log").c_str());
        c.gpxOutput = folder.File((s + "-gpx.x3g").c_str());
        c.gpxLog = folder.File((s + "-gpx.log").c_str());
        c.ours = {options.converter, "--start-gcode", options.startGCode, c.input, c.oursOutput};
        c.gpx = {gpx};
        if (gpxFlavor != nullptr)
            c.gpx.push_back(gpxFlavor);
        c.gpx.insert(c.gpx.end(), {"-m", "r1", c.input, c.gpxOutput});
    };
    char text[256];
    std::string error;

    if (options.printer) {
        Comparison c;
        prepare(c, "canonical", nullptr);
        c.speedTarget = kSpeedTarget;
        c.memoryTarget = kPeakTargetBytes;
        bench::CanonicalGCodeOptions generate;
        generate.seed = options.seed;
        generate.minLines = options.lines;
        bench::CanonicalGCodeStats stats;
        const double start = bench::Now();
        if (!bench::WriteCanonicalGCode(c.input, generate, stats, error))
            return Fail(error);
        c.inputBytes = static_cast<double>(stats.bytes);
        std::snprintf(text, sizeof text, "gcode2x3g vs gpx, G-code to X3G, best of %d interleaved rounds (MB = 10^6 bytes)",
                      options.rounds);
        c.title = text;
        std::snprintf(text, sizeof text,
                      "input     %.1f MB, %zu lines (%zu six-word moves, %zu layers), seed %" PRIu64 ", made in %.2f s",
                      MB(c.inputBytes), stats.lines, stats.moveLines, stats.layers, options.seed, bench::Now() - start);
        c.inputLine = text;
        if (!Compare(c, options.rounds))
            return 1;
    }

    if (options.foreign) {
        Comparison c;
        c.tag = "foreign ";
        c.foreign = true;
        prepare(c, "foreign", "-r");
        c.speedTarget = kSpeedTarget;
        c.memoryTarget = kPeakTargetBytes;
        bench::ForeignGCodeOptions generate;
        generate.seed = options.seed;
        generate.minLines = options.lines;
        bench::ForeignGCodeStats stats;
        const double start = bench::Now();
        if (!bench::WriteForeignGCode(c.input, generate, stats, error))
            return Fail(error);
        c.inputBytes = static_cast<double>(stats.bytes);
        std::snprintf(text, sizeof text,
                      "RepRap/Marlin G-code (relative E, flavour marked at the end), best of %d interleaved rounds",
                      options.rounds);
        c.title = text;
        std::snprintf(text, sizeof text,
                      "input     %.1f MB, %zu lines (%zu extrusion moves, %zu travels, %zu layers), seed %" PRIu64
                      ", made in %.2f s",
                      MB(c.inputBytes), stats.lines, stats.extrusionMoves, stats.travelMoves, stats.layers,
                      options.seed, bench::Now() - start);
        c.inputLine = text;
        if (options.printer)
            std::printf("\n");
        if (!Compare(c, options.rounds))
            return 1;
    }
    return 0;
}
