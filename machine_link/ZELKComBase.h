// The serial port: a POSIX terminal device (USB serial adapter or
// pseudo-terminal) in raw 8N1, with a reader thread woken by poll().
#pragma once

#include <atomic>
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
class CZELKComBase {
public:
    CZELKComBase() = default;
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

    std::mutex m_portMutex;        // around each read and write on the device
    std::recursive_mutex m_lifecycleMutex;  // Open, Close, ReOpen, settings
    std::thread m_reader;
    std::shared_ptr<ReaderState> m_readerState;

    mutable std::mutex m_errorMutex;
    PortOpenError m_openError = PortOpenError::None;
    int m_openErrno = 0;
    std::string m_errorPortName;
};
