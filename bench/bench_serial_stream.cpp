// bench_serial_stream: the machine control streaming the canonical print to
// the printer simulator over a pseudo-terminal, (a) as fast as the line goes
// and (b) at the 115200-baud line rate, and the CPU an idle connection uses.
// Beside each figure, in the same rounds, what a bare round-trip loop gets:
// against a bare echo on the pseudo-terminal (the limit of the device) and
// against the simulator (the limit of the simulator).
//
//     build/release/bin/bench_serial_stream [MIN_LINES] [ROUNDS] [PACED_PACKAGES]
//
// MIN_LINES (default 20000) sizes the print of (a); ROUNDS (default 5) runs
// the three loops of (a) in turn that often; (b) streams the first
// PACED_PACKAGES packages (default 1000) with the link and with the bare
// loop in turn, in half as many rounds (at least three). The machine's load
// moves every figure: the bare loops, measured in the same rounds, show
// how far the device and the scheduler let any host go.
//
// Targets: (a) at least 25,000 packages per second; (b) at least 99 % of the
// line-rate limit (frame and reply bytes at 11,520 bytes/s); an idle
// connected worker under 1 % of a core.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"
#include "CanonicalGCode.h"
#include "ProgramFolder.h"
#include "SimServer.h"
#include "ZELKFileLog.h"
#include "ZELKMachine.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRawTarget = 25000;  // packages per second, (a)
constexpr double kPacedTarget = 0.99; // of the line-rate limit, (b)
constexpr double kIdleTarget = 0.01;  // of a core

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_serial_stream: %s\n", what.c_str());
    std::exit(1);
}

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// The simulator served from a thread of this process.
class Simulator {
public:
    explicit Simulator(s3gsim::SimOptions options) : m_server(std::move(options))
    {
        std::string error;
        if (!m_server.Open(&error))
            Fail(error);
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

void WriteAll(int fd, const unsigned char* bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, bytes + done, count - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            Fail(std::string("write: ") + std::strerror(errno));
    }
}

// Reads one reply frame (start byte, length, payload, CRC) with blocking
// reads; bytes read past it are kept for the next call.
class FrameReader {
public:
    explicit FrameReader(int fd) : m_fd(fd) {}
    void Next()
    {
        for (;;) {
            while (m_begin < m_end && m_buffer[m_begin] != 0xD5)
                ++m_begin;
            if (m_end - m_begin >= 2 && m_end - m_begin >= static_cast<std::size_t>(m_buffer[m_begin + 1]) + 3) {
                m_begin += m_buffer[m_begin + 1] + 3u;
                return;
            }
            if (m_begin > 0) {
                std::copy(m_buffer + m_begin, m_buffer + m_end, m_buffer);
                m_end -= m_begin;
                m_begin = 0;
            }
            const ssize_t n = ::read(m_fd, m_buffer + m_end, sizeof m_buffer - m_end);
            if (n > 0)
                m_end += static_cast<std::size_t>(n);
            else if (n == 0 || errno != EINTR)
                Fail("the pseudo-terminal closed during a round trip");
        }
    }

private:
    int m_fd;
    unsigned char m_buffer[512];
    std::size_t m_begin = 0;
    std::size_t m_end = 0;
};

// Opens a pseudo-terminal's slave side raw and blocking, as a bare host does.
int OpenRawSlave(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || ::tcgetattr(fd, &tio) != 0)
        Fail("cannot open " + path);
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// The bare round trip: each package written, its reply read, with nothing
// between them but the system calls.
double BareRoundTrips(int fd, const std::vector<Package>& list)
{
    FrameReader reader(fd);
    const auto start = Clock::now();
    int packages = 0;
    for (const Package& p : list) {
        if (p.size <= 0)
            continue;
        WriteAll(fd, p.data, static_cast<std::size_t>(p.size));
        reader.Next();
        ++packages;
    }
    return packages / Seconds(start);
}

// The limit of the pseudo-terminal: the bare loop against a thread that
// answers every frame at once with the four bytes of an action's reply.
double PtyEchoProbe(const std::vector<Package>& list)
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        Fail("cannot create a pseudo-terminal");
    const int slave = OpenRawSlave(::ptsname(master));
    std::thread echo([master] {
        const unsigned char ok = 0x81;
        const unsigned char reply[4] = {0xD5, 0x01, ok, CPacketBuilder::CaculateCRC_8C(&ok, 0, 1)};
        unsigned char buffer[4096];
        std::size_t held = 0;
        for (;;) {
            const ssize_t n = ::read(master, buffer + held, sizeof buffer - held);
            if (n <= 0)
                return;  // the slave closed: the probe is over
            held += static_cast<std::size_t>(n);
            std::size_t at = 0;
            while (held - at >= 2 && held - at >= buffer[at + 1] + 3u) {
                at += buffer[at + 1] + 3u;
                WriteAll(master, reply, sizeof reply);
            }
            std::copy(buffer + at, buffer + held, buffer);
            held -= at;
        }
    });
    const double rate = BareRoundTrips(slave, list);
    ::close(slave);
    echo.join();
    ::close(master);
    return rate;
}

// The limit of the simulator: the bare loop against it.
double SimulatorProbe(const std::vector<Package>& list, bool baudEmulation)
{
    s3gsim::SimOptions options;
    options.baudEmulation = baudEmulation;
    options.heatRateCPerS = 1e6;
    options.keepReceived = false;
    Simulator sim(options);
    const int fd = OpenRawSlave(sim.DevicePath());
    const double rate = BareRoundTrips(fd, list);
    ::close(fd);
    return rate;
}

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
    options.keepReceived = false;
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
    if (!control.OpenCom(sim.DevicePath()))
        Fail(control.GetComOpenErrorText());
    const auto start = Clock::now();
    control.StartPrint();
    {
        std::unique_lock lock(mutex);
        cv.wait(lock, [&] { return finished; });
    }
    StreamResult r;
    r.seconds = Seconds(start);
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
    const double share = (cpu() - cpuBefore) / Seconds(start);
    control.CloseCom();
    return share;
}

double Best(const std::vector<double>& v)
{
    return *std::max_element(v.begin(), v.end());
}

const char* Met(bool met)
{
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv)
{
    bench::CanonicalGCodeOptions gcodeOptions;
    gcodeOptions.minLines = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20000;
    const int rounds = std::max(1, argc > 2 ? std::atoi(argv[2]) : 5);
    const std::size_t pacedPackages = argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1000;
    const std::string gcodePath =
        (std::filesystem::temp_directory_path() / ("bench_serial_stream_" + std::to_string(::getpid()) + ".gcode"))
            .string();
    bench::CanonicalGCodeStats stats;
    std::string error;
    if (!bench::WriteCanonicalGCode(gcodePath, gcodeOptions, stats, error))
        Fail(error);
    ZELKMachine machine;
    ZELKStartGCodeOperater startGCode(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    ZELKFileLog log("/dev/null");
    ZELKMachineControl control(&machine, &startGCode, &log);
    control.GCodeParser(gcodePath.c_str());
    std::remove(gcodePath.c_str());
    const std::vector<Package> full = control.GetPrintList().ToVector();

    // (a): the three loops in turn, so that the noise of the machine falls
    // on all of them alike.
    std::vector<double> pty, simulator, link;
    StreamResult raw;
    for (int round = 0; round < rounds; ++round) {
        pty.push_back(PtyEchoProbe(full));
        simulator.push_back(SimulatorProbe(full, false));
        raw = Stream(control, false);
        link.push_back(raw.packagesPerS);
    }

    // (b): the start of the print at the line rate, the link and the bare
    // loop in turn; as shares of the line-rate limit.
    std::vector<Package> start(full.begin(), full.begin() + std::min(pacedPackages, full.size()));
    control.SetPrintList(start);
    std::vector<double> pacedLink, pacedBare, pacedRatio;
    StreamResult paced;
    double limit = 0;
    for (int round = 0; round < std::max(3, (rounds + 1) / 2); ++round) {
        paced = Stream(control, true);
        limit = paced.packages / (paced.wireBytes / s3gsim::SimServer::kLineBytesPerS);
        pacedLink.push_back(paced.packagesPerS / limit);
        pacedBare.push_back(SimulatorProbe(start, true) / limit);
        pacedRatio.push_back(pacedLink.back() / pacedBare.back());
    }
    const double idle = IdleCpuShare(control);

    using bench::Median;
    std::printf("canonical print: %d packages (%zu G-code lines); %d rounds\n", raw.packages, gcodeOptions.minLines,
                rounds);
    std::printf("(a) raw pseudo-terminal            median      best  packages/s\n");
    std::printf("    bare loop, echo (pty limit)  %9.0f %9.0f\n", Median(pty), Best(pty));
    std::printf("    bare loop, simulator         %9.0f %9.0f   %5.2f x the pty limit (medians)\n", Median(simulator),
                Best(simulator), Median(simulator) / Median(pty));
    std::printf("    machine control, simulator   %9.0f %9.0f   %5.2f x the pty limit, %.2f x the bare loop\n",
                Median(link), Best(link), Median(link) / Median(pty), Median(link) / Median(simulator));
    std::printf("    target >= %.0f packages/s: median %s, best %s\n", kRawTarget, Met(Median(link) >= kRawTarget),
                Met(Best(link) >= kRawTarget));
    std::printf("(b) 115200-baud emulation, %d packages (%.0f bytes of frames and replies), %zu rounds\n",
                paced.packages, paced.wireBytes, pacedLink.size());
    std::printf("    line-rate limit              %9.1f packages/s\n", limit);
    std::printf("    share of the limit              median      best\n");
    std::printf("    bare loop, simulator         %8.2f %% %8.2f %%\n", 100 * Median(pacedBare), 100 * Best(pacedBare));
    std::printf("    machine control, simulator   %8.2f %% %8.2f %%   %.3f x the bare loop (median of the rounds)\n",
                100 * Median(pacedLink), 100 * Best(pacedLink), Median(pacedRatio));
    std::printf("    target >= %.0f %%: median %s, best %s\n", 100 * kPacedTarget,
                Met(Median(pacedLink) >= kPacedTarget), Met(Best(pacedLink) >= kPacedTarget));
    std::printf("    (a) / (b)                    %9.1f x\n", Median(link) / (Median(pacedLink) * limit));
    std::printf("idle connected worker:           %9.2f %% of a core  (target < %.0f %%: %s)\n", 100.0 * idle,
                100 * kIdleTarget, Met(idle < kIdleTarget));
    return 0;
}
