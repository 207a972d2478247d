// The program's own dialogs behind replaceable functions.
#include "AppDialogs.h"

#include <wx/filedlg.h>

#include "ConnectDialog.h"

namespace zelk {

namespace {

std::string DefaultSaveX3g(const std::string& folder, const std::string& fileName)
{
    wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxString::FromUTF8(folder), wxString::FromUTF8(fileName),
                        "Model Files (*.x3g)|*.x3g", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return std::string();
    std::string path = dialog.GetPath().utf8_string();
    // The default extension, as the dialog's filter promises.
    if (path.size() < 4 || path.compare(path.size() - 4, 4, ".x3g") != 0)
        if (path.find('.', path.find_last_of('/') + 1) == std::string::npos)
            path += ".x3g";
    return path;
}

void DefaultConnect(wxWindow* parent, ZELKPrinterConnection& connection)
{
    ZELKConnectDialog dialog(parent, connection);
    dialog.ShowModal();
}

SaveX3gDialogFunction& SaveHook()
{
    static SaveX3gDialogFunction hook = DefaultSaveX3g;
    return hook;
}

ConnectDialogFunction& ConnectHook()
{
    static ConnectDialogFunction hook = DefaultConnect;
    return hook;
}

}  // namespace

SaveX3gDialogFunction SetSaveX3gDialogFunction(SaveX3gDialogFunction function)
{
    SaveX3gDialogFunction previous = std::move(SaveHook());
    SaveHook() = function ? std::move(function) : SaveX3gDialogFunction(DefaultSaveX3g);
    return previous;
}

std::string AskSaveX3gPath(const std::string& folder, const std::string& fileName)
{
    return SaveHook()(folder, fileName);
}

ConnectDialogFunction SetConnectDialogFunction(ConnectDialogFunction function)
{
    ConnectDialogFunction previous = std::move(ConnectHook());
    ConnectHook() = function ? std::move(function) : ConnectDialogFunction(DefaultConnect);
    return previous;
}

void ShowConnectDialog(wxWindow* parent, ZELKPrinterConnection& connection)
{
    ConnectHook()(parent, connection);
}

}  // namespace zelk
