// The connection and settings panel: printer port, connect and disconnect, background and language.
#pragma once

#include <string>

#include <wx/timer.h>

#include "PrinterConnection.h"
#include "ZELKTransparentDlg.h"

class wxChoice;
class wxComboBox;
class wxStaticText;

// The panel shows the printer connection (PrinterConnection.h) and drives it:
// timer 2 asks for the printer every second until it answers, timer 3 polls
// the extruder temperature for the information bar (every 800 ms once
// connected), timer 4 closes the port after a disconnect.
// User-interface thread.
class ZELKMachineConnectWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3160 };
    enum ControlId { ID_PORT_LIST = 3161, ID_BACKGROUND_LABEL = 3162, ID_STATUS = 3163, ID_BACKGROUND_LIST = 3164,
                     ID_BUTTON_REFRESH = 3165, ID_BUTTON_CONNECT = 3166, ID_BUTTON_DISCONNECT = 3167,
                     ID_LANGUAGE_LABEL = 3168, ID_LANGUAGE_LIST = 3169, ID_CAPTION = 3170 };
    enum TimerId { TIMER_WAIT_FOR_REPLY = 2, TIMER_TEMPERATURE = 3, TIMER_CLOSE_PORT = 4 };
    static constexpr int kReplyPollMs = zelk::PrinterConnection::kReplyPollMs;
    static constexpr int kTemperaturePollMs = zelk::PrinterConnection::kTemperaturePollMs;
    static constexpr int kCloseDelayMs = zelk::PrinterConnection::kCloseDelayMs;

    ZELKMachineConnectWnd(wxWindow* parent, const wxPoint& pos);
    ~ZELKMachineConnectWnd() override;

    // Opens `device` and starts asking for the printer. False, with the
    // translation key of the reason ("id_message_portNotFound", …) and the
    // system's own words in `detail`, when the port cannot be opened.
    bool Connect(const std::string& device, std::string& key, std::string& detail);
    // Ends a running print (stop, then Z home), and closes the port once
    // the worker had time to send them. Does nothing without an open port.
    void Disconnect();
    // The machine link gave the printer up: the panel, the connect picture,
    // a running print and the machine control panel follow, and the user is
    // told why.
    void OnPrinterLost(const std::string& reason);

    // The serial devices there now; the port field keeps its text.
    void RefreshPortList();
    // Texts and list entries in the current language, selections kept.
    void Translate();
    // The status line shown (tests).
    wxString GetStatusText() const;
    bool IsWaitingForReply() const { return m_replyTimer.IsRunning(); }

private:
    void CreateControls();
    void OnButton(wxCommandEvent& event);
    void OnChoice(wxCommandEvent& event);
    void OnTimer(wxTimerEvent& event);
    void OnConnectButton();
    void ClosePort();
    void ShowStatus();
    void EndHandControl();

    wxComboBox* m_portList = nullptr;
    wxChoice* m_backgroundList = nullptr;
    wxChoice* m_languageList = nullptr;
    wxStaticText* m_status = nullptr;
    wxTimer m_replyTimer;
    wxTimer m_temperatureTimer;
    wxTimer m_closeTimer;
};
