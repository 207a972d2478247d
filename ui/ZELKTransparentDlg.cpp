// Frame, close box and translucency of the panels.
#include "ZELKTransparentDlg.h"

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

#include <wx/dcclient.h>
#include <wx/stattext.h>

#include "DialogUnits.h"
#include "PanelHost.h"

const wxColour ZELKTransparentDlg::kBackground(37, 43, 42);
const wxRect ZELKTransparentDlg::kCloseBox(wxPoint(298, 5), wxPoint(325, 27));

ZELKTransparentDlg::ZELKTransparentDlg() = default;

wxWindow* ZELKTransparentDlg::OwnerFor(wxWindow* parent)
{
    wxWindow* top = parent != nullptr ? wxGetTopLevelParent(parent) : nullptr;
    return top != nullptr ? top : parent;
}

void ZELKTransparentDlg::RaiseWithoutFocus(wxWindow* popup)
{
    if (popup == nullptr || !popup->IsShown())
        return;
#ifdef __WXGTK__
    // GTK raises a window only by presenting it, which also focuses it; the
    // window system's own raise is looked up in the toolkit the program
    // already runs on.
    using GetWindow = void* (*)(void*);
    using Raise = void (*)(void*);
    static const auto getWindow = reinterpret_cast<GetWindow>(::dlsym(RTLD_DEFAULT, "gtk_widget_get_window"));
    static const auto raise = reinterpret_cast<Raise>(::dlsym(RTLD_DEFAULT, "gdk_window_raise"));
    if (getWindow != nullptr && raise != nullptr) {
        if (void* window = getWindow(popup->GetHandle()))
            raise(window);
        return;
    }
#endif
    popup->Raise();
}

bool ZELKTransparentDlg::Create(wxWindow* parent, int id, const wxPoint& pos, const wxSize& sizeDlu)
{
    if (!wxDialog::Create(OwnerFor(parent), id, wxString(), pos, wxDefaultSize,
                          wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT))
        return false;
    SetBackgroundColour(kBackground);
    SetForegroundColour(*wxWHITE);
    SetClientSize(zelk::DluToPixels(this, sizeDlu));
    Bind(wxEVT_PAINT, &ZELKTransparentDlg::OnPaint, this);
    Bind(wxEVT_MOTION, &ZELKTransparentDlg::OnMouseMove, this);
    Bind(wxEVT_LEAVE_WINDOW, &ZELKTransparentDlg::OnLeaveWindow, this);
    Bind(wxEVT_LEFT_DOWN, &ZELKTransparentDlg::OnLeftDown, this);
    return true;
}

void ZELKTransparentDlg::OnInitDialog()
{
    // Must precede the first show; without a compositing desktop it stays opaque.
    m_translucent = CanSetTransparent() && SetTransparent(kAlpha);
}

void ZELKTransparentDlg::OnOK()
{
    m_hover = 0;
    Hide();
}

wxRect ZELKTransparentDlg::DluRect(int x, int y, int width, int height) const
{
    return zelk::DluToPixels(this, x, y, width, height);
}

wxStaticText* ZELKTransparentDlg::AddStatic(int id, const wxString& text, const wxRect& dlu, long style)
{
    const wxRect rect = DluRect(dlu.x, dlu.y, dlu.width, dlu.height);
    auto* label = new wxStaticText(this, id, text, rect.GetPosition(), rect.GetSize(), style | wxST_NO_AUTORESIZE);
    label->SetForegroundColour(*wxWHITE);
    label->SetBackgroundColour(kBackground);
    return label;
}

wxRect ZELKTransparentDlg::CloseBox() const
{
    const int rightMargin = 330 - kCloseBox.GetRight();
    const wxSize size = FromDIP(kCloseBox.GetSize());
    const int x = GetClientSize().x - FromDIP(rightMargin) - size.x + 1;
    return wxRect(wxPoint(x, FromDIP(kCloseBox.y)), size);
}

void ZELKTransparentDlg::OnPaint(wxPaintEvent&)
{
    wxPaintDC dc(this);
    if (m_frameFlag == 0)
        return;
    const wxSize size = GetClientSize();
    dc.SetPen(wxPen(*wxWHITE, 1));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(0, 0, size.x, size.y);
    // The cross and its hover brackets, drawn in the close box's own
    // coordinates (those of a box at kCloseBox).
    const wxRect box = CloseBox();
    const auto at = [this, &box](int x, int y) {
        return box.GetPosition() + FromDIP(wxPoint(x - kCloseBox.x, y - kCloseBox.y));
    };
    dc.DrawLine(at(305, 9), at(320, 24));
    dc.DrawLine(at(305, 23), at(320, 8));
    if (m_hover != 0) {
        const wxPoint left[] = {at(304, 6), at(301, 6), at(301, 26), at(304, 26)};
        const wxPoint right[] = {at(321, 6), at(324, 6), at(324, 26), at(321, 26)};
        dc.DrawLines(4, left);
        dc.DrawLines(4, right);
    }
}

void ZELKTransparentDlg::SetHover(int hover)
{
    if (hover == m_hover)
        return;
    m_hover = hover;
    ++m_hoverRepaints;
    RefreshRect(CloseBox(), true);
}

void ZELKTransparentDlg::OnMouseMove(wxMouseEvent& event)
{
    if (m_frameFlag != 0)
        SetHover(CloseBox().Contains(event.GetPosition()) ? 1 : 0);
    event.Skip();
}

void ZELKTransparentDlg::OnLeaveWindow(wxMouseEvent& event)
{
    if (m_frameFlag != 0)
        SetHover(0);
    event.Skip();
}

void ZELKTransparentDlg::OnLeftDown(wxMouseEvent& event)
{
    if (m_frameFlag != 0 && CloseBox().Contains(event.GetPosition())) {
        OnOK();
        if (PanelHost* host = PanelHost::Get())
            host->UpdatePicCtrlToUnChecked();
    }
    event.Skip();
}
