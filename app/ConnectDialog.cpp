// The printer connection dialog of the connect picture.
#include "ConnectDialog.h"

#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "PrinterConnection.h"
#include "ZELKMachineControl.h"

ZELKConnectDialog::ZELKConnectDialog(wxWindow* parent, ZELKPrinterConnection& connection)
    : wxDialog(parent, wxID_ANY, "Printer"), m_connection(connection)
{
    auto* rows = new wxBoxSizer(wxVERTICAL);
    rows->Add(new wxStaticText(this, wxID_ANY, "Device (choose one, or type a path such as a pseudo-terminal):"), 0,
              wxALL, 8);
    wxArrayString devices;
    for (const std::string& device : ZELKPrinterConnection::ListDevices())
        devices.Add(wxString::FromUTF8(device));
    const wxString current =
        !connection.GetDevice().empty() ? wxString::FromUTF8(connection.GetDevice())
                                        : (devices.empty() ? wxString() : devices[0]);
    m_device = new wxComboBox(this, ID_DEVICE, current, wxDefaultPosition, wxSize(360, -1), devices);
    rows->Add(m_device, 0, wxLEFT | wxRIGHT | wxEXPAND, 8);
    m_status = new wxStaticText(this, ID_STATUS, wxString());
    rows->Add(m_status, 0, wxALL, 8);
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->Add(new wxButton(this, ID_CONNECT, "Connect"), 0, wxRIGHT, 8);
    buttons->Add(new wxButton(this, ID_DISCONNECT, "Disconnect"), 0, wxRIGHT, 8);
    buttons->Add(new wxButton(this, wxID_CANCEL, "Close"));
    rows->Add(buttons, 0, wxALL | wxALIGN_RIGHT, 8);
    SetSizerAndFit(rows);
    Bind(wxEVT_BUTTON, &ZELKConnectDialog::OnConnect, this, ID_CONNECT);
    Bind(wxEVT_BUTTON, &ZELKConnectDialog::OnDisconnect, this, ID_DISCONNECT);
    ShowStatus();
}

void ZELKConnectDialog::ShowStatus()
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    if (control->GetMachineConnectedIsSucessed() != 0)
        m_status->SetLabelText("Connected to " + wxString::FromUTF8(m_connection.GetDevice()));
    else if (control->IsComOpened() != 0)
        m_status->SetLabelText("Waiting for the printer on " + wxString::FromUTF8(m_connection.GetDevice()));
    else
        m_status->SetLabel("Not connected");
}

void ZELKConnectDialog::OnConnect(wxCommandEvent&)
{
    const std::string device = m_device->GetValue().Trim().Trim(false).utf8_string();
    if (device.empty()) {
        m_status->SetLabel("Choose or type a device first");
        return;
    }
    std::string reason;
    if (!m_connection.Connect(device, reason)) {
        m_status->SetLabelText(wxString::FromUTF8(reason));
        Layout();
        Fit();
        return;
    }
    // The connect picture turns green once the printer answers.
    EndModal(wxID_OK);
}

void ZELKConnectDialog::OnDisconnect(wxCommandEvent&)
{
    m_connection.Disconnect();
    ShowStatus();
}
