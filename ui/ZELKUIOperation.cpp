// The UI coordinator: panels, tool pictures, texts and messages.
#include "ZELKUIOperation.h"

#include "RunState.h"

#include <algorithm>
#include <utility>

#include <wx/app.h>
#include <wx/msgdlg.h>

#include "EntityDatabase.h"
#include "MachineProcedures.h"
#include "ModelEdit.h"
#include "ToolPictures.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKFrameWnd.h"
#include "ZELKTranslation.h"

namespace {

ZELKUIOperation::MessageBoxFunction& MessageBoxHook()
{
    static ZELKUIOperation::MessageBoxFunction hook = [](const std::string&, const wxString& text) {
        wxMessageBox(text, wxTheApp != nullptr ? wxTheApp->GetAppDisplayName() : wxString(), wxOK);
    };
    return hook;
}

ZELKUIOperation::QuestionBoxFunction& QuestionBoxHook()
{
    static ZELKUIOperation::QuestionBoxFunction hook = [](const std::string&, const wxString& text) {
        // Every question guards an action: No, the safe answer, is the default.
        return wxMessageBox(text, wxTheApp != nullptr ? wxTheApp->GetAppDisplayName() : wxString(),
                            wxYES_NO | wxNO_DEFAULT | wxICON_QUESTION) == wxYES;
    };
    return hook;
}

// The left column: style, window id, y, unchecked and checked bitmaps, tooltip key, shown at creation.
struct ToolPictureRow {
    PictrueCtrlStyle style;
    int id;
    int y;
    unsigned unchecked;
    const char* tooltip;
    bool visible;
};
const ToolPictureRow kToolPictures[] = {
    {PICTURE_VIEW, ID_PIC_VIEW, 160, zelk::kPicView, "id_picToolTip_view", true},
    {PICTURE_GCODE, ID_PIC_GCODE, 240, zelk::kPicGCode, "id_picToolTip_gcode", true},
    {PICTURE_MACHINE_CONTROL, ID_PIC_MACHINE_CONTROL, 320, zelk::kPicMachineControl, "id_picToolTip_machineControl",
     true},
    {PICTURE_MOVE, ID_PIC_MOVE, 400, zelk::kPicMove, "id_picToolTip_move", false},
    {PICTURE_ROTATE, ID_PIC_ROTATE, 480, zelk::kPicRotate, "id_picToolTip_rotate", false},
    {PICTURE_SCALE, ID_PIC_SCALE, 560, zelk::kPicScale, "id_picToolTip_scale", false},
};

const wxPoint kToolPanelOffset(85, 180);

}  // namespace

ZELKUIOperation* ZELKUIOperation::m_uiOperation = nullptr;
wxWeakRef<ZELKBitmapStatic> ZELKUIOperation::m_picStart;

ZELKUIOperation* ZELKUIOperation::GetUIOperationObject()
{
    if (m_uiOperation == nullptr)
        m_uiOperation = new ZELKUIOperation();
    return m_uiOperation;
}

ZELKUIOperation::ZELKUIOperation() : m_machineControl(ZELKMachineControl::GetMachineControl())
{
    m_machineControl->SetReceiveCallback([](const RECEIVEBUF& reply) { OnCommReceive(reply); });
    ZELKTranslation::GetTranslationObject();
    ZELKCAD::SetViewUi(this);
    PanelHost::Set(this);
}

// ---------------------------------------------------------------- creation

void ZELKUIOperation::CreateViewWnd(wxWindow* parent)
{
    if (parent == nullptr)
        return;
    m_viewParent = parent;
    CreateMachineConnectWnd(parent);
    CreatePrepareWnd(parent);
    CreatePrintWatch(parent);
    CreateToolpathPreview(parent);
    if (!m_viewWnd)
        m_viewWnd = new ZELKViewWnd(parent, wxPoint(85, 160));
    if (!m_moveWnd)
        m_moveWnd = new ZELKMoveWnd(parent, wxPoint(85, 203));
    if (!m_rotateWnd)
        m_rotateWnd = new ZELKRotateWnd(parent, wxPoint(85, 203));
    if (!m_scaleWnd)
        m_scaleWnd = new ZELKScaleWnd(parent, wxPoint(85, 203));
    if (!m_gcodeWnd)
        m_gcodeWnd = new ZELKGCodeWnd(parent, wxPoint(85, 203));
    if (!m_controlWnd)
        m_controlWnd = new ZELKMachineControlWnd(parent, wxPoint(85, 203));
    if (!m_infoWnd) {
        m_infoWnd = new ZELKInfoWnd(parent);
        // A window not yet on screen has no screen rectangle to ask for: its
        // place is the top-level window's position plus its own (the frame
        // places the bar again once it is shown).
        wxWindow* top = wxGetTopLevelParent(parent);
        wxRect view = parent->GetRect();
        if (top != nullptr && top->IsShown())
            view = parent->GetScreenRect();
        else if (top != nullptr && top != parent)
            view.Offset(top->GetPosition());
        m_infoWnd->Place(wxPoint(view.x + 6, view.GetBottom() + 1 - 35), view.width - 12);
    }
}

void ZELKUIOperation::CreateMachineConnectWnd(wxWindow* parent)
{
    if (parent != nullptr && !m_connectWnd)
        m_connectWnd = new ZELKMachineConnectWnd(parent, wxPoint(500, 250));
}

void ZELKUIOperation::CreatePrepareWnd(wxWindow* parent)
{
    if (parent != nullptr && !m_prepareWnd)
        m_prepareWnd = new ZELKPrepareWnd(parent, wxPoint(500, 250));
}

void ZELKUIOperation::CreateSinglePictrueCtrl(ZELKPictureCtrl*& picture, const PictrueCtrlInfo& info)
{
    picture = new ZELKPictureCtrl(info.parent, static_cast<int>(info.id), wxPoint(info.x, info.y), info.style,
                                  info.uncheckedBitmap, info.checkedBitmap);
}

void ZELKUIOperation::CreateSinglePictrueCtrl(ZELKBitmapStatic*& picture, wxWindow* parent, int x, int y,
                                              unsigned id, unsigned bitmap)
{
    picture = new ZELKBitmapStatic(parent, static_cast<int>(id), wxPoint(x, y), bitmap, true);
}

void ZELKUIOperation::CreateLeftPictureCtrls(wxWindow* parent)
{
    if (parent == nullptr)
        return;
    ZELKBitmapStatic* made = nullptr;
    CreateSinglePictrueCtrl(made, parent, 570, 10, ID_PIC_IMPORT, zelk::kPicImport);
    m_importPic = made;
    CreateSinglePictrueCtrl(made, parent, 640, 10, ID_PIC_EXPORT, zelk::kPicExport);
    m_exportPic = made;
    CreateSinglePictrueCtrl(made, parent, 10, 10, ID_PIC_SETTING, zelk::kPicDisconnected);
    m_settingPic = made;
    CreateSinglePictrueCtrl(made, parent, 500, 10, ID_PIC_START,
                            GetIsStartPrintState() != 0 ? zelk::kPicStart : zelk::kPicStop);
    m_picStart = made;
    CreateSinglePictrueCtrl(made, parent, 570, 10, ID_PIC_STOP, zelk::kPicStop);
    m_stopPic = made;

    for (const ToolPictureRow& row : kToolPictures) {
        ZELKPictureCtrl* picture = nullptr;
        CreateSinglePictrueCtrl(picture, {parent, 10, row.y, row.unchecked, row.unchecked + 1,
                                          static_cast<unsigned>(row.id), row.style});
        picture->Show(row.visible);
        switch (row.style) {
        case PICTURE_VIEW: m_viewPic = picture; break;
        case PICTURE_MOVE: m_movePic = picture; break;
        case PICTURE_ROTATE: m_rotatePic = picture; break;
        case PICTURE_SCALE: m_scalePic = picture; break;
        case PICTURE_MACHINE_CONTROL: m_machineControlPic = picture; break;
        case PICTURE_GCODE: m_gcodePic = picture; break;
        }
    }
}

void ZELKUIOperation::SetPictureCtrlPosition(int width)
{
    if (width < 300 || !m_picStart)
        return;
    const std::pair<ZELKBitmapStatic*, int> row[] = {
        {m_importPic, 10}, {m_exportPic, 80}, {m_settingPic, 150}, {m_picStart, 220}, {m_stopPic, 290}};
    for (const auto& [picture, x] : row)
        if (picture != nullptr)
            picture->Move(x, 10);
    if (m_stopPic)
        m_stopPic->Hide();
}

void ZELKUIOperation::SetWndPositon(int x, int y)
{
    if (!m_viewWnd)
        return;
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
        if (wxWindow* panel = ToolPanel(static_cast<PictrueCtrlStyle>(style)))
            panel->Move(x + kToolPanelOffset.x, y + kToolPanelOffset.y);
    if (m_connectWnd)
        m_connectWnd->Move(x + kToolPanelOffset.x, y + kToolPanelOffset.y);
    PlaceWatchPanels(wxPoint(x, y));
}

void ZELKUIOperation::SetInfoWndPosition(const wxRect& frameRect, int hide)
{
    if (!m_infoWnd)
        return;
    if (hide != 0) {
        m_infoWnd->Hide();
        return;
    }
    m_infoWnd->Place(wxPoint(frameRect.x + 6, frameRect.GetBottom() + 1 - kInfoBarCover), frameRect.width - 12);
    m_infoWnd->Show();
}

// ---------------------------------------------------------------- panels

wxSize ZELKUIOperation::GetToolPanelsExtent() const
{
    wxSize extent;
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
        if (const wxWindow* panel = ToolPanel(static_cast<PictrueCtrlStyle>(style))) {
            const wxSize size = panel->GetSize();
            extent.x = std::max(extent.x, kToolPanelOffset.x + size.x);
            extent.y = std::max(extent.y, kToolPanelOffset.y + size.y);
        }
    return extent;
}

int ZELKUIOperation::GetToolColumnBottom() const
{
    int bottom = 0;
    const ZELKPictureCtrl* pictures[] = {m_viewPic.get(),  m_gcodePic.get(),   m_machineControlPic.get(),
                                         m_movePic.get(), m_rotatePic.get(), m_scalePic.get()};
    for (const ZELKPictureCtrl* picture : pictures)
        if (picture != nullptr)
            bottom = std::max(bottom, picture->GetRect().GetBottom() + 1);
    return bottom;
}

wxWindow* ZELKUIOperation::ToolPanel(PictrueCtrlStyle style) const
{
    switch (style) {
    case PICTURE_VIEW:
        return m_viewWnd;
    case PICTURE_GCODE:
        return m_gcodeWnd;
    case PICTURE_MOVE:
        return m_moveWnd;
    case PICTURE_ROTATE:
        return m_rotateWnd;
    case PICTURE_SCALE:
        return m_scaleWnd;
    case PICTURE_MACHINE_CONTROL:
        return m_controlWnd;
    default:
        return nullptr;
    }
}

ZELKPictureCtrl* ZELKUIOperation::GetToolPicture(PictrueCtrlStyle style) const
{
    switch (style) {
    case PICTURE_VIEW: return m_viewPic;
    case PICTURE_MOVE: return m_movePic;
    case PICTURE_ROTATE: return m_rotatePic;
    case PICTURE_SCALE: return m_scalePic;
    case PICTURE_MACHINE_CONTROL: return m_machineControlPic;
    case PICTURE_GCODE: return m_gcodePic;
    }
    return nullptr;
}

void ZELKUIOperation::HideToolPanels()
{
    m_controlWndBeforeConnect = false;
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
        if (wxWindow* panel = ToolPanel(static_cast<PictrueCtrlStyle>(style)))
            panel->Hide();
}

void ZELKUIOperation::ShowWnd(PictrueCtrlStyle style, int show, int selection)
{
    if (!m_viewWnd)
        return;
    HideToolPanels();
    if (m_connectWnd)
        m_connectWnd->Hide();
    wxWindow* panel = ToolPanel(style);
    switch (style) {
    case PICTURE_VIEW:
        break;
    case PICTURE_MOVE:
    case PICTURE_ROTATE:
    case PICTURE_SCALE:
        // The click passes whether anything is selected: the controls, or the note.
        if (style == PICTURE_MOVE && m_moveWnd)
            m_moveWnd->ShowControls(selection);
        if (style == PICTURE_ROTATE && m_rotateWnd)
            m_rotateWnd->ShowControls(selection);
        RefreshEditPanel(style);
        break;
    case PICTURE_MACHINE_CONTROL:
        if (const zelk::Outcome allowed = zelk::procedures::MayControlByHand(*m_machineControl); !allowed) {
            MessageBox_Zelk(allowed.key);
            if (m_machineControlPic)
                m_machineControlPic->SetCheckedState(0);
            return;
        }
        break;
    case PICTURE_GCODE:
        if (ZELKModelEdit::GetModelEditObject()->GetPrintModelNumber() == 0) {
            MessageBox_Zelk("id_message_noLoadModel");
            if (m_gcodePic)
                m_gcodePic->SetCheckedState(0);
            return;
        }
        break;
    }
    if (panel != nullptr)
        panel->Show(show != 0);
}

void ZELKUIOperation::ShowWnd(PictrueCtrlStyle style, PictrueCtrlCheckedState state, int selection)
{
    if (!m_viewWnd)
        return;
    HideToolPanels();
    if (style == PICTURE_GCODE && ZELKModelEdit::GetModelEditObject()->GetPrintModelNumber() == 0) {
        MessageBox_Zelk("id_message_noLoadModel");
        return;
    }
    if (style == PICTURE_MOVE && m_moveWnd)
        m_moveWnd->ShowControls(selection);
    if (style == PICTURE_ROTATE && m_rotateWnd)
        m_rotateWnd->ShowControls(selection);
    if (state == PICTURE_CHECKED)
        RefreshEditPanel(style);
    if (wxWindow* panel = ToolPanel(style))
        panel->Show(state == PICTURE_CHECKED);
}

namespace {

// The program's main frame, when it is one of ours.
ZELKFrameWnd* MainFrame()
{
    return wxTheApp != nullptr ? dynamic_cast<ZELKFrameWnd*>(wxTheApp->GetTopWindow()) : nullptr;
}

}  // namespace

void ZELKUIOperation::OnModelsChanged()
{
    if (ZELKFrameWnd* frame = MainFrame())
        frame->OnPlateChanged();
    // Toolpaths shown were made before the change: they no longer show what
    // a print would do.
    if (m_toolpathWnd && m_toolpathWnd->IsShown())
        m_toolpathWnd->Hide();
    switch (GetModelEditState()) {
    case MODEL_EDIT_MOVE: RefreshEditPanel(PICTURE_MOVE); break;
    case MODEL_EDIT_ROTATE: RefreshEditPanel(PICTURE_ROTATE); break;
    case MODEL_EDIT_SCALE: RefreshEditPanel(PICTURE_SCALE); break;
    default: break;
    }
}

void ZELKUIOperation::RefreshEditPanel(PictrueCtrlStyle style)
{
    if (style == PICTURE_MOVE && m_moveWnd)
        m_moveWnd->RefreshFromSelection();
    else if (style == PICTURE_ROTATE && m_rotateWnd)
        m_rotateWnd->RefreshFromSelection();
    else if (style == PICTURE_SCALE && m_scaleWnd)
        m_scaleWnd->RefreshFromSelection();
}

void ZELKUIOperation::ShowWnd(PictrueCtrlStyle style, PictrueCtrlCheckedState state)
{
    HideToolPanels();
    if (wxWindow* panel = ToolPanel(style))
        panel->Show(state == PICTURE_CHECKED);
}

void ZELKUIOperation::ShowWnd(int show)
{
    for (PictrueCtrlStyle style : {PICTURE_MOVE, PICTURE_ROTATE, PICTURE_SCALE}) {
        ZELKPictureCtrl* picture = GetToolPicture(style);
        wxWindow* panel = ToolPanel(style);
        if (picture == nullptr || panel == nullptr)
            continue;
        picture->Show(show != 0);
        picture->SetCheckedState(0);
        panel->Hide();
    }
}

void ZELKUIOperation::HideModelEditWnd()
{
    for (PictrueCtrlStyle style : {PICTURE_MOVE, PICTURE_ROTATE, PICTURE_SCALE}) {
        ZELKPictureCtrl* picture = GetToolPicture(style);
        wxWindow* panel = ToolPanel(style);
        if (picture == nullptr || panel == nullptr)
            continue;
        picture->SetCheckedState(0);
        panel->Hide();
    }
}

void ZELKUIOperation::ShowGCodeWnd(int show)
{
    wxWindow* panel = ToolPanel(PICTURE_GCODE);
    if (panel == nullptr || !panel->IsShown())
        return;
    panel->Show(show != 0);
    if (m_gcodePic)
        m_gcodePic->SetCheckedState(show);
}

void ZELKUIOperation::ShowSlicingPanel()
{
    SetOtherPictureUncheckedBitmap(PICTURE_GCODE);
    if (m_gcodePic)
        m_gcodePic->SetCheckedState(1);
    ShowWnd(PICTURE_GCODE, 1, 0);
}

void ZELKUIOperation::ShowControlWnd(int show)
{
    wxWindow* panel = ToolPanel(PICTURE_MACHINE_CONTROL);
    const bool wasOpen = std::exchange(m_controlWndBeforeConnect, false);
    if (panel == nullptr || !(panel->IsShown() || (show != 0 && wasOpen)))
        return;
    if (show != 0 && m_connectWnd && m_connectWnd->IsShown())
        m_connectWnd->Hide();
    panel->Show(show != 0);
    if (m_machineControlPic)
        m_machineControlPic->SetCheckedState(show);
}

void ZELKUIOperation::ShowMachineConnectWnd()
{
    if (!m_connectWnd)
        return;
    if (m_connectWnd->IsShown()) {
        m_connectWnd->Hide();
        return;
    }
    // One pop-up at a time on the tool side: the connection panel takes the
    // tool panels' place (the watch panels on the other side stay). A machine
    // control panel it closes comes back once a printer answers.
    m_controlWndBeforeConnect = m_controlWnd != nullptr && m_controlWnd->IsShown();
    if (m_toolpathWnd)
        m_toolpathWnd->Hide();
    HideToolPanels();
    UpdatePicCtrlToUnChecked();
    if (m_viewWnd)
        m_connectWnd->Move(m_viewWnd->GetPosition());
    m_connectWnd->RefreshPortList();
    m_connectWnd->Show();
    m_connectWnd->Raise();
}

void ZELKUIOperation::ShowPrepareWnd(int show)
{
    if (m_prepareWnd)
        m_prepareWnd->Show(show != 0);
}

int ZELKUIOperation::GetModelEditState()
{
    if (m_movePic && m_movePic->GetCheckedState() != 0)
        return MODEL_EDIT_MOVE;
    if (m_rotatePic && m_rotatePic->GetCheckedState() != 0)
        return MODEL_EDIT_ROTATE;
    if (m_scalePic && m_scalePic->GetCheckedState() != 0)
        return MODEL_EDIT_SCALE;
    return MODEL_EDIT_NONE;
}

void ZELKUIOperation::DeleteMemory()
{
    JoinToolpathReader();
    if (m_viewWnd)
        m_viewWnd->Destroy();
    for (wxWindow* panel : std::initializer_list<wxWindow*>{m_moveWnd, m_rotateWnd, m_scaleWnd, m_gcodeWnd,
                                                            m_controlWnd, m_connectWnd, m_printMonitorWnd,
                                                            m_temperatureWnd, m_toolpathWnd})
        if (panel != nullptr)
            panel->Destroy();
    if (m_infoWnd)
        m_infoWnd->Destroy();
    // The machine control and connection panels are destroyed here too; the
    // progress panel stays.
    m_viewWnd = nullptr;
    m_moveWnd = nullptr;
    m_rotateWnd = nullptr;
    m_scaleWnd = nullptr;
    m_gcodeWnd = nullptr;
    m_connectWnd = nullptr;
    m_controlWnd = nullptr;
    m_infoWnd = nullptr;
    m_printMonitorWnd = nullptr;
    m_temperatureWnd = nullptr;
    m_toolpathWnd = nullptr;
}

// ---------------------------------------------------------------- pictures

void ZELKUIOperation::OnPictureClicked(ZELKPictureCtrl* picture)
{
    const PictrueCtrlStyle style = picture->GetStyle();
    // The tool panels work on the models: the toolpaths give the view back.
    if (m_toolpathWnd)
        m_toolpathWnd->Hide();
    SetOtherPictureUncheckedBitmap(style);
    const int checked = picture->GetCheckedState() != 0 ? 0 : 1;
    picture->SetCheckedState(checked);
    const int selection = ZELDBEntityDatabase::GetInterFace()->GetSelectCount() > 0 ? 1 : 0;
    ShowWnd(style, checked, selection);
}

void ZELKUIOperation::SetSinglePictureCtrlBitmap(ZELKPictureCtrl* picture, PictrueCtrlStyle keep)
{
    if (picture == nullptr || picture->GetStyle() == keep)
        return;
    picture->SetCheckedState(0);
}

void ZELKUIOperation::SetOtherPictureUncheckedBitmap(PictrueCtrlStyle keep)
{
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
        SetSinglePictureCtrlBitmap(GetToolPicture(static_cast<PictrueCtrlStyle>(style)), keep);
}

void ZELKUIOperation::UpdatePicCtrlToUnChecked()
{
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
        if (ZELKPictureCtrl* picture = GetToolPicture(static_cast<PictrueCtrlStyle>(style)))
            picture->SetCheckedState(0);
}

int ZELKUIOperation::GetPictureCtrls(std::vector<wxWindow*>& pictures)
{
    pictures.clear();
    for (wxWindow* picture : std::initializer_list<wxWindow*>{
             m_settingPic, m_importPic, m_exportPic, m_viewPic, m_gcodePic, m_machineControlPic, m_movePic,
             m_rotatePic, m_scalePic, m_picStart, m_stopPic})
        pictures.push_back(picture);
    return 1;
}

void ZELKUIOperation::ShowMachineConnectPicIsConnected(int connected)
{
    if (m_settingPic)
        m_settingPic->SetBitmapId(connected != 0 ? zelk::kPicConnected : zelk::kPicDisconnected);
    // The temperature graph belongs to a connection: a new one starts empty.
    if (m_temperaturePic)
        m_temperaturePic->Show(connected != 0);
    if (connected == 0) {
        m_lastPlatformC = -1;
        if (m_temperatureWnd) {
            m_temperatureWnd->Clear();
            m_temperatureWnd->Hide();
        }
        if (m_temperaturePic)
            m_temperaturePic->SetBitmapId(zelk::kPicTemperature);
    }
}

int ZELKUIOperation::GetIsStartPrintState() const { return zelk::RunState::Program().IsPrinting() ? 0 : 1; }

void ZELKUIOperation::ChangeIsStartPrintState()
{
    zelk::RunState& state = zelk::RunState::Program();
    state.SetPrinting(!state.IsPrinting());
}

void ZELKUIOperation::EndHandControl()
{
    if (m_controlWnd) {
        m_controlWnd->EndJog();
        m_controlWnd->StopMeasuring();
    }
}

void ZELKUIOperation::OfferNewPrint()
{
    UpdatePrintPicture(1);
    UpdatePrintToolTipText(GetTranslateString("id_picToolTip_startPrint"));
}

int ZELKUIOperation::UpdatePrintPicture(int state)
{
    if (!m_picStart)
        return 0;
    m_picStart->SetBitmapId(state != 0 ? zelk::kPicStart : zelk::kPicStop);
    // Every print's end passes here (the picture offers to start again).
    if (state != 0 && m_uiOperation != nullptr)
        m_uiOperation->EndPrintWatch();
    return 1;
}

// ---------------------------------------------------------------- texts

void ZELKUIOperation::UpdatePicCtrlsToolTip()
{
    for (const ToolPictureRow& row : kToolPictures)
        if (ZELKPictureCtrl* picture = GetToolPicture(row.style))
            picture->SetToolTip(GetTranslateString(row.tooltip));
    const std::pair<ZELKBitmapStatic*, const char*> top[] = {
        {m_importPic, "id_picToolTip_open"}, {m_exportPic, "id_picToolTip_export"},
        {m_settingPic, "id_picToolTip_setting"}};
    for (const auto& [picture, key] : top)
        if (picture != nullptr)
            picture->SetToolTip(GetTranslateString(key));
    UpdatePrintToolTipText(
        GetTranslateString(GetIsStartPrintState() != 0 ? "id_picToolTip_startPrint" : "id_picToolTip_endPrint"));
}

void ZELKUIOperation::UpdatePrintToolTipText(const wxString& text)
{
    if (m_picStart)
        m_picStart->SetToolTip(text);
}

void ZELKUIOperation::Translate()
{
    if (ZELKFrameWnd* frame = MainFrame())
        frame->OnLanguageChanged();
    if (m_infoWnd)
        m_infoWnd->SetModelInformation(wxString());
    if (m_viewWnd) {
        m_viewWnd->Translate();
        if (m_gcodeWnd)
            m_gcodeWnd->Translate();
        if (m_controlWnd)
            m_controlWnd->Translate();
        if (m_moveWnd)
            m_moveWnd->Translate();
        if (m_rotateWnd)
            m_rotateWnd->Translate();
        if (m_scaleWnd)
            m_scaleWnd->Translate();
        if (m_connectWnd)
            m_connectWnd->Translate();
        UpdatePicCtrlsToolTip();
        if (m_prepareWnd)
            m_prepareWnd->Translate();
        if (m_printMonitorWnd)
            m_printMonitorWnd->Translate();
        if (m_temperatureWnd)
            m_temperatureWnd->Translate();
        if (m_temperaturePic)
            m_temperaturePic->SetToolTip(GetTranslateString("id_picToolTip_temperatureGraph"));
        if (m_toolpathWnd)
            m_toolpathWnd->Translate();
        if (m_toolpathPic)
            m_toolpathPic->SetToolTip(GetTranslateString("id_picToolTip_toolpathPreview"));
        if (m_pausePic)
            m_pausePic->SetToolTip(GetTranslateString(m_machineControl->IsPrintPaused() ? "id_picToolTip_resumePrint"
                                                                                         : "id_picToolTip_pausePrint"));
    }
}

wxString ZELKUIOperation::GetTranslateString(const std::string& key)
{
    return ZELKTranslation::GetTranslationObject()->GetString(key);
}

void ZELKUIOperation::MessageBox_Zelk(const std::string& key)
{
    const MessageBoxFunction hook = MessageBoxHook();
    if (hook)
        hook(key, GetTranslateString(key));
}

void ZELKUIOperation::MessageBox_Zelk(const std::string& key, const std::string& detail)
{
    const MessageBoxFunction hook = MessageBoxHook();
    if (!hook)
        return;
    wxString text = GetTranslateString(key);
    if (!detail.empty())
        text += "\n" + wxString::FromUTF8(detail);
    hook(key, text);
}

void ZELKUIOperation::ShowMessageText(const wxString& text)
{
    const MessageBoxFunction hook = MessageBoxHook();
    if (hook)
        hook(std::string(), text);
}

bool ZELKUIOperation::AskYesNo_Zelk(const std::string& key)
{
    return AskYesNo_Zelk(key, std::string());
}

bool ZELKUIOperation::AskYesNo_Zelk(const std::string& key, const std::string& detail)
{
    const QuestionBoxFunction hook = QuestionBoxHook();
    wxString text = GetTranslateString(key);
    if (!detail.empty())
        text += "\n" + wxString::FromUTF8(detail);
    return hook ? hook(key, text) : false;
}

ZELKUIOperation::QuestionBoxFunction ZELKUIOperation::SetQuestionBoxFunction(QuestionBoxFunction function)
{
    QuestionBoxFunction previous = std::move(QuestionBoxHook());
    QuestionBoxHook() = std::move(function);
    return previous;
}

ZELKUIOperation::MessageBoxFunction ZELKUIOperation::SetMessageBoxFunction(MessageBoxFunction function)
{
    MessageBoxFunction previous = std::move(MessageBoxHook());
    MessageBoxHook() = std::move(function);
    return previous;
}

void ZELKUIOperation::ShowModelInformation(const wxString& text)
{
    if (m_infoWnd)
        m_infoWnd->SetModelInformation(text);
}

void ZELKUIOperation::ShowMachineExtrudeTemperature(const wxString& text) { UpdateTemperatureShowValue(text); }

void ZELKUIOperation::UpdateTemperatureShowValue(const wxString& text)
{
    if (m_infoWnd)
        m_infoWnd->SetTemperatureLine(text);
}

void ZELKUIOperation::SetPrepareAction(const wxString& text)
{
    if (m_prepareWnd)
        m_prepareWnd->SetAction(text);
}

void ZELKUIOperation::SetPrepareTime(const wxString& text)
{
    if (m_prepareWnd)
        m_prepareWnd->SetTime(text);
}

void ZELKUIOperation::PrepareStartPrintWnd()
{
    if (!m_prepareWnd)
        return;
    m_prepareWnd->Move(400, 300);
    m_prepareWnd->Show();
    m_prepareWnd->SetTime("00:00");
    m_prepareWnd->SetMode(ZELKPrepareWnd::MODE_PREPARE_PRINT);
    m_prepareWnd->SetAction(GetTranslateString("id_static_prepareInfoPreparePrint"));
}

void ZELKUIOperation::PrepareSaveZLKWnd()
{
    if (!m_prepareWnd)
        return;
    m_prepareWnd->Move(400, 300);
    m_prepareWnd->Show();
    m_prepareWnd->SetTime("00:00");
    m_prepareWnd->SetMode(ZELKPrepareWnd::MODE_SAVE);
    m_prepareWnd->SetAction(GetTranslateString("id_static_prepareInfoSavefile"));
}

void ZELKUIOperation::UpdateTemperatureHeightGCodeWnd(UpdateTemperatureOrHeight what)
{
    if (!m_gcodeWnd)
        return;
    const ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    m_gcodeWnd->SetFields(wxString::FromUTF8(startGCode->GetExtrudeTemperature()),
                          wxString::FromUTF8(startGCode->GetPlateTemperature()),
                          wxString::FromUTF8(startGCode->GetZAxisHeight()),
                          what == UPDATE_EXTRUDE_TEMPERATURE || what == UPDATE_ALL,
                          what == UPDATE_PLATFORM_TEMPERATURE || what == UPDATE_ALL,
                          what == UPDATE_Z_HEIGHT || what == UPDATE_ALL);
}

void ZELKUIOperation::UpdateTemperatureHeightControlWnd(UpdateTemperatureOrHeight what)
{
    if (!m_controlWnd)
        return;
    const ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    m_controlWnd->SetFields(wxString::FromUTF8(startGCode->GetExtrudeTemperature()),
                            wxString::FromUTF8(startGCode->GetPlateTemperature()),
                            wxString::FromUTF8(startGCode->GetZAxisHeight()),
                            what == UPDATE_EXTRUDE_TEMPERATURE || what == UPDATE_ALL,
                            what == UPDATE_PLATFORM_TEMPERATURE || what == UPDATE_ALL,
                            what == UPDATE_Z_HEIGHT || what == UPDATE_ALL);
}

void ZELKUIOperation::UpdateZAxisShowValue(double z)
{
    // Only a height measurement's replies are heights (a jog's stop also
    // reads the position back); the panel ends the measurement once the
    // platform has stopped.
    if (m_controlWnd)
        m_controlWnd->SetMeasuredZ(z);
}

void ZELKUIOperation::StopInquireZPosition()
{
    if (m_controlWnd)
        m_controlWnd->StopMeasuring();
}
