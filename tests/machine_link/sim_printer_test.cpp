// The simulator as a faithful test partner: reply lengths the reply parser
// classifies, heating, the queue behind the waits, the position, and its
// refusal of bad frames on the line.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "LinkTestFrames.h"
#include "MachinePackages.h"
#include "SimPrinter.h"
#include "SimThread.h"
#include "ZELKPlusCom.h"

using s3gsim::Bytes;
using s3gsim::SimPrinter;

namespace {

Bytes Ask(SimPrinter& printer, const Package& p, double nowS)
{
    return printer.Handle(p.Payload(), static_cast<std::size_t>(p.PayloadSize()), nowS);
}

Package Tool(int sub, int value)
{
    return ZELKMachineCodeBuild::GetPackage(136, {{1, 0}, {1, sub}, {1, 2}, {2, value}});
}

}  // namespace

TEST(SimPrinter, AnswersTheLengthsTheHostClassifies)
{
    SimPrinter printer(10);
    EXPECT_EQ(Ask(printer, ZELKMachineCodeBuild::GetPackage(0, {{2, 100}}), 0), (Bytes{0x81, 0xBE, 0x02}));
    EXPECT_EQ(Ask(printer, ZELKMachineCodeBuild::GetPackage(10, {{1, 0}, {1, 2}}), 0), (Bytes{0x81, 25, 0}));
    EXPECT_EQ(Ask(printer, ZELKMachineCodeBuild::GetPackage(11, {}), 0), (Bytes{0x81, 1}));  // nothing queued
    EXPECT_EQ(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 0).size(), 23u);       // 26-byte frame
    EXPECT_EQ(Ask(printer, ZELKMachineCodeBuild::GetPackage(137, {{1, 31}}), 0), (Bytes{0x81}));
}

TEST(SimPrinter, TemperaturesApproachTheirTargetsAtTheHeatRate)
{
    SimPrinter printer(10);
    Ask(printer, Tool(3, 225), 0);
    Ask(printer, Tool(31, 60), 0);
    EXPECT_DOUBLE_EQ(printer.ExtruderC(10), 125);
    EXPECT_DOUBLE_EQ(printer.PlatformC(10), 60);
    EXPECT_DOUBLE_EQ(printer.ExtruderC(100), 225);
    Ask(printer, Tool(3, 0), 100);  // off: cools to the room
    EXPECT_DOUBLE_EQ(printer.ExtruderC(110), 125);
}

TEST(SimPrinter, WaitForToolHoldsTheBuildUntilHot)
{
    SimPrinter printer(10);
    Ask(printer, Tool(3, 225), 0);
    Ask(printer, ZELKMachineCodeBuild::GetPackage(135, {{1, 0}, {2, 100}, {2, 65535}}), 0);
    Ask(printer, ZELKMachineCodeBuild::GetPackage(137, {{1, 31}}), 0);
    EXPECT_FALSE(printer.IsFinished(10));
    EXPECT_TRUE(printer.IsFinished(20));
    EXPECT_EQ(printer.ActionCount(), 3u);
}

TEST(SimPrinter, ExtendedStopClearsTheQueue)
{
    SimPrinter printer(1);
    Ask(printer, Tool(3, 225), 0);
    Ask(printer, ZELKMachineCodeBuild::GetPackage(135, {{1, 0}, {2, 100}, {2, 65535}}), 0);
    EXPECT_FALSE(printer.IsFinished(1));
    Ask(printer, ZELKMachineCodeBuild::GetPackage(22, {{1, 3}}), 1);
    EXPECT_TRUE(printer.IsFinished(1));
}

TEST(SimPrinter, PositionFollowsAbsoluteAndRelativeMoves)
{
    SimPrinter printer(1);
    Ask(printer, ZELKMachineCodeBuild::GetPackage(140, {{3, -100}, {3, 200}, {3, 300}, {3, 0}, {3, 0}}), 0);
    // 155: X Y Z absolute, A B relative (flags 24).
    const Package move = ZELKMachineCodeBuild::GetPackage(
        155, {{3, 10}, {3, 20}, {3, 30}, {3, -5}, {3, 0}, {3, 1000}, {1, 24}, {3, 0}, {2, 0}});
    Ask(printer, move, 0);
    Ask(printer, move, 0);
    const Bytes reply = Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 0);
    ASSERT_EQ(reply.size(), 23u);
    auto axis = [&](int i) {
        return static_cast<std::int32_t>(reply[1 + 4 * i] | (reply[2 + 4 * i] << 8) | (reply[3 + 4 * i] << 16) |
                                         (static_cast<std::uint32_t>(reply[4 + 4 * i]) << 24));
    };
    EXPECT_EQ(axis(0), 10);
    EXPECT_EQ(axis(2), 30);
    EXPECT_EQ(axis(3), -10);
}

namespace {

// A 155 move to X with the distance and feedrate fields as the translator
// writes them: 100 mm at 10 mm/s takes 10 s.
Package TimedMoveX(int xSteps)
{
    const float distance = 100.0f;
    std::int32_t bits = 0;
    std::memcpy(&bits, &distance, sizeof bits);
    return ZELKMachineCodeBuild::GetPackage(
        155, {{3, xSteps}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 1000}, {1, 24}, {3, bits}, {2, 10 * 64}});
}

std::int32_t AxisOf(const Bytes& positionReply, int i)
{
    return static_cast<std::int32_t>(positionReply[1 + 4 * i] | (positionReply[2 + 4 * i] << 8) |
                                     (positionReply[3 + 4 * i] << 16) |
                                     (static_cast<std::uint32_t>(positionReply[4 + 4 * i]) << 24));
}

}  // namespace

TEST(SimPrinter, TimedMovesRunOneAfterTheOtherAndAHaltStopsTheOneUnderWay)
{
    s3gsim::PrinterModel model;
    model.moveSpeedFactor = 2;  // 10 s moves take 5 s
    SimPrinter printer(model);
    Ask(printer, TimedMoveX(1000), 0);
    Ask(printer, TimedMoveX(3000), 1);  // queued behind the first
    Ask(printer, Tool(3, 200), 1);
    EXPECT_EQ(AxisOf(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 0), 0), 0);
    EXPECT_EQ(AxisOf(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 2.5), 0), 500);
    // The second starts when the first ends (5 s), not when it arrived.
    EXPECT_EQ(AxisOf(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 7.5), 0), 2000);
    EXPECT_FALSE(printer.IsFinished(7.5));

    // Halt only: the second move stops where it stands, the temperature behind it still runs.
    Ask(printer, ZELKMachineCodeBuild::GetPackage(22, {{1, 1}}), 7.5);
    EXPECT_EQ(AxisOf(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 20), 0), 2000);
    EXPECT_TRUE(printer.IsFinished(7.5));
    EXPECT_GT(printer.ExtruderC(100), 190);
    // Every payload was taken, the queries too, in order.
    ASSERT_EQ(printer.Received().size(), 8u);
    EXPECT_EQ(printer.Received()[6], (Bytes{22, 1}));
    EXPECT_EQ(printer.Received()[7], (Bytes{21}));
}

TEST(SimPrinter, HaltAndClearDropsTheQueueButHaltAloneKeepsIt)
{
    s3gsim::PrinterModel model;
    model.moveSpeedFactor = 1;
    SimPrinter printer(model);
    Ask(printer, TimedMoveX(1000), 0);
    Ask(printer, Tool(3, 200), 0);
    Ask(printer, ZELKMachineCodeBuild::GetPackage(22, {{1, 3}}), 5);
    EXPECT_EQ(AxisOf(Ask(printer, ZELKMachineCodeBuild::GetPackage(21, {}), 50), 0), 500);
    EXPECT_TRUE(printer.IsFinished(50));
    EXPECT_DOUBLE_EQ(printer.ExtruderC(100), SimPrinter::kAmbientC);  // the temperature was dropped

    // Without timed moves a move is done when it arrives: the halt finds none under way.
    SimPrinter instant(10);
    Ask(instant, TimedMoveX(1000), 0);
    Ask(instant, ZELKMachineCodeBuild::GetPackage(22, {{1, 1}}), 0);
    EXPECT_EQ(AxisOf(Ask(instant, ZELKMachineCodeBuild::GetPackage(21, {}), 0), 0), 1000);
}

// A pause freezes the move under way and everything behind it; the resume
// carries on where it stood, as if the pause had not been.
TEST(SimPrinter, PauseFreezesTheQueueAndResumeCarriesOnWhereItStood)
{
    s3gsim::PrinterModel model;
    model.moveSpeedFactor = 1;  // 10 s moves
    SimPrinter printer(model);
    const Package position = ZELKMachineCodeBuild::GetPackage(21, {});
    Ask(printer, TimedMoveX(1000), 0);
    Ask(printer, TimedMoveX(2000), 0);
    Ask(printer, zelk::PausePackage(), 5);
    EXPECT_TRUE(printer.IsPaused());
    EXPECT_EQ(AxisOf(Ask(printer, position, 5), 0), 500);
    EXPECT_EQ(AxisOf(Ask(printer, position, 100), 0), 500);
    EXPECT_FALSE(printer.IsFinished(100));
    Ask(printer, TimedMoveX(3000), 60);  // taken while paused, done after the others
    Ask(printer, zelk::PausePackage(), 200);
    EXPECT_FALSE(printer.IsPaused());
    EXPECT_EQ(AxisOf(Ask(printer, position, 205), 0), 1000);
    EXPECT_EQ(AxisOf(Ask(printer, position, 210), 0), 1500);
    EXPECT_FALSE(printer.IsFinished(224));
    EXPECT_TRUE(printer.IsFinished(225));
    EXPECT_EQ(AxisOf(Ask(printer, position, 225), 0), 3000);
    ASSERT_EQ(printer.PauseToggles().size(), 2u);
    EXPECT_EQ(printer.PauseToggles()[0].actionsBefore, 2u);
    EXPECT_EQ(printer.PauseToggles()[1].actionsBefore, 3u);
}

// A small command buffer refuses what does not fit (buffer full), records
// only what it took, and takes more as moves are done.
TEST(SimPrinter, FullBufferRefusesUntilMovesAreDone)
{
    s3gsim::PrinterModel model;
    model.moveSpeedFactor = 1;
    model.bufferBytes = 64;
    SimPrinter printer(model);
    const Package move = TimedMoveX(1000);
    const std::size_t size = static_cast<std::size_t>(move.PayloadSize());
    ASSERT_LE(2 * size, 64u);
    ASSERT_GT(3 * size, 64u);
    EXPECT_EQ(Ask(printer, move, 0), (Bytes{0x81}));
    EXPECT_EQ(Ask(printer, TimedMoveX(2000), 0), (Bytes{0x81}));
    EXPECT_EQ(Ask(printer, TimedMoveX(3000), 1), (Bytes{0x82}));
    EXPECT_EQ(printer.ActionCount(), 2u);
    EXPECT_EQ(Ask(printer, TimedMoveX(3000), 10), (Bytes{0x81}));  // the first move is done
    EXPECT_EQ(printer.ActionCount(), 3u);
}

TEST(SimPrinter, AnswersTheFirmwareVersionItIsGiven)
{
    s3gsim::PrinterModel model;
    model.firmwareVersion = 705;
    SimPrinter printer(model);
    EXPECT_EQ(Ask(printer, zelk::VersionQueryPackage(), 0), (Bytes{0x81, 0xC1, 0x02}));
}

TEST(SimServer, BadCrcOrLengthOnTheLineIsRefusedWith0x83)
{
    linktest::SimThread sim(s3gsim::SimOptions{});
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    struct Sink : ComReceive {
        std::mutex m;
        std::condition_variable cv;
        std::vector<Bytes> frames;
        void OnCommReceive(std::span<const unsigned char> frame) override
        {
            std::lock_guard lock(m);
            frames.emplace_back(frame.begin(), frame.end());
            cv.notify_all();
        }
    } sink;
    ZELKPlusCom port;
    port.SetReceiver(&sink);
    ASSERT_NE(port.Open(sim.DevicePath()), 0);
    const unsigned char badCrc[] = {0xD5, 0x01, 0x0B, 0x21};
    port.SendData(badCrc, sizeof badCrc);
    const unsigned char badLength[] = {0xD5, 0x40};
    port.SendData(badLength, sizeof badLength);
    std::unique_lock lock(sink.m);
    ASSERT_TRUE(sink.cv.wait_for(lock, std::chrono::seconds(5), [&] { return sink.frames.size() >= 2; }));
    EXPECT_EQ(sink.frames[0], linktest::Frame({0x83}));
    EXPECT_EQ(sink.frames[1], linktest::Frame({0x83}));
    lock.unlock();
    port.Close();
    EXPECT_EQ(sim.Stats().badFrames.load(), 2);
    EXPECT_EQ(sim.Stats().packets.load(), 0);
}
