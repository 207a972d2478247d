// The one object through which the program talks to the printer: connection,
// print and operation lists, translation, X3G and the printer's packages.
// The worker thread and reply handling are in ZELKMachineControlWorker.cpp.
#include "ZELKMachineControl.h"

#include "ZELKStartGCodeOperater.h"

#include <algorithm>
#include <mutex>

#include "MachinePackages.h"
#include "X3gWriter.h"
#include "ZELKFileLog.h"
#include "ZELKMachine.h"
#include "ZELKPlusCom.h"
#include "ZELKThreadProc.h"

ZELKMachineControl* ZELKMachineControl::m_machineControl = nullptr;

ZELKMachineControl* ZELKMachineControl::GetMachineControl()
{
    static std::once_flag once;
    std::call_once(once, [] { m_machineControl = new ZELKMachineControl(); });
    return m_machineControl;
}

ZELKMachineControl::ZELKMachineControl(ZELKMachine* machine, ZELKStartGCodeOperater* startGCode, ZELKFileLog* log)
    : m_port(std::make_unique<ZELKPlusCom>()),
      m_machine(machine != nullptr ? machine : ZELKMachine::GetMachine()),
      m_parser(m_machine->GetMachineMotorZ().GetStepsPerMM(), &m_bIsInquirePlatformTem, &m_versionQueryOutstanding),
      m_thread(std::make_unique<ZELKThreadProc>(this)),
      m_translator(machine, startGCode),
      m_startGCode(startGCode),
      m_log(log)
{
    m_port->SetReceiver(this);
    m_port->SetReopenDelayMs(kDefaultRestartDelayMs);
    m_thread->SetTechFun(&ZELKMachineControl::MachineOperationThreadProc);
}

ZELKMachineControl::~ZELKMachineControl()
{
    CloseCom();
}

// --- connection

int ZELKMachineControl::OpenCom(std::string portName)
{
    if (m_port->IsOpened())
        CloseCom();
    else
        EndThread();  // a worker left over from a port that failed to reopen, or a lost printer
    m_connected = 0;
    // Before the worker starts: it begins idle, with no query pending, so that
    // nothing of a print that ran on the old connection (its next package, a
    // temperature query) goes out ahead of what the caller sends first (the
    // version query). The print list and index stay for RestorationPrint.
    m_controlMode = kModeIdle;
    m_hostPaused = false;
    m_printerPaused = false;
    m_extruderTargetC = -1;
    m_platformTargetC = -1;
    m_bIsInquirePlatformTem = 0;
    m_versionQueryOutstanding = 0;
    m_loggedVersion = 0;
    m_printerLost = false;
    m_resentAfterRefusal = 0;
    m_resentAfterNoReply = 0;
    m_actionsInDoubt = 0;
    {
        std::lock_guard lock(m_lostMutex);
        m_lostReason.clear();
    }
    const int opened = m_port->Open(std::move(portName));
    if (m_port->IsOpened())
        StartThread();
    WakeWorker();
    return opened;
}

void ZELKMachineControl::CloseCom()
{
    // The worker is stopped first: it must not reopen the port behind us.
    EndThread();
    m_port->Close();
    // After the reader has ended, so that a last reply cannot set it again.
    m_connected = 0;
}

int ZELKMachineControl::IsComOpened()
{
    return m_port->IsOpened();
}

int ZELKMachineControl::GetMachineConnectedIsSucessed()
{
    return m_connected.load();
}

int ZELKMachineControl::GetFirmwareVersion()
{
    std::lock_guard lock(m_recordMutex);
    return m_parser.GetFirmwareVersion();
}

std::string ZELKMachineControl::GetComOpenErrorText()
{
    return m_port->GetOpenErrorText();
}

PortOpenError ZELKMachineControl::GetComOpenError()
{
    return m_port->GetOpenError();
}

void ZELKMachineControl::SetRestartDelayMs(int ms)
{
    m_restartDelayMs = ms;
    m_port->SetReopenDelayMs(ms);
}

void ZELKMachineControl::SetPrinterLostCallback(std::function<void(const std::string& reason)> callback)
{
    std::lock_guard lock(m_lostMutex);
    m_onPrinterLost = std::move(callback);
}

std::string ZELKMachineControl::GetPrinterLostReason()
{
    std::lock_guard lock(m_lostMutex);
    return m_lostReason;
}

void ZELKMachineControl::SetFrameStallTimeoutMs(int ms)
{
    m_port->SetStallTimeoutMs(ms);
}

// --- printing

void ZELKMachineControl::GCodeParser(const char* gcodePath)
{
    {
        std::lock_guard lock(m_printListMutex);
        std::vector<Package>().swap(m_printList);
    }
    std::vector<Package> list;
    {
        std::lock_guard translating(m_translatorMutex);
        ApplyReportedPosition();
        list = m_translator.FileParser(gcodePath);
    }
    std::lock_guard lock(m_printListMutex);
    m_printList = std::move(list);
}

void ZELKMachineControl::SetPrintList(std::vector<Package> list)
{
    std::lock_guard lock(m_printListMutex);
    m_printList = std::move(list);
}

int ZELKMachineControl::GCodeParser(const std::string& line, Package& out)
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    m_translator.GetGCodeCommandPackage(line, out);
    return 1;
}

CPoint5D ZELKMachineControl::GetTranslatorPosition()
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    return m_machine->getCurrentPosition();
}

// On the reader thread: kept, and taken over at once unless a translation
// runs (a whole file may take seconds; the reader must not wait for it), in
// which case the next translation takes it over before it starts.
void ZELKMachineControl::TakeReportedPosition(const std::int32_t* steps)
{
    {
        std::lock_guard lock(m_reportedMutex);
        std::copy(steps, steps + 5, m_reportedSteps);
        m_reportedPending = true;
    }
    std::unique_lock translating(m_translatorMutex, std::try_to_lock);
    if (translating.owns_lock())
        ApplyReportedPosition();
}

void ZELKMachineControl::ApplyReportedPosition()
{
    std::int32_t steps[5];
    {
        std::lock_guard lock(m_reportedMutex);
        if (!m_reportedPending)
            return;
        std::copy(m_reportedSteps, m_reportedSteps + 5, steps);
        m_reportedPending = false;
    }
    // The inverse of the translator's mm-to-steps, so that translating the
    // position back gives the reported steps.
    const CPoint5D stepsPerMM = m_machine->GetStepsPerMM();
    const CPoint5D now = m_machine->getCurrentPosition();
    m_machine->SetCurrentPosition(CPoint5D(steps[0] / stepsPerMM.Axis_X(), steps[1] / stepsPerMM.Axis_Y(),
                                           steps[2] / stepsPerMM.Axis_Z(), now.Axis_A(), now.Axis_B()));
}

int ZELKMachineControl::SaveX3gFile(const std::string& gcodePath, const char* x3gPath)
{
    // Without its temperature and height lines the print would run cold.
    const ZELKStartGCodeOperater* startGCode =
        m_startGCode != nullptr ? m_startGCode : ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    if (startGCode->IsStartGCodeUsable(m_saveX3gError) == 0)
        return 0;
    GCodeParser(gcodePath.c_str());
    // A file that could not be read, or holds no move, is no print: nothing is written.
    const zelk::GCodeFileOutcome& outcome = m_translator.LastFileOutcome();
    if (!outcome.IsUsable()) {
        m_saveX3gError = outcome.reason;
        return 0;
    }
    return SaveX3gFile(x3gPath);
}

int ZELKMachineControl::SaveX3gFile(const char* x3gPath)
{
    m_saveX3gError.clear();
    return zelk::WriteX3gFile(m_printList, x3gPath, &m_saveX3gError) ? 1 : 0;
}

void ZELKMachineControl::StartPrint()
{
    // The index first: the worker must never see the new mode with an old index.
    m_printIndex = 0;
    m_controlMode = kModePrinting;
    WakeWorker();
}

void ZELKMachineControl::SuspendPrint()
{
    m_controlMode = kModeIdle;
    WakeWorker();  // out of a pause between polls
}

void ZELKMachineControl::RestorationPrint()
{
    m_controlMode = kModePrinting;
    WakeWorker();
}

void ZELKMachineControl::PausePrint()
{
    if ((m_controlMode.load() & kModePrinting) == 0)
        return;
    m_hostPaused = true;
    WakeWorker();
}

void ZELKMachineControl::ResumePrint()
{
    m_hostPaused = false;
    WakeWorker();
}

void ZELKMachineControl::StopPrintAndHomeZ()
{
    // A paused printer is told to carry on only once the stop and the homing
    // are queued (they go first): it then drops what it held and homes.
    EndStreaming();
    Package stop;
    if (GetEndPrintPackage(stop) != 0) {
        RemoveOperatePackList();
        InsertOperationPackage(stop);
    }
    Package home;
    GCodeParser("G162 Z F600", home);
    AddOperationPackage(home);
    m_hostPaused = false;
    WakeWorker();
}

void ZELKMachineControl::EndPrint()
{
    if (!EndStreaming())
        return;
    // A paused printer is told to carry on once the operations queued after
    // this are out (they go first in idle mode): what it does next is theirs.
    m_hostPaused = false;
    WakeWorker();
}

bool ZELKMachineControl::EndStreaming()
{
    if ((m_controlMode.load() & kModePrinting) == 0)
        return false;
    m_controlMode = kModeIdle;
    m_printIndex = 0;
    RemoveOperatePackList();
    WakeWorker();
    return true;
}

int ZELKMachineControl::IsMachinePrinting()
{
    return m_controlMode.load() & kModePrinting;
}

int ZELKMachineControl::GetPrintListSize()
{
    std::lock_guard lock(m_printListMutex);
    return static_cast<int>(m_printList.size());
}

// --- operations

void ZELKMachineControl::AddOperationPackage(const Package& package)
{
    AddOperationPackage(std::vector<Package>{package});
}

void ZELKMachineControl::AddOperationPackage(const std::vector<Package>& packages)
{
    {
        std::lock_guard lock(m_operationMutex);
        for (const Package& p : packages)
            m_operations.push_back({m_nextOperationId++, p});
    }
    WakeWorker();
}

void ZELKMachineControl::InsertOperationPackage(const Package& package)
{
    InsertOperationPackage(std::vector<Package>{package});
}

void ZELKMachineControl::InsertOperationPackage(const std::vector<Package>& packages)
{
    {
        std::lock_guard lock(m_operationMutex);
        for (auto it = packages.rbegin(); it != packages.rend(); ++it)
            m_operations.push_front({m_nextOperationId++, *it});
    }
    WakeWorker();
}

void ZELKMachineControl::RemoveOperatePackList()
{
    {
        std::lock_guard lock(m_operationMutex);
        m_operations.clear();
    }
    m_operationsTaken.notify_all();
}

bool ZELKMachineControl::WaitForOperationListEmpty(int timeoutMs)
{
    std::unique_lock lock(m_operationMutex);
    return m_operationsTaken.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                      [&] { return m_operations.empty(); });
}

std::vector<Package> ZELKMachineControl::GetOperatePackList()
{
    std::lock_guard lock(m_operationMutex);
    std::vector<Package> list;
    list.reserve(m_operations.size());
    for (const QueuedOperation& op : m_operations)
        list.push_back(op.package);
    return list;
}

// --- queries and replies

void ZELKMachineControl::ChangePrintType_InquireExtruderTemperature()
{
    m_controlMode.fetch_or(kModeExtruderQuery);
    WakeWorker();
}

void ZELKMachineControl::ChangePrintType_InquirePlatformTemperature()
{
    m_controlMode.fetch_or(kModePlatformQuery);
    WakeWorker();
}

void ZELKMachineControl::SetReceiveCallback(std::function<void(const RECEIVEBUF&)> callback)
{
    std::lock_guard lock(m_callbackMutex);
    m_onReceive = std::move(callback);
}

void ZELKMachineControl::SetReceiveCallback(std::function<void()> callback)
{
    if (!callback) {
        SetReceiveCallback(nullptr);
        return;
    }
    SetReceiveCallback([callback = std::move(callback)](const RECEIVEBUF&) { callback(); });
}

void ZELKMachineControl::SetReceiveCallback(std::nullptr_t)
{
    SetReceiveCallback(std::function<void(const RECEIVEBUF&)>());
}

RECEIVEBUF ZELKMachineControl::GetReceiveBuf()
{
    std::lock_guard lock(m_recordMutex);
    return m_parser.GetReceiveBuf();
}

int ZELKMachineControl::GetIsInquirePlatformTemperature()
{
    return m_bIsInquirePlatformTem.load();
}

void ZELKMachineControl::SetInquirePlatformTemperature(int outstanding)
{
    m_bIsInquirePlatformTem = outstanding;
}

int ZELKMachineControl::GetPortRestartCount()
{
    std::lock_guard lock(m_restartMutex);
    return m_restartCount;
}

bool ZELKMachineControl::WaitForPortRestarts(int count, int timeoutMs)
{
    std::unique_lock lock(m_restartMutex);
    return m_restartCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_restartCount >= count; });
}

// --- packages

int ZELKMachineControl::GetIsFinishedPackage(Package& out)
{
    out = zelk::IsFinishedPackage();
    return 1;
}

int ZELKMachineControl::GetInquire_ExtrudeHeadTemperaturePackage(Package& out)
{
    out = zelk::ExtruderTemperatureQueryPackage();
    return 1;
}

int ZELKMachineControl::GetInquire_PlatformTemperaturePackage(Package& out)
{
    out = zelk::PlatformTemperatureQueryPackage();
    return 1;
}

int ZELKMachineControl::GetInquireMachineCoordinatePackage(Package& out)
{
    out = zelk::MachineCoordinateQueryPackage();
    return 1;
}

int ZELKMachineControl::GetExtrudeHeaderAbortPackage(Package& out)
{
    out = zelk::ExtendedStopPackage();
    return 1;
}

int ZELKMachineControl::GetEndPrintPackage(Package& out)
{
    return GetExtrudeHeaderAbortPackage(out);
}

int ZELKMachineControl::GetExtrudeHeaderMovePackage(int direction, float speed, int seconds, Package& out)
{
    out = zelk::ExtruderMovePackage(direction, speed, seconds);
    return 1;
}

int ZELKMachineControl::GetPrintPercentPackage(int percent, Package& out)
{
    out = zelk::PrintPercentPackage(percent);
    return 1;
}
