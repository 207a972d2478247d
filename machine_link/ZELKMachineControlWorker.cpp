// The machine control's worker thread: one package in flight, the reply wait
// with the silent-printer restart, and the handling of each reply.
#include <chrono>

#include "MachinePackages.h"
#include "ZELKFileLog.h"
#include "ZELKMachineControl.h"
#include "ZELKPlusCom.h"
#include "ZELKThreadProc.h"

unsigned long ZELKMachineControl::MachineOperationThreadProc(void* parameter)
{
    static_cast<ZELKMachineControl*>(parameter)->WorkerLoop();
    return 0;
}

void ZELKMachineControl::WorkerLoop()
{
    m_runningState = 1;
    while (!m_stopRequested.load()) {
        std::uint64_t seq = 0;
        {
            std::lock_guard lock(m_workMutex);
            seq = m_workSeq;
        }
        if (RunOneStep())
            continue;
        // Idle: sleep until a request arrives (any request bumps the counter,
        // so one made after the check above is not missed).
        std::unique_lock lock(m_workMutex);
        m_workCv.wait(lock, [&] { return m_workSeq != seq || m_stopRequested.load(); });
    }
    m_runningState = -1;
}

bool ZELKMachineControl::RunOneStep()
{
    const int mode = m_controlMode.load();
    if (mode == kModeIdle && SendFirstOperation())
        return true;
    if (mode & kModePlatformQuery) {
        SendQuery(kModePlatformQuery);
        return true;
    }
    if (mode & kModeExtruderQuery) {
        SendQuery(kModeExtruderQuery);
        return true;
    }
    if (mode == kModePrinting) {
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
    SendPackage(op.package);
    if (m_sendResult.load() == 2)
        return true;
    // Remove the package that was sent, wherever it now stands: packages may
    // have been inserted in front of it, or the list emptied, meanwhile.
    std::lock_guard lock(m_operationMutex);
    for (auto it = m_operations.begin(); it != m_operations.end(); ++it) {
        if (it->id == op.id) {
            m_operations.erase(it);
            break;
        }
    }
    return true;
}

void ZELKMachineControl::SendQuery(int bit)
{
    if (bit == kModePlatformQuery) {
        m_bIsInquirePlatformTem = 1;
        SendPackage(zelk::PlatformTemperatureQueryPackage());
    } else {
        SendPackage(zelk::ExtruderTemperatureQueryPackage());
    }
    if (m_sendResult.load() != 2)
        m_controlMode.fetch_and(~bit);
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
        // finished (the type 7 reply ends the print).
        SendPackage(zelk::IsFinishedPackage());
        return;
    }
    SendPackage(package);
    // Only this package's own step: a StartPrint or EndPrint during the wait
    // has set the index anew and wins.
    if (m_sendResult.load() != 2)
        m_printIndex.compare_exchange_strong(index, index + 1);
}

void ZELKMachineControl::SendPackage(const Package& package)
{
    {
        std::lock_guard lock(m_replyMutex);
        m_replySignalled = false;
    }
    m_sendResult = 0;
    if (package.size <= 0)
        return;  // nothing goes out, so no reply can come: acknowledged
    m_port->SendData(package.data, package.size);
    WaitSendCommendEnd();
}

int ZELKMachineControl::WaitSendCommendEnd()
{
    {
        std::unique_lock lock(m_replyMutex);
        const auto woken = [&] { return m_replySignalled || m_linkLost || m_stopRequested.load(); };
        for (int i = 0; i < kReplyWaits; ++i) {
            if (m_replyCv.wait_for(lock, std::chrono::milliseconds(m_replyTimeoutMs.load()), woken))
                break;
        }
        if (m_replySignalled)
            return 0;
        m_linkLost = false;  // a vanished device is restarted like a silent one
    }
    // Unanswered: the package counts as not received and is sent again.
    m_sendResult = 2;
    if (m_stopRequested.load())
        return 0;
    RestartPort();
    return 0;
}

void ZELKMachineControl::RestartPort()
{
    m_port->ReOpen();
    ZELKFileLog* log = m_log != nullptr ? m_log : ZELKFileLog::GetObjectW();
    log->Write("ZELKMachineControl", 96, 1, "Restart COM!");
    std::lock_guard lock(m_restartMutex);
    ++m_restartCount;
    m_restartCv.notify_all();
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

void ZELKMachineControl::OnCommReceive(void* frame, void* length)
{
    int type = 0;
    {
        std::lock_guard lock(m_recordMutex);
        m_parser.ParserReceiveBuffer(frame, length);
        type = m_parser.GetReceiveBuf().type;
    }
    m_sendResult = 0;
    if (type < zelk::kReplyVersion || type > zelk::kReplyPlatformTemperature)
        return;
    if (type == zelk::kReplyRefused)
        m_sendResult = 2;
    else if (type == zelk::kReplyBuildFinished)
        FinishBuild();

    std::function<void()> callback;
    {
        std::lock_guard lock(m_callbackMutex);
        callback = m_OperationOnReceive;
    }
    if (callback)
        callback();

    // Connected before the worker wakes: whoever sees the next package sent
    // also sees the flag.
    m_connected = 1;
    {
        std::lock_guard lock(m_replyMutex);
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
