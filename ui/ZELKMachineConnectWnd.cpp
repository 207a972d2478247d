// The connection and settings panel: printer port, connect and disconnect, background and language.
#include "ZELKMachineConnectWnd.h"

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/stattext.h>
#include <wx/weakref.h>

#include "PrinterConnection.h"
#include "SerialPortList.h"
#include "ViewCommands.h"
#include "ZELKMachineControl.h"
#include "ZELKTranslation.h"
#include "PanelHost.h"

namespace {

wxString Text(const std::string& key) { return ZELKTranslation::GetTranslationObject()->GetString(key); }

void ShowMessage(const std::string& key, const std::string& detail)
{
    if (PanelHost* host = PanelHost::Get())
        host->MessageBox_Zelk(key, detail);
}

// The caption's band above the controls, in dialog units.
constexpr int kCaptionDlu = 20;

// The panel the machine link's printer-lost report reaches (one per program).
wxWeakRef<ZELKMachineConnectWnd> g_reportTarget;

}  // namespace

ZELKMachineConnectWnd::ZELKMachineConnectWnd(wxWindow* parent, const wxPoint& pos)
    : m_replyTimer(this, TIMER_WAIT_FOR_REPLY), m_temperatureTimer(this, TIMER_TEMPERATURE),
      m_closeTimer(this, TIMER_CLOSE_PORT)
{
    // Framed like the tool panels, with its caption and close box.
    Create(parent, IDD, pos, wxSize(236, 140 + kCaptionDlu));
    CreateControls();
    Bind(wxEVT_BUTTON, &ZELKMachineConnectWnd::OnButton, this);
    Bind(wxEVT_CHOICE, &ZELKMachineConnectWnd::OnChoice, this);
    Bind(wxEVT_TIMER, &ZELKMachineConnectWnd::OnTimer, this);
    OnInitDialog();
    RefreshPortList();
    m_backgroundList->SetSelection(0);
    int language = ZELKTranslation::GetTranslationObject()->GetLanguage();
    Translate();
    m_languageList->SetSelection(language);
    ShowStatus();

    g_reportTarget = this;
    // The report comes on the machine link's worker; the event loop hands it
    // to the panel if it is still there by then.
    ZELKMachineControl::GetMachineControl()->SetPrinterLostCallback([](const std::string& reason) {
        if (wxTheApp != nullptr)
            wxTheApp->CallAfter([reason] {
                if (g_reportTarget)
                    g_reportTarget->OnPrinterLost(reason);
            });
    });
}

ZELKMachineConnectWnd::~ZELKMachineConnectWnd()
{
    m_replyTimer.Stop();
    m_temperatureTimer.Stop();
    m_closeTimer.Stop();
}

void ZELKMachineConnectWnd::CreateControls()
{
    SetFont(wxFont(wxFontInfo(9)));
    wxStaticText* caption = AddStatic(ID_CAPTION, wxString(), wxRect(4, 2, 150, kCaptionDlu - 2), wxST_ELLIPSIZE_END);
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25)).Weight(900).Family(wxFONTFAMILY_ROMAN)
                                .FaceName(wxString::FromUTF8("宋体"))));
    // Below the caption, the controls at their places.
    const auto at = [this](int x, int y, int width, int height) { return DluRect(x, y + kCaptionDlu, width, height); };
    const wxRect port = at(8, 6, 142, 12);
    m_portList = new wxComboBox(this, ID_PORT_LIST, wxString(), port.GetPosition(), wxSize(port.width, -1), 0,
                                nullptr, wxCB_DROPDOWN | wxCB_SORT);
    const auto button = [this, &at](int id, int x, int y, int width) {
        const wxRect rect = at(x, y, width, 15);
        return new wxButton(this, id, wxString(), rect.GetPosition(), rect.GetSize(), wxBU_EXACTFIT);
    };
    button(ID_BUTTON_REFRESH, 156, 6, 72);
    button(ID_BUTTON_CONNECT, 8, 31, 74)->SetDefault();
    button(ID_BUTTON_DISCONNECT, 86, 31, 74);
    m_status = AddStatic(ID_STATUS, wxString(), wxRect(8, 51 + kCaptionDlu, 220, 14), wxST_ELLIPSIZE_END);
    m_status->SetFont(wxFont(wxFontInfo(12).Bold()));

    AddStatic(ID_BACKGROUND_LABEL, wxString(), wxRect(8, 73 + kCaptionDlu, 56, 10), wxST_ELLIPSIZE_END);
    const wxRect background = at(66, 69, 90, 12);
    m_backgroundList = new wxChoice(this, ID_BACKGROUND_LIST, background.GetPosition(), wxSize(background.width, -1));
    AddStatic(ID_LANGUAGE_LABEL, wxString(), wxRect(8, 97 + kCaptionDlu, 56, 10), wxST_ELLIPSIZE_END);
    const wxRect language = at(66, 93, 90, 12);
    m_languageList = new wxChoice(this, ID_LANGUAGE_LIST, language.GetPosition(), wxSize(language.width, -1));
    button(wxID_OK, 156, 119, 72);
}

void ZELKMachineConnectWnd::Translate()
{
    SetLabel(Text("id_dialog_settingCaption"));
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_dialog_settingCaption");
    const std::pair<int, const char*> texts[] = {{ID_BUTTON_REFRESH, "id_button_settingFlushPort"},
                                                 {ID_BUTTON_CONNECT, "id_button_settingConnect"},
                                                 {ID_BUTTON_DISCONNECT, "id_button_settingDisConnect"},
                                                 {ID_BACKGROUND_LABEL, "id_static_background"},
                                                 {ID_LANGUAGE_LABEL, "id_static_language"},
                                                 {wxID_OK, "id_button_settingOK"}};
    for (const auto& [id, key] : texts)
        ZELKTranslation::SetDlgItemText(this, id, key);
    const int background = m_backgroundList->GetSelection();
    m_backgroundList->Clear();
    for (const char* key : {"id_combox_settingGray", "id_combox_settingLightBlue", "id_combox_settingDarkBlue"})
        m_backgroundList->Append(Text(key));
    m_backgroundList->SetSelection(background);
    // Each language named in its own words, so a user who reads none of the
    // current one still finds theirs.
    const int language = m_languageList->GetSelection();
    m_languageList->Clear();
    for (int entry : {LANGUAGE_CHINESE, LANGUAGE_ENGLISH, LANGUAGE_FRENCH})
        m_languageList->Append(ZELKTranslation::NativeName(entry));
    m_languageList->SetSelection(language);
    ShowStatus();
}

void ZELKMachineConnectWnd::RefreshPortList()
{
    // The list offers the devices there now; the field keeps what it held (a
    // path the user typed, the port connected to).
    const wxString kept = m_portList->GetValue();
    m_portList->Clear();
    for (const std::string& device : zelk::ListSerialDevices())
        m_portList->Append(wxString::FromUTF8(device));
    m_portList->SetValue(kept);
}

wxString ZELKMachineConnectWnd::GetStatusText() const { return m_status->GetLabelText(); }

void ZELKMachineConnectWnd::ShowStatus()
{
    const bool connected = ZELKMachineControl::GetMachineControl()->GetMachineConnectedIsSucessed() != 0;
    m_status->SetLabelText(Text(connected ? "id_static_settingMachineCon" : "id_static_settingMachineDiscon"));
    m_status->SetForegroundColour(connected ? wxColour(0, 255, 0) : wxColour(255, 0, 0));
    if (PanelHost* host = PanelHost::Get()) {
        host->ShowMachineConnectPicIsConnected(connected ? 1 : 0);
        if (!connected)
            host->ShowMachineExtrudeTemperature(wxString());
    }
    m_status->Refresh();
}

void ZELKMachineConnectWnd::OnButton(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_BUTTON_CONNECT: OnConnectButton(); break;
    case ID_BUTTON_DISCONNECT: Disconnect(); break;
    case ID_BUTTON_REFRESH: RefreshPortList(); break;
    case wxID_OK: OnOK(); break;
    default: event.Skip(); break;
    }
}

void ZELKMachineConnectWnd::OnChoice(wxCommandEvent& event)
{
    if (event.GetId() == ID_BACKGROUND_LIST) {
        // For this run only.
        ZELKCAD::SetGrainIndex(m_backgroundList->GetSelection());
        if (wxWindow* view = ZELKCAD::GetCurrentView())
            view->Refresh(false);
    } else if (event.GetId() == ID_LANGUAGE_LIST && m_languageList->GetSelection() != wxNOT_FOUND) {
        // Every window, this one included, takes the new texts now.
        ZELKTranslation::GetTranslationObject()->Translate(static_cast<LANGUAGE>(m_languageList->GetSelection()));
    } else {
        event.Skip();
    }
}

void ZELKMachineConnectWnd::OnConnectButton()
{
    const wxString device = m_portList->GetValue().Trim().Trim(false);
    if (device.empty()) {
        ShowMessage("id_message_noSelectPort", std::string());
        return;
    }
    std::string key, detail;
    if (!Connect(device.utf8_string(), key, detail))
        ShowMessage(key, detail);
}

bool ZELKMachineConnectWnd::Connect(const std::string& device, std::string& key, std::string& detail)
{
    m_closeTimer.Stop();
    m_replyTimer.Stop();
    m_temperatureTimer.Stop();
    const zelk::Outcome opened = zelk::PrinterConnection::Program().Open(device);
    if (!opened) {
        // The panel stays disconnected and says why.
        key = opened.key;
        detail = opened.reason;
        ShowStatus();
        return false;
    }
    m_replyTimer.Start(kReplyPollMs);
    m_temperatureTimer.Start(kReplyPollMs);
    ShowStatus();
    return true;
}

void ZELKMachineConnectWnd::OnTimer(wxTimerEvent& event)
{
    zelk::PrinterConnection& connection = zelk::PrinterConnection::Program();
    switch (event.GetId()) {
    case TIMER_WAIT_FOR_REPLY:
        if (!connection.PollForPrinter())
            return;
        m_replyTimer.Stop();
        m_temperatureTimer.Start(kTemperaturePollMs);
        ShowStatus();
        // A machine control panel left open comes back with its picture checked.
        if (PanelHost* host = PanelHost::Get())
            host->ShowControlWnd(1);
        OnOK();
        return;
    case TIMER_TEMPERATURE: connection.PollTemperature(); return;
    case TIMER_CLOSE_PORT: ClosePort(); return;
    default: event.Skip(); return;
    }
}

void ZELKMachineConnectWnd::Disconnect()
{
    if (ZELKMachineControl::GetMachineControl()->IsComOpened() == 0 || m_closeTimer.IsRunning())
        return;
    // A running print ends with the connection: only when the user says so.
    if (zelk::RunState::Program().IsPrinting()) {
        PanelHost* host = PanelHost::Get();
        if (host == nullptr || !host->AskYesNo_Zelk("id_message_confirmDisconnectPrint", std::string()))
            return;
    }
    EndHandControl();
    bool endedPrint = false;
    if (!zelk::PrinterConnection::Program().BeginClose(&endedPrint))
        return;
    if (endedPrint)
        if (PanelHost* host = PanelHost::Get())
            host->OfferNewPrint();
    m_replyTimer.Stop();
    m_temperatureTimer.Stop();
    // The worker sends what was just queued before the port closes; the
    // user interface goes on meanwhile.
    m_closeTimer.StartOnce(kCloseDelayMs);
}

void ZELKMachineConnectWnd::ClosePort()
{
    zelk::PrinterConnection::Program().FinishClose();
    ShowStatus();
    if (PanelHost* host = PanelHost::Get())
        host->ShowControlWnd(0);
}

void ZELKMachineConnectWnd::EndHandControl()
{
    // A jog still held and a height measurement end with the link.
    if (PanelHost* host = PanelHost::Get())
        host->EndHandControl();
}

void ZELKMachineConnectWnd::OnPrinterLost(const std::string& reason)
{
    m_replyTimer.Stop();
    m_temperatureTimer.Stop();
    m_closeTimer.Stop();
    EndHandControl();
    const bool wasPrinting = zelk::PrinterConnection::Program().Lose();
    PanelHost* host = PanelHost::Get();
    if (wasPrinting && host != nullptr)
        host->OfferNewPrint();
    ShowStatus();
    if (host != nullptr) {
        host->ShowControlWnd(0);
        if (wasPrinting)
            host->NotifyPrintEnded(Text("id_message_printerLost"));
    }
    ShowMessage(wasPrinting ? "id_message_printerLost" : "id_message_printerGone", reason);
}
