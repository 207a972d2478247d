// Classifies the printer's reply frames by their total length.
#include "ZELKReceiveParser.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace zelk {
namespace {

constexpr unsigned char kSuccess = 0x81;

unsigned ReadU16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) | (static_cast<unsigned>(p[1]) << 8);
}

std::int32_t ReadI32(const unsigned char* p)
{
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    return static_cast<std::int32_t>(v);
}

// A 6-byte frame: version answer, or a temperature (platform when asked for).
// Firmware 702 is told by its value; any other version only while the
// version query is the package in flight.
ClassifyResult ClassifyShortValue(const unsigned char* frame, bool platformOutstanding, bool versionOutstanding,
                                  RECEIVEBUF& record)
{
    ClassifyResult result;
    if (frame[2] != kSuccess)
        return result;
    result.changed = true;
    if (versionOutstanding || (frame[3] == 0xBE && frame[4] == 0x02)) {
        record.type = kReplyVersion;
        result.firmwareVersion = static_cast<int>(ReadU16(frame + 3));
    } else if (platformOutstanding) {
        record.type = kReplyPlatformTemperature;
        record.platformTemperature = static_cast<int>(ReadU16(frame + 3));
        result.platformQueryAnswered = true;
    } else {
        record.type = kReplyExtruderTemperature;
        record.extruderTemperature = static_cast<int>(ReadU16(frame + 3));
    }
    return result;
}

}  // namespace

ClassifyResult ClassifyReplyFrame(const unsigned char* frame, std::size_t length, double zStepsPerMM,
                                  bool platformQueryOutstanding, RECEIVEBUF& record, bool versionQueryOutstanding)
{
    ClassifyResult result;
    switch (length) {
    case 4:
        record.type = frame[2] == kSuccess ? kReplyAcknowledged : kReplyRefused;
        result.changed = true;
        break;
    case 5:
        if (frame[3] == 0 || frame[3] == 1) {
            record.type = frame[3] == 0 ? kReplyBuildNotFinished : kReplyBuildFinished;
            result.changed = true;
        }
        break;
    case 6:
        result = ClassifyShortValue(frame, platformQueryOutstanding, versionQueryOutstanding, record);
        break;
    case 26:
        record.type = kReplyPosition;
        record.z = static_cast<float>(ReadI32(frame + 11) / zStepsPerMM);
        result.changed = true;
        result.position = true;
        for (int axis = 0; axis < 5; ++axis)
            result.positionSteps[axis] = ReadI32(frame + 3 + 4 * axis);
        break;
    default:
        break;
    }
    return result;
}

}  // namespace zelk

ZELKReceiveParser::ZELKReceiveParser(double zStepsPerMM, std::atomic<int>* platformQueryFlag,
                                     std::atomic<int>* versionQueryFlag)
    : m_versionQueryFlag(versionQueryFlag), m_zStepsPerMM(zStepsPerMM), m_platformQueryFlag(platformQueryFlag)
{
}

bool ZELKReceiveParser::ParserReceiveBuffer(void* frame, void* length)
{
    return ParserReceiveBuffer(static_cast<const unsigned char*>(frame), reinterpret_cast<std::size_t>(length));
}

bool ZELKReceiveParser::ParserReceiveBuffer(const unsigned char* frame, std::size_t length)
{
    const bool outstanding = m_platformQueryFlag != nullptr && m_platformQueryFlag->load() != 0;
    const bool versionOutstanding = m_versionQueryFlag != nullptr && m_versionQueryFlag->load() != 0;
    const zelk::ClassifyResult result =
        zelk::ClassifyReplyFrame(frame, length, m_zStepsPerMM, outstanding, m_record, versionOutstanding);
    if (result.platformQueryAnswered && m_platformQueryFlag != nullptr)
        m_platformQueryFlag->store(0);
    if (result.firmwareVersion >= 0) {
        m_firmwareVersion = result.firmwareVersion;
        if (m_versionQueryFlag != nullptr)
            m_versionQueryFlag->store(0);
    }
    if (result.changed) {
        m_lastWasPosition = result.position;
        if (result.position)
            std::copy(std::begin(result.positionSteps), std::end(result.positionSteps), m_positionSteps);
    }
    return result.changed;
}
