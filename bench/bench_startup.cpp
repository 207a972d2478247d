// Start-up of Morvadin-X under the display: time to the first rendered frame, empty and with a million-triangle STL.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A flat field of n triangles (pairs over a square grid), 140 mm across, 2 mm high steps.
void WriteTriangleField(const std::string& path, std::uint32_t n)
{
    std::ofstream out(path, std::ios::binary);
    out << std::string(80, '\0');
    out.write(reinterpret_cast<const char*>(&n), 4);
    const int side = static_cast<int>(std::ceil(std::sqrt(n / 2.0)));
    const float cell = 140.0f / side;
    std::vector<char> facet(50, 0);
    std::uint32_t written = 0;
    for (int j = 0; j < side && written < n; ++j)
        for (int i = 0; i < side && written < n; ++i)
            for (int half = 0; half < 2 && written < n; ++half, ++written) {
                const float x = i * cell, y = j * cell, z = ((i + j) % 2) * 2.0f;
                const float v[3][3] = {{x, y, z}, {x + cell, half ? y + cell : y, z}, {half ? x : x + cell, y + cell, z}};
                const float normal[3] = {0, 0, 1};
                std::memcpy(facet.data(), normal, 12);
                std::memcpy(facet.data() + 12, v, 36);
                out.write(facet.data(), 50);
            }
}

struct Frames {
    double firstFrameMs = -1;        // wall time from start to the first frame
    double firstModelFrameMs = -1;   // ... to the first frame that draws a model
    int framesBeforeModel = 0;       // frames drawn while the file was loading
    bool ok = false;
};

// Starts the program with MORVADIN_FRAME_TIMES and reads its frame lines.
Frames RunOnce(const std::string& program, const std::vector<std::string>& files, int timeoutMs)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), files.begin(), files.end());
    std::vector<char*> args;
    for (std::string& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    pid_t pid = -1;
    const auto start = Clock::now();
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    Frames frames;
    std::string line;
    const bool wantModel = !files.empty();
    while (spawned == 0) {
        const int left = timeoutMs - static_cast<int>(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        if (left <= 0 || ::poll(&p, 1, left) <= 0 || ::read(fds[0], &c, 1) != 1)
            break;
        if (c != '\n') {
            line += c;
            continue;
        }
        const double wallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        const bool hasModel = line.find("models=0") == std::string::npos;
        line.clear();
        if (frames.firstFrameMs < 0)
            frames.firstFrameMs = wallMs;
        if (!hasModel)
            ++frames.framesBeforeModel;
        if (hasModel && frames.firstModelFrameMs < 0)
            frames.firstModelFrameMs = wallMs;
        if (!wantModel || frames.firstModelFrameMs >= 0) {
            frames.ok = true;
            break;
        }
    }
    ::close(fds[0]);
    if (pid > 0) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    return frames;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path bin = fs::canonical("/proc/self/exe").parent_path();
    const std::string program = (bin / "Morvadin-X").string();
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    if (std::getenv("DISPLAY") == nullptr) {
        std::fprintf(stderr, "bench_startup needs a display: run it through tests/support/with-display.sh\n");
        return 2;
    }
    // A program folder of its own, so the import folder emptied at start is not the build's.
    const fs::path home = fs::temp_directory_path() / ("morvadin-bench-" + std::to_string(::getpid()));
    fs::create_directories(home);
    for (const char* shipped : {"ini", "background", "skein_engines"})
        if (fs::exists(bin / shipped))
            fs::copy(bin / shipped, home / shipped, fs::copy_options::recursive);
    ::setenv("MORVADIN_HOME", home.c_str(), 1);
    ::setenv("MORVADIN_FRAME_TIMES", "1", 1);
    const std::string stl = (home / "million.stl").string();
    WriteTriangleField(stl, 1000000);

    std::vector<double> empty, withFileFirst, withFileModel;
    int framesDuringLoad = 0;
    for (int i = 0; i < runs; ++i) {
        const Frames e = RunOnce(program, {}, 20000);
        if (e.ok)
            empty.push_back(e.firstFrameMs);
        const Frames m = RunOnce(program, {stl}, 30000);
        if (m.ok) {
            withFileFirst.push_back(m.firstFrameMs);
            withFileModel.push_back(m.firstModelFrameMs);
            framesDuringLoad = std::max(framesDuringLoad, m.framesBeforeModel);
        }
    }
    fs::remove_all(home);
    std::printf("Morvadin-X start-up, %d runs each (wall time from starting the process)\n", runs);
    std::printf("%-52s %10s %10s %10s\n", "", "best ms", "median ms", "target ms");
    auto row = [](const char* what, const std::vector<double>& v, double target) {
        std::printf("%-52s %10.0f %10.0f %10.0f%s\n", what, v.empty() ? -1.0 : *std::min_element(v.begin(), v.end()),
                    Median(v), target, !v.empty() && Median(v) <= target ? "" : "  (over)");
    };
    row("empty window: first rendered frame", empty, 1000);
    row("1M-triangle STL: first rendered frame (file loading)", withFileFirst, 500);
    row("1M-triangle STL: first frame with the model", withFileModel, 500);
    std::printf("frames drawn while the file loaded: %d (the window answers meanwhile)\n", framesDuringLoad);
    return empty.empty() || withFileModel.empty() ? 1 : 0;
}
