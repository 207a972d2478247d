// CMainFrame: the program's top-level window.
#include "MainFrame.h"

#include <wx/sizer.h>

#include "OrvanelView.h"
#include "ZELKUIOperation.h"

CMainFrame::CMainFrame()
    : ZELKFrameWnd(nullptr, wxID_ANY, "Orvanel v1.0", wxDefaultPosition, wxSize(kWidth, kHeight))
{
    SetMenuBar(nullptr);
    m_view = new COrvanelView(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_view, 1, wxEXPAND);
    SetSizer(sizer);
    Bind(wxEVT_CLOSE_WINDOW, &CMainFrame::OnClose, this);
    // Bound after the base's handlers, so these run first; the base keeps the
    // tool panels with the frame and hides the bar when the frame is iconised.
    Bind(wxEVT_MOVE, &CMainFrame::OnMoveOrSize, this);
    Bind(wxEVT_SIZE, &CMainFrame::OnMoveOrSize, this);
}

void CMainFrame::OnMoveOrSize(wxEvent& event)
{
    event.Skip();
    if (IsShown())
        PlaceInformationBar();
}

void CMainFrame::PlaceInformationBar()
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->SetInfoWndPosition(GetRect(), IsIconized() ? 1 : 0);
    if (ZELKInfoWnd* bar = ui->GetInfoWnd(); bar != nullptr && bar->IsShown())
        bar->Raise();
}

void CMainFrame::OnClose(wxCloseEvent& event)
{
    // The panels are top-level windows of their own: they go with the frame.
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->ShowPrepareWnd(0);
    ui->DeleteMemory();
    if (ZELKPrepareWnd* prepare = ui->GetPrepareWnd())
        prepare->Destroy();
    event.Skip();
}
