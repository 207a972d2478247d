// The main frame base: panel and information-bar placement on move and size.
#include "ZELKFrameWnd.h"

#include "PanelHost.h"

ZELKFrameWnd::ZELKFrameWnd(wxWindow* parent, int id, const wxString& title, const wxPoint& pos, const wxSize& size,
                           long style)
    : wxFrame(parent, id, title, pos, size, style)
{
    Bind(wxEVT_MOVE, &ZELKFrameWnd::OnMove, this);
    Bind(wxEVT_SIZE, &ZELKFrameWnd::OnSize, this);
    Bind(wxEVT_ICONIZE, &ZELKFrameWnd::OnIconize, this);
    Bind(wxEVT_MAXIMIZE, &ZELKFrameWnd::OnMaximize, this);
}

ZELKFrameSizeType ZELKFrameWnd::CurrentSizeType() const
{
    if (IsIconized())
        return FRAME_SIZE_MINIMIZED;
    return IsMaximized() ? FRAME_SIZE_MAXIMIZED : FRAME_SIZE_RESTORED;
}

void ZELKFrameWnd::OnFrameMove(int x, int y)
{
    PanelHost* ui = PanelHost::Get();
    if (ui == nullptr)
        return;
    ui->SetWndPositon(x, y);
    if (m_infoBarFlag != 0)
        ui->SetInfoWndPosition(GetRect(), 0);
}

void ZELKFrameWnd::OnFrameSize(ZELKFrameSizeType type)
{
    PanelHost* ui = PanelHost::Get();
    if (ui == nullptr)
        return;
    const wxRect rect = GetRect();
    ui->SetPictureCtrlPosition(rect.width);
    if (type == FRAME_SIZE_MAXIMIZED) {
        ui->SetWndPositon(0, 0);
        ui->SetInfoWndPosition(rect, 0);
        m_infoBarFlag = 1;
        return;
    }
    ui->SetWndPositon(rect.x, rect.y);
    if (type == FRAME_SIZE_MINIMIZED)
        ui->SetInfoWndPosition(rect, 1);
    else if (m_infoBarFlag != 0)
        ui->SetInfoWndPosition(rect, 0);
}

void ZELKFrameWnd::OnMove(wxMoveEvent& event)
{
    event.Skip();
    const wxPoint pos = GetPosition();
    OnFrameMove(pos.x, pos.y);
}

void ZELKFrameWnd::OnSize(wxSizeEvent& event)
{
    event.Skip();
    OnFrameSize(CurrentSizeType());
}

void ZELKFrameWnd::OnIconize(wxIconizeEvent& event)
{
    event.Skip();
    OnFrameSize(event.IsIconized() ? FRAME_SIZE_MINIMIZED : CurrentSizeType());
}

void ZELKFrameWnd::OnMaximize(wxMaximizeEvent& event)
{
    event.Skip();
    OnFrameSize(FRAME_SIZE_MAXIMIZED);
}
