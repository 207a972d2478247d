// The simulated printer on a pseudo-terminal, with switchable line faults.
#include "SimServer.h"

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <time.h>
#include <unistd.h>

#include "Package.h"
#include "S3GFrameAssembler.h"

namespace s3gsim {
namespace {

constexpr unsigned char kStart = 0xD5;

// The host's frame was refused: its buffer is full, or it came garbled.
constexpr unsigned char kBufferFull[] = {0x82};
constexpr unsigned char kCrcMismatch[] = {0x83};

// The frame of payload (at most 255 bytes) in `frame`; its length.
std::size_t MakeFrame(std::span<const unsigned char> payload, unsigned char (&frame)[258])
{
    frame[0] = kStart;
    frame[1] = static_cast<unsigned char>(payload.size());
    std::memcpy(frame + 2, payload.data(), payload.size());
    frame[2 + payload.size()] = CPacketBuilder::CaculateCRC_8C(frame, 2, static_cast<unsigned>(payload.size()));
    return payload.size() + 3;
}

// Sleeps most of the way and spins the last stretch: a sleep overshoots by
// tens of microseconds, which would make the emulated line slower than 115200
// baud and the host look slower than it is.
template <typename Now>
void WaitUntil(double deadlineS, Now now)
{
    constexpr double kSpinS = 250e-6;
    const double sleepS = deadlineS - now() - kSpinS;
    if (sleepS > 0) {
        const auto ns = static_cast<long long>(sleepS * 1e9);
        timespec ts{static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
        while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
        }
    }
    while (now() < deadlineS) {
    }
}

}  // namespace

SimServer::SimServer(SimOptions options)
    : m_options(std::move(options)),
      m_printer(PrinterModel{m_options.heatRateCPerS, m_options.firmwareVersion, m_options.moveSpeedFactor,
                             m_options.keepReceived, m_options.bufferBytes}),
      m_random(m_options.seed),
      m_startS(0)
{
    m_startS = NowS();
}

SimServer::~SimServer()
{
    Hangup();
    if (m_record != nullptr)
        std::fclose(m_record);
}

double SimServer::NowS() const
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count() - m_startS;
}

bool SimServer::Open(std::string* error)
{
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    m_devicePath = ::ptsname(m_master);
    // Holding the slave open keeps the master from seeing hang-ups while the
    // host closes and reopens its port; raw mode keeps the line 8-bit clean
    // before the host configures it.
    m_slaveKeep = ::open(m_devicePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (m_slaveKeep < 0 || ::tcgetattr(m_slaveKeep, &tio) != 0) {
        *error = "cannot open " + m_devicePath + ": " + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slaveKeep, TCSANOW, &tio);
    if (!m_options.recordPath.empty()) {
        m_record = std::fopen(m_options.recordPath.c_str(), "wb");
        if (m_record == nullptr) {
            *error = "cannot write " + m_options.recordPath + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

int SimServer::Run(int stopFd)
{
    unsigned char buffer[4096];
    while (!m_done) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int r = ::poll(fds, stopFd >= 0 ? 2 : 1, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (stopFd >= 0 && (fds[1].revents & POLLIN)))
            break;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0) {
                m_requestAtS = NowS();
                OnBytes(buffer, static_cast<std::size_t>(n));
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                break;
            }
        }
    }
    if (m_record != nullptr)
        std::fflush(m_record);
    return 0;
}

void SimServer::OnBytes(const unsigned char* bytes, std::size_t count)
{
    m_input.insert(m_input.end(), bytes, bytes + count);
    std::size_t pos = 0;
    while (!m_done) {
        while (pos < m_input.size() && m_input[pos] != kStart)
            ++pos;  // between frames only noise can come
        if (m_input.size() - pos < 2)
            break;
        const std::size_t length = m_input[pos + 1];
        if (length == 0 || length > zelk::S3GFrameAssembler::kMaxS3GPayload) {
            ++m_stats.badFrames;
            Reply(kCrcMismatch, 2);
            pos += 2;
            continue;
        }
        if (m_input.size() - pos < length + 3)
            break;
        const unsigned char* payload = m_input.data() + pos + 2;
        const bool crcOk = CPacketBuilder::CaculateCRC_8C(payload, 0, static_cast<unsigned>(length)) == payload[length];
        pos += length + 3;
        if (!crcOk) {
            ++m_stats.badFrames;
            Reply(kCrcMismatch, length + 3);
            continue;
        }
        // A copy, so that nothing OnFrame does to the input can move it.
        unsigned char frame[zelk::S3GFrameAssembler::kMaxS3GPayload];
        std::memcpy(frame, payload, length);
        OnFrame(frame, length);
    }
    m_input.erase(m_input.begin(), m_input.begin() + static_cast<std::ptrdiff_t>(std::min(pos, m_input.size())));
}

void SimServer::OnFrame(const unsigned char* payload, std::size_t size)
{
    const int packet = ++m_stats.packets;
    if (packet == m_options.dropPacket || (m_options.silentFrom > 0 && packet >= m_options.silentFrom)) {
        ++m_stats.dropped;
        return;
    }
    if (m_options.refuseEvery > 0 && packet % m_options.refuseEvery == 0) {
        ++m_stats.refused;
        Reply(kBufferFull, size + 3);
        return;
    }
    const Bytes reply = m_printer.Handle(payload, size, NowS());
    // The record holds what the printer took, once each: an action it refused
    // (buffer full) is sent again by the host and recorded then, so that a
    // packet lost on the way shows as missing, not hidden by a refused copy.
    const bool taken = !reply.empty() && reply[0] == 0x81;
    if (payload[0] >= 128 && taken)
        ++m_stats.actions;
    const bool recordedQuery = m_options.recordQueries && (payload[0] == 8 || payload[0] == 21 || payload[0] == 22);
    if (taken && (payload[0] >= 128 || recordedQuery) && m_record != nullptr) {
        std::fwrite(payload, 1, size, m_record);
        std::fflush(m_record);
    }
    const auto& corrupt = m_options.corruptReplies;
    const bool corruptThis = std::find(corrupt.begin(), corrupt.end(), packet) != corrupt.end();
    if (corruptThis)
        ++m_stats.corrupted;
    Reply(reply, size + 3, corruptThis);
    const bool finishedAnswer = payload[0] == 11 && reply.size() == 2 && reply[1] == 1;
    if (m_options.exitAfterFinish && finishedAnswer && m_printer.ActionCount() > 0) {
        DrainToHost();
        m_done = true;
    }
    if (m_options.hangupAfter > 0 && ++m_answered >= m_options.hangupAfter) {
        Hangup();
        m_done = true;
    }
}

void SimServer::Reply(std::span<const unsigned char> payload, std::size_t requestBytes, bool corrupt)
{
    unsigned char bytes[258];
    const std::size_t length = MakeFrame(payload.first(std::min<std::size_t>(payload.size(), 255)), bytes);
    const std::span<const unsigned char> frame(bytes, length);
    if (corrupt)
        bytes[length - 1] ^= 0x5A;  // a reply garbled on the line: well framed, wrong CRC
    if (m_options.baudEmulation) {
        // The request's bytes and the reply's take their time on the wire.
        WaitUntil(m_requestAtS + static_cast<double>(requestBytes + frame.size()) / kLineBytesPerS,
                  [this] { return NowS(); });
    }
    if (m_options.garbage && !corrupt) {  // noise is made to pass a CRC-checking host, a garbled frame cannot
        const Bytes noise = Garbage(frame);
        WriteAll(noise.data(), noise.size());
    }
    if (m_options.split) {
        for (unsigned char b : frame) {
            WriteAll(&b, 1);
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
    } else {
        WriteAll(frame.data(), frame.size());
    }
}

// Noise of 1 to 6 bytes, often with a false start byte, that a CRC-checking
// host drops: regenerated until noise plus frame reassemble to the frame alone.
Bytes SimServer::Garbage(std::span<const unsigned char> frame)
{
    std::uniform_int_distribution<int> count(1, 6), byte(0, 255), coin(0, 2);
    for (;;) {
        Bytes noise(static_cast<std::size_t>(count(m_random)));
        for (auto& b : noise)
            b = static_cast<unsigned char>(byte(m_random));
        if (coin(m_random) == 0 && noise.size() >= 2) {
            noise[noise.size() - 2] = kStart;
            noise.back() = static_cast<unsigned char>(1 + byte(m_random) % 3);
        }
        zelk::S3GFrameAssembler check;
        int frames = 0;
        bool same = false;
        const auto onFrame = [&](const unsigned char* f, std::size_t n) {
            ++frames;
            same = std::equal(f, f + n, frame.begin(), frame.end());
        };
        check.Feed(noise.data(), noise.size(), onFrame);
        check.Feed(frame.data(), frame.size(), onFrame);
        if (frames == 1 && same && check.PendingBytes() == 0)
            return noise;
    }
}

void SimServer::WriteAll(const unsigned char* bytes, std::size_t count)
{
    std::size_t done = 0;
    while (done < count && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes + done, count - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            return;
    }
}

void SimServer::DrainToHost()
{
    // The last reply must reach the host before the device goes away: closing
    // the master hangs the line up and throws away what the host has not read
    // yet, and an empty input queue on the slave proves nothing while the
    // kernel may still be moving the bytes there. So the kept slave is let go
    // and the host's own close is awaited (the master then sees the hang-up),
    // for the drain timeout at most, for a host that stays connected.
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    m_slaveKeep = -1;
    const double deadlineS = NowS() + m_options.drainTimeoutMs / 1000.0;
    unsigned char discard[256];
    while (m_master >= 0) {
        const double leftS = deadlineS - NowS();
        if (leftS <= 0)
            return;
        pollfd pfd{m_master, POLLIN, 0};
        const int r = ::poll(&pfd, 1, static_cast<int>(leftS * 1000) + 1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return;
        // The host may still send (a last query) before it closes: unanswered.
        if (::read(m_master, discard, sizeof discard) <= 0)
            return;
    }
}

void SimServer::Hangup()
{
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveKeep = -1;
    m_master = -1;
}

}  // namespace s3gsim
