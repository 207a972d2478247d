// The printer's port: raw bytes to S3G frames for the machine control.
#include "ZELKPlusCom.h"


ZELKPlusCom::~ZELKPlusCom()
{
    Close();
}

void ZELKPlusCom::Close()
{
    CZELKComBase::Close();
    // The reader has ended: a half frame of the old connection must not be
    // completed by the bytes of the next one.
    m_assembler.Clear();
}

void ZELKPlusCom::OnReceive()
{
    m_readBuffer.resize(static_cast<std::size_t>(ReadChunkSize()));
    const int n = ReadAvailable(m_readBuffer.data(), static_cast<int>(m_readBuffer.size()));
    if (n <= 0)
        return;
    m_stallChecked = false;
    m_assembler.Feed(m_readBuffer.data(), static_cast<std::size_t>(n),
                     [this](const unsigned char* frame, std::size_t length) { Deliver(frame, length); });
    m_crcMismatches = m_assembler.CrcMismatches();
}

int ZELKPlusCom::SendData(const void* bytes, int count)
{
    return WriteAll(bytes, count);
}

int ZELKPlusCom::QuietTimeoutMs()
{
    const bool waiting = (m_assembler.PendingBytes() > 0 && !m_stallChecked) || m_assembler.HoldsBadFrame();
    return waiting ? m_stallTimeoutMs.load() : -1;
}

void ZELKPlusCom::OnLineQuiet()
{
    // Nothing to give up means nothing to do until more bytes come.
    m_stallChecked = !m_assembler.DropStalledStart(
        [this](const unsigned char* frame, std::size_t length) { Deliver(frame, length); });
    // A frame that failed its CRC with nothing valid behind it, once the line
    // is quiet, was a garbled reply: the receiver need not wait it out.
    if (m_assembler.TakeBadFrame() && m_receiver != nullptr)
        m_receiver->OnCommBadFrame();
}

void ZELKPlusCom::Deliver(const unsigned char* frame, std::size_t length)
{
    m_frame.assign(frame, frame + length);
    if (m_receiver != nullptr)
        m_receiver->OnCommReceive(std::span<const unsigned char>(m_frame.data(), m_frame.size()));
}
