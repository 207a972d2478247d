// The simulated printer's protocol state: commands in, S3G replies out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace s3gsim {

using Bytes = std::vector<unsigned char>;

// How the simulated printer behaves beyond the protocol.
struct PrinterModel {
    double heatRateCPerS = 10.0;
    int firmwareVersion = 702;  // answered to the version query
    // 0: moves are done the moment they arrive. Otherwise each move takes its
    // own time (142: its duration; 155: distance over feedrate) divided by
    // this factor, one after the other; a halt stops the one under way where
    // it stands.
    double moveSpeedFactor = 0;
    bool keepReceived = true;  // Received() is kept (tests); off for long runs
    // 0: the command buffer takes everything. Otherwise an action command
    // that would take the bytes queued past this is refused (0x82, buffer
    // full) and not recorded, as a printer with a small buffer does.
    std::size_t bufferBytes = 0;
};

// What a printer of this make answers: its firmware version, temperatures
// that move towards their targets at a fixed rate, the extended position of
// the executed moves, and "finished" once every queued command has been
// executed. Action commands (command byte 128 and above) are queued and
// executed in order; moves at once or in their own time (PrinterModel), the
// waits for the extruder and the platform once the temperature is reached.
// The extended stop halts the move under way (flag 1) and drops the queued
// commands (flag 2). Time is given by the caller in seconds.
class SimPrinter {
public:
    static constexpr int kFirmwareVersion = 702;
    static constexpr double kAmbientC = 25.0;

    explicit SimPrinter(double heatRateCPerS = 10.0);
    explicit SimPrinter(const PrinterModel& model);

    // One well-formed payload (command byte first). The reply payload: the
    // response code 0x81 and the query's data.
    Bytes Handle(const unsigned char* payload, std::size_t size, double nowS);

    // Whether the build is done (no queued command left) at nowS.
    bool IsFinished(double nowS);
    // Action commands taken into the queue (payloads back to back), in order;
    // a refused one (buffer full) is not among them.
    const Bytes& Record() const { return m_record; }
    // Every payload handled, queries included, one per packet, in order
    // (empty when the model does not keep them).
    const std::vector<Bytes>& Received() const { return m_received; }
    std::size_t ActionCount() const { return m_actionCount; }
    // Pause (query 8) toggles: while paused nothing queued is executed and
    // the move under way stands where it is; it carries on where it stood.
    bool IsPaused() const { return m_paused; }
    // Each pause and resume, with the number of action commands received by then.
    struct PauseToggle {
        bool paused = false;
        std::size_t actionsBefore = 0;
    };
    const std::vector<PauseToggle>& PauseToggles() const { return m_pauseToggles; }
    double ExtruderC(double nowS);
    double PlatformC(double nowS);
    // The temperatures the heaters were last told to reach; 0 is off.
    double ExtruderTargetC() const { return m_extruder.targetC; }
    double PlatformTargetC() const { return m_platform.targetC; }
    // Where the axes stand (X, Y, Z, A, B steps) once what is due at nowS ran.
    const std::int32_t* PositionSteps(double nowS);
    const std::int32_t* PositionSteps() const { return m_position; }

private:
    struct Heater {
        double currentC = kAmbientC;
        double targetC = 0;  // 0: off, cools to ambient
        double atS = 0;      // time of currentC
    };

    struct Queued {
        Bytes command;
        double arrivedS = 0;
    };

    Bytes HandleQuery(const unsigned char* payload, std::size_t size, double nowS);
    Bytes ToolQuery(const unsigned char* payload, std::size_t size, double nowS);
    void ExtendedStop(unsigned flags, double nowS);
    void TogglePause(double nowS);
    // The time the queue runs on: it stands still while paused.
    double QueueClock(double nowS) const { return m_paused ? m_pausedAtS : nowS; }
    void Queue(const unsigned char* payload, std::size_t size, double nowS);
    void Execute(const Bytes& command, double nowS);
    bool Blocks(const Bytes& command, double nowS);
    void Advance(double nowS);
    double Temperature(Heater& heater, double nowS);
    void SetTarget(Heater& heater, double targetC, double nowS);
    // The target of a move command; false for any other command.
    bool MoveTarget(const Bytes& command, std::int32_t target[5]) const;
    // Seconds the move takes (0 without timed moves or for no move).
    double MoveSeconds(const Bytes& command) const;
    // The head move under way at nowS: where it stands. False when none is.
    bool MoveUnderWay(double nowS, std::int32_t at[5]) const;

    PrinterModel m_model;
    Heater m_extruder;
    Heater m_platform;
    std::deque<Queued> m_queue;
    std::size_t m_queuedBytes = 0;
    double m_headStartS = -1;  // when the command at the queue's head began
    double m_freeAtS = 0;      // when the last command was done
    std::int32_t m_position[5] = {};
    std::int32_t m_reported[5] = {};
    std::vector<Bytes> m_received;
    Bytes m_record;
    std::size_t m_actionCount = 0;
    bool m_paused = false;
    double m_pausedAtS = 0;
    std::vector<PauseToggle> m_pauseToggles;
};

}  // namespace s3gsim
