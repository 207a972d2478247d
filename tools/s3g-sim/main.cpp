// s3g-sim: a printer simulator on a pseudo-terminal, for tests, benchmarks and
// users without hardware. Its first output line is the device path it serves.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "SimServer.h"

namespace {

const char* const kHelp =
    "usage: s3g-sim [OPTIONS]\n"
    "\n"
    "Simulates an S3G printer on a pseudo-terminal and prints the device path\n"
    "to open as its first output line. Runs until killed (SIGINT, SIGTERM) or,\n"
    "with --exit-after-finish, until the build it received is finished.\n"
    "\n"
    "Options:\n"
    "  --record FILE          write the received action commands (payloads, in\n"
    "                         order) to FILE as an X3G-style stream\n"
    "  --record-queries       also write the pauses (8), extended stops (22) and\n"
    "                         position queries (21) to the record\n"
    "  --firmware-version N   the version answered to the version query (default 702)\n"
    "  --buffer BYTES         a command buffer of this size: what does not fit is\n"
    "                         refused (buffer full) until moves are done\n"
    "  --timed-moves FACTOR   moves take their own time divided by FACTOR (1: real\n"
    "                         time) instead of being done at once; a halt stops\n"
    "                         the move under way where it stands\n"
    "  --baud-emulation       answer at the pace of a 115200-baud line\n"
    "  --drop N               swallow the N-th packet, unanswered and unrecorded\n"
    "  --silent-from N        answer nothing from the N-th packet on\n"
    "  --refuse EVERY         answer every EVERY-th packet with 0x82 (refused)\n"
    "  --garbage              send noise bytes before each reply\n"
    "  --split                send replies byte by byte\n"
    "  --hangup-after N       vanish (close the device) after N answered packets\n"
    "  --heat-rate DEG_PER_S  heating and cooling rate (default 10)\n"
    "  --exit-after-finish    exit once the build reports finished (after the host\n"
    "                         has closed the device, or the drain timeout)\n"
    "  --drain-timeout MS     how long that last reply waits for the host (default 5000)\n"
    "  --corrupt-reply N[,M]  send the replies to the N-th (M-th, ...) packets with a\n"
    "                         wrong CRC\n"
    "  --seed N               seed of the noise (default 1)\n"
    "  -h, --help             show this help\n";

int g_stopPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char c = 0;
    [[maybe_unused]] const ssize_t n = ::write(g_stopPipe[1], &c, 1);
}

bool ParseInt(const char* text, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 1000000000)
        return false;
    out = static_cast<int>(v);
    return true;
}

// -1 to run, otherwise the exit status.
int ParseArguments(int argc, char** argv, s3gsim::SimOptions& o)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        int value = 0;
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
        } else if (arg == "--timed-moves" && hasValue) {
            char* end = nullptr;
            o.moveSpeedFactor = std::strtod(argv[++i], &end);
            if (*end != '\0' || !(o.moveSpeedFactor > 0)) {
                std::fprintf(stderr, "s3g-sim: --timed-moves needs a positive number\n");
                return 2;
            }
        } else if (arg == "--buffer" && hasValue) {
            if (!ParseInt(argv[++i], value) || value < 64) {
                std::fprintf(stderr, "s3g-sim: --buffer needs a number of bytes, 64 or more\n");
                return 2;
            }
            o.bufferBytes = static_cast<std::size_t>(value);
        } else if (arg == "--corrupt-reply" && hasValue) {
            const std::string list = argv[++i];
            std::size_t begin = 0;
            for (;;) {
                const std::size_t comma = list.find(',', begin);
                const std::string item = list.substr(begin, comma - begin);
                if (!ParseInt(item.c_str(), value) || value == 0) {
                    std::fprintf(stderr, "s3g-sim: --corrupt-reply needs packet numbers from 1, separated by commas\n");
                    return 2;
                }
                o.corruptReplies.push_back(value);
                if (comma == std::string::npos)
                    break;
                begin = comma + 1;
            }
        } else if (arg == "--record" && hasValue) {
            o.recordPath = argv[++i];
        } else if (arg == "--heat-rate" && hasValue) {
            char* end = nullptr;
            o.heatRateCPerS = std::strtod(argv[++i], &end);
            if (*end != '\0' || o.heatRateCPerS <= 0) {
                std::fprintf(stderr, "s3g-sim: --heat-rate needs a positive number\n");
                return 2;
            }
        } else if ((arg == "--drop" || arg == "--silent-from" || arg == "--refuse" || arg == "--hangup-after" ||
                    arg == "--seed" || arg == "--drain-timeout" || arg == "--firmware-version") &&
                   hasValue) {
            if (!ParseInt(argv[++i], value)) {
                std::fprintf(stderr, "s3g-sim: %s needs a whole number\n", arg.c_str());
                return 2;
            }
            if (arg == "--drop")
                o.dropPacket = value;
            else if (arg == "--silent-from")
                o.silentFrom = value;
            else if (arg == "--refuse")
                o.refuseEvery = value;
            else if (arg == "--hangup-after")
                o.hangupAfter = value;
            else if (arg == "--drain-timeout")
                o.drainTimeoutMs = value;
            else if (arg == "--firmware-version" && value > 0xFFFF)
                return std::fprintf(stderr, "s3g-sim: --firmware-version needs a number up to 65535\n"), 2;
            else if (arg == "--firmware-version")
                o.firmwareVersion = value;
            else
                o.seed = static_cast<unsigned>(value);
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
