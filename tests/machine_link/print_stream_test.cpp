// The print stream and the control mode on their own: the index the worker
// streams from, the pause the user asks for against the printer's, the pace
// of the is-finished queries, and the mode bits.
#include <gtest/gtest.h>

#include <thread>

#include "LinkMode.h"
#include "PrintStream.h"

using zelk::LinkMode;
using zelk::PrintStream;

namespace {

Package Command(int value)
{
    return ZELKMachineCodeBuild::GetPackage(137, {{1, value}});
}

std::vector<Package> ListOf(int count)
{
    std::vector<Package> list;
    for (int i = 0; i < count; ++i)
        list.push_back(Command(i));
    return list;
}

}  // namespace

TEST(PrintStream, PeekGivesThePackageAtTheIndexUntilEveryPackageIsOut)
{
    PrintStream stream;
    EXPECT_FALSE(stream.Peek().package.has_value());
    stream.ReplaceList(ListOf(3));
    EXPECT_EQ(stream.Size(), 3);
    for (int i = 0; i < 3; ++i) {
        const PrintStream::Next next = stream.Peek();
        ASSERT_TRUE(next.package.has_value());
        EXPECT_EQ(next.index, i);
        EXPECT_EQ(*next.package, Command(i));
        // Not taken yet: the same package again.
        EXPECT_EQ(stream.Peek().index, i);
        stream.Took(next.index);
    }
    const PrintStream::Next done = stream.Peek();
    EXPECT_EQ(done.index, 3);
    EXPECT_FALSE(done.package.has_value());
}

TEST(PrintStream, AnIndexSetAnewDuringTheWaitWins)
{
    PrintStream stream;
    stream.ReplaceList(ListOf(5));
    stream.Took(0);
    stream.Took(1);
    const PrintStream::Next inFlight = stream.Peek();
    EXPECT_EQ(inFlight.index, 2);
    // The print ends (or starts again) while the package's reply is awaited.
    stream.Rewind();
    stream.Took(inFlight.index);
    EXPECT_EQ(stream.Index(), 0);
    // A stale step from before the rewind does not move the new print either.
    stream.Took(0);
    stream.Took(0);
    EXPECT_EQ(stream.Index(), 1);
}

TEST(PrintStream, AListReplacedOrClearedKeepsTheIndexAndStopsAtItsEnd)
{
    PrintStream stream;
    stream.ReplaceList(ListOf(4));
    stream.Took(0);
    stream.Took(1);
    stream.Took(2);
    stream.ReplaceList(ListOf(2));
    EXPECT_EQ(stream.Index(), 3);
    EXPECT_FALSE(stream.Peek().package.has_value());
    stream.ClearList();
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_TRUE(stream.List().empty());
}

TEST(PrintStream, ReplacingTheListWhileTheWorkerReadsIt)
{
    PrintStream stream;
    stream.ReplaceList(ListOf(10));
    std::atomic<bool> done{false};
    std::thread worker([&] {
        while (!done.load()) {
            const PrintStream::Next next = stream.Peek();
            // Whatever list it read from, the package is that list's own.
            if (next.package) {
                EXPECT_EQ(next.package->Payload()[1], next.index);
            }
            stream.Took(next.index);
            if (!next.package)
                stream.Rewind();
        }
    });
    for (int i = 0; i < 200; ++i) {
        stream.ReplaceList(ListOf(1 + i % 7));
        stream.ClearList();
    }
    done = true;
    worker.join();
}

TEST(PrintStream, PauseTogglesUntilThePrinterFollowsTheUser)
{
    PrintStream stream;
    EXPECT_FALSE(stream.PauseToggleDue());
    stream.Pause();
    EXPECT_TRUE(stream.IsPaused());
    EXPECT_FALSE(stream.IsPrinterPaused());
    EXPECT_TRUE(stream.PauseToggleDue());
    EXPECT_TRUE(stream.PrinterToggled());
    EXPECT_TRUE(stream.IsPrinterPaused());
    EXPECT_FALSE(stream.PauseToggleDue());

    // Paused and resumed before the printer heard of the resume: one toggle.
    stream.Resume();
    stream.Pause();
    EXPECT_FALSE(stream.PauseToggleDue());
    stream.Resume();
    EXPECT_TRUE(stream.PauseToggleDue());
    EXPECT_FALSE(stream.PrinterToggled());
    EXPECT_FALSE(stream.PauseToggleDue());

    stream.Pause();
    stream.PrinterToggled();
    stream.ForgetPause();
    EXPECT_FALSE(stream.IsPaused());
    EXPECT_FALSE(stream.IsPrinterPaused());
    EXPECT_FALSE(stream.PauseToggleDue());
}

TEST(PrintStream, IsFinishedQueriesArePacedByThePollInterval)
{
    PrintStream stream;
    const auto now = PrintStream::Clock::now();
    EXPECT_LE(stream.FinishedQueryNotBefore(), now);
    stream.SetPollIntervalMs(40);
    stream.FinishedQuerySent(now);
    EXPECT_EQ(stream.FinishedQueryNotBefore(), now + std::chrono::milliseconds(40));
    stream.ResetPolls();
    EXPECT_EQ(stream.FinishedQueryNotBefore(), PrintStream::Clock::time_point{});
}

TEST(LinkMode, IdleOrPrintingDropsQueriesAndAFinishedBuildKeepsThem)
{
    LinkMode mode;
    EXPECT_EQ(mode.Get(), LinkMode::kIdle);
    mode.Ask(LinkMode::kPlatformQuery);
    mode.Ask(LinkMode::kExtruderQuery);
    EXPECT_EQ(mode.Get(), LinkMode::kIdle | LinkMode::kQueries);
    mode.Answered(LinkMode::kPlatformQuery);
    EXPECT_EQ(mode.Get(), LinkMode::kIdle | LinkMode::kExtruderQuery);

    mode.SetPrinting();
    EXPECT_EQ(mode.Get(), LinkMode::kPrinting);
    EXPECT_TRUE(mode.IsPrinting());
    mode.Ask(LinkMode::kExtruderQuery);
    mode.FinishBuild();
    EXPECT_EQ(mode.Get(), LinkMode::kIdle | LinkMode::kExtruderQuery);
    EXPECT_FALSE(mode.IsPrinting());

    // Only query bits are asked for or answered.
    mode.Ask(LinkMode::kPrinting);
    mode.Answered(LinkMode::kIdle);
    EXPECT_EQ(mode.Get(), LinkMode::kIdle | LinkMode::kExtruderQuery);
    mode.SetIdle();
    EXPECT_EQ(mode.Get(), LinkMode::kIdle);
}
