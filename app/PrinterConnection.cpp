// Connecting the machine control to a printer device and watching for its first answer.
#include "PrinterConnection.h"

#include <wx/app.h>

#include <algorithm>
#include <filesystem>

#include "ZELKMachineControl.h"
#include "ZELKUIOperation.h"

namespace {

// Query 0 (version) with host version 40: D5 03 00 28 00 B7.
Package VersionQueryPackage()
{
    Package package;
    const unsigned char frame[] = {0xD5, 0x03, 0x00, 0x28, 0x00, 0xB7};
    std::copy(std::begin(frame), std::end(frame), package.data);
    package.size = sizeof frame;
    return package;
}

std::vector<std::string> Matching(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0)
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

ZELKPrinterConnection* ZELKPrinterConnection::s_current = nullptr;

ZELKPrinterConnection::ZELKPrinterConnection() : m_timer(this)
{
    Bind(wxEVT_TIMER, &ZELKPrinterConnection::OnTimer, this);
    s_current = this;
    // The report comes on the machine link's worker; the application's event
    // loop hands it to whichever connection is there by then.
    ZELKMachineControl::GetMachineControl()->SetPrinterLostCallback([](const std::string& reason) {
        if (wxTheApp != nullptr)
            wxTheApp->CallAfter([reason] {
                if (s_current != nullptr)
                    s_current->OnPrinterLost(reason);
            });
    });
}

ZELKPrinterConnection::~ZELKPrinterConnection()
{
    m_timer.Stop();
    if (s_current == this)
        s_current = nullptr;
}

void ZELKPrinterConnection::OnPrinterLost(const std::string& reason)
{
    m_timer.Stop();
    m_device.clear();
    m_answered = false;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->ShowMachineConnectPicIsConnected(0);
    if (ui->GetIsStartPrintState() == 0) {
        ui->ChangeIsStartPrintState();
        ZELKUIOperation::UpdatePrintPicture(1);
        ui->UpdatePrintToolTipText(ui->GetTranslateString("id_picToolTip_startPrint"));
    }
    ui->MessageBox_Zelk("id_message_printerLost", reason);
}

bool ZELKPrinterConnection::Connect(const std::string& device, std::string& reason)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    Disconnect();
    if (control->OpenCom(device) == 0) {
        reason = control->GetComOpenErrorText();
        if (reason.empty())
            reason = device + ": cannot be opened";
        return false;
    }
    m_device = device;
    m_answered = false;
    control->InsertOperationPackage(VersionQueryPackage());
    m_timer.Start(kPollMs);
    return true;
}

void ZELKPrinterConnection::Disconnect()
{
    m_timer.Stop();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    if (control->IsComOpened() != 0)
        control->CloseCom();
    m_device.clear();
    m_answered = false;
    ZELKUIOperation::GetUIOperationObject()->ShowMachineConnectPicIsConnected(0);
}

void ZELKPrinterConnection::OnTimer(wxTimerEvent&)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    if (control->GetMachineConnectedIsSucessed() == 0) {
        control->InsertOperationPackage(VersionQueryPackage());
        return;
    }
    if (!m_answered) {
        m_answered = true;
        ZELKUIOperation::GetUIOperationObject()->ShowMachineConnectPicIsConnected(1);
    }
    control->ChangePrintType_InquireExtruderTemperature();
}

std::vector<std::string> ZELKPrinterConnection::ListDevices()
{
    std::vector<std::string> devices = Matching("/dev/serial/by-id", "");
    for (const char* prefix : {"ttyACM", "ttyUSB"})
        for (std::string& device : Matching("/dev", prefix))
            devices.push_back(std::move(device));
    return devices;
}
