// s3g-sim: a printer simulator on a pseudo-terminal, for tests, benchmarks and
// users without hardware. Its first output line is the device path it serves.
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>
#include <unistd.h>

#include "SimServer.h"
#include "ToolOptions.h"

namespace {

const char* const kHelp =
    "usage: s3g-sim [OPTIONS]\n"
    "\n"
    "Simulates an S3G printer on a pseudo-terminal and prints the device path\n"
    "to open as its first output line. Runs until killed (SIGINT, SIGTERM, SIGHUP) or,\n"
    "with --exit-after-finish, until the build it received is finished.\n"
    "\n"
    "Options:\n"
    "  --record FILE          write the action commands the printer took (payloads,\n"
    "                         in order) to FILE as an X3G-style stream; a packet\n"
    "                         refused, dropped or garbled is not in it\n"
    "  --record-queries       also write the pauses (8), extended stops (22) and\n"
    "                         position queries (21) to the record\n"
    "  --firmware-version N   the version answered to the version query (default 702)\n"
    "  --buffer BYTES         a command buffer of this size (64 or more): what does\n"
    "                         not fit is refused (buffer full) until moves are done\n"
    "  --timed-moves FACTOR   moves take their own time divided by FACTOR (1: real\n"
    "                         time, up to 1e6) instead of being done at once; a halt\n"
    "                         stops the move under way where it stands\n"
    "  --baud-emulation       answer at the pace of a 115200-baud line\n"
    "  --drop N               swallow the N-th packet (from 1), unanswered and\n"
    "                         unrecorded\n"
    "  --silent-from N        answer nothing from the N-th packet on\n"
    "  --refuse EVERY         answer every EVERY-th packet with 0x82 (refused)\n"
    "  --garbage              send noise bytes before each reply\n"
    "  --split                send replies byte by byte\n"
    "  --hangup-after N       vanish (close the device) after N answered packets\n"
    "  --heat-rate DEG_PER_S  heating and cooling rate, above 0 (default 10)\n"
    "  --exit-after-finish    exit once the build reports finished (after the host\n"
    "                         has closed the device, or the drain timeout)\n"
    "  --drain-timeout MS     how long that last reply waits for the host (default 5000)\n"
    "  --corrupt-reply N[,M]  send the replies to the N-th (M-th, ...) packets with a\n"
    "                         wrong CRC\n"
    "  --seed N               seed of the noise (default 1)\n"
    "  -h, --help             show this help\n";

// The limits of the numeric options: beyond them a value is a mistake.
constexpr double kMaxFactor = 1e6;          // --timed-moves: a second's move in a microsecond
constexpr double kMaxHeatRate = 1e9;        // --heat-rate: heated at once
constexpr long long kMinBufferBytes = 64;   // --buffer: two moves fit
constexpr long long kMaxDrainMs = 600000;   // --drain-timeout: ten minutes
constexpr long long kMaxCount = 1000000000; // packet numbers and sizes stay within an int

int g_stopPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &c, 1);
}

int Refuse(const std::string& option, const std::string& expected, const char* text)
{
    std::fprintf(stderr, "s3g-sim: %s\n", tooloptions::Refusal(option, expected, text).c_str());
    return 2;
}

// -1 to run, otherwise the exit status.
int ParseArguments(int argc, char** argv, s3gsim::SimOptions& o)
{
    using tooloptions::ReadDecimal;
    using tooloptions::ReadWhole;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg == "--baud-emulation") {
            o.baudEmulation = true;
        } else if (arg == "--garbage") {
            o.garbage = true;
        } else if (arg == "--split") {
            o.split = true;
        } else if (arg == "--exit-after-finish") {
            o.exitAfterFinish = true;
        } else if (arg == "--record-queries") {
            o.recordQueries = true;
        } else if (arg == "--record" && hasValue) {
            o.recordPath = argv[++i];
        } else if (arg == "--timed-moves" && hasValue) {
            const char* text = argv[++i];
            const auto factor = ReadDecimal(text, {0, kMaxFactor, true});
            if (!factor)
                return Refuse(arg, "a speed-up factor above 0, up to " + tooloptions::Shown(kMaxFactor), text);
            o.moveSpeedFactor = *factor;
        } else if (arg == "--heat-rate" && hasValue) {
            const char* text = argv[++i];
            const auto rate = ReadDecimal(text, {0, kMaxHeatRate, true});
            if (!rate)
                return Refuse(arg, "degrees per second above 0, up to " + tooloptions::Shown(kMaxHeatRate), text);
            o.heatRateCPerS = *rate;
        } else if (arg == "--buffer" && hasValue) {
            const char* text = argv[++i];
            const auto bytes = ReadWhole(text, kMinBufferBytes, kMaxCount);
            if (!bytes)
                return Refuse(arg, "a number of bytes from " + std::to_string(kMinBufferBytes) + " to " +
                                       std::to_string(kMaxCount),
                              text);
            o.bufferBytes = static_cast<std::size_t>(*bytes);
        } else if (arg == "--corrupt-reply" && hasValue) {
            const char* text = argv[++i];
            const std::string_view list = text;
            std::size_t begin = 0;
            for (;;) {
                const std::size_t comma = list.find(',', begin);
                const auto packet = ReadWhole(list.substr(begin, comma - begin), 1, kMaxCount);
                if (!packet)
                    return Refuse(arg, "packet numbers from 1, separated by commas", text);
                o.corruptReplies.push_back(static_cast<int>(*packet));
                if (comma == std::string_view::npos)
                    break;
                begin = comma + 1;
            }
        } else if ((arg == "--drop" || arg == "--silent-from" || arg == "--refuse" || arg == "--hangup-after") &&
                   hasValue) {
            const char* text = argv[++i];
            const auto n = ReadWhole(text, 1, kMaxCount);
            if (!n) {
                const bool number = arg == "--drop" || arg == "--silent-from";
                const std::string what = number ? "a packet number" : "a count of packets";
                return Refuse(arg, what + " from 1 to " + std::to_string(kMaxCount), text);
            }
            const int value = static_cast<int>(*n);
            if (arg == "--drop")
                o.dropPacket = value;
            else if (arg == "--silent-from")
                o.silentFrom = value;
            else if (arg == "--refuse")
                o.refuseEvery = value;
            else
                o.hangupAfter = value;
        } else if (arg == "--drain-timeout" && hasValue) {
            const char* text = argv[++i];
            const auto ms = ReadWhole(text, 0, kMaxDrainMs);
            if (!ms)
                return Refuse(arg, "milliseconds from 0 to " + std::to_string(kMaxDrainMs), text);
            o.drainTimeoutMs = static_cast<int>(*ms);
        } else if (arg == "--firmware-version" && hasValue) {
            const char* text = argv[++i];
            const auto version = ReadWhole(text, 0, 0xFFFF);
            if (!version)
                return Refuse(arg, "a whole number from 0 to 65535", text);
            o.firmwareVersion = static_cast<int>(*version);
        } else if (arg == "--seed" && hasValue) {
            const char* text = argv[++i];
            const auto seed = ReadWhole(text, 0, 0xFFFFFFFFLL);
            if (!seed)
                return Refuse(arg, "a whole number from 0 to 4294967295", text);
            o.seed = static_cast<unsigned>(*seed);
        } else {
            std::fprintf(stderr, "s3g-sim: bad argument '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    s3gsim::SimOptions options;
    options.keepReceived = false;  // nobody reads it in the program; a long print would only grow it
    const int status = ParseArguments(argc, argv, options);
    if (status >= 0)
        return status;
    if (::pipe(g_stopPipe) != 0)
        return 1;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGHUP, OnSignal);  // its terminal closed: end as when killed, the record complete
    std::signal(SIGPIPE, SIG_IGN);

    s3gsim::SimServer server(options);
    std::string error;
    if (!server.Open(&error)) {
        std::fprintf(stderr, "s3g-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.DevicePath().c_str());
    std::fflush(stdout);
    const int result = server.Run(g_stopPipe[0]);
    const s3gsim::SimStats& stats = server.Stats();
    std::fprintf(stderr, "s3g-sim: %d packets, %d refused, %d dropped, %d bad frames, %d corrupted replies\n",
                 stats.packets.load(), stats.refused.load(), stats.dropped.load(), stats.badFrames.load(),
                 stats.corrupted.load());
    return result;
}
