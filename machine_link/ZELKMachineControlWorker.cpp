// The machine control's worker thread: one package in flight, the reply wait
// with the silent-printer restart, the handling of each reply, and the end of
// the link when the printer is lost.
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "MachinePackages.h"
#include "S3GCommands.h"
#include "ZELKFileLog.h"
#include "ZELKMachineControl.h"
#include "ZELKPlusCom.h"
#include "ZELKThreadProc.h"

namespace {

// Commands the printer answers without changing anything it will do (version,
// buffer space, tool query, is-finished, position) or whose repetition does
// no harm (the extended stop): safe to send again whenever their reply is in
// doubt.
bool IsRepeatable(const Package& package)
{
    if (package.PayloadSize() <= 0)
        return true;
    using namespace zelk::s3g;
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

std::string Hex(const unsigned char* bytes, std::size_t count)
{
    std::string out;
    char b[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(b, sizeof b, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += b;
    }
    return out;
}

}  // namespace

unsigned long ZELKMachineControl::MachineOperationThreadProc(void* parameter)
{
    static_cast<ZELKMachineControl*>(parameter)->WorkerLoop();
    return 0;
}

void ZELKMachineControl::WorkerLoop()
{
    m_runningState = 1;
    while (!m_stopRequested.load() && !m_printerLost.load()) {
        {
            std::lock_guard lock(m_workMutex);
            m_loopSeq = m_workSeq;
        }
        if (RunOneStep())
            continue;
        // Idle: sleep until a request arrives (any request bumps the counter,
        // so one made after the check above is not missed).
        std::unique_lock lock(m_workMutex);
        m_workCv.wait(lock, [&] { return m_workSeq != m_loopSeq || m_stopRequested.load(); });
    }
    m_runningState = -1;
}

void ZELKMachineControl::WaitForWorkUntil(Clock::time_point deadline)
{
    std::unique_lock lock(m_workMutex);
    m_workCv.wait_until(lock, deadline, [&] { return m_workSeq != m_loopSeq || m_stopRequested.load(); });
}

bool ZELKMachineControl::RunOneStep()
{
    // A refused package waits out its back-off, and so does everything else
    // (the printer said it has no room); a request or a stop has the worker
    // look again.
    if (Clock::now() < m_sendNotBefore) {
        WaitForWorkUntil(m_sendNotBefore);
        return true;
    }
    const int mode = m_controlMode.load();
    if (mode == kModeIdle && SendFirstOperation())
        return true;
    // A pause or resume goes ahead of the queries and the print; after a stop
    // it waits for the stop (the operations first), so that the printer drops
    // what it held before it carries on with what the stop queued.
    if (m_hostPaused.load() != m_printerPaused.load()) {
        SendPauseToggle();
        return true;
    }
    if (mode & kModePlatformQuery) {
        SendQuery(kModePlatformQuery);
        return true;
    }
    if (mode & kModeExtruderQuery) {
        SendQuery(kModeExtruderQuery);
        return true;
    }
    if (mode == kModePrinting && !m_hostPaused.load()) {
        SendPrintStep();
        return true;
    }
    return false;
}

bool ZELKMachineControl::SendFirstOperation()
{
    QueuedOperation op;
    {
        std::lock_guard lock(m_operationMutex);
        if (m_operations.empty())
            return false;
        op = m_operations.front();
    }
    if (!SendPackage(op.package))
        return true;
    // Remove the package that was sent, wherever it now stands: packages may
    // have been inserted in front of it, or the list emptied, meanwhile.
    {
        std::lock_guard lock(m_operationMutex);
        for (auto it = m_operations.begin(); it != m_operations.end(); ++it) {
            if (it->id == op.id) {
                m_operations.erase(it);
                break;
            }
        }
    }
    m_operationsTaken.notify_all();
    return true;
}

void ZELKMachineControl::SendQuery(int bit)
{
    bool answered = false;
    if (bit == kModePlatformQuery) {
        m_bIsInquirePlatformTem = 1;
        answered = SendPackage(zelk::PlatformTemperatureQueryPackage());
    } else {
        answered = SendPackage(zelk::ExtruderTemperatureQueryPackage());
    }
    if (answered)
        m_controlMode.fetch_and(~bit);
}

void ZELKMachineControl::SendPauseToggle()
{
    if (SendPackage(zelk::PausePackage())) {
        m_printerPaused = !m_printerPaused.load();
        Log(0, m_printerPaused.load() ? "Print paused" : "Print resumed");
    }
}

void ZELKMachineControl::NoteTemperatureTarget(const Package& package)
{
    zelk::Heater heater;
    int celsius = 0;
    if (!zelk::ReadTemperatureTarget(package, heater, celsius))
        return;
    (heater == zelk::Heater::Extruder ? m_extruderTargetC : m_platformTargetC) = celsius;
}

void ZELKMachineControl::SendPrintStep()
{
    int index = m_printIndex.load();
    Package package;
    bool inList = false;
    {
        std::lock_guard lock(m_printListMutex);
        if (index >= 0 && index < static_cast<int>(m_printList.size())) {
            package = m_printList[static_cast<std::size_t>(index)];
            inList = true;
        }
    }
    if (!inList) {
        // Every package is out: ask until the printer reports the build
        // finished (the type 7 reply ends the print), a few times a second
        // rather than back to back for the rest of the build.
        if (Clock::now() < m_finishedQueryNotBefore) {
            WaitForWorkUntil(m_finishedQueryNotBefore);
            return;
        }
        SendPackage(zelk::IsFinishedPackage());
        m_finishedQueryNotBefore = Clock::now() + std::chrono::milliseconds(m_pollIntervalMs.load());
        return;
    }
    // Only this package's own step: a StartPrint or EndPrint during the wait
    // has set the index anew and wins.
    if (SendPackage(package))
        m_printIndex.compare_exchange_strong(index, index + 1);
}

// True when the package is done with (answered); false when it is to be sent
// again (refused, reply unreadable, port restarted) or the worker must stop.
bool ZELKMachineControl::SendPackage(const Package& package)
{
    {
        std::lock_guard lock(m_replyMutex);
        m_replySignalled = false;
    }
    m_sendResult = 0;
    if (package.size <= 0)
        return true;  // nothing goes out, so no reply can come: acknowledged
    NoteResend(package);
    // Any 6-byte answer to the version query is the firmware version, not a temperature.
    m_versionQueryOutstanding = package.Payload()[0] == zelk::s3g::kQueryVersion ? 1 : 0;
    m_port->SendData(package.data, package.size);
    const ReplyOutcome outcome = WaitSendCommendEnd();
    if (outcome == ReplyOutcome::Answered || outcome == ReplyOutcome::Refused) {
        m_unreadableInARow = 0;
        m_restartsWithoutReply = 0;
    }
    if (outcome == ReplyOutcome::Answered) {
        m_refusedInARow = 0;
        NoteTemperatureTarget(package);
        return true;
    }
    m_sendResult = 2;
    switch (outcome) {
    case ReplyOutcome::Refused: {
        // Refused (buffer full, or the packet arrived garbled): not taken. The
        // first resend goes at once, as room is usually made by the next
        // move; later ones back off up to the poll interval, so that a printer
        // refusing while it heats is not asked hundreds of times a second.
        ++m_refusedInARow;
        m_lastFailed = package;
        m_pendingResend = PendingResend::AfterRefusal;
        if (m_refusedInARow >= 2) {
            const int intervalMs = m_pollIntervalMs.load();
            const int pauseMs = std::min(intervalMs, (intervalMs / 8) << std::min(m_refusedInARow - 2, 3));
            m_sendNotBefore = Clock::now() + std::chrono::milliseconds(pauseMs);
        }
        return false;
    }
    case ReplyOutcome::Unreadable:
        return AfterUnreadableReply(package);
    case ReplyOutcome::Unanswered:
        m_lastFailed = package;
        m_pendingResend = PendingResend::AfterNoReply;
        return AfterUnansweredPackage();
    default:
        return false;
    }
}

// Counts the package when it is the one that failed last, going out again.
// Queries may go ahead of that resend and leave it pending; another action
// going out means the failed one was given up (the print was stopped).
void ZELKMachineControl::NoteResend(const Package& package)
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

ZELKMachineControl::ResendCounts ZELKMachineControl::GetResendCounts() const
{
    ResendCounts counts;
    counts.afterRefusal = m_resentAfterRefusal.load();
    counts.afterNoReply = m_resentAfterNoReply.load();
    counts.actionsInDoubt = m_actionsInDoubt.load();
    return counts;
}

// The printer answered, but its reply failed the CRC: whether the package was
// taken is unknown. A repeatable query is simply asked again. An action is
// sent again too: a garbled refusal (0x82, 0x83) means the printer did not
// take it, and a command lost without a word spoils the print, while most
// actions are harmless twice (moves go to absolute positions, temperatures
// and homing repeat); the resend is logged with "resent" so that a blemish
// can be traced to it. A line that garbles every reply is treated like a
// silent printer.
bool ZELKMachineControl::AfterUnreadableReply(const Package& package)
{
    if (package.PayloadSize() > 0 && package.Payload()[0] == zelk::s3g::kQueryPause) {
        // The pause query toggles: sent twice it would undo itself. The
        // printer answers nothing it did not take, so a reply means taken.
        Log(1, "Unreadable reply (bad CRC) to the pause query: taken as done");
        m_unreadableInARow = 0;
        return true;
    }
    ++m_unreadableInARow;
    Log(1, "Unreadable reply (bad CRC) to " + CommandName(package));
    m_lastFailed = package;
    m_pendingResend = PendingResend::AfterNoReply;
    if (m_unreadableInARow < kReplyWaits)
        return false;
    m_unreadableInARow = 0;
    return AfterUnansweredPackage();
}

// No reply through all the waits, or the device went away: the port is
// restarted once and the package sent again; unanswered after that, or with
// a device that does not come back, the printer is lost.
bool ZELKMachineControl::AfterUnansweredPackage()
{
    if (m_stopRequested.load())
        return false;
    if (m_restartsWithoutReply >= 1) {
        LosePrinter("The printer on " + m_port->GetPortName() + " does not answer.");
        return false;
    }
    ++m_restartsWithoutReply;
    if (!RestartPort())
        LosePrinter("The printer's port " + m_port->GetPortName() + " went away and did not come back.");
    return false;
}

ZELKMachineControl::ReplyOutcome ZELKMachineControl::WaitSendCommendEnd()
{
    std::unique_lock lock(m_replyMutex);
    const auto woken = [&] { return m_replySignalled || m_linkLost || m_stopRequested.load(); };
    for (int i = 0; i < kReplyWaits; ++i) {
        if (m_replyCv.wait_for(lock, std::chrono::milliseconds(m_replyTimeoutMs.load()), woken))
            break;
    }
    if (m_replySignalled)
        return m_replyOutcome;
    m_linkLost = false;  // a vanished device is restarted like a silent one
    return m_stopRequested.load() ? ReplyOutcome::Stopped : ReplyOutcome::Unanswered;
}

// True when the port is open again (or a stop was asked for).
bool ZELKMachineControl::RestartPort()
{
    m_port->ReOpen();
    ZELKFileLog* log = m_log != nullptr ? m_log : ZELKFileLog::GetObjectW();
    log->Write("ZELKMachineControl", 96, 1, "Restart COM!");
    {
        std::lock_guard lock(m_restartMutex);
        ++m_restartCount;
        m_restartCv.notify_all();
    }
    // A device that went away (unplugged, switched off) may come back under
    // its name within the device return timeout.
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_deviceReturnMs.load());
    while (!m_port->IsOpened()) {
        {
            std::unique_lock lock(m_replyMutex);
            const auto retryAt = std::min(deadline, Clock::now() + std::chrono::milliseconds(
                                                                     std::max(1, m_restartDelayMs.load())));
            if (m_replyCv.wait_until(lock, retryAt, [&] { return m_stopRequested.load(); }))
                return true;
        }
        if (Clock::now() >= deadline)
            return false;
        m_port->Open(m_port->GetPortName());
    }
    {
        // Whatever the old connection left behind is no answer to the next package.
        std::lock_guard lock(m_replyMutex);
        m_linkLost = false;
    }
    return true;
}

void ZELKMachineControl::LosePrinter(const std::string& reason)
{
    Log(2, "Printer lost: " + reason);
    m_controlMode = kModeIdle;
    m_hostPaused = false;
    RemoveOperatePackList();
    m_port->Close();
    m_connected = 0;
    std::function<void(const std::string&)> callback;
    {
        std::lock_guard lock(m_lostMutex);
        m_lostReason = reason;
        callback = m_onPrinterLost;
    }
    m_printerLost = true;  // ends the worker's loop
    if (callback)
        callback(reason);
}

void ZELKMachineControl::Log(int level, const std::string& message)
{
    ZELKFileLog* log = m_log != nullptr ? m_log : ZELKFileLog::GetObjectW();
    log->Write("ZELKMachineControl", __LINE__, level, message);
}

void ZELKMachineControl::StartThread()
{
    EndThread();
    m_stopRequested = false;
    {
        std::lock_guard lock(m_replyMutex);
        m_replySignalled = false;
        m_linkLost = false;
    }
    m_unreadableInARow = 0;
    m_refusedInARow = 0;
    m_restartsWithoutReply = 0;
    m_pendingResend = PendingResend::None;
    m_sendNotBefore = {};
    m_finishedQueryNotBefore = {};
    m_thread->BeginThread();
}

void ZELKMachineControl::EndThread()
{
    if (!m_thread->IsThreadRunning())
        return;
    m_stopRequested = true;
    {
        std::lock_guard lock(m_replyMutex);
    }
    m_replyCv.notify_all();
    WakeWorker();
    // Woken from any wait, the worker ends within one write at most.
    m_thread->EndThread(ZELKThreadProc::kWaitForever);
}

bool ZELKMachineControl::SuspendThread()
{
    return m_thread->SuspendThread();
}

bool ZELKMachineControl::ResumeThread()
{
    return m_thread->ResumeThread();
}

void ZELKMachineControl::WakeWorker()
{
    {
        std::lock_guard lock(m_workMutex);
        ++m_workSeq;
    }
    m_workCv.notify_all();
}

void ZELKMachineControl::OnCommReceive(std::span<const unsigned char> frame)
{
    RECEIVEBUF record;
    bool known = false;
    bool position = false;
    int version = 0;
    std::int32_t steps[5] = {};
    {
        std::lock_guard lock(m_recordMutex);
        known = m_parser.ParserReceiveBuffer(frame.data(), frame.size());
        record = m_parser.GetReceiveBuf();
        version = m_parser.GetFirmwareVersion();
        position = known && m_parser.LastWasPosition();
        if (position)
            std::copy(m_parser.GetPositionSteps(), m_parser.GetPositionSteps() + 5, steps);
    }
    if (!known) {
        // Not a reply this host knows: it answers nothing, so the package in
        // flight keeps waiting for its own reply.
        Log(1, "Unrecognised reply ignored: " + Hex(frame.data(), frame.size()));
        return;
    }
    const int type = record.type;
    if (type == zelk::kReplyBuildFinished)
        FinishBuild();
    if (type == zelk::kReplyVersion && version != m_loggedVersion) {
        m_loggedVersion = version;
        Log(0, "Printer firmware version " + std::to_string(version));
    }
    // Before the callback and the worker's wake: whoever sees the answer
    // also sees the translator's position.
    if (position)
        TakeReportedPosition(steps);

    std::function<void(const RECEIVEBUF&)> callback;
    {
        std::lock_guard lock(m_callbackMutex);
        callback = m_onReceive;
    }
    if (callback)
        callback(record);

    // Connected before the worker wakes: whoever sees the next package sent
    // also sees the flag.
    m_connected = 1;
    {
        std::lock_guard lock(m_replyMutex);
        m_replyOutcome = type == zelk::kReplyRefused ? ReplyOutcome::Refused : ReplyOutcome::Answered;
        m_replySignalled = true;
    }
    m_replyCv.notify_all();
}

void ZELKMachineControl::OnCommBadFrame()
{
    // A reply came but cannot be read: the worker decides now instead of
    // waiting out its reply timeouts for a reply that has already come.
    {
        std::lock_guard lock(m_replyMutex);
        m_replyOutcome = ReplyOutcome::Unreadable;
        m_replySignalled = true;
    }
    m_replyCv.notify_all();
}

void ZELKMachineControl::FinishBuild()
{
    // Back to idle; a query requested during the last wait stays pending.
    int mode = m_controlMode.load();
    while (!m_controlMode.compare_exchange_weak(mode, (mode & (kModeExtruderQuery | kModePlatformQuery)) | kModeIdle)) {
    }
}

void ZELKMachineControl::OnCommHangup()
{
    // The device went away: no reply can come, so the worker restarts the
    // port now instead of waiting out its reply timeouts.
    {
        std::lock_guard lock(m_replyMutex);
        m_linkLost = true;
    }
    m_replyCv.notify_all();
}
