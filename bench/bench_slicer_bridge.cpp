// bench_slicer_bridge: what the slicer bridge adds to the slicing engine's time, and how fast its G-code rewrite runs.
//
// Run (after building the targets bench_slicer_bridge and slicer-bridge):
//
//     build/release/bin/bench_slicer_bridge [--rounds N] [--sphere-rounds N] [--lines N] [--keep]
//
// 1. Overhead: for a 20 mm cube, a cylinder and a sphere of a million facets
//    (generated into a temporary folder), the engine alone with exactly the
//    command line the bridge gives it (bridge::EngineCommandLine), and the
//    bridge with the same settings, run alternately. Prints the best and the
//    median wall time of each and their ratio bridge / engine (target at most
//    1.10). The sphere takes several seconds per engine run, so it gets fewer
//    rounds.
// 2. Rewrite throughput: a generated engine-style G-code of at least a million
//    lines through the rewrite (the writing pass alone, and the counting pass
//    plus the writing pass as the bridge runs them), best of several rounds, in
//    lines per second (target at least 1,000,000).
// Exits 0 whether the targets are met or not, 1 when a program could not run,
// 2 for a bad command line.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "BridgeOptions.h"
#include "ChildProcess.h"
#include "EngineGCode.h"
#include "GCodeRewrite.h"
#include "StlShapes.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kOverheadTarget = 1.10;  // bridge time / engine time, at most
constexpr double kLinesPerSecondTarget = 1e6;

struct Options {
    int rounds = 7;
    int sphereRounds = 3;
    std::size_t lines = 1000000;
    bool keep = false;
};

bool ParseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rounds" && hasValue)
            o.rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--sphere-rounds" && hasValue)
            o.sphereRounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--lines" && hasValue)
            o.lines = static_cast<std::size_t>(std::max(1000L, std::atol(argv[++i])));
        else if (arg == "--keep")
            o.keep = true;
        else
            return false;
    }
    return true;
}

std::string ExecutableFolder()
{
    std::error_code ec;
    return fs::read_symlink("/proc/self/exe", ec).parent_path().string() + "/";
}

// Runs a program to its end, its output read and dropped; wall seconds, or -1.
double TimeRun(const std::vector<std::string>& argv)
{
    const Clock::time_point start = Clock::now();
    zelk::ChildProcess child;
    std::string error;
    if (!child.Start(argv, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return -1;
    }
    std::string line, last;
    while (child.ReadLine(line))
        last = line;
    if (child.Wait() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", argv[0].c_str(), last.c_str());
        return -1;
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Engine and bridge alternately on one model; false when a run failed.
bool CompareOnModel(const std::string& name, const std::string& model, const fs::path& dir, int rounds)
{
    const bridge::BridgeOptions defaults;
    const std::vector<std::string> engine = bridge::EngineCommandLine(
        "prusa-slicer", bridge::DeriveEngineSettings(defaults), (dir / "engine.gcode").string(), model);
    const std::vector<std::string> bridgeRun = {ExecutableFolder() + "slicer-bridge", "--output",
                                                (dir / "bridge.gcode").string(), model};
    std::vector<double> engineTimes, bridgeTimes;
    for (int r = 0; r < rounds; ++r) {
        const double e = TimeRun(engine);
        const double b = TimeRun(bridgeRun);
        if (e < 0 || b < 0)
            return false;
        engineTimes.push_back(e);
        bridgeTimes.push_back(b);
    }
    const double engineBest = *std::min_element(engineTimes.begin(), engineTimes.end());
    const double bridgeBest = *std::min_element(bridgeTimes.begin(), bridgeTimes.end());
    const double ratioBest = bridgeBest / engineBest, ratioMedian = Median(bridgeTimes) / Median(engineTimes);
    std::printf("  %-22s %2d  %8.3f %8.3f   %8.3f %8.3f   %5.3f  %5.3f  %s\n", name.c_str(), rounds, engineBest,
                Median(engineTimes), bridgeBest, Median(bridgeTimes), ratioBest, ratioMedian,
                ratioBest <= kOverheadTarget ? "met" : "MISSED");
    return true;
}

std::size_t CountLines(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Seconds for one rewrite of `engine`; with `countFirst` the counting pass runs before, as in the bridge.
double TimeRewrite(const std::string& start, const std::string& engine, bool countFirst, std::size_t& bytesOut)
{
    const Clock::time_point t0 = Clock::now();
    if (countFirst) {
        bridge::GCodeRewriter counter;
        counter.WriteStart(start);
        counter.Rewrite(engine);
    }
    bytesOut = 0;
    bridge::GCodeRewriter rewriter([&bytesOut](std::string_view chunk) {
        bytesOut += chunk.size();
        return true;
    });
    rewriter.WriteStart(start);
    rewriter.Rewrite(engine);
    rewriter.Finish();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void RewriteThroughput(const Options& o)
{
    const std::string start = "M104 S220 T0\nM109 S100 T0\nG92 X-75 Y-75 Z140.0 A0 B0\nG1 Z5.0 F1000\nG92 E0\n";
    const int movesPerLayer = 2000;
    const int layers = static_cast<int>(o.lines / movesPerLayer + 1);  // a layer has more lines than moves
    const std::string engine = testgcode::EngineStyleGCode(1, layers, movesPerLayer, 2);
    const std::size_t lines = CountLines(engine);
    std::printf("\nRewrite of a generated engine-style G-code: %zu lines, %.1f MB\n", lines, engine.size() / 1e6);
    std::printf("  %-34s %10s %14s  target %.0f lines/s\n", "pass", "best s", "lines/s", kLinesPerSecondTarget);
    for (const bool countFirst : {false, true}) {
        double best = 1e30;
        std::size_t bytes = 0;
        for (int r = 0; r < 5; ++r)
            best = std::min(best, TimeRewrite(start, engine, countFirst, bytes));
        const double rate = static_cast<double>(lines) / best;
        std::printf("  %-34s %10.4f %14.0f  %s\n", countFirst ? "count + write (as the bridge runs)" : "write", best,
                    rate, rate >= kLinesPerSecondTarget ? "met" : "MISSED");
    }
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: bench_slicer_bridge [--rounds N] [--sphere-rounds N] [--lines N] [--keep]\n");
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "bench-slicer-bridge-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    using namespace stlshapes;
    const std::vector<Facet> sphere = Sphere(0, 0, 20, 1000000);
    WriteBinaryStl((dir / "cube.stl").string(), Box(-10, -10, 0, 10, 10, 20));
    WriteBinaryStl((dir / "cylinder.stl").string(), Cylinder(0, 0, 15, 0, 30, 360));
    WriteBinaryStl((dir / "sphere.stl").string(), sphere);

    std::printf("Slicer bridge against the engine alone (same model, settings and engine command line),\n"
                "alternating runs; wall seconds; target bridge / engine <= %.2f\n",
                kOverheadTarget);
    std::printf("  %-22s %2s  %8s %8s   %8s %8s   %5s  %5s\n", "model", "n", "engine", "median", "bridge", "median",
                "best", "median");
    bool ok = CompareOnModel("cube 20 mm (12)", (dir / "cube.stl").string(), dir, options.rounds) &&
              CompareOnModel("cylinder (1440)", (dir / "cylinder.stl").string(), dir, options.rounds) &&
              CompareOnModel("sphere (" + std::to_string(sphere.size()) + ")", (dir / "sphere.stl").string(), dir,
                             options.sphereRounds);
    std::printf("  (the sphere runs %d rounds: each engine run takes seconds)\n", options.sphereRounds);
    RewriteThroughput(options);
    if (!options.keep)
        fs::remove_all(dir);
    else
        std::printf("\nkept %s\n", dir.c_str());
    return ok ? 0 : 1;
}
