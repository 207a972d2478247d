// The reply exchange without a port: a fake line answers each package as a
// test tells it to (at once from the writer, from another thread, or not at
// all), and the exchange says how the wait ended, whether the package goes
// again, and counts the resends.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MachinePackages.h"
#include "ReplyExchange.h"
#include "S3GCommands.h"
#include "TempDir.h"
#include "ZELKFileLog.h"

using zelk::ReplyExchange;
using Outcome = zelk::ReplyExchange::Outcome;
using Next = zelk::ReplyExchange::Next;
using namespace std::chrono_literals;

namespace {

// What the printer does with the next package written.
enum class Answer { Ack, Refuse, Garble, Nothing, HangUp };

struct FakeLine : ::testing::Test {
    FakeLine()
    {
        exchange.SetReplyTimeoutMs(20000);  // a wait that runs out fails the test's own limit
    }
    // Answers from the writer, on the worker's thread, before the wait begins.
    void Write(const Package& package)
    {
        written.push_back(package);
        const Answer answer = answers.empty() ? Answer::Nothing : answers.front();
        if (!answers.empty())
            answers.pop_front();
        switch (answer) {
        case Answer::Ack: exchange.OnReply(false); break;
        case Answer::Refuse: exchange.OnReply(true); break;
        case Answer::Garble: exchange.OnUnreadableReply(); break;
        case Answer::HangUp: exchange.OnHangup(); break;
        case Answer::Nothing: break;
        }
    }
    std::string LogText() const { return testsupport::ReadFile(log.GetPath()); }

    testsupport::TempDir dir;
    ZELKFileLog log{dir.File("link.log")};
    std::atomic<bool> stop{false};
    std::deque<Answer> answers;
    std::vector<Package> written;
    ReplyExchange exchange{[this](const Package& p) { Write(p); }, stop, &log};
};

Package Move(int x)
{
    return ZELKMachineCodeBuild::GetPackage(zelk::s3g::kCmdQueueAcceleratedPoint,
                                            {{3, x}, {3, 0}, {3, 0}, {3, 0}, {3, 0}, {3, 1000}, {1, 0}, {2, 0}, {2, 0}});
}

}  // namespace

TEST_F(FakeLine, AnAnsweredPackageIsDoneAndCountsNothing)
{
    answers = {Answer::Ack};
    const ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Answered);
    EXPECT_EQ(r.next, Next::Done);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], Move(1));
    const zelk::ResendCounts c = exchange.Counts();
    EXPECT_EQ(c.afterRefusal + c.afterNoReply + c.actionsInDoubt, 0);
}

TEST_F(FakeLine, EmptyPackageGoesNowhereAndIsDone)
{
    const ReplyExchange::Result r = exchange.Send(Package{});
    EXPECT_EQ(r.next, Next::Done);
    EXPECT_TRUE(written.empty());
}

TEST_F(FakeLine, RefusalsAreSentAgainFirstAtOnceThenBackingOff)
{
    exchange.SetBackOffLimitMs(80);
    answers = {Answer::Refuse, Answer::Refuse, Answer::Refuse, Answer::Ack};
    const auto before = ReplyExchange::Clock::now();
    ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.next, Next::SendAgain);
    EXPECT_LE(exchange.SendNotBefore(), before) << "the first resend waits for nothing";

    r = exchange.Send(Move(1));
    EXPECT_EQ(r.next, Next::SendAgain);
    const auto second = exchange.SendNotBefore();
    EXPECT_GT(second, before + 5ms);   // 80 / 8 = 10 ms
    EXPECT_LE(second, ReplyExchange::Clock::now() + 10ms);

    r = exchange.Send(Move(1));
    EXPECT_GT(exchange.SendNotBefore(), second + 10ms);  // doubled: 20 ms
    EXPECT_EQ(exchange.Send(Move(1)).next, Next::Done);
    EXPECT_EQ(exchange.Counts().afterRefusal, 3);
    EXPECT_EQ(exchange.Counts().afterNoReply, 0);
    EXPECT_EQ(exchange.Counts().actionsInDoubt, 0);
}

TEST_F(FakeLine, ABackOffNeverPassesItsLimit)
{
    exchange.SetBackOffLimitMs(40);
    for (int i = 0; i < 8; ++i) {
        answers = {Answer::Refuse};
        exchange.Send(Move(1));
        EXPECT_LE(exchange.SendNotBefore(), ReplyExchange::Clock::now() + 40ms) << "refusal " << i + 1;
    }
}

TEST_F(FakeLine, NoReplyThroughEveryWaitMakesThePrinterSilent)
{
    exchange.SetReplyTimeoutMs(2);
    const auto before = ReplyExchange::Clock::now();
    const ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Unanswered);
    EXPECT_EQ(r.next, Next::PrinterSilent);
    EXPECT_GE(ReplyExchange::Clock::now() - before, std::chrono::milliseconds(2 * ReplyExchange::kReplyWaits));

    // The same action again is in doubt: the printer may have taken it.
    answers = {Answer::Ack};
    EXPECT_EQ(exchange.Send(Move(1)).next, Next::Done);
    EXPECT_EQ(exchange.Counts().afterNoReply, 1);
    EXPECT_EQ(exchange.Counts().actionsInDoubt, 1);
    EXPECT_NE(LogText().find("Package resent (command 155)"), std::string::npos) << LogText();
}

TEST_F(FakeLine, AQueryAskedAgainIsNoActionInDoubt)
{
    exchange.SetReplyTimeoutMs(1);
    exchange.Send(zelk::IsFinishedPackage());
    answers = {Answer::Ack};
    exchange.Send(zelk::IsFinishedPackage());
    EXPECT_EQ(exchange.Counts().afterNoReply, 1);
    EXPECT_EQ(exchange.Counts().actionsInDoubt, 0);
}

TEST_F(FakeLine, QueriesMayGoAheadOfAResendButAnotherActionGivesItUp)
{
    exchange.SetReplyTimeoutMs(1);
    exchange.Send(Move(1));  // unanswered
    answers = {Answer::Ack, Answer::Ack, Answer::Ack};
    exchange.Send(zelk::ExtendedStopPackage());  // repeatable: the resend stays pending
    exchange.Send(Move(1));
    EXPECT_EQ(exchange.Counts().afterNoReply, 1);

    exchange.Send(Move(2));  // unanswered
    answers = {Answer::Ack, Answer::Ack};
    exchange.Send(Move(3));  // another action: the failed one was given up
    exchange.Send(Move(2));
    EXPECT_EQ(exchange.Counts().afterNoReply, 1);
    EXPECT_EQ(exchange.Counts().actionsInDoubt, 1);
}

TEST_F(FakeLine, GarbledRepliesAreSentAgainUntilTheyCountAsSilence)
{
    for (int i = 1; i < ReplyExchange::kReplyWaits; ++i) {
        answers = {Answer::Garble};
        const ReplyExchange::Result r = exchange.Send(Move(1));
        EXPECT_EQ(r.outcome, Outcome::Unreadable);
        EXPECT_EQ(r.next, Next::SendAgain) << "garbled reply " << i;
    }
    answers = {Answer::Garble};
    EXPECT_EQ(exchange.Send(Move(1)).next, Next::PrinterSilent);
    // The count starts anew: the next garbled reply is sent again.
    answers = {Answer::Garble};
    EXPECT_EQ(exchange.Send(Move(1)).next, Next::SendAgain);
    EXPECT_EQ(exchange.Counts().afterNoReply, ReplyExchange::kReplyWaits);
    EXPECT_NE(LogText().find("Unreadable reply (bad CRC) to command 155"), std::string::npos);
}

TEST_F(FakeLine, AReplyBetweenGarbledOnesStartsTheCountAgain)
{
    for (int round = 0; round < 3; ++round) {
        for (int i = 1; i < ReplyExchange::kReplyWaits; ++i) {
            answers = {Answer::Garble};
            ASSERT_EQ(exchange.Send(Move(1)).next, Next::SendAgain);
        }
        answers = {Answer::Refuse};
        ASSERT_EQ(exchange.Send(Move(1)).next, Next::SendAgain);
    }
}

TEST_F(FakeLine, AGarbledReplyToThePauseQueryIsTakenAsDone)
{
    // Sent again it would undo the pause.
    answers = {Answer::Garble};
    const ReplyExchange::Result r = exchange.Send(zelk::PausePackage());
    EXPECT_EQ(r.outcome, Outcome::Unreadable);
    EXPECT_EQ(r.next, Next::Done);
    EXPECT_NE(LogText().find("to the pause query: taken as done"), std::string::npos);
    answers = {Answer::Ack};
    exchange.Send(zelk::PausePackage());
    EXPECT_EQ(exchange.Counts().afterNoReply, 0);
}

TEST_F(FakeLine, AVanishedDeviceEndsTheWaitAtOnceAndIsForgottenAfter)
{
    answers = {Answer::HangUp};
    const auto before = ReplyExchange::Clock::now();
    const ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Unanswered);
    EXPECT_EQ(r.next, Next::PrinterSilent);
    EXPECT_LT(ReplyExchange::Clock::now() - before, 10s);  // not the 5 x 20 s of the waits

    // A hang-up left from the old connection would end the next wait at once;
    // forgotten once the port is restarted, the next package waits its turn.
    exchange.SetReplyTimeoutMs(20);
    exchange.OnHangup();
    auto start = ReplyExchange::Clock::now();
    EXPECT_EQ(exchange.Send(Move(1)).outcome, Outcome::Unanswered);
    EXPECT_LT(ReplyExchange::Clock::now() - start, 100ms);
    exchange.OnHangup();
    exchange.ForgetHangup();
    start = ReplyExchange::Clock::now();
    EXPECT_EQ(exchange.Send(Move(1)).outcome, Outcome::Unanswered);
    EXPECT_GE(ReplyExchange::Clock::now() - start, 100ms);
}

TEST_F(FakeLine, AReplyFromTheReaderThreadEndsTheWait)
{
    std::thread reader;
    ReplyExchange threaded{[&](const Package&) { reader = std::thread([&] { threaded.OnReply(false); }); }, stop, &log};
    threaded.SetReplyTimeoutMs(20000);
    const ReplyExchange::Result r = threaded.Send(Move(1));
    reader.join();
    EXPECT_EQ(r.outcome, Outcome::Answered);
}

TEST_F(FakeLine, AStopEndsTheWaitAndTheExchange)
{
    std::thread stopper;
    ReplyExchange stopped{[&](const Package&) {
                              stopper = std::thread([&] {
                                  stop = true;
                                  stopped.WakeForStop();
                              });
                          },
                          stop, &log};
    stopped.SetReplyTimeoutMs(20000);
    const ReplyExchange::Result r = stopped.Send(Move(1));
    stopper.join();
    EXPECT_EQ(r.outcome, Outcome::Stopped);
    EXPECT_EQ(r.next, Next::Stop);
}

TEST_F(FakeLine, ResetForgetsTheConnectionButNotTheCounts)
{
    exchange.SetReplyTimeoutMs(1);
    exchange.Send(Move(1));
    answers = {Answer::Refuse, Answer::Refuse};
    exchange.Send(Move(2));
    exchange.Send(Move(2));
    EXPECT_GT(exchange.SendNotBefore(), ReplyExchange::Clock::time_point{});
    exchange.Reset();
    EXPECT_EQ(exchange.SendNotBefore(), ReplyExchange::Clock::time_point{});
    answers = {Answer::Ack};
    exchange.Send(Move(2));  // no resend pending any more
    EXPECT_EQ(exchange.Counts().afterRefusal, 1);
    exchange.ResetCounts();
    EXPECT_EQ(exchange.Counts().afterRefusal, 0);
    EXPECT_EQ(exchange.Counts().afterNoReply, 0);
}

// --- a line the waiting thread reads itself

namespace {

// Each Await runs the next scripted event on the waiting thread, as the port
// hands over what it read; with none left it waits for its deadline or an
// Interrupt.
class ScriptedLine : public zelk::ReplyLine {
public:
    bool Take() override
    {
        ++takes;
        return takeable;
    }
    void Await(Clock::time_point deadline) override
    {
        log.push_back(deadline <= Clock::now() ? "look" : "wait");
        if (!events.empty()) {
            const std::function<void()> event = events.front();
            events.pop_front();
            event();
            return;
        }
        std::unique_lock lock(m_mutex);
        m_cv.wait_until(lock, deadline, [&] { return m_interrupted; });
        m_interrupted = false;
    }
    void Interrupt() override
    {
        std::lock_guard lock(m_mutex);
        m_interrupted = true;
        m_cv.notify_all();
    }

    bool takeable = true;
    int takes = 0;
    std::deque<std::function<void()>> events;
    std::vector<std::string> log;  // "look" (deadline passed), "wait", "write", in order

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_interrupted = false;
};

struct TakenLine : ::testing::Test {
    TakenLine()
    {
        exchange.SetLine(&line);
        exchange.SetReplyTimeoutMs(20000);
    }
    testsupport::TempDir dir;
    ZELKFileLog log{dir.File("link.log")};
    std::atomic<bool> stop{false};
    ScriptedLine line;
    ReplyExchange exchange{[this](const Package&) { line.log.push_back("write"); }, stop, &log};
};

}  // namespace

TEST_F(TakenLine, WhatWasWaitingBeforeThePackageWentOutAnswersNothing)
{
    // A late acknowledgement is read before the package goes out; the
    // package's own reply, a refusal, is the answer.
    line.events = {[&] { exchange.OnReply(false); }, [&] { exchange.OnReply(true); }};
    const ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Refused);
    EXPECT_EQ(r.next, Next::SendAgain);
    EXPECT_EQ(line.log, (std::vector<std::string>{"look", "write", "wait"}));

    // With nothing waiting, the reply read during the wait ends it.
    line.log.clear();
    line.events = {[] {}, [&] { exchange.OnReply(false); }};
    EXPECT_EQ(exchange.Send(Move(1)).outcome, Outcome::Answered);
    EXPECT_EQ(line.log, (std::vector<std::string>{"look", "write", "wait"}));
}

TEST_F(TakenLine, ALineThatCannotBeTakenLeavesTheReplyToTheReaderThread)
{
    line.takeable = false;
    std::thread reader;
    ReplyExchange threaded{[&](const Package&) { reader = std::thread([&] { threaded.OnReply(false); }); }, stop, &log};
    threaded.SetLine(&line);
    threaded.SetReplyTimeoutMs(20000);
    const ReplyExchange::Result r = threaded.Send(Move(1));
    reader.join();
    EXPECT_EQ(r.outcome, Outcome::Answered);
    EXPECT_EQ(line.takes, 1);
    EXPECT_TRUE(line.log.empty());  // never read by the waiting thread
}

TEST_F(TakenLine, AStopInterruptsTheWaitOnTheLine)
{
    std::thread stopper;
    ReplyExchange stopped{[&](const Package&) {
                              stopper = std::thread([&] {
                                  stop = true;
                                  stopped.WakeForStop();
                              });
                          },
                          stop, &log};
    stopped.SetLine(&line);
    stopped.SetReplyTimeoutMs(20000);
    const auto start = ReplyExchange::Clock::now();
    const ReplyExchange::Result r = stopped.Send(Move(1));
    stopper.join();
    EXPECT_EQ(r.outcome, Outcome::Stopped);
    EXPECT_LT(ReplyExchange::Clock::now() - start, 10s);  // not the 5 x 20 s of the waits
}

TEST_F(TakenLine, ASilentLineRunsOutEveryWaitAndAVanishedDeviceEndsItAtOnce)
{
    exchange.SetReplyTimeoutMs(5);
    ReplyExchange::Result r = exchange.Send(Move(1));
    EXPECT_EQ(r.outcome, Outcome::Unanswered);
    EXPECT_EQ(r.next, Next::PrinterSilent);
    EXPECT_GE(std::count(line.log.begin(), line.log.end(), "wait"), ReplyExchange::kReplyWaits);

    line.log.clear();
    exchange.SetReplyTimeoutMs(20000);
    line.events = {[] {}, [&] { exchange.OnHangup(); }};
    r = exchange.Send(Move(2));
    EXPECT_EQ(r.outcome, Outcome::Unanswered);
    EXPECT_EQ(line.log, (std::vector<std::string>{"look", "write", "wait"}));
}
