// bench_translator: the G-code translator's cost per line shape, and the
// pieces around it (number reads, packet building, the X3G stream).
//
//     build/release/bin/bench_translator [--benchmark_filter=REGEX]
//
// The lines come from the canonical G-code file of bench_gcode2x3g, so the
// numbers add up to what the converter spends on a real print.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "CanonicalGCode.h"
#include "Package.h"
#include "ProgramFolder.h"
#include "ScanNumbers.h"
#include "X3gWriter.h"
#include "ZELKGCodeParser.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

namespace {

// The lines of a 20000-line canonical file, and of its shapes.
struct Corpus {
    std::vector<std::string> all;
    std::vector<std::string> sixWordMoves;
    std::vector<std::string> fiveWordMoves;   // the six-word moves without E
    std::vector<std::string> extruderOnly;    // "G1 E<value>"

    Corpus()
    {
        bench::CanonicalGCodeOptions options;
        options.minLines = 20000;
        all = bench::CanonicalGCodeLines(options);
        for (const std::string& line : all) {
            if (line.rfind("G1 X", 0) != 0 || line.find(" E") == std::string::npos)
                continue;
            sixWordMoves.push_back(line);
            const std::size_t e = line.find(" E");
            fiveWordMoves.push_back(line.substr(0, e));
            extruderOnly.push_back("G1" + line.substr(e));
        }
    }
};

const Corpus& TheCorpus()
{
    static const Corpus corpus;
    return corpus;
}

ZELKStartGCodeOperater& StartGCode()
{
    static ZELKStartGCodeOperater startGCode(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    return startGCode;
}

// Translates the lines round and round with one machine model, so moves see
// the position the previous line left.
void TranslateLines(benchmark::State& state, const std::vector<std::string>& lines)
{
    ZELKMachine machine;
    ZELKGCodeParser translator(&machine, &StartGCode());
    std::vector<std::string_view> views(lines.begin(), lines.end());
    std::size_t i = 0;
    Package package;
    for (auto _ : state) {
        benchmark::DoNotOptimize(translator.GetGCodeCommandPackage(views[i], package));
        benchmark::DoNotOptimize(package);
        if (++i == views.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Translate_CanonicalMix(benchmark::State& state)
{
    TranslateLines(state, TheCorpus().all);
}

void BM_Translate_G1SixWords(benchmark::State& state)
{
    TranslateLines(state, TheCorpus().sixWordMoves);
}

void BM_Translate_G1FiveWords(benchmark::State& state)
{
    TranslateLines(state, TheCorpus().fiveWordMoves);
}

void BM_Translate_G1ExtruderOnly(benchmark::State& state)
{
    TranslateLines(state, TheCorpus().extruderOnly);
}

void BM_Translate_G1Feedrate(benchmark::State& state)
{
    TranslateLines(state, {"G1 F1800", "G1 F3000", "G1 F4800"});
}

void BM_Translate_G92E0(benchmark::State& state)
{
    TranslateLines(state, {"G92 E0"});
}

void BM_Translate_M73(benchmark::State& state)
{
    TranslateLines(state, {"M73 P17", "M73 P18"});
}

void BM_Translate_M104(benchmark::State& state)
{
    TranslateLines(state, {"M104 S220 T0"});
}

void BM_ScanLetterFloat(benchmark::State& state)
{
    const std::vector<std::string_view> words = {"X-12.345", "Y45.67891", "Z12.250", "F3000", "E123.45678"};
    std::size_t i = 0;
    float value = 0;
    for (auto _ : state) {
        const std::string_view word = words[i];
        benchmark::DoNotOptimize(zelk::ScanLetterFloat(word, word.front(), value));
        benchmark::DoNotOptimize(value);
        if (++i == words.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_GetPackage_G1Shape(benchmark::State& state)
{
    int v = 0;
    for (auto _ : state) {
        ++v;
        Package p = ZELKMachineCodeBuild::GetPackage(
            155, {{3, v}, {3, -v}, {3, 2 * v}, {3, -3 * v}, {3, 0}, {3, 4000}, {1, 24}, {3, v}, {2, 1600}});
        benchmark::DoNotOptimize(p);
    }
    state.SetItemsProcessed(state.iterations());
}

// The X3G stream of a print list of canonical moves, into a sink that only counts.
void BM_WriteX3gStream(benchmark::State& state)
{
    ZELKMachine machine;
    ZELKGCodeParser translator(&machine, &StartGCode());
    std::vector<Package> packages;
    for (const std::string& line : TheCorpus().sixWordMoves) {
        Package p;
        if (translator.GetGCodeCommandPackage(line, p) != 0)
            packages.push_back(p);
    }
    std::size_t bytes = 0;
    const zelk::X3gSink sink = [&bytes](const unsigned char*, std::size_t size) {
        bytes += size;
        return true;
    };
    for (auto _ : state) {
        benchmark::DoNotOptimize(zelk::WriteX3gStream(packages, sink));
    }
    benchmark::DoNotOptimize(bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(packages.size()));
}

}  // namespace

BENCHMARK(BM_Translate_CanonicalMix);
BENCHMARK(BM_Translate_G1SixWords);
BENCHMARK(BM_Translate_G1FiveWords);
BENCHMARK(BM_Translate_G1ExtruderOnly);
BENCHMARK(BM_Translate_G1Feedrate);
BENCHMARK(BM_Translate_G92E0);
BENCHMARK(BM_Translate_M73);
BENCHMARK(BM_Translate_M104);
BENCHMARK(BM_ScanLetterFloat);
BENCHMARK(BM_GetPackage_G1Shape);
BENCHMARK(BM_WriteX3gStream);

BENCHMARK_MAIN();
