// The printer's port: raw bytes to S3G frames for the machine control.
#pragma once

#include <atomic>
#include <vector>

#include "S3GFrameAssembler.h"
#include "ZELKComBase.h"

// Reassembles reply frames from what the line's reader reads (the reader
// thread, or the thread that took the line), checking each frame's CRC, and
// hands every valid frame to the receiver. When the line is
// quiet for the stall timeout while a started frame waits for bytes, a false
// start byte is given up, so it cannot hold back the replies behind it; when
// it is quiet after a frame that failed its CRC, the receiver hears of it.
class ZELKPlusCom : public CZELKComBase {
public:
    ZELKPlusCom() = default;
    ~ZELKPlusCom() override;

    void Close() override;
    void OnReceive() override;
    int SendData(const void* bytes, int count) override;

    // How long a started frame may wait for its remaining bytes (default 100 ms).
    void SetStallTimeoutMs(int ms) { m_stallTimeoutMs = ms; }
    // Frames rejected for their CRC since the port was created.
    std::size_t GetCrcMismatchCount() const { return m_crcMismatches.load(); }

protected:
    int QuietTimeoutMs() override;
    void OnLineQuiet() override;

private:
    void Deliver(const unsigned char* frame, std::size_t length);

    // The line's reader only (see CZELKComBase): the hand-over orders them.
    zelk::S3GFrameAssembler m_assembler;
    std::vector<unsigned char> m_frame;    // the frame being handed over
    std::vector<unsigned char> m_readBuffer;
    bool m_stallChecked = false;           // quiet since the held bytes were checked
    std::atomic<int> m_stallTimeoutMs{100};
    std::atomic<std::size_t> m_crcMismatches{0};
};
