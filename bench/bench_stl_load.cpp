// bench_stl_load: how fast, and in how much memory, the STL loader reads large
// binary and ASCII files, measured side by side with Debian's admesh on the same files.
//
// Run (after building the target bench_stl_load):
//
//     build/release/bin/bench_stl_load [--triangles N] [--ascii-triangles N] [--rounds N] [--keep]
//
// It writes a binary STL of a million triangles and an ASCII STL of about
// 26 MB into a temporary folder, then loads each, interleaved for a few rounds,
// with this program in loader mode (a child process that loads the file with
// the loader and reports its memory) and with "admesh -c FILE" (admesh reads
// the file and prints its statistics, with every check turned off). It prints
// the best wall time of each, the ratio, and the loader's peak memory while
// loading beside the mesh's own size plus the file's size. Targets: binary at
// least 8x as fast as admesh, ASCII at least 5x, peak memory within
// mesh + file. Beside the binary load, in the same rounds, the floor of any
// load into the mesh: a process that only writes as many bytes of new memory
// as the mesh holds (huge pages, two threads), since the kernel clears every
// page it hands out. Exits 0 whether the targets are met or not, 1 when a program
// could not run or the two disagree on the triangle count, 2 for a bad command line.
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PrintMode.h"

namespace {

namespace fs = std::filesystem;

constexpr double kBinarySpeedTarget = 8.0;  // admesh time / loader time, at least
constexpr double kAsciiSpeedTarget = 5.0;
constexpr double kMB = 1e6;

struct Options {
    std::size_t triangles = 1000000;
    std::size_t asciiTriangles = 100000;
    int rounds = 3;
    bool keep = false;
};

// Random facets inside a 100 mm box, written the way exporters write them.
std::vector<float> MakeFacets(std::size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
    std::vector<float> values(count * 12);
    for (std::size_t i = 0; i < count; ++i) {
        float* f = &values[i * 12];
        for (int k = 3; k < 12; ++k)
            f[k] = coordinate(random);
        const float ux = f[6] - f[3], uy = f[7] - f[4], uz = f[8] - f[5];
        const float vx = f[9] - f[3], vy = f[10] - f[4], vz = f[11] - f[5];
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const float len = std::sqrt(nx * nx + ny * ny + nz * nz);
        f[0] = len > 0 ? nx / len : 0;
        f[1] = len > 0 ? ny / len : 0;
        f[2] = len > 0 ? nz / len : 0;
    }
    return values;
}

bool WriteBinary(const std::string& path, const std::vector<float>& v)
{
    std::ofstream out(path, std::ios::binary);
    char header[80] = "binary STL written by bench_stl_load";
    out.write(header, sizeof header);
    const auto count = static_cast<std::uint32_t>(v.size() / 12);
    out.write(reinterpret_cast<const char*>(&count), 4);
    const char attribute[2] = {0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        out.write(reinterpret_cast<const char*>(&v[i * 12]), 48);
        out.write(attribute, 2);
    }
    return static_cast<bool>(out);
}

bool WriteAscii(const std::string& path, const std::vector<float>& v)
{
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr)
        return false;
    std::fprintf(out, "solid bench\n");
    for (std::size_t i = 0; i < v.size() / 12; ++i) {
        const float* f = &v[i * 12];
        std::fprintf(out, "  facet normal %e %e %e\n    outer loop\n", f[0], f[1], f[2]);
        for (int k = 0; k < 3; ++k)
            std::fprintf(out, "      vertex %e %e %e\n", f[3 + 3 * k], f[4 + 3 * k], f[5 + 3 * k]);
        std::fprintf(out, "    endloop\n  endfacet\n");
    }
    std::fprintf(out, "endsolid bench\n");
    return std::fclose(out) == 0;
}

long ProcStatusKiB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::strtol(line.c_str() + n, nullptr, 10);
    return -1;
}

// Loader mode: load one file and report the count and the memory used while loading.
int LoadMode(const char* path)
{
    // Reset the high-water mark so it measures the load alone.
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    const long before = ProcStatusKiB("VmRSS:");
    ZELKGePrint mesh;
    std::string reason;
    if (!zelk::LoadStlFile(path, mesh, reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 1;
    }
    const long peak = ProcStatusKiB("VmHWM:");
    std::printf("triangles=%zu rss_before_kib=%ld hwm_kib=%ld mesh_bytes=%zu\n", mesh.GetGePrint().size(), before,
                peak, mesh.GetGePrint().capacity() * sizeof(Triangle));
    return 0;
}

// Floor mode: write `bytes` of new memory, as a load must fill the mesh,
// the fastest way the machine offers (huge pages, both halves at once).
int FillMode(const char* text)
{
    const std::size_t bytes = static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
    if (bytes == 0)
        return 2;
    void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return 1;
    ::madvise(memory, bytes, MADV_HUGEPAGE);
    auto* bytesAt = static_cast<unsigned char*>(memory);
    const std::size_t half = bytes / 2;
    std::thread upper([&] { std::memset(bytesAt + half, 1, bytes - half); });
    std::memset(bytesAt, 1, half);
    upper.join();
    std::printf("filled=%zu last=%d\n", bytes, bytesAt[bytes - 1]);
    return 0;
}

struct Run {
    double seconds = 0;
    long maxRssKiB = 0;
    std::string output;
    bool ok = false;
};

// Runs argv with stdout captured in a file; times it from fork to exit.
Run RunChild(const std::vector<std::string>& args, const std::string& outputFile)
{
    Run run;
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::dup2(fd, 1);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    if (pid < 0 || ::wait4(pid, &status, 0, &usage) < 0)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    std::ifstream in(outputFile);
    run.output.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

// The number after `key` in text, or -1.
long long NumberAfter(const std::string& text, const std::string& key)
{
    const auto at = text.find(key);
    if (at == std::string::npos)
        return -1;
    std::size_t i = at + key.size();
    while (i < text.size() && (text[i] == ' ' || text[i] == ':' || text[i] == '='))
        ++i;
    return std::strtoll(text.c_str() + i, nullptr, 10);
}

struct Outcome {
    double ours = std::numeric_limits<double>::infinity();
    double theirs = std::numeric_limits<double>::infinity();
    long long loadPeakBytes = 0;
    long long meshBytes = 0;
    long long triangles = -1;
    long long theirTriangles = -1;
    double floor = std::numeric_limits<double>::infinity();  // the fill of the mesh's bytes alone
    bool ok = true;
};

Outcome Measure(const std::string& self, const std::string& file, const std::string& scratch, int rounds,
                bool withFloor)
{
    Outcome o;
    for (int r = 0; r < rounds; ++r) {
        const Run ours = RunChild({self, "--load", file}, scratch + "/ours.txt");
        const Run theirs = RunChild({"admesh", "-c", file}, scratch + "/admesh.txt");
        if (!ours.ok || !theirs.ok) {
            std::fprintf(stderr, "bench_stl_load: %s failed on %s\n", ours.ok ? "admesh" : "the loader",
                         file.c_str());
            o.ok = false;
            return o;
        }
        o.ours = std::min(o.ours, ours.seconds);
        o.theirs = std::min(o.theirs, theirs.seconds);
        o.triangles = NumberAfter(ours.output, "triangles");
        o.meshBytes = NumberAfter(ours.output, "mesh_bytes");
        const long long peak = (NumberAfter(ours.output, "hwm_kib") - NumberAfter(ours.output, "rss_before_kib")) * 1024;
        o.loadPeakBytes = std::max(o.loadPeakBytes, peak);
        o.theirTriangles = NumberAfter(theirs.output, "Number of facets");
        if (withFloor && o.meshBytes > 0) {
            const Run fill = RunChild({self, "--fill", std::to_string(o.meshBytes)}, scratch + "/fill.txt");
            if (fill.ok)
                o.floor = std::min(o.floor, fill.seconds);
        }
    }
    if (o.triangles != o.theirTriangles) {
        std::fprintf(stderr, "bench_stl_load: the loader read %lld triangles, admesh %lld\n", o.triangles,
                     o.theirTriangles);
        o.ok = false;
    }
    return o;
}

void Report(const char* what, const Outcome& o, double fileBytes, double speedTarget)
{
    const double ratio = o.theirs / o.ours;
    const double allowed = static_cast<double>(o.meshBytes) + fileBytes;
    std::printf("%s: %lld triangles, file %.1f MB\n", what, o.triangles, fileBytes / kMB);
    std::printf("  loader %.3f s, admesh -c %.3f s, admesh/loader %.2fx (target >= %.1fx) %s\n", o.ours, o.theirs,
                ratio, speedTarget, ratio >= speedTarget ? "PASS" : "MISS");
    std::printf("  loader peak while loading %.1f MB, mesh %.1f MB + file %.1f MB = %.1f MB %s\n",
                static_cast<double>(o.loadPeakBytes) / kMB, static_cast<double>(o.meshBytes) / kMB, fileBytes / kMB,
                allowed / kMB, static_cast<double>(o.loadPeakBytes) <= allowed ? "PASS" : "MISS");
    if (std::isfinite(o.floor))
        std::printf("  floor: a process that only writes the mesh's %.1f MB of new memory %.3f s, "
                    "admesh/floor %.2fx\n",
                    static_cast<double>(o.meshBytes) / kMB, o.floor, o.theirs / o.floor);
}

int ParseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--keep") {
            options.keep = true;
        } else if ((arg == "--triangles" || arg == "--ascii-triangles" || arg == "--rounds") && i + 1 < argc) {
            const long long n = std::strtoll(argv[++i], nullptr, 10);
            if (n < 1) {
                std::fprintf(stderr, "bench_stl_load: %s needs a positive number\n", arg.c_str());
                return 2;
            }
            if (arg == "--triangles")
                options.triangles = static_cast<std::size_t>(n);
            else if (arg == "--ascii-triangles")
                options.asciiTriangles = static_cast<std::size_t>(n);
            else
                options.rounds = static_cast<int>(std::min(n, 100LL));
        } else {
            std::fprintf(stderr,
                         "usage: bench_stl_load [--triangles N] [--ascii-triangles N] [--rounds N] [--keep]\n");
            return 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--load") == 0)
        return LoadMode(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--fill") == 0)
        return FillMode(argv[2]);
    Options options;
    if (const int status = ParseArguments(argc, argv, options); status >= 0)
        return status;

    char pattern[] = "/tmp/bench-stl-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("bench_stl_load: mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string binary = dir + "/large-binary.stl", ascii = dir + "/large-ascii.stl";
    if (!WriteBinary(binary, MakeFacets(options.triangles, 1)) ||
        !WriteAscii(ascii, MakeFacets(options.asciiTriangles, 2))) {
        std::fprintf(stderr, "bench_stl_load: cannot write the test files in %s\n", dir.c_str());
        return 1;
    }
    std::error_code ec;
    const std::string self = fs::read_symlink("/proc/self/exe", ec).string();
    // A first pass warms the page cache for both programs alike.
    const Outcome b = Measure(self, binary, dir, options.rounds + 1, true);
    const Outcome a = Measure(self, ascii, dir, options.rounds + 1, false);
    if (b.ok)
        Report("binary STL", b, static_cast<double>(fs::file_size(binary)), kBinarySpeedTarget);
    if (a.ok)
        Report("ASCII STL", a, static_cast<double>(fs::file_size(ascii)), kAsciiSpeedTarget);
    if (!options.keep)
        fs::remove_all(dir, ec);
    else
        std::printf("files kept in %s\n", dir.c_str());
    return a.ok && b.ok ? 0 : 1;
}
