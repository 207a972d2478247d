// The lost-printer policy against a fake port: when the port is restarted,
// how long a vanished device is waited for, when the printer counts as lost
// and with what reason, and that a stop cuts every wait short.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "PrinterLostPolicy.h"
#include "TempDir.h"
#include "ZELKFileLog.h"

using zelk::PrinterLostPolicy;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A port whose device comes back after a number of opens (never: -1).
class FakePort : public PrinterLostPolicy::Port {
public:
    std::string Name() override { return "/dev/ttyFAKE0"; }
    bool IsOpen() override
    {
        std::lock_guard lock(m_mutex);
        return m_open;
    }
    void Close() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = false;
            ++closes;
        }
        m_closed.notify_all();
    }
    void WaitClosed()
    {
        std::unique_lock lock(m_mutex);
        m_closed.wait(lock, [&] { return !m_open; });
    }
    void OpenAgain() override
    {
        std::lock_guard lock(m_mutex);
        ++opens;
        m_open = opensUntilBack >= 0 && opens >= opensUntilBack;
    }
    int Opens()
    {
        std::lock_guard lock(m_mutex);
        return opens;
    }

    int opensUntilBack = 1;
    int opens = 0;
    int closes = 0;

private:
    std::mutex m_mutex;
    std::condition_variable m_closed;
    bool m_open = true;
};

struct Policy : ::testing::Test {
    Policy()
    {
        policy.SetRestartDelayMs(1);
        policy.SetDeviceReturnTimeoutMs(200);
    }
    std::string LogText() const { return testsupport::ReadFile(log.GetPath()); }

    testsupport::TempDir dir;
    ZELKFileLog log{dir.File("link.log")};
    FakePort port;
    std::atomic<bool> stop{false};
    PrinterLostPolicy policy{port, stop, &log};
};

}  // namespace

TEST_F(Policy, TheFirstSilenceRestartsThePortTheSecondLosesThePrinter)
{
    const zelk::Outcome first = policy.AfterSilence();
    EXPECT_TRUE(first.ok);
    EXPECT_EQ(port.closes, 1);
    EXPECT_EQ(port.opens, 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(policy.RestartCount(), 1);
    EXPECT_NE(LogText().find("ZELKMachineControl:96 Restart COM!"), std::string::npos) << LogText();

    const zelk::Outcome second = policy.AfterSilence();
    EXPECT_FALSE(second.ok);
    EXPECT_EQ(second.reason, "The printer on /dev/ttyFAKE0 does not answer.");
    EXPECT_EQ(policy.RestartCount(), 1) << "no second restart";
    EXPECT_FALSE(policy.IsLost()) << "the decision is reported separately";
}

TEST_F(Policy, AReplyBetweenSilencesEarnsAnotherRestart)
{
    for (int i = 1; i <= 3; ++i) {
        ASSERT_TRUE(policy.AfterSilence().ok);
        policy.NoteReply();
        EXPECT_EQ(policy.RestartCount(), i);
    }
    ASSERT_TRUE(policy.AfterSilence().ok);
    EXPECT_FALSE(policy.AfterSilence().ok);
    policy.ResetRestarts();  // a new connection
    EXPECT_TRUE(policy.AfterSilence().ok);
}

TEST_F(Policy, AVanishedDeviceThatComesBackInTimeIsReopened)
{
    port.opensUntilBack = 4;
    const zelk::Outcome outcome = policy.AfterSilence();
    EXPECT_TRUE(outcome.ok) << outcome.reason;
    EXPECT_EQ(port.Opens(), 4);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(policy.RestartCount(), 1) << "one restart, however many opens it took";
}

TEST_F(Policy, AVanishedDeviceThatStaysAwayLosesThePrinterAfterTheReturnTimeout)
{
    port.opensUntilBack = -1;
    policy.SetRestartDelayMs(5);
    policy.SetDeviceReturnTimeoutMs(60);
    const auto start = Clock::now();
    const zelk::Outcome outcome = policy.AfterSilence();
    const auto took = Clock::now() - start;
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.reason, "The printer's port /dev/ttyFAKE0 went away and did not come back.");
    EXPECT_GE(took, 60ms);
    EXPECT_LT(took, 5s);
    // Tried again about every restart delay, not back to back.
    EXPECT_GE(port.Opens(), 3);
    EXPECT_LE(port.Opens(), 1 + 60 / 5 + 1);
}

TEST_F(Policy, AStopCutsTheRestartDelayShortAndNothingIsReopened)
{
    policy.SetRestartDelayMs(60000);
    std::thread stopper([&] {
        // Once the port is closed the policy waits out the restart delay.
        port.WaitClosed();
        stop = true;
        policy.WakeForStop();
    });
    const auto start = Clock::now();
    const zelk::Outcome outcome = policy.AfterSilence();
    stopper.join();
    EXPECT_TRUE(outcome.ok) << "a stop reports no lost printer";
    EXPECT_LT(Clock::now() - start, 30s);
    EXPECT_EQ(port.Opens(), 0);
    EXPECT_EQ(policy.RestartCount(), 0);
}

TEST_F(Policy, AStopCutsTheWaitForAVanishedDeviceShort)
{
    port.opensUntilBack = -1;
    policy.SetDeviceReturnTimeoutMs(60000);
    std::thread stopper([&] {
        policy.WaitForRestarts(1, 60000);
        stop = true;
        policy.WakeForStop();
    });
    const auto start = Clock::now();
    const zelk::Outcome outcome = policy.AfterSilence();
    stopper.join();
    EXPECT_TRUE(outcome.ok);
    EXPECT_LT(Clock::now() - start, 30s);
}

TEST_F(Policy, AfterAStopNothingIsRestartedOrLost)
{
    stop = true;
    EXPECT_TRUE(policy.AfterSilence().ok);
    EXPECT_TRUE(policy.AfterSilence().ok);
    EXPECT_EQ(port.closes, 0);
}

TEST_F(Policy, WaitForRestartsWakesOnARestartFromTheWorker)
{
    EXPECT_FALSE(policy.WaitForRestarts(1, 0));
    std::thread worker([&] { policy.AfterSilence(); });
    EXPECT_TRUE(policy.WaitForRestarts(1, 10000));
    worker.join();
    EXPECT_EQ(policy.RestartCount(), 1);
}

TEST_F(Policy, ALostPrinterIsReportedOnceWithItsReasonUntilANewConnection)
{
    std::vector<std::string> reported;
    policy.SetLostCallback([&](const std::string& reason) {
        // The state is set before the callback runs.
        EXPECT_TRUE(policy.IsLost());
        EXPECT_EQ(policy.LostReason(), reason);
        reported.push_back(reason);
    });
    EXPECT_FALSE(policy.IsLost());
    EXPECT_EQ(policy.LostReason(), "");
    policy.ReportLost("The printer on /dev/ttyFAKE0 does not answer.");
    EXPECT_EQ(reported, std::vector<std::string>{"The printer on /dev/ttyFAKE0 does not answer."});
    EXPECT_TRUE(policy.IsLost());
    policy.ClearLost();
    EXPECT_FALSE(policy.IsLost());
    EXPECT_EQ(policy.LostReason(), "");

    policy.SetLostCallback(nullptr);
    policy.ReportLost("gone");  // without a callback
    EXPECT_EQ(policy.LostReason(), "gone");
    EXPECT_EQ(reported.size(), 1u);
}
