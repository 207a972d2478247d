// The coordinator's toolpath preview: its picture in the top row, the panel
// it opens on the file to print (an opened G-code or X3G file, or the G-code
// sliced for the loaded models), and the pictures of
// the pop-up panels that follow whether their panel is shown.
#include <filesystem>
#include <memory>

#include <wx/app.h>
#include <wx/event.h>
#include <wx/utils.h>

#include "PrintFileChoice.h"
#include "ZELKMachine.h"
#include "ToolPictures.h"
#include "ZELKUIOperation.h"

namespace {

const wxPoint kToolpathPicture(430, 10);

}  // namespace

void ZELKUIOperation::CreateTopPicture(wxWeakRef<ZELKBitmapStatic>& picture, wxWindow* parent, const wxPoint& at,
                                       unsigned id, unsigned bitmap, bool shown)
{
    if (picture)
        return;
    ZELKBitmapStatic* made = nullptr;
    CreateSinglePictrueCtrl(made, parent, at.x, at.y, id, bitmap);
    made->Show(shown);
    picture = made;
}

void ZELKUIOperation::FollowPanel(wxWindow* panel, ZELKBitmapStatic* picture, unsigned unchecked)
{
    wxWeakRef<ZELKBitmapStatic> weak(picture);
    panel->Bind(wxEVT_SHOW, [weak, unchecked](wxShowEvent& event) {
        if (weak)
            weak->SetBitmapId(event.IsShown() ? unchecked + 1 : unchecked);
        event.Skip();
    });
}

void ZELKUIOperation::CreateToolpathPreview(wxWindow* parent)
{
    if (parent == nullptr)
        return;
    CreateTopPicture(m_toolpathPic, parent, kToolpathPicture, ID_PIC_TOOLPATH, zelk::kPicToolpath, true);
    if (!m_toolpathWnd) {
        m_toolpathWnd = new ZELKToolpathWnd(parent, wxDefaultPosition);
        FollowPanel(m_toolpathWnd, m_toolpathPic, zelk::kPicToolpath);
    }
}

void ZELKUIOperation::ToggleToolpathWnd()
{
    if (!m_toolpathWnd)
        return;
    if (m_toolpathWnd->IsShown()) {
        m_toolpathWnd->Hide();
        return;
    }
    // The G-code or X3G file opened to print, else the models' G-code.
    const std::string gcodePath = ZELKCAD::GetPrintFilePath();
    if (gcodePath.empty()) {
        MessageBox_Zelk("id_message_noLoadModel");
        return;
    }
    std::error_code ec;
    if (!std::filesystem::exists(gcodePath, ec)) {
        MessageBox_Zelk("id_message_noGenerateGCode");
        return;
    }
    if (m_toolpathReading)
        return;  // the panel opens once the file read now is in
    JoinToolpathReader();
    // A big file takes a moment to read: off the user-interface thread.
    m_toolpathReading = true;
    wxBeginBusyCursor();
    const bool x3g = ZELKCAD::PrintFileKindOf(gcodePath) == ZELKCAD::PrintFileKind::kX3g;
    const CPoint5D spm = ZELKMachine::GetMachine()->GetStepsPerMM();
    const double stepsPerMm[4] = {spm.Axis_X(), spm.Axis_Y(), spm.Axis_Z(), spm.Axis_A()};
    m_toolpathReader.SetTechFun([this, gcodePath, x3g, stepsPerMm] {
        auto model = std::make_shared<zelk::ToolpathModel>(x3g ? zelk::ReadToolpathX3g(gcodePath, stepsPerMm)
                                                               : zelk::ReadToolpath(gcodePath));
        if (wxTheApp != nullptr)
            wxTheApp->CallAfter([this, model] { ShowReadToolpaths(model); });
    });
    if (!m_toolpathReader.BeginThread()) {
        m_toolpathReading = false;
        wxEndBusyCursor();
        MessageBox_Zelk("id_message_gcodeUnusable", gcodePath + ": no thread to read it");
    }
}

void ZELKUIOperation::ShowReadToolpaths(const std::shared_ptr<zelk::ToolpathModel>& model)
{
    m_toolpathReading = false;
    wxEndBusyCursor();
    JoinToolpathReader();
    if (!m_toolpathWnd)
        return;
    std::string reason;
    if (!m_toolpathWnd->SetToolpaths(std::move(*model), reason)) {
        MessageBox_Zelk("id_message_gcodeUnusable", reason);
        return;
    }
    // One pop-up over the view at a time: the edit and slicing panels close.
    HideToolPanels();
    UpdatePicCtrlToUnChecked();
    m_toolpathWnd->Translate();
    PlaceWatchPanels();
    m_toolpathWnd->Show();
}

void ZELKUIOperation::JoinToolpathReader()
{
    m_toolpathReader.EndThread(ZELKThreadProc::kWaitForever);
}
