// The termios port over a pseudo-terminal: open failures, frames in, bytes out.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "LinkTestFrames.h"
#include "PtyPair.h"
#include "TempDir.h"
#include "ZELKPlusCom.h"

using linktest::Concat;
using linktest::Frame;
using linktest::PtyPair;
using Bytes = std::vector<unsigned char>;
using namespace std::chrono_literals;

namespace {

class FrameSink : public ComReceive {
public:
    void OnCommReceive(std::span<const unsigned char> frame) override
    {
        std::lock_guard lock(m_mutex);
        m_frames.emplace_back(frame.begin(), frame.end());
        m_threads.push_back(std::this_thread::get_id());
        m_cv.notify_all();
    }
    void OnCommHangup() override
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
        ++m_hangups;
        m_cv.notify_all();
    }
    void OnCommBadFrame() override
    {
        std::lock_guard lock(m_mutex);
        ++m_badFrames;
        m_cv.notify_all();
    }
    // The thread each frame was handed over on.
    std::vector<std::thread::id> Threads()
    {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    int Hangups()
    {
        std::lock_guard lock(m_mutex);
        return m_hangups;
    }
    int BadFrames()
    {
        std::lock_guard lock(m_mutex);
        return m_badFrames;
    }
    bool WaitFrames(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, 2s, [&] { return m_frames.size() >= count; });
    }
    bool WaitHangup()
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, 2s, [&] { return m_hungUp; });
    }
    std::vector<Bytes> Frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Bytes> m_frames;
    std::vector<std::thread::id> m_threads;
    bool m_hungUp = false;
    int m_hangups = 0;
    int m_badFrames = 0;
};

struct PortFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        port.SetReceiver(&sink);
        port.SetReopenDelayMs(1);
        ASSERT_NE(port.Open(pty.SlavePath()), 0) << port.GetOpenErrorText();
    }
    // Until the device has bytes waiting for whoever reads it.
    bool BytesWaiting()
    {
        pollfd pfd{port.GetHandle(), POLLIN, 0};
        return ::poll(&pfd, 1, 2000) == 1 && (pfd.revents & POLLIN);
    }
    // The line's holder reads until count frames have come (2 s at most).
    bool AwaitFrames(std::size_t count)
    {
        const auto limit = std::chrono::steady_clock::now() + 2s;
        while (sink.Frames().size() < count && std::chrono::steady_clock::now() < limit)
            port.AwaitLine(std::chrono::steady_clock::now() + 100ms);
        return sink.Frames().size() >= count;
    }

    PtyPair pty;
    FrameSink sink;
    ZELKPlusCom port;
};

}  // namespace

TEST(SerialPortOpen, MissingDeviceIsReportedAndLeavesThePortClosed)
{
    ZELKPlusCom port;
    EXPECT_EQ(port.Open("/dev/ttyACM-does-not-exist"), 0);
    EXPECT_EQ(port.IsOpened(), 0);
    EXPECT_EQ(port.GetOpenError(), PortOpenError::Missing);
    EXPECT_NE(port.GetOpenErrorText().find("does not exist"), std::string::npos);
}

TEST(SerialPortOpen, PlainFileIsNotASerialPort)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("f"), "x");
    ZELKPlusCom port;
    EXPECT_EQ(port.Open(dir.File("f")), 0);
    EXPECT_EQ(port.IsOpened(), 0);
    EXPECT_EQ(port.GetOpenError(), PortOpenError::NotATerminal);
}

TEST(SerialPortOpen, PermissionDeniedNamesTheDialoutGroup)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens every device";
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0), 0);
    ZELKPlusCom port;
    EXPECT_EQ(port.Open(pty.SlavePath()), 0);
    EXPECT_EQ(port.GetOpenError(), PortOpenError::PermissionDenied);
    EXPECT_NE(port.GetOpenErrorText().find("dialout"), std::string::npos);
}

TEST_F(PortFixture, SecondOpenOfTheSameDeviceIsBusyUntilTheFirstCloses)
{
    ZELKPlusCom other;
    EXPECT_EQ(other.Open(pty.SlavePath()), 0);
    EXPECT_EQ(other.GetOpenError(), PortOpenError::Busy);
    EXPECT_NE(other.GetOpenErrorText().find("another program"), std::string::npos);
    port.Close();
    EXPECT_NE(other.Open(pty.SlavePath()), 0) << other.GetOpenErrorText();
    EXPECT_EQ(other.GetOpenErrorText(), "");
}

TEST_F(PortFixture, FramesArriveWholeAndInOrderThroughNoiseAndSplits)
{
    const Bytes ack = Frame({0x81});
    const Bytes temp = Frame({0x81, 0xE6, 0x00});
    pty.Write(Concat({{0x00, 0x17}, ack, {0xD5, 0x01, 0x99, 0x00}, temp}));
    ASSERT_TRUE(sink.WaitFrames(2));
    for (unsigned char b : Frame({0x81, 0x01}))
        pty.Write({b});
    ASSERT_TRUE(sink.WaitFrames(3));
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], ack);
    EXPECT_EQ(frames[1], temp);
    EXPECT_EQ(frames[2], Frame({0x81, 0x01}));
}

TEST_F(PortFixture, FalseStartThatNeverCompletesIsGivenUpAfterTheStallTimeout)
{
    port.SetStallTimeoutMs(5);
    const Bytes ack = Frame({0x81});
    pty.Write(Concat({{0xD5, 0x14}, ack}));  // a length of 20 swallows the reply
    ASSERT_TRUE(sink.WaitFrames(1));
    EXPECT_EQ(sink.Frames()[0], ack);
}

TEST_F(PortFixture, SentBytesReachTheDeviceUnchanged)
{
    // Raw mode: no CR/LF translation, no XON/XOFF, no 8th-bit stripping.
    const Bytes frame{0xD5, 0x0D, 0x0A, 0x11, 0x13, 0x03, 0x7F, 0xFF, 0x00};
    EXPECT_EQ(port.SendData(frame.data(), static_cast<int>(frame.size())), static_cast<int>(frame.size()));
    EXPECT_EQ(pty.Read(frame.size(), 1000), frame);
}

TEST_F(PortFixture, ReOpenKeepsTheNameAndWorks)
{
    ASSERT_NE(port.ReOpen(), 0) << port.GetOpenErrorText();
    EXPECT_NE(port.IsOpened(), 0);
    pty.Write(Frame({0x81}));
    EXPECT_TRUE(sink.WaitFrames(1));
}

TEST_F(PortFixture, CloseEndsTheReaderPromptly)
{
    const auto start = std::chrono::steady_clock::now();
    port.Close();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_EQ(port.IsOpened(), 0);
    EXPECT_EQ(port.SendData("x", 1), 0);
    port.Close();  // closing twice is harmless
}

TEST_F(PortFixture, VanishedDeviceIsNoticedAndReopenFails)
{
    pty.Hangup();
    ASSERT_TRUE(sink.WaitHangup());
    EXPECT_TRUE(port.IsHungUp());
    EXPECT_EQ(port.ReOpen(), 0);
    EXPECT_EQ(port.IsOpened(), 0);
}

TEST_F(PortFixture, CommParametersApplyToTheOpenPort)
{
    EXPECT_NE(port.SetCommParam(57600, 8, 0, 0), 0);
    EXPECT_EQ(port.SetCommParam(12345, 8, 0, 0), 0);  // no such rate
    EXPECT_NE(port.SetCommParam(115200, 8, 0, 0), 0);
    ZELKPlusCom closed;
    EXPECT_EQ(closed.SetCommParam(115200, 8, 0, 0), 0);
}

// --- the line taken by a thread that awaits replies

TEST_F(PortFixture, ATakenLineHandsItsFramesOverOnTheTakersThreadAndTheReaderLeavesItAlone)
{
    ASSERT_TRUE(port.TakeLine());
    EXPECT_TRUE(port.LineTaken());
    const Bytes ack = Frame({0x81});
    pty.Write(ack);
    // The frame waits on the device; a reader thread that still read the
    // line would take it from under the holder.
    ASSERT_TRUE(BytesWaiting());
    port.AwaitLine(std::chrono::steady_clock::now());  // the deadline has passed: no waiting
    ASSERT_TRUE(AwaitFrames(1));
    EXPECT_EQ(sink.Frames()[0], ack);
    EXPECT_EQ(sink.Threads()[0], std::this_thread::get_id());

    // Given back, the line is the reader thread's again.
    port.GiveLineBack();
    EXPECT_FALSE(port.LineTaken());
    pty.Write(Frame({0x81, 0x01}));
    ASSERT_TRUE(sink.WaitFrames(2));
    EXPECT_NE(sink.Threads()[1], std::this_thread::get_id());
}

TEST_F(PortFixture, RepliesSplitAtEveryBytePositionArriveWholeOnATakenLine)
{
    ASSERT_TRUE(port.TakeLine());
    const Bytes reply = Frame({0x81, 0xE6, 0x00});
    std::size_t expected = 0;
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        pty.Write(Bytes(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(cut)));
        ASSERT_TRUE(BytesWaiting());
        port.AwaitLine(std::chrono::steady_clock::now() + 1s);  // reads the first part
        pty.Write(Bytes(reply.begin() + static_cast<std::ptrdiff_t>(cut), reply.end()));
        ASSERT_TRUE(AwaitFrames(++expected)) << "cut after byte " << cut;
    }
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), reply.size() - 1);
    for (const Bytes& frame : frames)
        EXPECT_EQ(frame, reply);
}

TEST_F(PortFixture, TwoFramesReadAtOnceByTheHolderAreBothHandedOverInOrder)
{
    ASSERT_TRUE(port.TakeLine());
    const Bytes first = Frame({0x81}), second = Frame({0x81, 0x01});
    pty.Write(Concat({first, second}));
    ASSERT_TRUE(AwaitFrames(2));
    const auto frames = sink.Frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], first);
    EXPECT_EQ(frames[1], second);
}

TEST_F(PortFixture, TheHolderGivesUpAGarbledReplyOnceTheLineIsQuietEvenAcrossShortWaits)
{
    port.SetStallTimeoutMs(20);
    ASSERT_TRUE(port.TakeLine());
    Bytes garbled = Frame({0x81, 0x02});
    garbled.back() ^= 0x5A;
    pty.Write(garbled);
    // Waits of 5 ms each, shorter than the quiet timeout: the quiet line
    // counts from the last byte, not from each wait.
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (sink.BadFrames() == 0 && std::chrono::steady_clock::now() < limit)
        port.AwaitLine(std::chrono::steady_clock::now() + 5ms);
    EXPECT_EQ(sink.BadFrames(), 1);
    EXPECT_TRUE(sink.Frames().empty());
}

TEST_F(PortFixture, AWakeEndsTheHoldersWaitAndAVanishedDeviceIsReportedOnce)
{
    ASSERT_TRUE(port.TakeLine());
    // Woken before it waits: the next wait ends at once, not at its deadline.
    port.WakeLineWait();
    const auto start = std::chrono::steady_clock::now();
    port.AwaitLine(start + 30s);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    pty.Hangup();
    const auto limit = std::chrono::steady_clock::now() + 2s;
    while (!port.IsHungUp() && std::chrono::steady_clock::now() < limit)
        port.AwaitLine(std::chrono::steady_clock::now() + 100ms);
    ASSERT_TRUE(port.IsHungUp());
    port.AwaitLine(std::chrono::steady_clock::now());  // the device stays gone
    EXPECT_EQ(sink.Hangups(), 1);
}

TEST_F(PortFixture, TheLineCannotBeTakenOnAClosedPortAndCloseGivesItBack)
{
    ASSERT_TRUE(port.TakeLine());
    port.Close();
    EXPECT_FALSE(port.LineTaken());
    EXPECT_FALSE(port.TakeLine());
    ASSERT_NE(port.Open(pty.SlavePath()), 0) << port.GetOpenErrorText();
    pty.Write(Frame({0x81}));
    EXPECT_TRUE(sink.WaitFrames(1));  // the new reader thread reads the line
}
