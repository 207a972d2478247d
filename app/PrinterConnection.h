// Connecting the machine control to a printer device and watching for its first answer.
#pragma once

#include <string>
#include <vector>

#include <wx/timer.h>

// Opens the device, asks the printer for its version every second until it
// answers, then shows the connect picture as connected and keeps the
// extruder temperature coming for the information bar. User-interface thread.
class ZELKPrinterConnection : public wxEvtHandler {
public:
    static constexpr int kPollMs = 1000;

    ZELKPrinterConnection();
    ~ZELKPrinterConnection() override;

    // False with `reason` when the device cannot be opened.
    bool Connect(const std::string& device, std::string& reason);
    void Disconnect();
    const std::string& GetDevice() const { return m_device; }

    // The printer devices present: stable by-id names first, then
    // /dev/ttyACM* and /dev/ttyUSB* (the always-present ttyS* are left out).
    static std::vector<std::string> ListDevices();

private:
    void OnTimer(wxTimerEvent& event);
    // The machine control gave the printer up (it stopped answering or its
    // device went away): the connection ends, a running print with it, and
    // the user is told why. User-interface thread.
    void OnPrinterLost(const std::string& reason);

    // The connection the machine control's printer-lost report reaches (one
    // per program); touched on the user-interface thread only.
    static ZELKPrinterConnection* s_current;

    wxTimer m_timer;
    std::string m_device;
    bool m_answered = false;
};
