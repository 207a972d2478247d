#include "ReplyExchange.h"

#include <algorithm>
#include <string>

#include "LinkLog.h"
#include "S3GCommands.h"

namespace zelk {
namespace {

// Commands the printer answers without changing anything it will do (version,
// buffer space, tool query, is-finished, position) or whose repetition does
// no harm (the extended stop): safe to send again whenever their reply is in
// doubt.
bool IsRepeatable(const Package& package)
{
    if (package.PayloadSize() <= 0)
        return true;
    using namespace s3g;
    switch (package.Payload()[0]) {
    case kQueryVersion:
    case kQueryBufferFree:
    case kQueryTool:
    case kQueryIsFinished:
    case kQueryExtendedPosition:
    case kQueryExtendedStop:
        return true;
    default:
        return false;
    }
}

std::string CommandName(const Package& package)
{
    return package.PayloadSize() > 0 ? "command " + std::to_string(package.Payload()[0]) : "empty package";
}

}  // namespace

ReplyExchange::ReplyExchange(Writer writer, const std::atomic<bool>& stopRequested, ZELKFileLog* log)
    : m_write(std::move(writer)), m_stopRequested(stopRequested), m_log(log)
{
}

ReplyExchange::Result ReplyExchange::Send(const Package& package)
{
    // A reply too late for its own package, still waiting on a taken line,
    // is read now and forgotten below, as the reader thread would have.
    const bool readingTheLine = package.size > 0 && m_line != nullptr && m_line->Take();
    if (readingTheLine)
        m_line->Await(Clock::time_point{});
    {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
    }
    if (package.size <= 0)
        return {Outcome::Answered, Next::Done};  // nothing goes out, so no reply can come
    NoteResend(package);
    m_write(package);
    const Outcome outcome = WaitForReply(readingTheLine);
    return {outcome, Settle(package, outcome)};
}

ReplyExchange::Outcome ReplyExchange::WaitForReply(bool readingTheLine)
{
    std::unique_lock lock(m_mutex);
    const auto woken = [&] { return m_signalled || m_linkLost || m_stopRequested.load(); };
    for (int i = 0; i < kReplyWaits && !woken(); ++i) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(m_replyTimeoutMs.load());
        if (!readingTheLine) {
            m_cv.wait_until(lock, deadline, woken);
            continue;
        }
        // The reply is read on this thread: it has been handed over when
        // Await returns (a stop interrupts it).
        while (!woken() && Clock::now() < deadline) {
            lock.unlock();
            m_line->Await(deadline);
            lock.lock();
        }
    }
    if (m_signalled)
        return m_outcome;
    m_linkLost = false;  // a vanished device is restarted like a silent one
    return m_stopRequested.load() ? Outcome::Stopped : Outcome::Unanswered;
}

ReplyExchange::Next ReplyExchange::Settle(const Package& package, Outcome outcome)
{
    switch (outcome) {
    case Outcome::Answered:
        m_unreadableInARow = 0;
        m_refusedInARow = 0;
        return Next::Done;
    case Outcome::Refused: {
        // Not taken (buffer full, or the packet arrived garbled). The first
        // resend goes at once, as room is usually made by the next move;
        // later ones back off up to the limit, so that a printer refusing
        // while it heats is not asked hundreds of times a second.
        m_unreadableInARow = 0;
        ++m_refusedInARow;
        m_lastFailed = package;
        m_pendingResend = PendingResend::AfterRefusal;
        if (m_refusedInARow >= 2) {
            const int limitMs = m_backOffLimitMs.load();
            const int pauseMs = std::min(limitMs, (limitMs / 8) << std::min(m_refusedInARow - 2, 3));
            m_sendNotBefore = Clock::now() + std::chrono::milliseconds(pauseMs);
        }
        return Next::SendAgain;
    }
    case Outcome::Unreadable:
        // The printer answered, but whether it took the package is unknown.
        if (package.PayloadSize() > 0 && package.Payload()[0] == s3g::kQueryPause) {
            // The pause query toggles: sent twice it would undo itself. The
            // printer answers nothing it did not take, so a reply means taken.
            Log(1, "Unreadable reply (bad CRC) to the pause query: taken as done");
            m_unreadableInARow = 0;
            return Next::Done;
        }
        // A repeatable query is simply asked again. An action is sent again
        // too: a garbled refusal means the printer did not take it, and a
        // command lost without a word spoils the print, while most actions
        // are harmless twice (moves go to absolute positions, temperatures
        // and homing repeat); the resend is logged so that a blemish can be
        // traced to it. A line that garbles every reply is a silent printer.
        ++m_unreadableInARow;
        Log(1, "Unreadable reply (bad CRC) to " + CommandName(package));
        m_lastFailed = package;
        m_pendingResend = PendingResend::AfterNoReply;
        if (m_unreadableInARow < kReplyWaits)
            return Next::SendAgain;
        m_unreadableInARow = 0;
        return Next::PrinterSilent;
    case Outcome::Unanswered:
        m_lastFailed = package;
        m_pendingResend = PendingResend::AfterNoReply;
        return Next::PrinterSilent;
    case Outcome::Stopped:
        break;
    }
    return Next::Stop;
}

// Counts the package when it is the one that failed last, going out again.
// Queries may go ahead of that resend and leave it pending; another action
// going out means the failed one was given up (the print was stopped).
void ReplyExchange::NoteResend(const Package& package)
{
    if (m_pendingResend == PendingResend::None)
        return;
    if (!(package == m_lastFailed)) {
        if (!IsRepeatable(package))
            m_pendingResend = PendingResend::None;
        return;
    }
    if (m_pendingResend == PendingResend::AfterRefusal) {
        ++m_resentAfterRefusal;
    } else {
        ++m_resentAfterNoReply;
        if (!IsRepeatable(package)) {
            ++m_actionsInDoubt;
            Log(1, "Package resent (" + CommandName(package) + "): the printer may already have taken it");
        }
    }
    m_pendingResend = PendingResend::None;
}

void ReplyExchange::ForgetHangup()
{
    std::lock_guard lock(m_mutex);
    m_linkLost = false;
}

void ReplyExchange::Reset()
{
    {
        std::lock_guard lock(m_mutex);
        m_signalled = false;
        m_linkLost = false;
    }
    m_unreadableInARow = 0;
    m_refusedInARow = 0;
    m_pendingResend = PendingResend::None;
    m_sendNotBefore = {};
}

void ReplyExchange::Signal(Outcome outcome)
{
    {
        std::lock_guard lock(m_mutex);
        m_outcome = outcome;
        m_signalled = true;
    }
    m_cv.notify_all();
}

void ReplyExchange::OnReply(bool refused)
{
    Signal(refused ? Outcome::Refused : Outcome::Answered);
}

void ReplyExchange::OnUnreadableReply()
{
    Signal(Outcome::Unreadable);
}

void ReplyExchange::OnHangup()
{
    {
        std::lock_guard lock(m_mutex);
        m_linkLost = true;
    }
    m_cv.notify_all();
}

void ReplyExchange::WakeForStop()
{
    {
        std::lock_guard lock(m_mutex);
    }
    m_cv.notify_all();
    if (m_line != nullptr)
        m_line->Interrupt();
}

ResendCounts ReplyExchange::Counts() const
{
    ResendCounts counts;
    counts.afterRefusal = m_resentAfterRefusal.load();
    counts.afterNoReply = m_resentAfterNoReply.load();
    counts.actionsInDoubt = m_actionsInDoubt.load();
    return counts;
}

void ReplyExchange::ResetCounts()
{
    m_resentAfterRefusal = 0;
    m_resentAfterNoReply = 0;
    m_actionsInDoubt = 0;
}

void ReplyExchange::Log(int level, const std::string& message)
{
    WriteLinkLog(m_log, __LINE__, level, message);
}

}  // namespace zelk
