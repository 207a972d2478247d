// The program's own dialogs behind replaceable functions.
#include "AppDialogs.h"

#include <filesystem>

#include <wx/filedlg.h>

#include "WorkflowText.h"
#include "ZELKUIOperation.h"

namespace zelk {

namespace {

std::string DefaultSaveX3g(const std::string& folder, const std::string& fileName)
{
    wxFileDialog dialog(nullptr, wxFileSelectorPromptStr, wxString::FromUTF8(folder), wxString::FromUTF8(fileName),
                        "Model Files (*.x3g)|*.x3g", wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return std::string();
    const std::string chosen = dialog.GetPath().utf8_string();
    // The default extension, as the dialog's filter promises; the dialog did
    // not see that name, so replacing a file of that name is asked here.
    const std::string path = WithX3gExtension(chosen);
    std::error_code ec;
    if (path != chosen && std::filesystem::exists(path, ec) &&
        !ZELKUIOperation::GetUIOperationObject()->AskYesNo_Zelk("id_message_replaceExistingFile"))
        return std::string();
    return path;
}

SaveX3gDialogFunction& SaveHook()
{
    static SaveX3gDialogFunction hook = DefaultSaveX3g;
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

}  // namespace zelk
