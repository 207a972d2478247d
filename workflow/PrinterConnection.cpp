// The printer connection's life: open, handshake, polls, close and loss.
#include "PrinterConnection.h"

#include "MachinePackages.h"
#include "MachineProcedures.h"
#include "ZELKMachineControl.h"

namespace zelk {

const char* PrinterConnection::OpenFailureKey(PortOpenError error)
{
    switch (error) {
    case PortOpenError::Missing: return "id_message_portNotFound";
    case PortOpenError::Busy: return "id_message_portBusy";
    case PortOpenError::PermissionDenied: return "id_message_portNoPermission";
    default: return "id_message_openPortFailed";
    }
}

PrinterConnection::PrinterConnection(ZELKMachineControl& control, RunState& state) : m_control(control), m_run(state)
{
}

PrinterConnection& PrinterConnection::Program()
{
    static PrinterConnection connection(*ZELKMachineControl::GetMachineControl(), RunState::Program());
    return connection;
}

Outcome PrinterConnection::Open(const std::string& device)
{
    m_control.RemoveOperatePackList();
    if (m_control.OpenCom(device) == 0) {
        // Nothing to ask a port that is not open.
        m_state = State::kClosed;
        return Outcome::Message(OpenFailureKey(m_control.GetComOpenError()), m_control.GetComOpenErrorText());
    }
    m_control.InsertOperationPackage(VersionQueryPackage());
    m_state = State::kWaitingForPrinter;
    return Outcome::Done();
}

bool PrinterConnection::PollForPrinter()
{
    if (m_control.GetMachineConnectedIsSucessed() == 0) {
        m_control.InsertOperationPackage(VersionQueryPackage());
        return false;
    }
    m_state = State::kConnected;
    return true;
}

void PrinterConnection::PollTemperature() { m_control.ChangePrintType_InquireExtruderTemperature(); }

bool PrinterConnection::BeginClose(bool* endedPrint)
{
    if (m_control.IsComOpened() == 0 || m_state == State::kClosing)
        return false;
    if (m_control.IsMachinePrinting() != 0)
        procedures::StopPrint(m_control);
    const bool wasPrinting = m_run.EndPrinting();
    if (endedPrint != nullptr)
        *endedPrint = wasPrinting;
    m_state = State::kClosing;
    return true;
}

void PrinterConnection::FinishClose()
{
    m_control.CloseCom();
    m_state = State::kClosed;
}

bool PrinterConnection::Lose()
{
    const bool wasPrinting = m_run.IsPrinting();
    if (m_control.IsComOpened() != 0)
        m_control.CloseCom();
    m_control.RemoveOperatePackList();
    m_run.EndPrinting();
    m_state = State::kClosed;
    return wasPrinting;
}

bool PrinterConnection::IsConnected() const { return m_control.GetMachineConnectedIsSucessed() != 0; }

}  // namespace zelk
