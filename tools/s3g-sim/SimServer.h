// The simulated printer on a pseudo-terminal: frames in, replies out, with
// switchable line faults.
#pragma once

#include <atomic>
#include <cstdio>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "SimPrinter.h"

namespace s3gsim {

struct SimOptions {
    std::string recordPath;      // the action payloads the printer took, in order, as an X3G-style stream
    bool recordQueries = false;  // the record also gets the pauses, extended stops and position queries
    bool baudEmulation = false;  // pace each exchange at the 115200-baud line rate
    int dropPacket = 0;          // swallow this packet (1-based), unanswered and unrecorded
    int silentFrom = 0;          // swallow every packet from this one on (a printer gone quiet)
    int refuseEvery = 0;         // answer every n-th packet with 0x82
    bool garbage = false;        // noise bytes before each reply
    bool split = false;          // write replies byte by byte
    int hangupAfter = 0;         // vanish after answering this many packets
    double heatRateCPerS = 10.0;
    int firmwareVersion = 702;     // answered to the version query
    double moveSpeedFactor = 0;    // 0: moves done at once; else their own time divided by it
    std::size_t bufferBytes = 0;   // 0: no limit; else the printer's command buffer in bytes
    bool keepReceived = true;      // the printer keeps every payload for Printer().Received()
    bool exitAfterFinish = false;  // end once the build reports finished
    int drainTimeoutMs = 5000;     // how long the last reply may wait for the host to take it
    std::vector<int> corruptReplies;  // packets (1-based) whose reply goes out with a wrong CRC
    unsigned seed = 1;             // of the noise
};

// Counts of what happened, readable while the server runs.
struct SimStats {
    std::atomic<int> packets{0};    // well-formed frames received
    std::atomic<int> refused{0};    // answered 0x82 by --refuse
    std::atomic<int> dropped{0};    // swallowed by --drop
    std::atomic<int> badFrames{0};  // answered 0x83 (length or CRC)
    std::atomic<int> corrupted{0};  // replies sent with a wrong CRC by --corrupt-reply
    std::atomic<int> actions{0};    // action commands taken into the printer's queue
};

class SimServer {
public:
    // 11,520 bytes per second: 115200 baud, 10 bits per byte.
    static constexpr double kLineBytesPerS = 11520.0;

    explicit SimServer(SimOptions options);
    ~SimServer();

    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the pseudo-terminal (and the record file). False with error set.
    bool Open(std::string* error);
    // The device path a host opens.
    const std::string& DevicePath() const { return m_devicePath; }

    // Serves until stopFd becomes readable, the hang-up, or the finished
    // build (--exit-after-finish). 0 on a normal end.
    int Run(int stopFd = -1);

    const SimStats& Stats() const { return m_stats; }
    // Read after Run has returned.
    const SimPrinter& Printer() const { return m_printer; }

private:
    void OnBytes(const unsigned char* bytes, std::size_t count);
    void OnFrame(const unsigned char* payload, std::size_t size);
    void Reply(std::span<const unsigned char> payload, std::size_t requestBytes, bool corrupt = false);
    Bytes Garbage(std::span<const unsigned char> frame);
    void WriteAll(const unsigned char* bytes, std::size_t count);
    void Hangup();
    void DrainToHost();
    double NowS() const;

    SimOptions m_options;
    SimPrinter m_printer;
    SimStats m_stats;
    int m_master = -1;
    int m_slaveKeep = -1;
    std::string m_devicePath;
    std::FILE* m_record = nullptr;
    Bytes m_input;
    std::mt19937 m_random;
    bool m_done = false;
    int m_answered = 0;
    double m_startS;
    double m_requestAtS = 0;  // when the frame being answered was read
};

}  // namespace s3gsim
