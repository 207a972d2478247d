// CMainFrame: the program's top-level window.
#include "MainFrame.h"

#include <algorithm>
#include <vector>

#include <wx/bmpbndl.h>
#include <wx/display.h>
#include <wx/filefn.h>
#include <wx/iconbndl.h>
#include <wx/log.h>
#include <wx/sizer.h>

#include "DBEntity.h"
#include "EntityDatabase.h"
#include "FileDrop.h"
#include "FileIni.h"
#include "MainMenu.h"
#include "PrintFileChoice.h"
#include "WindowTitle.h"
#include "MachineProcedures.h"
#include "RunState.h"
#include "ZELKMachineControl.h"
#include "OrvanelView.h"
#include "ProgramFolder.h"
#include "ZELKFileLog.h"
#include "ZELKUIOperation.h"

namespace {

// Room beside the widest panel.
constexpr int kLayoutMarginPx = 10;
// Room below the lowest tool picture for the axis marker, which the view draws
// 40 pixels above its bottom edge with arrows about 25 pixels long, clear of
// the information bar's cover.
constexpr int kAxisMarkerRoomPx = 70;
// Decorations: what a title bar usually takes, and more than any takes.
constexpr int kTitleBarAllowancePx = 40;
constexpr int kMaxDecorationPx = 200;

std::vector<zelk::ScreenRect> DisplayWorkAreas()
{
    std::vector<zelk::ScreenRect> areas;
    for (unsigned i = 0; i < wxDisplay::GetCount(); ++i) {
        const wxDisplay display(i);
        const wxRect r = display.GetClientArea();
        const zelk::ScreenRect area{r.x, r.y, r.width, r.height};
        if (display.IsPrimary())
            areas.insert(areas.begin(), area);
        else
            areas.push_back(area);
    }
    return areas;
}

zelk::ScreenRect ToScreenRect(const wxRect& r) { return {r.x, r.y, r.width, r.height}; }

}  // namespace

CMainFrame::CMainFrame()
    : ZELKFrameWnd(nullptr, wxID_ANY, "Orvanel v1.0", wxDefaultPosition, wxSize(kWidth, kHeight))
{
    // The program's icon, the same picture the desktop's menu shows (a shipped file).
    // Quietly without it (a test's program folder): a missing file is no error to show.
    const std::string iconPath = zelk::ProgramFilePath("morvadin-x.svg");
    wxBitmapBundle icon;
    if (wxFileExists(iconPath)) {
        wxLogNull quiet;
        icon = wxBitmapBundle::FromSVGFile(iconPath, wxSize(64, 64));
    }
    if (icon.IsOk()) {
        wxIconBundle icons;
        for (const int side : {16, 32, 48, 64, 128})
            icons.AddIcon(icon.GetIcon(wxSize(side, side)));
        SetIcons(icons);
    }
    m_view = new COrvanelView(this);
    m_menu = std::make_unique<MainMenu>(*this, *m_view, *ZELKFileIni::GetFileIniObject());
    m_menu->Install();
    m_view->SetFilesOpenedHandler([this](const std::vector<std::string>& paths) { m_menu->AddRecentFiles(paths); });
    // Files dropped on the window open as the import opens them.
    SetDropTarget(new FileDrop(*m_view));
    m_view->SetDropTarget(new FileDrop(*m_view));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_view, 1, wxEXPAND);
    SetSizer(sizer);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    // Bound after the base's handlers, so these run first; the base keeps the
    // tool panels with the frame and hides the bar when the frame is iconised.
    Bind(wxEVT_MOVE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnMoveOrSize, this);
    // A window manager raises the frame when it is clicked, over the pop-ups
    // it owns: the information bar and the shown panels go back on top each
    // time the frame is activated (without taking the keyboard from it).
    Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
        event.Skip();
        if (event.GetActive())
            CallAfter([this] {
                if (!IsShown())
                    return;
                for (wxWindow* child : GetChildren())
                    if (child->IsTopLevel())
                        ZELKTransparentDlg::RaiseWithoutFocus(child);
            });
    });
}

void CMainFrame::OnMoveOrSize(wxEvent& event)
{
    event.Skip();
    if (!IsShown())
        return;
    PlaceInformationBar();
    if (event.GetEventType() == wxEVT_SIZE) {
        KeepLayoutMinimum();
        // Once the window manager has settled the frame (it may pass through
        // other sizes while it maps or maximises it), the bar follows again.
        CallAfter([this] {
            if (IsShown())
                PlaceInformationBar();
        });
    }
    // What a restore returns to, and what the next start begins with.
    if (!IsMaximized() && !IsIconized() && !IsFullScreen())
        m_placement.normal = ToScreenRect(GetRect());
}

wxSize CMainFrame::LayoutMinimumSize() const
{
    const ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    const wxSize decoration = GetSize() - GetClientSize();
    const wxSize panels = ui->GetToolPanelsExtent();
    const int column = decoration.y + ui->GetToolColumnBottom() + kAxisMarkerRoomPx;
    return wxSize(panels.x + kLayoutMarginPx, std::max(panels.y + ZELKUIOperation::kInfoBarCover, column));
}

void CMainFrame::KeepLayoutMinimum()
{
    // Only real decorations count: while the window is being mapped its size
    // can briefly be anything.
    const wxSize decoration = GetSize() - GetClientSize();
    if (!IsShownOnScreen() || decoration == m_decoration || decoration.x < 0 || decoration.y < 0 ||
        decoration.y > kMaxDecorationPx)
        return;
    m_decoration = decoration;
    const wxRect area = wxDisplay(wxDisplay::GetFromWindow(this)).GetClientArea();
    const wxSize layout = LayoutMinimumSize();
    SetMinSize(wxSize(std::min(layout.x, area.width), std::min(layout.y, area.height)));
}

bool CMainFrame::PlaceAtStart()
{
    const wxSize minimum = LayoutMinimumSize();
    // Before the first show the window manager's title bar is not known yet;
    // the first size leaves room for a usual one.
    const int titleBar = GetSize().y == GetClientSize().y ? kTitleBarAllowancePx : 0;
    const wxSize preferred(std::max(kWidth, minimum.x), std::max(kHeight, minimum.y + titleBar));
    zelk::WindowPlacement stored;
    const bool remembered = zelk::ReadWindowPlacement(*ZELKFileIni::GetFileIniObject(), stored);
    const std::vector<zelk::ScreenRect> areas = DisplayWorkAreas();
    const zelk::ScreenRect rect = zelk::ChooseStartRect(remembered ? &stored : nullptr, preferred.x, preferred.y,
                                                        minimum.x, minimum.y, areas);
    // A display smaller than the layout still gets a window it can hold.
    SetMinSize(wxSize(std::min(minimum.x, rect.width), std::min(minimum.y, rect.height)));
    SetSize(rect.x, rect.y, rect.width, rect.height);
    m_decoration = GetSize() - GetClientSize();
    m_placement.normal = rect;
    m_placement.maximized = remembered && stored.maximized;
    return m_placement.maximized;
}

void CMainFrame::PlaceInformationBar()
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->SetInfoWndPosition(GetRect(), IsIconized() ? 1 : 0);
    ZELKTransparentDlg::RaiseWithoutFocus(ui->GetInfoWnd());
}

void CMainFrame::OnLanguageChanged()
{
    if (m_menu)
        m_menu->Translate();
}

void CMainFrame::OnPlateChanged()
{
    std::vector<ZELKDBEntity*> entities;
    ZELDBEntityDatabase::GetInterFace()->FindEntity(kEntityPrint, entities);
    std::vector<std::string> models;
    for (const ZELKDBEntity* model : entities)
        models.push_back(model->GetName());
    SetTitle(wxString::FromUTF8(zelk::WindowTitle(models, ZELKCAD::GetOpenedPrintFile())));
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    // A running print ends with the program: only when the user says so, and
    // then the printer is stopped, its heaters off, before the port goes.
    if (zelk::RunState::Program().IsPrinting()) {
        if (event.CanVeto() && !ZELKUIOperation::GetUIOperationObject()->AskYesNo_Zelk("id_message_confirmQuitPrint")) {
            event.Veto();
            return;
        }
        ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
        zelk::procedures::StopPrint(*control);
        zelk::RunState::Program().EndPrinting();
        if (control->IsComOpened() != 0)
            control->WaitForOperationListEmpty(kStopSendMs);
    }
    m_placement.maximized = IsMaximized();
    if (!zelk::WriteWindowPlacement(*ZELKFileIni::GetFileIniObject(), m_placement))
        ZELKFileLog::GetObjectW()->Write("CMainFrame", __LINE__, 1,
                                         "the window's size and position were not saved: " +
                                             ZELKFileIni::GetFileIniObject()->LastError());
    // The panels are top-level windows of their own: they go with the frame.
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->ShowPrepareWnd(0);
    ui->DeleteMemory();
    if (ZELKPrepareWnd* prepare = ui->GetPrepareWnd())
        prepare->Destroy();
    event.Skip();
}
