// The printer connection dialog of the connect picture: choose or type a device, connect, disconnect.
#pragma once

#include <wx/dialog.h>

class ZELKPrinterConnection;
class wxComboBox;
class wxStaticText;

class ZELKConnectDialog : public wxDialog {
public:
    enum { ID_DEVICE = 4100, ID_CONNECT = 4101, ID_DISCONNECT = 4102, ID_STATUS = 4103 };

    ZELKConnectDialog(wxWindow* parent, ZELKPrinterConnection& connection);

private:
    void OnConnect(wxCommandEvent& event);
    void OnDisconnect(wxCommandEvent& event);
    void ShowStatus();

    ZELKPrinterConnection& m_connection;
    wxComboBox* m_device = nullptr;
    wxStaticText* m_status = nullptr;
};
