// The simulated printer's protocol state: commands in, S3G replies out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace s3gsim {

using Bytes = std::vector<unsigned char>;

// What a printer of this make answers: version 702, temperatures that move
// towards their targets at a fixed rate, the extended position of the queued
// moves, and "finished" once every queued command has been executed. Action
// commands (command byte 128 and above) are queued and executed at once,
// except the waits for the extruder and the platform, which hold the queue
// until the temperature is reached. Time is given by the caller in seconds.
class SimPrinter {
public:
    static constexpr int kFirmwareVersion = 702;
    static constexpr double kAmbientC = 25.0;

    explicit SimPrinter(double heatRateCPerS = 10.0);

    // One well-formed payload (command byte first). The reply payload: the
    // response code 0x81 and the query's data.
    Bytes Handle(const unsigned char* payload, std::size_t size, double nowS);

    // Whether the build is done (no queued command left) at nowS.
    bool IsFinished(double nowS);
    // Action commands received (payloads back to back), in order.
    const Bytes& Record() const { return m_record; }
    std::size_t ActionCount() const { return m_actionCount; }
    double ExtruderC(double nowS);
    double PlatformC(double nowS);
    const std::int32_t* PositionSteps() const { return m_position; }

private:
    struct Heater {
        double currentC = kAmbientC;
        double targetC = 0;  // 0: off, cools to ambient
        double atS = 0;      // time of currentC
    };

    Bytes HandleQuery(const unsigned char* payload, std::size_t size, double nowS);
    Bytes ToolQuery(const unsigned char* payload, std::size_t size, double nowS);
    void Queue(const unsigned char* payload, std::size_t size);
    void Execute(const Bytes& command, double nowS);
    bool Blocks(const Bytes& command, double nowS);
    void Advance(double nowS);
    double Temperature(Heater& heater, double nowS);
    void SetTarget(Heater& heater, double targetC, double nowS);
    void Move(const unsigned char* params, std::size_t size, unsigned relativeMask);

    double m_heatRate;
    Heater m_extruder;
    Heater m_platform;
    std::deque<Bytes> m_queue;
    double m_waitStartS = -1;  // when the command at the queue's head began waiting
    std::int32_t m_position[5] = {};
    Bytes m_record;
    std::size_t m_actionCount = 0;
};

}  // namespace s3gsim
