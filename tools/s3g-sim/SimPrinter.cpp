// The simulated printer's protocol state: commands in, S3G replies out.
#include "SimPrinter.h"

#include <algorithm>
#include <cmath>

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

}  // namespace

SimPrinter::SimPrinter(double heatRateCPerS) : m_heatRate(heatRateCPerS > 0 ? heatRateCPerS : 10.0) {}

Bytes SimPrinter::Handle(const unsigned char* payload, std::size_t size, double nowS)
{
    if (size == 0)
        return {0x80};  // generic failure: an empty command
    if (payload[0] < 128)
        return HandleQuery(payload, size, nowS);
    Queue(payload, size);
    Advance(nowS);
    return {kOk};
}

Bytes SimPrinter::HandleQuery(const unsigned char* payload, std::size_t size, double nowS)
{
    Bytes reply{kOk};
    switch (payload[0]) {
    case 0:  // version
        Put16(reply, kFirmwareVersion);
        break;
    case 2:  // free buffer space
        Put32(reply, 512);
        break;
    case 10:
        return ToolQuery(payload, size, nowS);
    case 11:  // is the build finished
        reply.push_back(IsFinished(nowS) ? 1 : 0);
        break;
    case 21:  // extended position and end stops
        for (std::int32_t axis : m_position)
            Put32(reply, axis);
        Put16(reply, 0);
        break;
    case 22:  // extended stop: halt and clear the queue
        m_queue.clear();
        m_waitStartS = -1;
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
    const double step = m_heatRate * std::max(0.0, nowS - heater.atS);
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

void SimPrinter::Queue(const unsigned char* payload, std::size_t size)
{
    m_record.insert(m_record.end(), payload, payload + size);
    ++m_actionCount;
    m_queue.emplace_back(payload, payload + size);
}

void SimPrinter::Advance(double nowS)
{
    while (!m_queue.empty()) {
        if (Blocks(m_queue.front(), nowS))
            return;
        Execute(m_queue.front(), nowS);
        m_queue.pop_front();
        m_waitStartS = -1;
    }
}

bool SimPrinter::Blocks(const Bytes& command, double nowS)
{
    // 135: wait for the tool, 141: wait for the platform; both with a timeout
    // in seconds after the tool byte and a 16-bit poll interval.
    if ((command[0] != 135 && command[0] != 141) || command.size() < 6)
        return false;
    if (m_waitStartS < 0)
        m_waitStartS = nowS;
    const double timeoutS = static_cast<std::uint16_t>(command[4] | (command[5] << 8));
    if (nowS - m_waitStartS >= timeoutS)
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
    case 139:  // absolute extended point
    case 140:  // set extended position
        Move(p, n, 0);
        break;
    case 142:  // extended point, new style: flags after the duration
        if (n >= 25)
            Move(p, n, p[24]);
        break;
    case 155:  // extended point with its relative flags after the DDA rate
        if (n >= 25)
            Move(p, n, p[24]);
        break;
    default:
        break;
    }
}

void SimPrinter::Move(const unsigned char* params, std::size_t size, unsigned relativeMask)
{
    if (size < 20)
        return;
    for (int axis = 0; axis < 5; ++axis) {
        const std::int32_t v = ReadI32(params + 4 * axis);
        m_position[axis] = (relativeMask & (1u << axis)) ? m_position[axis] + v : v;
    }
}

}  // namespace s3gsim
