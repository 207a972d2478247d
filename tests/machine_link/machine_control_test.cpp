// The machine control against a printer played by hand on a pseudo-terminal:
// flow control, resends, queries, the operation list, restarts and shutdown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "LinkTestFrames.h"
#include "MachineControlFixture.h"
#include "MachinePackages.h"
#include "PtyPair.h"

using linktest::Frame;
using linktest::PtyPair;
using linktest::ReplyWatch;
using Bytes = std::vector<unsigned char>;
using namespace std::chrono_literals;

namespace {

Bytes FrameOf(const Package& p)
{
    return Bytes(p.data, p.data + p.size);
}

Package Command(int command, int value)
{
    return ZELKMachineCodeBuild::GetPackage(command, {{1, value}});
}

struct HandPrinted : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(pty.Ok());
        watch.Attach(control());
        lost.Attach(control());
        ASSERT_NE(control().OpenCom(pty.SlavePath()), 0) << control().GetComOpenErrorText();
    }
    ZELKMachineControl& control() { return *parts.control; }

    // The next frame the host sent; empty when none came within timeoutMs.
    Bytes NextFrame(int timeoutMs = 2000)
    {
        Bytes frame = pty.Read(2, timeoutMs);
        if (frame.size() < 2)
            return {};
        const Bytes rest = pty.Read(frame[1] + 1u, timeoutMs);
        frame.insert(frame.end(), rest.begin(), rest.end());
        return frame;
    }
    void Ack() { pty.Write(Frame({0x81})); }

    // Destroyed in reverse: the control (and its reader thread) before the
    // watch its callback uses, the device last.
    PtyPair pty;
    ReplyWatch watch;
    linktest::LostWatch lost;
    linktest::ControlParts parts;
};

Bytes Garbled(Bytes frame)
{
    frame.back() ^= 0x5A;
    return frame;
}

}  // namespace

TEST(MachineControlLists, InsertGoesInFrontInOrderAndAddAppends)
{
    linktest::ControlParts parts;
    ZELKMachineControl& c = *parts.control;
    const Package q = Command(137, 1), p1 = Command(137, 2), p2 = Command(137, 3);
    c.AddOperationPackage(q);
    c.InsertOperationPackage(std::vector<Package>{p1, p2});
    EXPECT_EQ(c.GetOperatePackList(), (std::vector<Package>{p1, p2, q}));
    c.RemoveOperatePackList();
    c.AddOperationPackage(q);
    c.AddOperationPackage(std::vector<Package>{p1, p2});
    EXPECT_EQ(c.GetOperatePackList(), (std::vector<Package>{q, p1, p2}));
}

TEST(MachineControlLists, EndPrintWhileIdleKeepsTheQueueAndThePrintModeRules)
{
    linktest::ControlParts parts;
    ZELKMachineControl& c = *parts.control;
    c.AddOperationPackage(Command(137, 1));
    c.EndPrint();
    EXPECT_EQ(c.GetOperatePackList().size(), 1u);
    EXPECT_EQ(c.GetControlMode(), 1);

    c.StartPrint();
    EXPECT_NE(c.IsMachinePrinting(), 0);
    c.EndPrint();
    EXPECT_EQ(c.IsMachinePrinting(), 0);
    EXPECT_TRUE(c.GetOperatePackList().empty());
}

TEST(MachineControlLists, QueryRequestsAddBitsThatStartPrintDrops)
{
    linktest::ControlParts parts;
    ZELKMachineControl& c = *parts.control;
    c.ChangePrintType_InquireExtruderTemperature();
    c.ChangePrintType_InquirePlatformTemperature();
    EXPECT_EQ(c.GetControlMode(), 1 | 4 | 8);
    c.StartPrint();
    EXPECT_EQ(c.GetControlMode(), 2);
}

TEST(MachineControlLists, M1LineStillGivesTheIsFinishedQuery)
{
    linktest::ControlParts parts;
    Package out;
    EXPECT_EQ(parts.control->GCodeParser(std::string("M1"), out), 1);
    EXPECT_EQ(FrameOf(out), (Bytes{0xD5, 0x01, 0x0B, 0x20}));
}

TEST(MachineControlOpen, UnopenablePortStartsNoWorkerAndSaysWhy)
{
    linktest::ControlParts parts;
    EXPECT_EQ(parts.control->OpenCom("/dev/ttyUSB-not-there"), 0);
    EXPECT_EQ(parts.control->IsComOpened(), 0);
    EXPECT_NE(parts.control->GetComOpenErrorText().find("does not exist"), std::string::npos);
    parts.control->CloseCom();
}

TEST_F(HandPrinted, OperationsGoOutOneAtATimeEachAfterTheReply)
{
    const Package a = Command(137, 1), b = Command(137, 2);
    control().AddOperationPackage(std::vector<Package>{a, b});
    EXPECT_EQ(NextFrame(), FrameOf(a));
    EXPECT_TRUE(NextFrame(30).empty());  // nothing more until a is answered
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 0);
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(b));
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 1);
    Ack();
    ASSERT_TRUE(watch.WaitForCount(2));
    control().CloseCom();
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 0);
}

TEST_F(HandPrinted, TheWorkerReadsItsOwnRepliesAndTheReaderThreadWhatComesWhileItSleeps)
{
    std::mutex m;
    std::vector<std::thread::id> threads;
    watch.onReply = [&](ZELKMachineControl&, const RECEIVEBUF&) {
        std::lock_guard lock(m);
        threads.push_back(std::this_thread::get_id());
    };
    const Package a = Command(137, 1), b = Command(137, 2);
    control().AddOperationPackage(std::vector<Package>{a, b});
    EXPECT_EQ(NextFrame(), FrameOf(a));
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(b));
    Ack();
    ASSERT_TRUE(watch.WaitForCount(2));
    // Nothing left to send: a reply that comes anyway is still read, by the
    // port's reader thread, and reaches the callback.
    Ack();
    ASSERT_TRUE(watch.WaitForCount(3));
    std::lock_guard lock(m);
    ASSERT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads[0], threads[1]);
    EXPECT_NE(threads[2], threads[0]);
    EXPECT_NE(threads[0], std::this_thread::get_id());
    EXPECT_NE(threads[2], std::this_thread::get_id());
}

TEST_F(HandPrinted, RefusedPackageIsSentAgainAtOnceThenBacksOff)
{
    control().SetPollIntervalMs(60000);
    const Package a = Command(137, 1), b = Command(137, 2);
    control().AddOperationPackage(std::vector<Package>{a, b});
    EXPECT_EQ(NextFrame(), FrameOf(a));
    pty.Write(Frame({0x82}));
    EXPECT_EQ(NextFrame(), FrameOf(a));
    pty.Write(Frame({0x82}));
    EXPECT_TRUE(NextFrame(100).empty());  // refused again: not back to back
}

TEST_F(HandPrinted, IsFinishedPollsArePacedWhileTemperatureQueriesGoAtOnce)
{
    control().SetPollIntervalMs(60000);
    control().StartPrint();  // empty list: is-finished queries
    EXPECT_EQ(NextFrame(), FrameOf(zelk::IsFinishedPackage()));
    pty.Write(Frame({0x81, 0x00}));
    EXPECT_TRUE(NextFrame(100).empty());
    control().ChangePrintType_InquireExtruderTemperature();
    EXPECT_EQ(NextFrame(), FrameOf(zelk::ExtruderTemperatureQueryPackage()));
    pty.Write(Frame({0x81, 0xE6, 0x00}));
    EXPECT_TRUE(NextFrame(100).empty());
    EXPECT_NE(control().IsMachinePrinting(), 0);
}

TEST_F(HandPrinted, UnrecognisedRepliesAnswerNothing)
{
    // After a finished reply, frames of shapes the host does not know must not
    // pass for that reply again.
    control().AddOperationPackage(zelk::IsFinishedPackage());
    EXPECT_EQ(NextFrame(), FrameOf(zelk::IsFinishedPackage()));
    pty.Write(Frame({0x81, 0x01}));
    ASSERT_TRUE(watch.WaitForType(7));
    const Package a = Command(137, 1), b = Command(137, 2);
    control().AddOperationPackage(std::vector<Package>{a, b});
    EXPECT_EQ(NextFrame(), FrameOf(a));
    const Bytes unknown[] = {Frame({0x81, 0x05}), Frame({0x81, 1, 2, 3}), Frame({0x84, 0x1E, 0x00})};
    for (const Bytes& frame : unknown) {
        pty.Write(frame);
        EXPECT_TRUE(NextFrame(100).empty()) << "answered by a " << frame.size() << "-byte frame";
    }
    EXPECT_EQ(watch.Count(), 1);
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(b));
    EXPECT_NE(parts.LogText().find("Unrecognised reply ignored: D5 02 81 05"), std::string::npos);
}

TEST_F(HandPrinted, GarbledReplyEndsTheWaitAtOnceAndOnlyAnActionsResendIsLogged)
{
    control().SetReplyTimeoutMs(60000);  // only the garbled reply can end a wait in time
    struct Case {
        Package package;
        Bytes reply;
        bool resentLogged;
    };
    const Case cases[] = {
        {zelk::ExtruderTemperatureQueryPackage(), Frame({0x81, 0xE6, 0x00}), false},
        {Command(137, 1), Frame({0x81}), true},
    };
    int replies = 0;
    for (const Case& c : cases) {
        control().AddOperationPackage(c.package);
        EXPECT_EQ(NextFrame(), FrameOf(c.package));
        pty.Write(Garbled(c.reply));
        EXPECT_EQ(NextFrame(), FrameOf(c.package));  // the same package again
        pty.Write(c.reply);
        ASSERT_TRUE(watch.WaitForCount(++replies));
        EXPECT_EQ(parts.LogText().find("resent") != std::string::npos, c.resentLogged);
    }
    EXPECT_TRUE(NextFrame(100).empty());
    EXPECT_EQ(control().GetPortRestartCount(), 0);
}

TEST_F(HandPrinted, EmptyPackageCountsAsAcknowledgedWithoutWaiting)
{
    const Package b = Command(137, 2);
    control().AddOperationPackage(std::vector<Package>{Package{}, b});
    EXPECT_EQ(NextFrame(), FrameOf(b));
}

TEST_F(HandPrinted, PackageInsertedDuringTheWaitIsKeptAndTheSentOneRemoved)
{
    const Package a = Command(137, 1), stop = zelk::ExtendedStopPackage();
    control().AddOperationPackage(a);
    EXPECT_EQ(NextFrame(), FrameOf(a));
    control().InsertOperationPackage(stop);
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(stop));
    Ack();
    EXPECT_TRUE(NextFrame(30).empty());  // a is not sent twice
}

TEST_F(HandPrinted, EmptyPrintAsksIsFinishedUntilTheBuildIsDone)
{
    control().StartPrint();
    EXPECT_EQ(NextFrame(), (Bytes{0xD5, 0x01, 0x0B, 0x20}));
    pty.Write(Frame({0x81, 0x00}));
    EXPECT_EQ(NextFrame(), (Bytes{0xD5, 0x01, 0x0B, 0x20}));
    pty.Write(Frame({0x81, 0x01}));
    ASSERT_TRUE(watch.WaitForType(7));
    ASSERT_TRUE(watch.WaitForMode([](int mode) { return mode == 1; }));
    EXPECT_TRUE(NextFrame(30).empty());
}

TEST_F(HandPrinted, TemperatureQueriesGoAheadOfTheNextPrintPackage)
{
    control().StartPrint();  // empty list: is-finished queries
    control().AddOperationPackage(Command(137, 1));  // held while printing
    EXPECT_EQ(NextFrame(), (Bytes{0xD5, 0x01, 0x0B, 0x20}));
    control().ChangePrintType_InquireExtruderTemperature();
    control().ChangePrintType_InquirePlatformTemperature();
    pty.Write(Frame({0x81, 0x00}));
    EXPECT_EQ(NextFrame(), FrameOf(zelk::PlatformTemperatureQueryPackage()));
    EXPECT_EQ(control().GetIsInquirePlatformTemperature(), 1);
    pty.Write(Frame({0x81, 0x46, 0x00}));
    EXPECT_EQ(NextFrame(), FrameOf(zelk::ExtruderTemperatureQueryPackage()));
    pty.Write(Frame({0x81, 0xE6, 0x00}));
    EXPECT_EQ(NextFrame(), (Bytes{0xD5, 0x01, 0x0B, 0x20}));
    const RECEIVEBUF r = control().GetReceiveBuf();
    EXPECT_EQ(r.platformTemperature, 70);
    EXPECT_EQ(r.extruderTemperature, 230);
    EXPECT_EQ(control().GetControlMode(), 2);
    EXPECT_EQ(control().GetIsInquirePlatformTemperature(), 0);
}

TEST_F(HandPrinted, SilentPrinterRestartsThePortLogsAndSendsTheSamePackageAgain)
{
    control().SetReplyTimeoutMs(400);  // five of them after the restart leave the test time to answer
    const Package a = Command(137, 1);
    control().AddOperationPackage(a);
    EXPECT_EQ(NextFrame(), FrameOf(a));
    ASSERT_TRUE(control().WaitForPortRestarts(1, 5000));
    EXPECT_EQ(NextFrame(), FrameOf(a));  // after the reopen, the same package
    Ack();
    ASSERT_TRUE(watch.WaitForCount(1));
    EXPECT_NE(control().IsComOpened(), 0);
    EXPECT_FALSE(control().IsPrinterLost());
    const std::string log = parts.LogText();
    EXPECT_NE(log.find("ZELKMachineControl:96 Restart COM!"), std::string::npos);
    EXPECT_NE(log.find("Package resent (command 137)"), std::string::npos);
}

TEST_F(HandPrinted, CloseDuringAReplyWaitReturnsPromptly)
{
    control().SetReplyTimeoutMs(20000);
    control().AddOperationPackage(Command(137, 1));
    ASSERT_FALSE(NextFrame().empty());
    const auto start = std::chrono::steady_clock::now();
    control().CloseCom();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(control().IsComOpened(), 0);
    EXPECT_EQ(control().GetOperatePackList().size(), 1u);  // unanswered: still queued
    EXPECT_EQ(control().GetPortRestartCount(), 0);
}

TEST_F(HandPrinted, VanishedDeviceRestartsAtOnceAndIsLostWhenItDoesNotComeBack)
{
    // Opened through a link, as a printer's stable name is: once the device
    // and its link have gone, no other program's new pseudo-terminal can take
    // its place while the port is tried again.
    control().CloseCom();
    const std::string link = parts.dir.File("printer");
    ASSERT_EQ(::symlink(pty.SlavePath().c_str(), link.c_str()), 0);
    ASSERT_NE(control().OpenCom(link), 0) << control().GetComOpenErrorText();
    control().SetReplyTimeoutMs(20000);
    control().AddOperationPackage(Command(137, 1));
    ASSERT_FALSE(NextFrame().empty());
    Ack();
    ASSERT_TRUE(watch.WaitForCount(1));
    control().AddOperationPackage(Command(137, 2));
    ASSERT_FALSE(NextFrame().empty());
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 1);  // set before the worker went on
    ::unlink(link.c_str());
    pty.Hangup();
    // Not after 5 x 20 s: the hang-up wakes the worker.
    ASSERT_TRUE(control().WaitForPortRestarts(1, 5000));
    ASSERT_TRUE(lost.Wait());
    EXPECT_NE(lost.Reason().find("went away"), std::string::npos) << lost.Reason();
    EXPECT_EQ(control().IsComOpened(), 0);
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 0);
    EXPECT_EQ(control().GetPortRestartCount(), 1);
    const auto start = std::chrono::steady_clock::now();
    control().CloseCom();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(lost.Count(), 1);  // the worker has ended: no second report can come
}

// The printer's position answer puts the translator where the printer
// stands: the next move is translated from there.
TEST_F(HandPrinted, PositionAnswerSetsTheTranslatorsPosition)
{
    Package out;
    control().GCodeParser(std::string("G92 X0 Y0 Z0 A0 B0"), out);
    control().GCodeParser(std::string("G1 X50 F5000"), out);
    control().AddOperationPackage(zelk::MachineCoordinateQueryPackage());
    EXPECT_EQ(NextFrame(), FrameOf(zelk::MachineCoordinateQueryPackage()));
    // X 1000, Y -20, Z 300, A 999, B 0 steps, end stops.
    pty.Write(Frame({0x81, 0xE8, 0x03, 0, 0, 0xEC, 0xFF, 0xFF, 0xFF, 0x2C, 0x01, 0, 0, 0xE7, 0x03, 0, 0, 0, 0, 0, 0,
                     0, 0}));
    ASSERT_TRUE(watch.WaitForType(5));
    const double spm = parts.machine.GetStepsPerMM().Axis_X();
    const CPoint5D at = control().GetTranslatorPosition();
    EXPECT_DOUBLE_EQ(at.Axis_X(), 1000 / spm);
    EXPECT_DOUBLE_EQ(at.Axis_Y(), -20 / spm);
    EXPECT_DOUBLE_EQ(at.Axis_Z(), 300 / parts.machine.GetStepsPerMM().Axis_Z());
    EXPECT_EQ(at.Axis_A(), 0.0);  // the filament count is the translator's own

    // Back to X 0: a move of 1000 steps' length, to target step 0.
    control().GCodeParser(std::string("G1 X0 Y0 Z0"), out);
    ASSERT_EQ(out.Payload()[0], 155);
    std::int32_t x = 0;
    std::memcpy(&x, out.Payload() + 1, sizeof x);
    float distance = 0;
    std::memcpy(&distance, out.Payload() + 26, sizeof distance);
    EXPECT_EQ(x, 0);
    const double expected = std::sqrt(1000.0 * 1000 + 20 * 20 + 300 * 300) / spm;
    EXPECT_NEAR(distance, expected, 1e-3);
}

TEST_F(HandPrinted, SilentPrinterIsLostAfterOneRestartAndCanBeOpenedAgain)
{
    control().SetReplyTimeoutMs(2);
    control().StartPrint();  // empty list: is-finished queries
    const Package a = Command(137, 1);
    control().AddOperationPackage(a);
    EXPECT_EQ(NextFrame(), FrameOf(zelk::IsFinishedPackage()));
    EXPECT_EQ(NextFrame(), FrameOf(zelk::IsFinishedPackage()));  // after the restart
    ASSERT_TRUE(lost.Wait());
    EXPECT_NE(lost.Reason().find("does not answer"), std::string::npos) << lost.Reason();
    EXPECT_TRUE(control().IsPrinterLost());
    EXPECT_EQ(control().GetPrinterLostReason(), lost.Reason());
    EXPECT_EQ(control().GetPortRestartCount(), 1);
    EXPECT_EQ(control().IsComOpened(), 0);
    EXPECT_EQ(control().IsMachinePrinting(), 0);
    EXPECT_TRUE(control().GetOperatePackList().empty());
    EXPECT_TRUE(NextFrame(30).empty());
    EXPECT_NE(parts.LogText().find("Printer lost"), std::string::npos);

    control().SetReplyTimeoutMs(2000);
    ASSERT_NE(control().OpenCom(pty.SlavePath()), 0);
    EXPECT_FALSE(control().IsPrinterLost());
    control().AddOperationPackage(a);
    EXPECT_EQ(NextFrame(), FrameOf(a));
    Ack();
    ASSERT_TRUE(watch.WaitForCount(1));
    EXPECT_EQ(lost.Count(), 1);
}

TEST_F(HandPrinted, SuspendKeepsThePlaceAndRestorationContinuesThere)
{
    // A print list from a G-code file of three moves.
    const std::string gcode = parts.dir.File("p.gcode");
    testsupport::WriteFile(gcode, "G1 X1 Y1 Z1 F1000 E1\nG1 X2 Y2 Z1 F1000 E2\nG1 X3 Y3 Z1 F1000 E3\n");
    control().GCodeParser(gcode.c_str());
    const std::vector<Package> list = control().GetPrintList().ToVector();
    ASSERT_EQ(list.size(), 3u);
    control().StartPrint();
    EXPECT_EQ(NextFrame(), FrameOf(list[0]));
    control().SuspendPrint();
    Ack();
    EXPECT_TRUE(NextFrame(30).empty());
    EXPECT_EQ(control().GetPrintIndex(), 1);
    control().RestorationPrint();
    EXPECT_EQ(NextFrame(), FrameOf(list[1]));
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(list[2]));
}

// Every package that goes out again is counted by why: a refused one was not
// taken (harmless), one whose reply was lost or garbled may have been, and
// only an action is then in doubt.
TEST_F(HandPrinted, ResendsAreCountedByWhyAndOnlyActionsAfterALostReplyAreInDoubt)
{
    control().SetReplyTimeoutMs(60000);  // only the replies written here end a wait
    const Package move = Command(137, 1);
    control().AddOperationPackage(move);
    EXPECT_EQ(NextFrame(), FrameOf(move));
    pty.Write(Frame({0x82}));  // buffer full
    EXPECT_EQ(NextFrame(), FrameOf(move));
    Ack();
    ASSERT_TRUE(watch.WaitForCount(2));
    auto counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterRefusal, 1);
    EXPECT_EQ(counts.afterNoReply, 0);
    EXPECT_EQ(counts.actionsInDoubt, 0);

    const Package query = zelk::ExtruderTemperatureQueryPackage();
    control().AddOperationPackage(query);
    EXPECT_EQ(NextFrame(), FrameOf(query));
    pty.Write(Garbled(Frame({0x81, 0xE6, 0x00})));
    EXPECT_EQ(NextFrame(), FrameOf(query));
    pty.Write(Frame({0x81, 0xE6, 0x00}));
    ASSERT_TRUE(watch.WaitForCount(3));
    counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterNoReply, 1);
    EXPECT_EQ(counts.actionsInDoubt, 0);

    const Package other = Command(137, 2);
    control().AddOperationPackage(other);
    EXPECT_EQ(NextFrame(), FrameOf(other));
    pty.Write(Garbled(Frame({0x81})));
    EXPECT_EQ(NextFrame(), FrameOf(other));
    Ack();
    ASSERT_TRUE(watch.WaitForCount(4));
    counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterRefusal, 1);
    EXPECT_EQ(counts.afterNoReply, 2);
    EXPECT_EQ(counts.actionsInDoubt, 1);

    // A new connection counts afresh.
    control().CloseCom();
    ASSERT_NE(control().OpenCom(pty.SlavePath()), 0);
    counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterRefusal + counts.afterNoReply + counts.actionsInDoubt, 0);
}

// The temperature queries go ahead of the print package whose reply was
// garbled; its resend after them is still one in doubt, counted and logged.
TEST_F(HandPrinted, QueriesAheadOfAResendDoNotHideIt)
{
    control().SetReplyTimeoutMs(60000);
    const std::string gcode = parts.dir.File("p.gcode");
    testsupport::WriteFile(gcode, "G1 X1 Y1 Z1 F1000 E1\nG1 X2 Y2 Z1 F1000 E2\n");
    control().GCodeParser(gcode.c_str());
    const std::vector<Package> list = control().GetPrintList().ToVector();
    ASSERT_EQ(list.size(), 2u);
    control().StartPrint();
    EXPECT_EQ(NextFrame(), FrameOf(list[0]));
    control().ChangePrintType_InquireExtruderTemperature();
    pty.Write(Garbled(Frame({0x81})));
    EXPECT_EQ(NextFrame(), FrameOf(zelk::ExtruderTemperatureQueryPackage()));
    pty.Write(Frame({0x81, 0xE6, 0x00}));
    EXPECT_EQ(NextFrame(), FrameOf(list[0]));
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(list[1]));
    Ack();
    ASSERT_TRUE(watch.WaitForCount(3));
    const auto counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterNoReply, 1);
    EXPECT_EQ(counts.actionsInDoubt, 1);
    EXPECT_NE(parts.LogText().find("Package resent (command 155)"), std::string::npos) << parts.LogText();
}

// A print stopped while its package waited for a resend gives that package
// up: neither the stop's own packages nor the same package in a new print
// are resends.
TEST_F(HandPrinted, PackageGivenUpByAStopIsNoResend)
{
    control().SetReplyTimeoutMs(60000);
    control().SetPollIntervalMs(60000);  // one is-finished query at the end
    const std::string gcode = parts.dir.File("p.gcode");
    testsupport::WriteFile(gcode, "G1 X1 Y1 Z1 F1000 E1\n");
    control().GCodeParser(gcode.c_str());
    const Package first = control().GetPrintList().at(0);
    control().StartPrint();
    EXPECT_EQ(NextFrame(), FrameOf(first));
    control().StopPrintAndHomeZ();
    pty.Write(Garbled(Frame({0x81})));
    EXPECT_EQ(NextFrame(), FrameOf(zelk::ExtendedStopPackage()));
    Ack();
    const Bytes home = NextFrame();
    ASSERT_GT(home.size(), 2u);
    EXPECT_EQ(home[2], 132);  // Z homed to its top
    Ack();
    ASSERT_TRUE(watch.WaitForCount(2));
    EXPECT_TRUE(NextFrame(30).empty());

    control().StartPrint();
    EXPECT_EQ(NextFrame(), FrameOf(first));
    Ack();
    EXPECT_EQ(NextFrame(), FrameOf(zelk::IsFinishedPackage()));
    const auto counts = control().GetResendCounts();
    EXPECT_EQ(counts.afterRefusal + counts.afterNoReply + counts.actionsInDoubt, 0);
}
