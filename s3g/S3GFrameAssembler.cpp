// Reassembles S3G frames from a byte stream, checking each frame's CRC.
#include "S3GFrameAssembler.h"

#include <algorithm>

#include "Package.h"

namespace zelk {
namespace {
constexpr unsigned char kStartByte = 0xD5;
}

void S3GFrameAssembler::Feed(const unsigned char* bytes, std::size_t count, const FrameHandler& onFrame)
{
    if (count == 0)
        return;
    m_bytes.insert(m_bytes.end(), bytes, bytes + count);
    Extract(onFrame);
}

bool S3GFrameAssembler::DropStalledStart(const FrameHandler& onFrame)
{
    // Only a start byte with another one behind it is given up: without one,
    // nothing could be recovered, and a real frame that is merely slow to
    // arrive keeps its chance.
    if (PendingBytes() < 2)
        return false;
    const auto next = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_begin) + 1;
    if (std::find(next, m_bytes.end(), kStartByte) == m_bytes.end())
        return false;
    ++m_begin;  // the held bytes always start with a start byte
    ++m_droppedBytes;
    Extract(onFrame);
    return true;
}

bool S3GFrameAssembler::TakeBadFrame()
{
    const bool bad = m_badFrameUnfollowed;
    m_badFrameUnfollowed = false;
    return bad;
}

void S3GFrameAssembler::Clear()
{
    m_bytes.clear();
    m_begin = 0;
    m_badFrameUnfollowed = false;
    ++m_generation;
}

void S3GFrameAssembler::Extract(const FrameHandler& onFrame)
{
    for (;;) {
        const auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_begin);
        const auto start = std::find(first, m_bytes.end(), kStartByte);
        const std::size_t skipped = static_cast<std::size_t>(start - first);
        m_droppedBytes += skipped;
        m_begin += skipped;  // no start byte at all: everything held is noise
        const std::size_t held = PendingBytes();
        if (held < 3)
            break;
        const unsigned char* frame = m_bytes.data() + m_begin;
        const std::size_t payload = frame[1];
        if (payload == 0 || payload > kMaxS3GPayload) {
            ++m_begin;
            ++m_droppedBytes;
            continue;
        }
        const std::size_t total = payload + 3;
        if (held < total)
            break;
        if (CPacketBuilder::CaculateCRC_8C(frame, 2, static_cast<unsigned>(payload)) != frame[2 + payload]) {
            ++m_crcMismatches;
            m_badFrameUnfollowed = true;
            ++m_begin;
            ++m_droppedBytes;
            continue;
        }
        m_begin += total;
        m_badFrameUnfollowed = false;
        const unsigned generation = m_generation;
        onFrame(frame, total);
        if (generation != m_generation)
            return;  // the handler cleared the assembler (the port was closed)
    }
    Compact();
}

void S3GFrameAssembler::Compact()
{
    if (m_begin == m_bytes.size()) {
        m_bytes.clear();
        m_begin = 0;
    } else if (m_begin > 4096) {
        m_bytes.erase(m_bytes.begin(), m_bytes.begin() + static_cast<std::ptrdiff_t>(m_begin));
        m_begin = 0;
    }
}

}  // namespace zelk
