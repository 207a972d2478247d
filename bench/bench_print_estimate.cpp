// bench_print_estimate: what the time estimate of a print costs against
// translating it. A generated million-line G-code file is translated into its
// print list (as a print's preparation does), then the estimate is made from
// that list (its running sums, as the print monitor's start does); rounds
// alternate, the best and the median of each are printed with their ratio.
// Target: the estimate costs at most 10 % of the translation.
//
//     build/release/bin/bench_print_estimate [ROUNDS]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "BenchSupport.h"
#include "CanonicalGCode.h"
#include "PrintTimeEstimate.h"
#include "ProgramFolder.h"
#include "ZELKGCodeParser.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::string dir = "/tmp/morvadin-bench-estimate-XXXXXX";
    if (const char* tmp = std::getenv("TMPDIR"))
        dir = std::string(tmp) + "/morvadin-bench-estimate-XXXXXX";
    if (::mkdtemp(dir.data()) == nullptr) {
        std::perror("bench_print_estimate: mkdtemp");
        return 1;
    }
    const std::string path = dir + "/print.gcode";
    bench::CanonicalGCodeOptions generate;
    bench::CanonicalGCodeStats stats;
    std::string error;
    if (!bench::WriteCanonicalGCode(path, generate, stats, error)) {
        std::fprintf(stderr, "bench_print_estimate: %s\n", error.c_str());
        return 1;
    }
    ZELKStartGCodeOperater startGCode(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));

    std::vector<double> translate, estimate;
    std::size_t packages = 0, listBytes = 0;
    double total = 0;
    for (int round = 0; round < rounds; ++round) {
        ZELKMachine machine;
        ZELKGCodeParser translator(&machine, &startGCode);
        zelk::PrintList list;
        translate.push_back(bench::Milliseconds([&] { list = translator.FileParser(path.c_str()); }));
        zelk::PrintTimeEstimate made;
        estimate.push_back(bench::Milliseconds([&] { made.Start(list, 0.0); }));
        packages = made.PackageCount();
        total = made.TotalSeconds();
        listBytes = list.MemoryBytes();
    }
    std::remove(path.c_str());
    ::rmdir(dir.c_str());

    const double bestT = *std::min_element(translate.begin(), translate.end());
    const double bestE = *std::min_element(estimate.begin(), estimate.end());
    std::printf("%zu packages, moves take %s\n", packages, zelk::FormatDuration(total).c_str());
    std::printf("translation  best %8.1f ms  median %8.1f ms\n", bestT, bench::Median(translate));
    std::printf("estimate     best %8.1f ms  median %8.1f ms\n", bestE, bench::Median(estimate));
    std::printf("print list   %.1f bytes a package (a package record holds %zu)\n",
                packages > 0 ? static_cast<double>(listBytes) / static_cast<double>(packages) : 0.0, sizeof(Package));
    const double ratio = bench::Median(estimate) / bench::Median(translate);
    std::printf("estimate / translation (medians): %.3f  (target <= 0.10: %s)\n", ratio, ratio <= 0.10 ? "met" : "MISSED");
    return 0;
}
