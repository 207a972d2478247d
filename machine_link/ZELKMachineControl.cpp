// The machine control's public side: connection, print and operation
// control, translation, X3G and the printer's packages, each handed to the
// part of the link whose job it is. The worker's side is in
// ZELKMachineControlWorker.cpp.
#include "ZELKMachineControl.h"

#include <mutex>

#include "MachinePackages.h"
#include "ZELKMachine.h"
#include "ZELKPlusCom.h"

namespace {

// The printer's port as the lost-printer policy restarts it.
class PolicyPort : public zelk::PrinterLostPolicy::Port {
public:
    explicit PolicyPort(ZELKPlusCom& port) : m_port(port) {}
    std::string Name() override { return m_port.GetPortName(); }
    bool IsOpen() override { return m_port.IsOpened() != 0; }
    void Close() override { m_port.Close(); }
    void OpenAgain() override { m_port.Open(m_port.GetPortName()); }

private:
    ZELKPlusCom& m_port;
};

// The printer's port as the worker reads its replies.
class WorkerLine : public zelk::ReplyLine {
public:
    explicit WorkerLine(ZELKPlusCom& port) : m_port(port) {}
    bool Take() override { return m_port.TakeLine(); }
    void Await(Clock::time_point deadline) override { m_port.AwaitLine(deadline); }
    void Interrupt() override { m_port.WakeLineWait(); }

private:
    ZELKPlusCom& m_port;
};

}  // namespace

ZELKMachineControl* ZELKMachineControl::m_machineControl = nullptr;

ZELKMachineControl* ZELKMachineControl::GetMachineControl()
{
    static std::once_flag once;
    std::call_once(once, [] { m_machineControl = new ZELKMachineControl(); });
    return m_machineControl;
}

ZELKMachineControl::ZELKMachineControl(ZELKMachine* machine, ZELKStartGCodeOperater* startGCode, ZELKFileLog* log)
    : m_log(log),
      m_startGCode(startGCode),
      m_machine(machine != nullptr ? machine : ZELKMachine::GetMachine()),
      m_port(std::make_unique<ZELKPlusCom>()),
      m_portForPolicy(std::make_unique<PolicyPort>(*m_port)),
      m_line(std::make_unique<WorkerLine>(*m_port)),
      m_translator(*m_machine, machine, startGCode),
      m_replies(m_machine->GetMachineMotorZ().GetStepsPerMM(), log),
      m_worker([this] { return RunRound(); }),
      m_exchange([this](const Package& package) { WritePackage(package); }, m_worker.StopFlag(), log),
      m_lostPolicy(*m_portForPolicy, m_worker.StopFlag(), log),
      m_x3g(startGCode, m_stream,
            [this](const std::string& gcodePath) {
                GCodeParser(gcodePath.c_str());
                return m_translator.Translator().LastFileOutcome();
            }),
      // The program's export: the G-code saved as X3G in a stream, in
      // bounded memory, without touching the print list.
      m_x3gStreamed(
          startGCode, m_stream, [this](const std::string&) { return zelk::GCodeFileOutcome(); },
          [this](const std::string& gcodePath, zelk::PayloadSink& sink) {
              return m_translator.StreamFile(gcodePath.c_str(), sink);
          })
{
    m_port->SetReceiver(this);
    m_port->SetReopenDelayMs(kDefaultRestartDelayMs);
    m_exchange.SetLine(m_line.get());
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
    m_mode.SetIdle();
    m_stream.ForgetPause();
    m_extruderTargetC = -1;
    m_platformTargetC = -1;
    m_replies.NewConnection();
    m_lostPolicy.ClearLost();
    m_exchange.ResetCounts();
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
    return m_replies.FirmwareVersion();
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
    m_lostPolicy.SetRestartDelayMs(ms);
    m_port->SetReopenDelayMs(ms);
}

void ZELKMachineControl::SetPollIntervalMs(int ms)
{
    m_stream.SetPollIntervalMs(ms);
    m_exchange.SetBackOffLimitMs(ms);
}

void ZELKMachineControl::SetPrinterLostCallback(std::function<void(const std::string& reason)> callback)
{
    m_lostPolicy.SetLostCallback(std::move(callback));
}

std::string ZELKMachineControl::GetPrinterLostReason()
{
    return m_lostPolicy.LostReason();
}

void ZELKMachineControl::SetFrameStallTimeoutMs(int ms)
{
    m_port->SetStallTimeoutMs(ms);
}

// --- printing

void ZELKMachineControl::GCodeParser(const char* gcodePath)
{
    m_stream.ClearList();
    m_stream.ReplaceList(m_translator.TranslateFile(gcodePath));
}

void ZELKMachineControl::SetPrintList(zelk::PrintList list)
{
    m_stream.ReplaceList(std::move(list));
}

int ZELKMachineControl::GCodeParser(const std::string& line, Package& out)
{
    m_translator.TranslateLine(line, out);
    return 1;
}

CPoint5D ZELKMachineControl::GetTranslatorPosition()
{
    return m_translator.Position();
}

int ZELKMachineControl::SaveX3gFile(const std::string& gcodePath, const char* x3gPath)
{
    return m_x3g.FromGCode(gcodePath, x3gPath) ? 1 : 0;
}

zelk::Outcome ZELKMachineControl::SaveX3gFromGCode(const std::string& gcodePath, const std::string& x3gPath,
                                                   const zelk::X3gSave::Accept& accept)
{
    return m_x3gStreamed.FromGCode(gcodePath, x3gPath, accept);
}

int ZELKMachineControl::SaveX3gFile(const char* x3gPath)
{
    return m_x3g.Write(x3gPath) ? 1 : 0;
}

void ZELKMachineControl::StartPrint()
{
    // The index first: the worker must never see the new mode with an old index.
    m_stream.Rewind();
    m_mode.SetPrinting();
    WakeWorker();
}

void ZELKMachineControl::SuspendPrint()
{
    m_mode.SetIdle();
    WakeWorker();  // out of a pause between polls
}

void ZELKMachineControl::RestorationPrint()
{
    m_mode.SetPrinting();
    WakeWorker();
}

void ZELKMachineControl::PausePrint()
{
    if (!m_mode.IsPrinting())
        return;
    m_stream.Pause();
    WakeWorker();
}

void ZELKMachineControl::ResumePrint()
{
    m_stream.Resume();
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
    m_stream.Resume();
    WakeWorker();
}

void ZELKMachineControl::EndPrint()
{
    if (!EndStreaming())
        return;
    // A paused printer is told to carry on once the operations queued after
    // this are out (they go first in idle mode): what it does next is theirs.
    m_stream.Resume();
    WakeWorker();
}

bool ZELKMachineControl::EndStreaming()
{
    if (!m_mode.IsPrinting())
        return false;
    m_mode.SetIdle();
    m_stream.Rewind();
    RemoveOperatePackList();
    WakeWorker();
    return true;
}

int ZELKMachineControl::IsMachinePrinting()
{
    return m_mode.Get() & kModePrinting;
}

int ZELKMachineControl::GetPrintListSize()
{
    return m_stream.Size();
}

// --- operations

void ZELKMachineControl::AddOperationPackage(const Package& package)
{
    AddOperationPackage(std::vector<Package>{package});
}

void ZELKMachineControl::AddOperationPackage(const std::vector<Package>& packages)
{
    m_operations.Add(packages);
    WakeWorker();
}

void ZELKMachineControl::InsertOperationPackage(const Package& package)
{
    InsertOperationPackage(std::vector<Package>{package});
}

void ZELKMachineControl::InsertOperationPackage(const std::vector<Package>& packages)
{
    m_operations.Insert(packages);
    WakeWorker();
}

void ZELKMachineControl::RemoveOperatePackList()
{
    m_operations.Clear();
}

bool ZELKMachineControl::WaitForOperationListEmpty(int timeoutMs)
{
    return m_operations.WaitUntilEmpty(timeoutMs);
}

std::vector<Package> ZELKMachineControl::GetOperatePackList()
{
    return m_operations.Packages();
}

// --- queries and replies

void ZELKMachineControl::ChangePrintType_InquireExtruderTemperature()
{
    m_mode.Ask(kModeExtruderQuery);
    WakeWorker();
}

void ZELKMachineControl::ChangePrintType_InquirePlatformTemperature()
{
    m_mode.Ask(kModePlatformQuery);
    WakeWorker();
}

void ZELKMachineControl::SetReceiveCallback(std::function<void(const RECEIVEBUF&)> callback)
{
    m_replies.SetCallback(std::move(callback));
}

void ZELKMachineControl::SetReceiveCallback(std::nullptr_t)
{
    SetReceiveCallback(std::function<void(const RECEIVEBUF&)>());
}

RECEIVEBUF ZELKMachineControl::GetReceiveBuf()
{
    return m_replies.Record();
}

int ZELKMachineControl::GetIsInquirePlatformTemperature()
{
    return m_replies.PlatformQueryOutstanding();
}

void ZELKMachineControl::SetInquirePlatformTemperature(int outstanding)
{
    m_replies.SetPlatformQueryOutstanding(outstanding);
}

int ZELKMachineControl::GetPortRestartCount()
{
    return m_lostPolicy.RestartCount();
}

bool ZELKMachineControl::WaitForPortRestarts(int count, int timeoutMs)
{
    return m_lostPolicy.WaitForRestarts(count, timeoutMs);
}

ZELKMachineControl::ResendCounts ZELKMachineControl::GetResendCounts() const
{
    return m_exchange.Counts();
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
