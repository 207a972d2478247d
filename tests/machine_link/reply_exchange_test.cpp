// The reply exchange without a port: a fake line answers each package as a
// test tells it to (at once from the writer, from another thread, or not at
// all), and the exchange says how the wait ended, whether the package goes
// again, and counts the resends.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <thread>

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
