// Watching a print against the printer simulator over a pseudo-terminal: a
// pause holds the stream and the printer, a resume carries on with nothing
// lost or sent twice, a stop works while paused, and the time left the moves
// promise is the time the simulated printer takes.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "MachineControlFixture.h"
#include "MachinePackages.h"
#include "PrintTimeEstimate.h"
#include "SimThread.h"

using linktest::ControlParts;
using linktest::ReplyWatch;
using linktest::SimThread;

namespace {

struct MonitoredPrint : ::testing::Test {
    void Start(s3gsim::SimOptions options, const std::string& gcodeText)
    {
        options.heatRateCPerS = 1e6;
        sim = std::make_unique<SimThread>(options);
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        const std::string gcode = parts.dir.File("print.gcode");
        testsupport::WriteFile(gcode, gcodeText);
        control().GCodeParser(gcode.c_str());
        ASSERT_GT(control().GetPrintListSize(), 0);
        watch.Attach(control());
        ASSERT_NE(control().OpenCom(sim->DevicePath()), 0) << control().GetComOpenErrorText();
    }
    // Asks for a temperature and waits for the answer: the worker has then
    // done everything asked of it before. The heaters take turns: a request
    // for the heater whose query is still being finished off would be taken
    // with it.
    void RoundTrip()
    {
        const int seen = watch.Count();
        const bool extruder = (m_roundTrips++ % 2) == 0;
        if (extruder)
            control().ChangePrintType_InquireExtruderTemperature();
        else
            control().ChangePrintType_InquirePlatformTemperature();
        ASSERT_TRUE(watch.WaitForTypeAfter(
            extruder ? zelk::kReplyExtruderTemperature : zelk::kReplyPlatformTemperature, seen));
    }
    int m_roundTrips = 0;
    // Starts the print and pauses it from the reply that finds `index`
    // packages sent; returns once the printer has taken the pause.
    void PrintAndPauseAt(int index)
    {
        watch.onReply = [this, index](ZELKMachineControl& c, const RECEIVEBUF&) {
            std::lock_guard lock(m_pauseMutex);
            if (!m_pauseAsked && c.GetPrintIndex() >= index) {
                c.PausePrint();
                m_pauseAsked = true;
                m_pauseCv.notify_all();
            }
        };
        control().StartPrint();
        {
            std::unique_lock lock(m_pauseMutex);
            ASSERT_TRUE(m_pauseCv.wait_for(lock, std::chrono::seconds(20), [&] { return m_pauseAsked; }));
        }
        RoundTrip();
        ASSERT_TRUE(control().IsPrinterPaused());
    }
    std::mutex m_pauseMutex;
    std::condition_variable m_pauseCv;
    bool m_pauseAsked = false;
    ZELKMachineControl& control() { return *parts.control; }

    std::unique_ptr<SimThread> sim;
    ReplyWatch watch;
    ControlParts parts;
};

// Moves done in their own time, sped up, through a small command buffer.
s3gsim::SimOptions TimedMoves(double speed)
{
    s3gsim::SimOptions options;
    options.moveSpeedFactor = speed;
    options.bufferBytes = 512;
    return options;
}

// Moves of one second each (10 mm at 10 mm/s) after a short start.
std::string SecondMoves(int count)
{
    std::string g = "M104 S220 T0\nG92 X0 Y0 Z0.2 A0 B0\n";
    char line[96];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(line, sizeof line, "G1 X%d Y0 Z0.2 F600 E%.2f\n", (i % 2) * 10, 0.4 * i);
        g += line;
    }
    return g;
}

}  // namespace

TEST_F(MonitoredPrint, PauseHoldsTheStreamAndResumeCarriesOnWithNothingLostOrTwice)
{
    Start(TimedMoves(1000), linktest::PrintGCode(600));
    PrintAndPauseAt(200);
    EXPECT_TRUE(control().IsPrintPaused());
    EXPECT_NE(control().IsMachinePrinting(), 0) << "a paused print is still a print";
    const int pausedAt = control().GetPrintIndex();
    const int packets = sim->Stats().packets.load();
    // Two more round trips: the worker ran, and sent the queries only.
    RoundTrip();
    RoundTrip();
    EXPECT_EQ(control().GetPrintIndex(), pausedAt);
    EXPECT_EQ(sim->Stats().packets.load(), packets + 2);

    control().ResumePrint();
    ASSERT_TRUE(watch.WaitForType(zelk::kReplyBuildFinished, 60000));
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();
    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(control().GetPrintList()));
    ASSERT_EQ(printer.PauseToggles().size(), 2u);
    EXPECT_TRUE(printer.PauseToggles()[0].paused);
    EXPECT_FALSE(printer.PauseToggles()[1].paused);
    EXPECT_EQ(printer.PauseToggles()[0].actionsBefore, static_cast<std::size_t>(pausedAt));
    EXPECT_EQ(printer.PauseToggles()[1].actionsBefore, static_cast<std::size_t>(pausedAt));
    EXPECT_FALSE(printer.IsPaused());
}

// A stop while paused: the printer drops what it held, then carries on with
// what the stop queued (Z to its top) instead of staying paused.
TEST_F(MonitoredPrint, StopWhilePausedDropsTheQueueAndTheHomingStillRuns)
{
    Start(TimedMoves(1000), linktest::PrintGCode(600));
    PrintAndPauseAt(100);
    const int pausedAt = control().GetPrintIndex();

    control().StopPrintAndHomeZ();
    EXPECT_FALSE(control().IsPrintPaused());
    ASSERT_TRUE(control().WaitForOperationListEmpty(10000));
    RoundTrip();  // the resume goes after the operations
    EXPECT_FALSE(control().IsPrinterPaused());
    EXPECT_EQ(control().IsMachinePrinting(), 0);
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();
    ASSERT_EQ(printer.PauseToggles().size(), 2u);
    EXPECT_EQ(printer.PauseToggles()[0].actionsBefore, static_cast<std::size_t>(pausedAt));
    // Between the pause and the resume only the Z homing arrived.
    EXPECT_EQ(printer.PauseToggles()[1].actionsBefore, static_cast<std::size_t>(pausedAt) + 1);
    EXPECT_FALSE(printer.IsPaused());
    Package home;
    control().GCodeParser(std::string("G162 Z F600"), home);
    const std::vector<unsigned char>& record = printer.Record();
    ASSERT_GE(record.size(), static_cast<std::size_t>(home.PayloadSize()));
    EXPECT_TRUE(std::equal(home.Payload(), home.Payload() + home.PayloadSize(), record.end() - home.PayloadSize()));
}

// The estimate against the simulated printer doing each move in its own time
// (sped up), with a small command buffer so that the host is held back as by
// a real printer: the time left at each reply against the time the print then
// really took. The error measured is printed.
TEST_F(MonitoredPrint, TimeLeftMatchesTheSimulatedPrintersRealTime)
{
    constexpr double kSpeed = 20;  // simulated seconds per real second
    constexpr int kMoves = 60;
    Start(TimedMoves(kSpeed), SecondMoves(kMoves));
    zelk::PrintTimeEstimate estimate;
    using Clock = std::chrono::steady_clock;
    const Clock::time_point t0 = Clock::now();
    const auto simNow = [&] { return std::chrono::duration<double>(Clock::now() - t0).count() * kSpeed; };
    estimate.Start(control().GetPrintList(), 0.0);
    EXPECT_NEAR(estimate.TotalSeconds(), kMoves, 0.01);
    struct Sample {
        double atS, leftS;
    };
    std::vector<Sample> samples;
    std::mutex m;
    watch.onReply = [&](ZELKMachineControl& c, const RECEIVEBUF&) {
        std::lock_guard lock(m);
        const double now = simNow();
        estimate.Observe(static_cast<std::size_t>(c.GetPrintIndex()), now);
        samples.push_back({now, estimate.RemainingSeconds(now)});
    };
    control().StartPrint();
    ASSERT_TRUE(watch.WaitForType(zelk::kReplyBuildFinished, 60000));
    const double endS = simNow();
    control().CloseCom();
    std::lock_guard lock(m);
    ASSERT_FALSE(samples.empty());
    double worst = 0;
    for (const Sample& s : samples)
        worst = std::max(worst, std::fabs(s.leftS - (endS - s.atS)));
    std::printf("print of %.0f s of moves took %.2f s simulated; worst error of the time left %.2f s (%.1f %%)\n",
                estimate.TotalSeconds(), endS, worst, 100.0 * worst / endS);
    // The moves cannot be done faster than their time; the rest is the host's
    // pacing and the finished poll, or a loaded machine.
    EXPECT_GE(endS, estimate.TotalSeconds() * 0.98);
    EXPECT_LT(worst, 0.25 * endS + 2.0);
}
