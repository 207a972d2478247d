// The serial port on POSIX termios, with a poll()-driven reader thread.
#include "ZELKComBase.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

speed_t BaudConstant(int baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
    }
}

tcflag_t ByteSizeFlag(int byteSize)
{
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
    }
}

}  // namespace

// One reader thread's stop request and wake-up descriptor. The thread keeps
// its own reference, so a reader told to stop from inside its own callback
// finishes safely after the port was closed or reopened.
struct CZELKComBase::ReaderState {
    std::atomic<bool> stop{false};
    int wakeFd = -1;
    ~ReaderState()
    {
        if (wakeFd >= 0)
            ::close(wakeFd);
    }
};

CZELKComBase::CZELKComBase()
{
    m_readerPokeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_lineWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

CZELKComBase::~CZELKComBase()
{
    // Derived classes close in their own destructors (OnReceive is theirs);
    // this only catches a port left open by a class that does not.
    StopReader();
    const int fd = m_fd.exchange(-1);
    if (fd >= 0)
        ::close(fd);
    ::close(m_readerPokeFd);
    ::close(m_lineWakeFd);
}

std::string CZELKComBase::GetPortName()
{
    std::lock_guard lock(m_lifecycleMutex);
    return m_portName;
}

int CZELKComBase::ReOpen()
{
    std::lock_guard lock(m_lifecycleMutex);
    Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(m_reopenDelayMs.load()));
    return Open(m_portName);
}

int CZELKComBase::Open(std::string name)
{
    std::lock_guard lock(m_lifecycleMutex);
    if (m_hungUp.load())
        Close();  // the old device is gone and its reader has ended
    m_portName = std::move(name);
    if (m_fd.load() < 0) {
        const int fd = OpenDevice(m_portName);
        if (fd < 0)
            return 0;
        m_hungUp = false;
        m_hangupReported = false;
        m_fd = fd;
    }
    StartReader();
    if (!Configure(m_fd.load()))
        return 0;
    SetOpenError(PortOpenError::None, 0);
    return 1;
}

int CZELKComBase::OpenDevice(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENODEV || err == ENXIO)
            SetOpenError(PortOpenError::Missing, err);
        else if (err == EACCES || err == EPERM)
            SetOpenError(PortOpenError::PermissionDenied, err);
        else if (err == EBUSY)
            SetOpenError(PortOpenError::Busy, err);
        else
            SetOpenError(PortOpenError::Other, err);
        return -1;
    }
    if (!::isatty(fd)) {
        SetOpenError(PortOpenError::NotATerminal, ENOTTY);
        ::close(fd);
        return -1;
    }
    // Exclusive: the advisory lock keeps out programs that lock ports (and a
    // second port object), TIOCEXCL refuses later opens of the device.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        SetOpenError(PortOpenError::Busy, errno);
        ::close(fd);
        return -1;
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

int CZELKComBase::Configure(int fd)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        SetOpenError(PortOpenError::ConfigurationFailed, errno);
        return 0;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | ByteSizeFlag(m_byteSize);
    if (m_parity == 1)
        tio.c_cflag |= PARENB | PARODD;
    else if (m_parity == 2)
        tio.c_cflag |= PARENB;
    if (m_stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = BaudConstant(m_baudRate);
    if (speed == B0 || ::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0 ||
        ::tcsetattr(fd, TCSANOW, &tio) != 0) {
        SetOpenError(PortOpenError::ConfigurationFailed, speed == B0 ? EINVAL : errno);
        return 0;
    }
    ::tcflush(fd, TCIOFLUSH);
    return 1;
}

void CZELKComBase::Close()
{
    std::lock_guard lock(m_lifecycleMutex);
    StopReader();
    {
        // The next connection's reader thread reads its line from the start.
        std::lock_guard lineLock(m_lineMutex);
        m_lineTaken = false;
    }
    std::lock_guard portLock(m_portMutex);
    const int fd = m_fd.exchange(-1);
    if (fd >= 0) {
        ::ioctl(fd, TIOCNXCL);  // the exclusive mode outlives the descriptor otherwise
        ::close(fd);
    }
    m_hungUp = false;
    m_hangupReported = false;
}

int CZELKComBase::IsOpened()
{
    return m_fd.load() >= 0 ? 1 : 0;
}

int CZELKComBase::SetCommParam(int baud, int byteSize, int parity, int stopBits)
{
    std::lock_guard lock(m_lifecycleMutex);
    m_baudRate = baud;
    m_byteSize = byteSize;
    m_parity = parity;
    m_stopBits = stopBits;
    const int fd = m_fd.load();
    return fd >= 0 ? Configure(fd) : 0;
}

int CZELKComBase::GetHandle()
{
    return m_fd.load();
}

int CZELKComBase::SetBufferSize(int inBytes, int outBytes)
{
    std::lock_guard lock(m_lifecycleMutex);
    if (inBytes <= 0 || outBytes <= 0)
        return 0;
    m_inQueueSize = inBytes;
    m_outQueueSize = outBytes;
    return 1;
}

void CZELKComBase::StartReader()
{
    if (m_readerState)
        return;
    auto state = std::make_shared<ReaderState>();
    state->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_readerState = state;
    m_reader = std::thread([this, state] { ReaderLoop(state); });
}

void CZELKComBase::StopReader()
{
    if (!m_readerState)
        return;
    m_readerState->stop = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t w = ::write(m_readerState->wakeFd, &one, sizeof one);
    if (m_reader.get_id() == std::this_thread::get_id())
        m_reader.detach();  // closed from its own callback: it ends on return
    else if (m_reader.joinable())
        m_reader.join();
    m_readerState.reset();
}

void CZELKComBase::ReaderLoop(std::shared_ptr<ReaderState> state)
{
    while (!state->stop.load()) {
        bool taken = false;
        int quietMs = -1;
        {
            // The quiet timeout looks at what the line's reader holds: asked
            // while the line cannot change hands.
            std::lock_guard lock(m_lineMutex);
            taken = m_lineTaken;
            if (!taken)
                quietMs = QuietTimeoutMs();
        }
        // While another thread holds the line the device is left alone (a
        // negative descriptor is not polled): its bytes are that thread's.
        pollfd fds[3] = {{taken ? -1 : m_fd.load(), POLLIN, 0},
                         {state->wakeFd, POLLIN, 0},
                         {m_readerPokeFd, POLLIN, 0}};
        const int r = ::poll(fds, 3, quietMs);
        if (state->stop.load())
            break;
        if (r < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents & POLLIN)
            Drain(m_readerPokeFd);
        if (taken)
            continue;  // woken to look at the line again
        {
            std::lock_guard lock(m_lineMutex);
            if (m_lineTaken)
                continue;  // taken meanwhile: what is waiting is the holder's
            m_readerReading = true;
        }
        if (r == 0)
            OnLineQuiet();
        else if (fds[0].revents & POLLIN)
            OnReceive();
        else
            NoteDeviceEvent(fds[0].revents);
        const bool hungUp = m_hungUp.load();
        if (hungUp)
            ReportHangup();
        {
            std::lock_guard lock(m_lineMutex);
            m_readerReading = false;
        }
        if (hungUp)
            break;  // nothing more will come; ReOpen or Close deals with it
    }
}

bool CZELKComBase::NoteDeviceEvent(short revents)
{
    if (revents & (POLLHUP | POLLERR | POLLNVAL))
        m_hungUp = true;
    return m_hungUp.load();
}

void CZELKComBase::ReportHangup()
{
    if (!m_hangupReported.exchange(true) && m_receiver != nullptr)
        m_receiver->OnCommHangup();
}

void CZELKComBase::Drain(int eventFd)
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(eventFd, &count, sizeof count);
}

void CZELKComBase::PokeReader()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_readerPokeFd, &one, sizeof one);
}

bool CZELKComBase::TakeLine()
{
    {
        std::lock_guard lock(m_lineMutex);
        if (m_lineTaken)
            return true;
        if (m_fd.load() < 0 || m_readerReading)
            return false;
        m_lineTaken = true;
    }
    m_lineHeardAt = Clock::now();
    PokeReader();  // it stops polling the device now, not at the next reply
    return true;
}

bool CZELKComBase::LineTaken() const
{
    std::lock_guard lock(m_lineMutex);
    return m_lineTaken;
}

void CZELKComBase::GiveLineBack()
{
    {
        std::lock_guard lock(m_lineMutex);
        if (!m_lineTaken)
            return;
        m_lineTaken = false;
    }
    PokeReader();
}

void CZELKComBase::AwaitLine(Clock::time_point deadline)
{
    using std::chrono::milliseconds;
    const int fd = m_fd.load();
    const bool readable = fd >= 0 && !m_hungUp.load();
    const Clock::time_point now = Clock::now();
    // Whole milliseconds, rounded up: a wait never ends before its deadline.
    const auto untilMs = [&](Clock::time_point t) {
        if (t <= now)
            return 0LL;
        return static_cast<long long>(std::chrono::ceil<milliseconds>(t - now).count());
    };
    long long waitMs = untilMs(deadline);
    // As on the reader thread, bytes held that do not yet make a frame are
    // given up once the line has been quiet for the quiet timeout.
    const int quietMs = readable ? QuietTimeoutMs() : -1;
    bool quietFirst = false;
    if (quietMs >= 0) {
        const long long quietLeftMs = untilMs(m_lineHeardAt + milliseconds(quietMs));
        if (quietLeftMs <= waitMs) {
            waitMs = quietLeftMs;
            quietFirst = true;
        }
    }
    pollfd fds[2] = {{readable ? fd : -1, POLLIN, 0}, {m_lineWakeFd, POLLIN, 0}};
    const int r = ::poll(fds, 2, static_cast<int>(std::min<long long>(waitMs, 1 << 30)));
    if (r < 0)
        return;  // a signal: the caller looks and waits again
    if (fds[1].revents & POLLIN)
        Drain(m_lineWakeFd);
    if (r == 0 || (fds[0].revents == 0 && fds[1].revents != 0)) {
        if (r == 0 && quietFirst) {
            OnLineQuiet();
            m_lineHeardAt = Clock::now();
        }
        return;
    }
    if (fds[0].revents & POLLIN) {
        OnReceive();
        m_lineHeardAt = Clock::now();
    } else {
        NoteDeviceEvent(fds[0].revents);
    }
    if (m_hungUp.load())
        ReportHangup();
}

void CZELKComBase::WakeLineWait()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_lineWakeFd, &one, sizeof one);
}

int CZELKComBase::ReadAvailable(unsigned char* buffer, int max)
{
    std::lock_guard lock(m_portMutex);
    const int fd = m_fd.load();
    if (fd < 0 || max <= 0)
        return 0;
    const ssize_t n = ::read(fd, buffer, static_cast<std::size_t>(max));
    if (n > 0)
        return static_cast<int>(n);
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
        m_hungUp = true;  // end of file or EIO: the device went away
    return 0;
}

int CZELKComBase::WriteAll(const void* bytes, int count)
{
    constexpr int kWriteTimeoutMs = 2000;
    std::lock_guard lock(m_portMutex);
    const int fd = m_fd.load();
    if (fd < 0 || count <= 0)
        return 0;
    const auto* p = static_cast<const unsigned char*>(bytes);
    int written = 0;
    while (written < count) {
        const ssize_t n = ::write(fd, p + written, static_cast<std::size_t>(count - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        pollfd pfd{fd, POLLOUT, 0};
        if (::poll(&pfd, 1, kWriteTimeoutMs) <= 0 || (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)))
            break;
    }
    return written;
}

void CZELKComBase::SetOpenError(PortOpenError error, int err)
{
    std::lock_guard lock(m_errorMutex);
    m_openError = error;
    m_openErrno = err;
    m_errorPortName = m_portName;  // callers hold the lifecycle mutex
}

PortOpenError CZELKComBase::GetOpenError() const
{
    std::lock_guard lock(m_errorMutex);
    return m_openError;
}

std::string CZELKComBase::GetOpenErrorText() const
{
    std::lock_guard lock(m_errorMutex);
    const std::string name = "'" + m_errorPortName + "'";
    switch (m_openError) {
    case PortOpenError::None:
        return {};
    case PortOpenError::Missing:
        return "The serial port " + name + " does not exist. Is the printer plugged in and switched on?";
    case PortOpenError::Busy:
        return "The serial port " + name + " is in use by another program. Close that program and try again.";
    case PortOpenError::PermissionDenied:
        return "Permission denied for the serial port " + name +
               ". Add your user to the 'dialout' group (sudo usermod -aG dialout $USER), then log out and in again.";
    case PortOpenError::NotATerminal:
        return name + " is not a serial port.";
    case PortOpenError::ConfigurationFailed:
        return "The serial port " + name + " could not be set up: " + std::strerror(m_openErrno) + ".";
    case PortOpenError::Other:
        break;
    }
    return "The serial port " + name + " could not be opened: " + std::strerror(m_openErrno) + ".";
}
