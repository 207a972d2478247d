#include "ReplyReader.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "LinkLog.h"

namespace zelk {
namespace {

std::string Hex(std::span<const unsigned char> bytes)
{
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(b, sizeof b, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += b;
    }
    return out;
}

}  // namespace

ReplyReader::ReplyReader(double zStepsPerMM, ZELKFileLog* log)
    : m_log(log), m_parser(zStepsPerMM, &m_platformQuery, &m_versionQuery)
{
}

ReplyReader::Reading ReplyReader::Read(std::span<const unsigned char> frame)
{
    Reading reading;
    int version = 0;
    {
        std::lock_guard lock(m_mutex);
        reading.known = m_parser.ParserReceiveBuffer(frame.data(), frame.size());
        reading.record = m_parser.GetReceiveBuf();
        version = m_parser.GetFirmwareVersion();
        reading.position = reading.known && m_parser.LastWasPosition();
        if (reading.position)
            std::copy(m_parser.GetPositionSteps(), m_parser.GetPositionSteps() + 5, reading.positionSteps);
    }
    if (!reading.known) {
        Log(1, "Unrecognised reply ignored: " + Hex(frame));
        return reading;
    }
    if (reading.record.type == kReplyVersion && version != m_loggedVersion) {
        m_loggedVersion = version;
        Log(0, "Printer firmware version " + std::to_string(version));
    }
    return reading;
}

void ReplyReader::Deliver(const RECEIVEBUF& record)
{
    std::shared_ptr<const std::function<void(const RECEIVEBUF&)>> callback;
    {
        std::lock_guard lock(m_mutex);
        callback = m_callback;
    }
    if (callback)
        (*callback)(record);
}

void ReplyReader::SetCallback(std::function<void(const RECEIVEBUF& reply)> callback)
{
    auto shared = callback ? std::make_shared<const std::function<void(const RECEIVEBUF&)>>(std::move(callback))
                           : nullptr;
    std::lock_guard lock(m_mutex);
    m_callback = std::move(shared);
}

RECEIVEBUF ReplyReader::Record() const
{
    std::lock_guard lock(m_mutex);
    return m_parser.GetReceiveBuf();
}

int ReplyReader::FirmwareVersion() const
{
    std::lock_guard lock(m_mutex);
    return m_parser.GetFirmwareVersion();
}

void ReplyReader::NewConnection()
{
    m_platformQuery = 0;
    m_versionQuery = 0;
    m_loggedVersion = 0;
}

void ReplyReader::Log(int level, const std::string& message)
{
    WriteLinkLog(m_log, __LINE__, level, message);
}

}  // namespace zelk
