// Reassembles S3G frames from a byte stream, checking each frame's CRC.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

namespace zelk {

// Bytes in, whole frames out. Noise before a start byte is dropped. A start
// byte whose length byte is impossible (0, or more than kMaxS3GPayload) or whose
// frame fails the CRC is taken for noise: it is dropped and the search goes on
// from the next 0xD5, so line noise can neither stall the link nor pass for a
// reply. No I/O, no threads.
class S3GFrameAssembler {
public:
    // The protocol's largest payload; longer length bytes cannot start a frame.
    static constexpr std::size_t kMaxS3GPayload = 32;

    using FrameHandler = std::function<void(const unsigned char* frame, std::size_t length)>;

    // Appends bytes and hands every complete, valid frame to onFrame in order.
    void Feed(const unsigned char* bytes, std::size_t count, const FrameHandler& onFrame);

    // The rest of a started frame did not come (the line went quiet): when
    // another start byte is held behind it, the first is taken for noise and
    // the bytes after it are searched again. True when a byte was dropped.
    bool DropStalledStart(const FrameHandler& onFrame);

    // Bytes held that do not yet form a whole frame.
    std::size_t PendingBytes() const { return m_bytes.size() - m_begin; }
    // Bytes dropped as noise, and frames rejected for their CRC, so far.
    std::size_t DroppedBytes() const { return m_droppedBytes; }
    std::size_t CrcMismatches() const { return m_crcMismatches; }

    // True once when a frame failed its CRC and no valid frame has followed
    // it: a reply garbled on the line, not noise. Noise with a false start
    // byte comes just before a real frame, which clears the mark, so the
    // caller asks only once the line has gone quiet.
    bool TakeBadFrame();
    bool HoldsBadFrame() const { return m_badFrameUnfollowed; }

    // Forgets the held bytes; safe to call from inside onFrame.
    void Clear();

private:
    void Extract(const FrameHandler& onFrame);
    void Compact();

    std::vector<unsigned char> m_bytes;
    std::size_t m_begin = 0;  // first byte not yet consumed
    std::size_t m_droppedBytes = 0;
    std::size_t m_crcMismatches = 0;
    bool m_badFrameUnfollowed = false;
    unsigned m_generation = 0;
};

}  // namespace zelk
