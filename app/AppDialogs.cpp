// The program's own dialogs behind replaceable functions.
#include "AppDialogs.h"

#include <filesystem>

#include <wx/choicdlg.h>
#include <wx/filedlg.h>

#include <wx/app.h>

#include "WorkflowText.h"
#include "ZELKUIOperation.h"

namespace zelk {

namespace {

std::string DefaultSaveX3g(const std::string& folder, const std::string& fileName)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    wxFileDialog dialog(nullptr, ui->GetTranslateString("id_dialog_saveX3gCaption"), wxString::FromUTF8(folder),
                        wxString::FromUTF8(fileName), ui->GetTranslateString("id_filter_x3g") + " (*.x3g)|*.x3g;*.X3G",
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
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

std::optional<gcode::GCodeFlavor> DefaultGCodeFlavor(const std::string& leftOut)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    // The two slicer flavours first: choosing what the file most likely is
    // should be the easy answer.
    const gcode::GCodeFlavor flavors[] = {gcode::GCodeFlavor::kRepRap, gcode::GCodeFlavor::kMakerbot,
                                          gcode::GCodeFlavor::kPrinter};
    const wxString choices[] = {ui->GetTranslateString("id_choice_flavorRepRap"),
                                ui->GetTranslateString("id_choice_flavorMakerbot"),
                                ui->GetTranslateString("id_choice_flavorPrinter")};
    wxSingleChoiceDialog dialog(nullptr, ui->GetTranslateString("id_message_gcodeForeign") + "\n" +
                                             wxString::FromUTF8(leftOut),
                                wxTheApp != nullptr ? wxTheApp->GetAppDisplayName() : wxString(), 3, choices);
    dialog.SetSelection(0);
    if (dialog.ShowModal() != wxID_OK)
        return std::nullopt;
    return flavors[dialog.GetSelection()];
}

GCodeFlavorDialogFunction& FlavorHook()
{
    static GCodeFlavorDialogFunction hook = DefaultGCodeFlavor;
    return hook;
}

}  // namespace

GCodeFlavorDialogFunction SetGCodeFlavorDialogFunction(GCodeFlavorDialogFunction function)
{
    GCodeFlavorDialogFunction previous = std::move(FlavorHook());
    FlavorHook() = function ? std::move(function) : GCodeFlavorDialogFunction(DefaultGCodeFlavor);
    return previous;
}

std::optional<gcode::GCodeFlavor> AskGCodeFlavor(const std::string& leftOut)
{
    return FlavorHook()(leftOut);
}

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
