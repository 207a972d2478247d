// The serial port: a POSIX terminal device (USB serial adapter or
// pseudo-terminal) in raw 8N1, with a reader thread woken by poll(), and the
// line handed to a thread that awaits replies itself.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>

// Gets every complete frame the port receives (on the port's reader thread).
class ComReceive {
public:
    virtual ~ComReceive() = default;
    // One whole frame, start byte to CRC; the bytes are the port's until the
    // call returns.
    virtual void OnCommReceive(std::span<const unsigned char> frame) = 0;
    // The device went away under the open port (on the reader thread, which
    // then ends).
    virtual void OnCommHangup() {}
    // A reply arrived whole but failed its CRC (on the reader thread).
    virtual void OnCommBadFrame() {}
};

// Why the last Open failed, so that the user interface can say what to do.
enum class PortOpenError {
    None,
    Missing,            // no such device: unplugged, or a wrong name
    Busy,               // held by another program
    PermissionDenied,   // the user is not in the dialout group
    NotATerminal,       // the path is not a serial device
    ConfigurationFailed,
    Other,
};

// The port. Open configures the device as raw 8N1 at the stored baud rate and
// starts the reader thread, which sleeps in poll() until bytes arrive or
// Close asks it to end. Reads and writes on the device are serialised by the
// port mutex. Open, Close and ReOpen may be called from any thread.
//
// The line: whoever reads the device also reassembles and hands over what
// it read, so one thread at a time does. That is the reader thread, unless
// a thread that waits for replies took the line (TakeLine): it then reads
// the device itself in AwaitLine, and the frames reach the receiver on its
// thread the moment they are read, without a hand-off between threads; the
// reader thread leaves the device alone until the line is given back
// (GiveLineBack, Close). The hand-over is guarded by the line mutex, so
// what one reader left (a half frame) the next one continues.
class CZELKComBase {
public:
    using Clock = std::chrono::steady_clock;

    CZELKComBase();
    virtual ~CZELKComBase();

    CZELKComBase(const CZELKComBase&) = delete;
    CZELKComBase& operator=(const CZELKComBase&) = delete;

    // Close, wait the reopen delay (100 ms), open the last name again.
    virtual int ReOpen();
    // Nonzero when the device is open and configured. A device that opened but
    // could not be configured stays open and gives 0. On failure
    // GetOpenError()/GetOpenErrorText() say why.
    virtual int Open(std::string name);
    virtual void Close();
    virtual int IsOpened();
    // baud: bits per second; byteSize 5..8; parity 0 none, 1 odd, 2 even;
    // stopBits 0 one, 2 two. Stored, and applied when the port is open;
    // 0 when it is not open or the device refuses them.
    virtual int SetCommParam(int baud, int byteSize, int parity, int stopBits);
    // The device's file descriptor; -1 when closed.
    virtual int GetHandle();
    // The kernel keeps its own terminal buffers; the sizes are stored and
    // the input size bounds one read.
    virtual int SetBufferSize(int inBytes, int outBytes);
    // Called on the reader thread when bytes are waiting.
    virtual void OnReceive() = 0;
    // Writes count bytes (giving up after 2 s without progress); the count written.
    virtual int SendData(const void* bytes, int count) = 0;

    void SetReceiver(ComReceive* receiver) { m_receiver = receiver; }
    std::string GetPortName();

    PortOpenError GetOpenError() const;
    // A sentence for the user; empty when the last Open succeeded.
    std::string GetOpenErrorText() const;

    // The pause between closing and reopening in ReOpen (default 100 ms).
    void SetReopenDelayMs(int ms) { m_reopenDelayMs = ms; }
    // True once the device went away under the open port (unplugged, or the
    // other end of a pseudo-terminal closed); Close or ReOpen clears it.
    bool IsHungUp() const { return m_hungUp.load(); }

    // --- the line, for one thread that awaits replies (see the class)
    // The calling thread reads the line from now on. False, and nothing
    // changes, when the port is closed or the reader thread is handing
    // over what it read just now (the caller then waits for the reader).
    bool TakeLine();
    // Whether a thread holds the line.
    bool LineTaken() const;
    // The line's holder, between its reads: the reader thread reads again.
    // Also called once the holder has ended.
    void GiveLineBack();
    // The line's holder: reads and hands over what is waiting, then waits
    // for bytes up to deadline (not at all when deadline has passed), reads
    // and hands over those, and returns; earlier on WakeLineWait. The quiet
    // line and a vanished device are dealt with as the reader thread does.
    void AwaitLine(Clock::time_point deadline);
    // Any thread: ends the holder's AwaitLine now, or its next one.
    void WakeLineWait();

protected:
    // Reads what is waiting, up to max bytes, under the port mutex. 0 when
    // nothing was there; a hang-up is noted and ends the reader.
    int ReadAvailable(unsigned char* buffer, int max);
    // Writes under the port mutex; see SendData.
    int WriteAll(const void* bytes, int count);
    int ReadChunkSize() const { return m_inQueueSize; }

    // The reader thread calls OnLineQuiet after QuietTimeoutMs without bytes
    // while QuietTimeoutMs is not negative (default: never).
    virtual int QuietTimeoutMs() { return -1; }
    virtual void OnLineQuiet() {}

    ComReceive* m_receiver = nullptr;

private:
    struct ReaderState;

    int OpenDevice(const std::string& name);
    int Configure(int fd);
    void StartReader();
    void StopReader();
    void ReaderLoop(std::shared_ptr<ReaderState> state);
    void PokeReader();
    // After a read or a poll event on the device: true when it went away.
    bool NoteDeviceEvent(short revents);
    void ReportHangup();
    static void Drain(int eventFd);
    void SetOpenError(PortOpenError error, int err);

    std::atomic<int> m_fd{-1};
    int m_baudRate = 115200;
    int m_byteSize = 8;
    int m_parity = 0;
    int m_stopBits = 0;
    int m_inQueueSize = 4096;
    int m_outQueueSize = 4096;
    std::string m_portName;
    std::atomic<int> m_reopenDelayMs{100};
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_hangupReported{false};  // once per connection, by whoever read the line

    std::mutex m_portMutex;        // around each read and write on the device
    std::recursive_mutex m_lifecycleMutex;  // Open, Close, ReOpen, settings
    std::thread m_reader;
    std::shared_ptr<ReaderState> m_readerState;

    mutable std::mutex m_lineMutex;  // the hand-over of the line
    bool m_lineTaken = false;        // a thread other than the reader reads the line
    bool m_readerReading = false;    // the reader thread is reading and handing over
    int m_readerPokeFd = -1;         // eventfd: the reader looks at the line again
    int m_lineWakeFd = -1;           // eventfd: ends an AwaitLine
    Clock::time_point m_lineHeardAt{};  // the holder's last read: the quiet line counts from it

    mutable std::mutex m_errorMutex;
    PortOpenError m_openError = PortOpenError::None;
    int m_openErrno = 0;
    std::string m_errorPortName;
};
