// The simulated printer's protocol state: commands in, S3G replies out.
#include "SimPrinter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace s3gsim {
namespace {

constexpr unsigned char kOk = 0x81;

std::int32_t ReadI32(const unsigned char* p)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

int ReadI16(const unsigned char* p)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

void Put16(Bytes& out, unsigned v)
{
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(Bytes& out, std::int32_t v)
{
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>((u >> (8 * i)) & 0xFF));
}

PrinterModel WithHeatRate(double heatRateCPerS)
{
    PrinterModel model;
    model.heatRateCPerS = heatRateCPerS;
    return model;
}

}  // namespace

SimPrinter::SimPrinter(double heatRateCPerS) : SimPrinter(WithHeatRate(heatRateCPerS)) {}

SimPrinter::SimPrinter(const PrinterModel& model) : m_model(model)
{
    if (!(m_model.heatRateCPerS > 0))
        m_model.heatRateCPerS = 10.0;
}

Bytes SimPrinter::Handle(const unsigned char* payload, std::size_t size, double nowS)
{
    if (size == 0)
        return {0x80};  // generic failure: an empty command
    if (m_model.keepReceived)
        m_received.emplace_back(payload, payload + size);
    if (payload[0] < 128)
        return HandleQuery(payload, size, nowS);
    Advance(nowS);
    if (m_model.bufferBytes > 0 && m_queuedBytes + size > m_model.bufferBytes)
        return {0x82};  // buffer full: sent again later
    Queue(payload, size, nowS);
    Advance(nowS);
    return {kOk};
}

Bytes SimPrinter::HandleQuery(const unsigned char* payload, std::size_t size, double nowS)
{
    Bytes reply{kOk};
    switch (payload[0]) {
    case 0:  // version
        Put16(reply, static_cast<unsigned>(m_model.firmwareVersion));
        break;
    case 2:  // free buffer space
        Advance(nowS);
        Put32(reply, m_model.bufferBytes > 0
                         ? static_cast<std::int32_t>(m_model.bufferBytes - std::min(m_queuedBytes, m_model.bufferBytes))
                         : 512);
        break;
    case 8:  // pause, or resume when paused
        TogglePause(nowS);
        break;
    case 10:
        return ToolQuery(payload, size, nowS);
    case 11:  // is the build finished
        reply.push_back(IsFinished(nowS) ? 1 : 0);
        break;
    case 21:  // extended position and end stops
        for (int axis = 0; axis < 5; ++axis)
            Put32(reply, PositionSteps(nowS)[axis]);
        Put16(reply, 0);
        break;
    case 22:  // extended stop: 1 halts the move under way, 2 drops the queue
        ExtendedStop(size >= 2 ? payload[1] : 0, nowS);
        break;
    default:
        break;
    }
    return reply;
}

Bytes SimPrinter::ToolQuery(const unsigned char* payload, std::size_t size, double nowS)
{
    Bytes reply{kOk};
    const int sub = size >= 3 ? payload[2] : -1;
    switch (sub) {
    case 2:
        Put16(reply, static_cast<unsigned>(std::lround(ExtruderC(nowS))));
        break;
    case 30:
        Put16(reply, static_cast<unsigned>(std::lround(PlatformC(nowS))));
        break;
    case 32:
        Put16(reply, static_cast<unsigned>(m_extruder.targetC));
        break;
    case 33:
        Put16(reply, static_cast<unsigned>(m_platform.targetC));
        break;
    default:
        reply.push_back(0);
        break;
    }
    return reply;
}

void SimPrinter::ExtendedStop(unsigned flags, double nowS)
{
    Advance(nowS);
    std::int32_t at[5];
    if ((flags & 1) && MoveUnderWay(nowS, at)) {
        std::copy(at, at + 5, m_position);
        m_queuedBytes -= m_queue.front().command.size();
        m_queue.pop_front();
        m_headStartS = -1;
        m_freeAtS = nowS;
    }
    if (flags & 2) {
        m_queue.clear();
        m_queuedBytes = 0;
        m_headStartS = -1;
        m_freeAtS = nowS;
    }
}

void SimPrinter::TogglePause(double nowS)
{
    if (!m_paused) {
        Advance(nowS);  // what was due before the pause is done
        m_paused = true;
        m_pausedAtS = nowS;
    } else {
        // The queue's clock stood still: the head move and the printer's free
        // time move on by the pause.
        const double pausedFor = std::max(0.0, nowS - m_pausedAtS);
        if (m_headStartS >= 0)
            m_headStartS += pausedFor;
        m_freeAtS = std::min(m_freeAtS + pausedFor, nowS);  // a stop while paused freed it at its own time
        m_paused = false;
    }
    m_pauseToggles.push_back({m_paused, m_actionCount});
}

const std::int32_t* SimPrinter::PositionSteps(double nowS)
{
    Advance(nowS);
    if (!MoveUnderWay(nowS, m_reported))
        std::copy(m_position, m_position + 5, m_reported);
    return m_reported;
}

bool SimPrinter::IsFinished(double nowS)
{
    Advance(nowS);
    return m_queue.empty();
}

double SimPrinter::ExtruderC(double nowS)
{
    return Temperature(m_extruder, nowS);
}

double SimPrinter::PlatformC(double nowS)
{
    return Temperature(m_platform, nowS);
}

double SimPrinter::Temperature(Heater& heater, double nowS)
{
    const double goal = heater.targetC > 0 ? heater.targetC : kAmbientC;
    const double step = m_model.heatRateCPerS * std::max(0.0, nowS - heater.atS);
    if (heater.currentC < goal)
        heater.currentC = std::min(goal, heater.currentC + step);
    else
        heater.currentC = std::max(goal, heater.currentC - step);
    heater.atS = nowS;
    return heater.currentC;
}

void SimPrinter::SetTarget(Heater& heater, double targetC, double nowS)
{
    Temperature(heater, nowS);
    heater.targetC = targetC;
}

void SimPrinter::Queue(const unsigned char* payload, std::size_t size, double nowS)
{
    m_record.insert(m_record.end(), payload, payload + size);
    ++m_actionCount;
    m_queue.push_back({Bytes(payload, payload + size), nowS});
    m_queuedBytes += size;
}

void SimPrinter::Advance(double nowS)
{
    if (m_paused)
        return;
    while (!m_queue.empty()) {
        const Bytes& head = m_queue.front().command;
        if (m_headStartS < 0)
            m_headStartS = std::max(m_queue.front().arrivedS, m_freeAtS);
        if (Blocks(head, nowS))
            return;
        const bool wait = head[0] == 135 || head[0] == 141;
        const double doneS = wait ? nowS : m_headStartS + MoveSeconds(head);
        if (doneS > nowS)
            return;  // a move under way
        Execute(head, nowS);
        m_freeAtS = doneS;
        m_queuedBytes -= head.size();
        m_queue.pop_front();
        m_headStartS = -1;
    }
}

double SimPrinter::MoveSeconds(const Bytes& command) const
{
    if (!(m_model.moveSpeedFactor > 0))
        return 0;
    const unsigned char* p = command.data() + 1;
    const std::size_t n = command.size() - 1;
    double seconds = 0;
    if (command[0] == 133 && n >= 4) {
        seconds = static_cast<std::uint32_t>(ReadI32(p)) / 1e6;  // a dwell, in microseconds
    } else if (command[0] == 142 && n >= 25) {
        seconds = static_cast<std::uint32_t>(ReadI32(p + 20)) / 1e6;
    } else if (command[0] == 155 && n >= 31) {
        float distanceMM = 0;
        std::memcpy(&distanceMM, p + 25, sizeof distanceMM);
        const double mmPerS = static_cast<std::uint16_t>(p[29] | (p[30] << 8)) / 64.0;
        seconds = mmPerS > 0 && std::isfinite(distanceMM) ? std::fabs(distanceMM) / mmPerS : 0;
    }
    return seconds / m_model.moveSpeedFactor;
}

bool SimPrinter::MoveUnderWay(double nowS, std::int32_t at[5]) const
{
    nowS = QueueClock(nowS);
    if (m_queue.empty() || m_headStartS < 0 || nowS < m_headStartS)
        return false;
    const Bytes& head = m_queue.front().command;
    const double seconds = MoveSeconds(head);
    std::int32_t target[5];
    if (!(seconds > 0) || !MoveTarget(head, target))
        return false;
    const double done = std::min(1.0, (nowS - m_headStartS) / seconds);
    for (int axis = 0; axis < 5; ++axis)
        at[axis] = m_position[axis] +
                   static_cast<std::int32_t>(std::llround((static_cast<double>(target[axis]) - m_position[axis]) * done));
    return true;
}

bool SimPrinter::Blocks(const Bytes& command, double nowS)
{
    // 135: wait for the tool, 141: wait for the platform; both with a timeout
    // in seconds after the tool byte and a 16-bit poll interval.
    if ((command[0] != 135 && command[0] != 141) || command.size() < 6)
        return false;
    const double timeoutS = static_cast<std::uint16_t>(command[4] | (command[5] << 8));
    if (nowS - m_headStartS >= timeoutS)
        return false;
    Heater& heater = command[0] == 135 ? m_extruder : m_platform;
    return heater.targetC > 0 && Temperature(heater, nowS) < heater.targetC - 2.0;
}

void SimPrinter::Execute(const Bytes& command, double nowS)
{
    const unsigned char* p = command.data() + 1;
    const std::size_t n = command.size() - 1;
    switch (command[0]) {
    case 131:  // home to minimum
    case 132:  // home to maximum
        if (n >= 1) {
            for (int axis = 0; axis < 5; ++axis)
                if (p[0] & (1u << axis))
                    m_position[axis] = 0;
        }
        break;
    case 136:  // tool action: 3 extruder temperature, 31 platform temperature
        if (n >= 5 && (p[1] == 3 || p[1] == 31))
            SetTarget(p[1] == 3 ? m_extruder : m_platform, ReadI16(p + 3), nowS);
        break;
    default:
        MoveTarget(command, m_position);
        break;
    }
}

bool SimPrinter::MoveTarget(const Bytes& command, std::int32_t target[5]) const
{
    const unsigned char* p = command.data() + 1;
    const std::size_t n = command.size() - 1;
    unsigned relativeMask = 0;
    switch (command[0]) {
    case 139:  // absolute extended point
    case 140:  // set extended position
        if (n < 20)
            return false;
        break;
    case 142:  // extended point, new style: flags after the duration
    case 155:  // extended point with its relative flags after the DDA rate
        if (n < 25)
            return false;
        relativeMask = p[24];
        break;
    default:
        return false;
    }
    for (int axis = 0; axis < 5; ++axis) {
        const std::int32_t v = ReadI32(p + 4 * axis);
        target[axis] = (relativeMask & (1u << axis)) ? m_position[axis] + v : v;
    }
    return true;
}

}  // namespace s3gsim
