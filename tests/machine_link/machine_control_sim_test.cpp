// Whole prints streamed to the printer simulator over a pseudo-terminal, with
// line faults switched on: refusals, noise, split replies, a dropped packet,
// a vanishing device.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "MachineControlFixture.h"
#include "MachinePackages.h"
#include "SimThread.h"

using linktest::ControlParts;
using linktest::ReplyWatch;
using linktest::SimThread;
using namespace std::chrono_literals;

namespace {

struct SimPrint : ::testing::Test {
    // Translates a print of moveCount moves and connects to a simulator.
    void Start(s3gsim::SimOptions options, int moveCount)
    {
        options.heatRateCPerS = 1e6;
        sim = std::make_unique<SimThread>(options);
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        const std::string gcode = parts.dir.File("print.gcode");
        testsupport::WriteFile(gcode, linktest::PrintGCode(moveCount));
        control().GCodeParser(gcode.c_str());
        ASSERT_GT(control().GetPrintListSize(), moveCount);
        watch.Attach(control());
        lost.Attach(control());
        ASSERT_NE(control().OpenCom(sim->DevicePath()), 0) << control().GetComOpenErrorText();
    }
    // Streams the print and waits for the printer to report it finished.
    void PrintToTheEnd()
    {
        control().StartPrint();
        ASSERT_TRUE(watch.WaitForType(7, 60000));
        ASSERT_TRUE(watch.WaitForMode([](int mode) { return (mode & 2) == 0; }));
    }
    ZELKMachineControl& control() { return *parts.control; }

    // Destroyed in reverse: the control first, then its callback's watch,
    // then the simulator.
    std::unique_ptr<SimThread> sim;
    ReplyWatch watch;
    linktest::LostWatch lost;
    ControlParts parts;
};

}  // namespace

TEST_F(SimPrint, LongPrintArrivesCompleteInOrderThroughRefusalsNoiseSplitsAndQueries)
{
    s3gsim::SimOptions options;
    options.refuseEvery = 7;
    options.garbage = true;
    options.split = true;
    Start(options, 3000);
    std::atomic<int> extruderReplies{0}, platformReplies{0};
    watch.onReply = [&](ZELKMachineControl& c, const RECEIVEBUF& r) {
        if (r.type == 4)
            ++extruderReplies;
        if (r.type == 8)
            ++platformReplies;
        // Ask for temperatures every few packages, as the progress display does.
        const int index = c.GetPrintIndex();
        if (index % 97 == 0)
            c.ChangePrintType_InquireExtruderTemperature();
        if (index % 131 == 0)
            c.ChangePrintType_InquirePlatformTemperature();
    };
    PrintToTheEnd();
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();

    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(control().GetPrintList()));
    EXPECT_GT(sim->Stats().refused.load(), 400);
    EXPECT_EQ(sim->Stats().badFrames.load(), 0);
    EXPECT_GT(extruderReplies.load(), 10);
    EXPECT_GT(platformReplies.load(), 10);
    EXPECT_EQ(control().GetPortRestartCount(), 0);
    const RECEIVEBUF r = control().GetReceiveBuf();
    EXPECT_EQ(r.extruderTemperature, 220);
    EXPECT_EQ(r.platformTemperature, 60);
}

TEST_F(SimPrint, DroppedPacketIsSentAgainAfterThePortRestartExactlyOnce)
{
    s3gsim::SimOptions options;
    options.dropPacket = 40;
    Start(options, 200);
    // Short waits (5 x 10 ms) only around the dropped packet (index 39).
    watch.onReply = [](ZELKMachineControl& c, const RECEIVEBUF&) {
        c.SetReplyTimeoutMs(c.GetPrintIndex() >= 38 && c.GetPortRestartCount() == 0 ? 10 : 2000);
    };
    PrintToTheEnd();
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();
    EXPECT_EQ(sim->Stats().dropped.load(), 1);
    EXPECT_EQ(control().GetPortRestartCount(), 1);
    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(control().GetPrintList()));
    EXPECT_NE(parts.LogText().find("Restart COM!"), std::string::npos);
}

TEST_F(SimPrint, PrinterGoneQuietIsLostAfterOneRestartWithTheRecordUpToIt)
{
    s3gsim::SimOptions options;
    options.silentFrom = 31;
    Start(options, 100);
    // Short waits only once the printer falls silent, so that a slow but
    // answered package is never taken for a lost one.
    watch.onReply = [](ZELKMachineControl& c, const RECEIVEBUF&) {
        if (c.GetPrintIndex() >= 29)
            c.SetReplyTimeoutMs(5);
    };
    control().StartPrint();
    ASSERT_TRUE(lost.Wait());
    EXPECT_NE(lost.Reason().find("does not answer"), std::string::npos) << lost.Reason();
    EXPECT_EQ(control().GetPortRestartCount(), 1);
    EXPECT_EQ(control().GetPrintIndex(), 30);  // package 30 was never answered
    EXPECT_EQ(control().IsMachinePrinting(), 0);
    EXPECT_EQ(control().IsComOpened(), 0);
    const s3gsim::SimPrinter& printer = sim->Stop();
    const std::vector<Package> list = control().GetPrintList().ToVector();
    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(std::vector<Package>(list.begin(), list.begin() + 30)));
    // Package 30 went out once, and once more after the restart.
    EXPECT_EQ(sim->Stats().packets.load(), 30 + 2);
    EXPECT_NE(parts.LogText().find("resent"), std::string::npos);
}

TEST_F(SimPrint, GarbledRepliesAreDecidedAtOnceAndTheirActionsSentOnceMore)
{
    s3gsim::SimOptions options;
    // Packet 40 is package 39; its resend is packet 41, so packet 100 is package 98.
    options.corruptReplies = {40, 100};
    Start(options, 200);
    control().SetReplyTimeoutMs(20000);  // a wait through the timeouts would show as a restart
    PrintToTheEnd();
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();
    EXPECT_EQ(sim->Stats().corrupted.load(), 2);
    EXPECT_EQ(control().GetPortRestartCount(), 0);
    std::vector<Package> expected = control().GetPrintList().ToVector();
    expected.insert(expected.begin() + 98, expected[98]);
    expected.insert(expected.begin() + 39, expected[39]);
    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(expected));
    const std::string log = parts.LogText();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 4) << log;  // two unreadable replies, two resends
    EXPECT_NE(log.find("resent"), std::string::npos);
    // Both duplicates the printer holds are owned up to.
    const auto counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterNoReply, 2);
    EXPECT_EQ(counts.actionsInDoubt, 2);
    EXPECT_EQ(counts.afterRefusal, 0);
}

// A small command buffer refuses moves until earlier ones are done; the
// simulator's record file holds what the printer took, each package once, as
// the host sent it: a refused copy would hide a lost one.
TEST_F(SimPrint, FullBufferRefusalsLeaveEachPackageOnceInTheRecordFile)
{
    s3gsim::SimOptions options;
    options.recordPath = parts.dir.File("record.x3g");
    options.bufferBytes = 64;        // two moves
    options.moveSpeedFactor = 2000;  // a move of a second takes half a millisecond
    Start(options, 150);
    PrintToTheEnd();
    control().CloseCom();
    const s3gsim::SimPrinter& printer = sim->Stop();
    const std::vector<unsigned char> expected = linktest::ExpectedRecord(control().GetPrintList());
    const auto counts = control().GetResendCounts();
    EXPECT_GT(counts.afterRefusal, 10);  // the buffer was full, again and again
    EXPECT_EQ(counts.afterNoReply, 0);
    EXPECT_EQ(printer.Record(), expected);
    const std::string file = testsupport::ReadFile(options.recordPath);
    EXPECT_EQ(std::vector<unsigned char>(file.begin(), file.end()), expected);
}

TEST_F(SimPrint, SuspendStopsAfterThePackageInFlightAndRestorationContinues)
{
    Start(s3gsim::SimOptions{}, 1000);
    std::atomic<int> suspendedAt{-1};
    std::mutex m;
    std::condition_variable cv;
    watch.onReply = [&](ZELKMachineControl& c, const RECEIVEBUF&) {
        if (suspendedAt.load() < 0 && c.GetPrintIndex() >= 400) {
            c.SuspendPrint();
            std::lock_guard lock(m);
            suspendedAt = c.GetPrintIndex();
            cv.notify_all();
        }
    };
    control().StartPrint();
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 10s, [&] { return suspendedAt.load() >= 0; }));
    }
    // The package in flight was answered; its index step is the last one.
    // A temperature query and its answer: the worker went on, and sent
    // nothing of the print meanwhile.
    const int packets = sim->Stats().packets.load();
    const int replies = watch.Count();
    control().ChangePrintType_InquireExtruderTemperature();
    ASSERT_TRUE(watch.WaitForTypeAfter(zelk::kReplyExtruderTemperature, replies));
    EXPECT_EQ(sim->Stats().packets.load(), packets + 1);
    EXPECT_EQ(control().GetPrintIndex(), suspendedAt.load() + 1);
    EXPECT_EQ(control().IsMachinePrinting(), 0);

    control().RestorationPrint();
    ASSERT_TRUE(watch.WaitForType(7, 60000));
    control().CloseCom();
    EXPECT_EQ(sim->Stop().Record(), linktest::ExpectedRecord(control().GetPrintList()));
}

TEST_F(SimPrint, PositionAndVersionAnswersReachTheRecord)
{
    Start(s3gsim::SimOptions{}, 250);
    PrintToTheEnd();
    control().AddOperationPackage(ZELKMachineCodeBuild::GetPackage(0, {{2, 100}}));
    ASSERT_TRUE(watch.WaitForType(1));
    Package position;
    control().GetInquireMachineCoordinatePackage(position);
    control().AddOperationPackage(position);
    ASSERT_TRUE(watch.WaitForType(5));
    // The last move of the print is at Z 0.2 + 2 * 0.2 mm.
    EXPECT_NEAR(control().GetReceiveBuf().z, 0.6, 0.02);
}

TEST_F(SimPrint, VanishingPrinterIsLostOnceItsDeviceStaysAway)
{
    s3gsim::SimOptions options;
    options.hangupAfter = 150;
    Start(options, 1000);
    // Reopened by a name that is gone (as a printer's stable link is once it
    // is unplugged), so no other program's new pseudo-terminal can take the
    // simulator's place while the port is tried again.
    const std::string link = parts.dir.File("printer");
    ASSERT_EQ(::symlink(sim->DevicePath().c_str(), link.c_str()), 0);
    control().CloseCom();
    ASSERT_NE(control().OpenCom(link), 0) << control().GetComOpenErrorText();
    ::unlink(link.c_str());
    control().StartPrint();
    ASSERT_TRUE(lost.Wait());
    EXPECT_NE(lost.Reason().find("went away"), std::string::npos) << lost.Reason();
    EXPECT_EQ(control().GetPortRestartCount(), 1);
    EXPECT_EQ(control().IsComOpened(), 0);  // the device is gone for good
    EXPECT_GE(control().GetPrintIndex(), 140);
    EXPECT_LE(control().GetPrintIndex(), 150);
    const auto start = std::chrono::steady_clock::now();
    control().CloseCom();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}
