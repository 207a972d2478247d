// One package out and its reply back: the worker sends, the port's reader
// thread reports the reply (or that none can come), and the worker learns how
// the exchange ended and whether the package goes out again. Resends are
// counted here, by why they were needed.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "Package.h"

class ZELKFileLog;

namespace zelk {

// Packages sent again since the counts were last reset, by why; each counted
// as it goes out again.
struct ResendCounts {
    // After a refusal (0x82 buffer full, 0x83 garbled on the way): the
    // printer did not take it, so the resend is harmless.
    int afterRefusal = 0;
    // After its reply did not come, or came unreadable: the printer may
    // have taken it already.
    int afterNoReply = 0;
    // Of those, actions (moves, temperatures, homing...): the printer may
    // have carried them out twice. Queries asked again do no harm.
    int actionsInDoubt = 0;
};

// The line the replies come on, read by the thread that waits for them: a
// reply reaches the exchange on that thread as it is read, so no other
// thread has to wake it.
class ReplyLine {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~ReplyLine() = default;
    // The calling thread reads the line from now on; false when it cannot
    // now (the port's reader thread then reports the reply).
    virtual bool Take() = 0;
    // Reads what is waiting and, when nothing is, waits for bytes up to
    // deadline (not at all once it has passed); what was read has reached
    // the exchange when it returns. Interrupt ends it early.
    virtual void Await(Clock::time_point deadline) = 0;
    // Any thread: ends the Await under way, or the next one.
    virtual void Interrupt() = 0;
};

class ReplyExchange {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultReplyTimeoutMs = 20000;  // one wait for a reply
    static constexpr int kReplyWaits = 5;                 // waits before the printer counts as silent
    static constexpr int kDefaultBackOffLimitMs = 250;    // the longest pause before a refused resend

    // How the wait for one package's reply ended.
    enum class Outcome { Answered, Refused, Unreadable, Unanswered, Stopped };
    // What becomes of the package.
    enum class Next {
        Done,           // taken: the next package may go
        SendAgain,      // not taken, or in doubt: the same package goes again
        PrinterSilent,  // no usable reply through every wait: the port is restarted or the printer lost
        Stop,           // a stop was asked for
    };
    struct Result {
        Outcome outcome;
        Next next;
    };

    // Puts one package on the line (on the worker thread).
    using Writer = std::function<void(const Package&)>;

    // stopRequested: the worker's stop flag; a wait ends when it is set and
    // WakeForStop is called. log null: the process-wide log.
    ReplyExchange(Writer writer, const std::atomic<bool>& stopRequested, ZELKFileLog* log);

    ReplyExchange(const ReplyExchange&) = delete;
    ReplyExchange& operator=(const ReplyExchange&) = delete;

    // Before the worker runs: the line the worker reads its replies from
    // itself whenever it can take it (null: the reader thread reports them).
    void SetLine(ReplyLine* line) { m_line = line; }

    // --- worker thread
    // Sends a package of at least one byte and waits for its reply: up to
    // kReplyWaits reply timeouts, less when the reader reports a reply, a
    // garbled reply or a device gone. With the line taken, what arrived
    // before the package went out is read first and answers nothing.
    Result Send(const Package& package);
    // A refused package waits out its back-off, and so does everything else
    // (the printer said it has no room).
    Clock::time_point SendNotBefore() const { return m_sendNotBefore; }
    // The port was restarted: a hang-up of the old connection is no answer
    // to the next package.
    void ForgetHangup();
    // A new connection, with the worker not running: no reply pending, no
    // failure in a row, no resend pending, no back-off.
    void Reset();

    // --- the port's reader thread
    void OnReply(bool refused);
    // A reply came whole but failed its CRC.
    void OnUnreadableReply();
    // The device went away: no reply can come.
    void OnHangup();

    // --- any thread
    // Wakes a wait so that it sees the stop flag.
    void WakeForStop();
    ResendCounts Counts() const;
    void ResetCounts();
    void SetReplyTimeoutMs(int ms) { m_replyTimeoutMs = ms; }
    int GetReplyTimeoutMs() const { return m_replyTimeoutMs.load(); }
    // Refused resends after the first back off up to this pause.
    void SetBackOffLimitMs(int ms) { m_backOffLimitMs = ms; }

private:
    enum class PendingResend { None, AfterRefusal, AfterNoReply };

    Outcome WaitForReply(bool readingTheLine);
    Next Settle(const Package& package, Outcome outcome);
    void NoteResend(const Package& package);
    void Signal(Outcome outcome);
    void Log(int level, const std::string& message);

    Writer m_write;
    ReplyLine* m_line = nullptr;
    const std::atomic<bool>& m_stopRequested;
    ZELKFileLog* m_log;
    std::atomic<int> m_replyTimeoutMs{kDefaultReplyTimeoutMs};
    std::atomic<int> m_backOffLimitMs{kDefaultBackOffLimitMs};

    // The reply event: set by the line's reader, reset by the worker before it sends.
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
    bool m_linkLost = false;
    Outcome m_outcome = Outcome::Answered;

    // The worker's bookkeeping of failed attempts (worker thread only).
    int m_unreadableInARow = 0;  // garbled replies to the package in flight
    int m_refusedInARow = 0;
    PendingResend m_pendingResend = PendingResend::None;
    Package m_lastFailed;  // the package that failed last
    Clock::time_point m_sendNotBefore{};

    std::atomic<int> m_resentAfterRefusal{0};
    std::atomic<int> m_resentAfterNoReply{0};
    std::atomic<int> m_actionsInDoubt{0};
};

}  // namespace zelk
