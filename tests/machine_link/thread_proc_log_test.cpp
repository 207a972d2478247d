// The thread wrapper's contract and the log file's entries.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "TempDir.h"
#include "ZELKFileLog.h"
#include "ZELKThreadProc.h"

namespace {

// A routine that runs until released.
struct Gate {
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
    std::atomic<int> runs{0};

    static unsigned long Routine(void* parameter)
    {
        auto* gate = static_cast<Gate*>(parameter);
        ++gate->runs;
        std::unique_lock lock(gate->mutex);
        gate->cv.wait(lock, [&] { return gate->open; });
        return 0;
    }
    void Open()
    {
        std::lock_guard lock(mutex);
        open = true;
        cv.notify_all();
    }
};

}  // namespace

TEST(ThreadProc, NeedsAStartRoutine)
{
    ZELKThreadProc thread(nullptr);
    EXPECT_FALSE(thread.BeginThread());
    EXPECT_FALSE(thread.IsThreadRunning());
    EXPECT_TRUE(thread.EndThread(0));  // no thread: nothing to end
}

TEST(ThreadProc, EndWaitsForTheRoutineAndReportsOneStillRunning)
{
    Gate gate;
    ZELKThreadProc thread(&gate);
    EXPECT_EQ(thread.SetTechFun(&Gate::Routine), 1);
    ASSERT_TRUE(thread.BeginThread());
    EXPECT_TRUE(thread.BeginThread());  // already running: no second thread
    EXPECT_TRUE(thread.IsThreadRunning());
    EXPECT_FALSE(thread.SuspendThread());
    EXPECT_FALSE(thread.EndThread(5));  // still running, and kept
    EXPECT_TRUE(thread.IsThreadRunning());
    gate.Open();
    EXPECT_TRUE(thread.EndThread(ZELKThreadProc::kWaitForever));
    EXPECT_FALSE(thread.IsThreadRunning());
    EXPECT_EQ(gate.runs.load(), 1);
    ASSERT_TRUE(thread.BeginThread());  // can start again
    EXPECT_TRUE(thread.EndThread(ZELKThreadProc::kWaitForever));
    EXPECT_EQ(gate.runs.load(), 2);
}

// A callable routine runs in place of the start routine, and a start
// routine set after it takes its place again.
TEST(ThreadProc, ACallableRoutineReplacesTheStartRoutineAndIsReplacedByOne)
{
    Gate gate;
    ZELKThreadProc thread(&gate);
    std::atomic<int> callableRuns{0};
    EXPECT_EQ(thread.SetTechFun(std::function<void()>([&] { ++callableRuns; })), 1);
    ASSERT_TRUE(thread.BeginThread());
    EXPECT_TRUE(thread.EndThread(ZELKThreadProc::kWaitForever));
    EXPECT_EQ(callableRuns.load(), 1);
    EXPECT_EQ(gate.runs.load(), 0);

    thread.SetTechFun(&Gate::Routine);
    gate.Open();
    ASSERT_TRUE(thread.BeginThread());
    EXPECT_TRUE(thread.EndThread(ZELKThreadProc::kWaitForever));
    EXPECT_EQ(gate.runs.load(), 1);
    EXPECT_EQ(callableRuns.load(), 1);

    EXPECT_EQ(thread.SetTechFun(std::function<void()>()), 1);  // an empty callable is no routine
    EXPECT_FALSE(thread.BeginThread());
}

TEST(FileLog, EntriesAreAppendedWithSourceLineLevelAndMessage)
{
    testsupport::TempDir dir;
    const std::string path = dir.File("morvadin.log");
    {
        ZELKFileLog log(path);
        EXPECT_EQ(log.Write("ZELKMachineControl", 96, 1, "Restart COM!"), 1);
    }
    ZELKFileLog again(path);  // a later run appends
    EXPECT_EQ(again.Write("Other", 7, 2, "second"), 1);
    const std::string text = testsupport::ReadFile(path);
    const auto first = text.find("[warning] ZELKMachineControl:96 Restart COM!");
    const auto second = text.find("[error] Other:7 second");
    ASSERT_NE(first, std::string::npos) << text;
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_LT(first, second);
}

TEST(FileLog, UnwritableFileGivesZeroInsteadOfThrowing)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("plain-file"), "x");  // no folder can be made under it
    ZELKFileLog log(dir.File("plain-file/morvadin.log"));
    EXPECT_EQ(log.Write("ZELKMachineControl", 96, 1, "Restart COM!"), 0);
}
