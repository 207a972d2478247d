// The termios port over a pseudo-terminal: open failures, frames in, bytes out.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <sys/stat.h>
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
        m_cv.notify_all();
    }
    void OnCommHangup() override
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
        m_cv.notify_all();
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
    bool m_hungUp = false;
};

struct PortFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        port.SetReceiver(&sink);
        port.SetReopenDelayMs(1);
        ASSERT_NE(port.Open(pty.SlavePath()), 0) << port.GetOpenErrorText();
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
