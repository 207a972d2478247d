// Jog arrows: drawing, the press, and the stop of a continuous jog however the press ends.
#include "ZELKStaticCtrl.h"

#include <algorithm>

#include <wx/dcbuffer.h>

#include "ZELKTransparentDlg.h"

namespace {

const wxColour kPressedBackground(78, 88, 86);
const wxColour kDisabledArrow(110, 116, 114);

// An arrow pointing right within a square of side `side` at the origin,
// turned a quarter `turns` times counter-clockwise.
void ArrowPoints(int side, int turns, wxPoint (&out)[7])
{
    const double s = side;
    const double shaftTop = s * 0.3, shaftBottom = s * 0.7, headStart = s * 0.58;
    const double pts[7][2] = {{s * 0.04, shaftTop},  {headStart, shaftTop}, {headStart, s * 0.1}, {s * 0.96, s * 0.5},
                              {headStart, s * 0.9}, {headStart, shaftBottom}, {s * 0.04, shaftBottom}};
    for (int i = 0; i < 7; ++i) {
        double x = pts[i][0], y = pts[i][1];
        for (int t = 0; t < turns; ++t) {
            const double nx = y, ny = s - x;  // a quarter turn counter-clockwise on screen
            x = nx;
            y = ny;
        }
        out[i] = wxPoint(static_cast<int>(x + 0.5), static_cast<int>(y + 0.5));
    }
}

}  // namespace

ZELKStaticCtrl::ZELKStaticCtrl(wxWindow* parent, ZELKJogPanel* panel, int id, const wxPoint& pos, const wxSize& size)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE), m_panel(panel)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ZELKStaticCtrl::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &ZELKStaticCtrl::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &ZELKStaticCtrl::OnLeftUp, this);
    // The second press of a double click arrives as this event instead of a
    // press: the first press already jogs, so it starts nothing.
    Bind(wxEVT_LEFT_DCLICK, [](wxMouseEvent&) {});
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &ZELKStaticCtrl::OnCaptureLost, this);
}

ZELKStaticCtrl::~ZELKStaticCtrl()
{
    // The owning panel ends a press before its arrows go (it may be half
    // destroyed by now, so it is not called from here).
    if (HasCapture())
        ReleaseMouse();
}

void ZELKStaticCtrl::SetArrowId(int arrowId)
{
    m_arrowId = arrowId;
    Refresh();
}

void ZELKStaticCtrl::EndPress() { FinishPress(true); }

void ZELKStaticCtrl::OnLeftDown(wxMouseEvent& event)
{
    event.Skip();
    if (!IsEnabled() || m_panel == nullptr || !m_press.Press(m_panel->IsContinuousJog()))
        return;
    // Held, so the release reaches this arrow wherever the pointer is then.
    if (!HasCapture())
        CaptureMouse();
    Refresh();
    m_panel->JogStart(m_arrowId);
}

void ZELKStaticCtrl::OnLeftUp(wxMouseEvent& event)
{
    event.Skip();
    FinishPress(true);
}

void ZELKStaticCtrl::OnCaptureLost(wxMouseCaptureLostEvent&)
{
    // The capture is gone already: it must not be released again.
    FinishPress(false);
}

void ZELKStaticCtrl::FinishPress(bool releaseCapture)
{
    if (!m_press.IsHeld())
        return;
    const bool stop = m_press.End();
    if (releaseCapture && HasCapture())
        ReleaseMouse();
    if (!IsBeingDeleted())
        Refresh();
    if (stop && m_panel != nullptr)
        m_panel->JogStopContinuous();
}

void ZELKStaticCtrl::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(IsPressed() ? kPressedBackground : ZELKTransparentDlg::kBackground));
    dc.Clear();
    zelk::JogDirection direction;
    if (!zelk::JogDirectionOf(m_arrowId, direction))
        return;
    // Right for X+, then up, left and down by quarter turns.
    const bool positive = direction.sign > 0;
    const int turns = direction.axis == 0 ? (positive ? 0 : 2) : (positive ? 1 : 3);
    const wxSize size = GetClientSize();
    const int side = std::min(size.x, size.y);
    wxPoint points[7];
    ArrowPoints(side, turns, points);
    const wxColour arrow = IsEnabled() ? *wxWHITE : kDisabledArrow;
    dc.SetPen(wxPen(arrow));
    dc.SetBrush(wxBrush(arrow));
    dc.DrawPolygon(7, points, (size.x - side) / 2, (size.y - side) / 2);

    // The axis and sign, in the background colour across the arrow's shaft.
    const wxString label = wxString::Format("%c%c", direction.letter, positive ? '+' : '-');
    dc.SetFont(wxFont(wxFontInfo(7).Bold()));
    dc.SetTextForeground(IsPressed() ? kPressedBackground : ZELKTransparentDlg::kBackground);
    const wxSize text = dc.GetTextExtent(label);
    // The shaft's middle.
    double cx = side * 0.31, cy = side * 0.5;
    for (int t = 0; t < turns; ++t) {
        const double nx = cy, ny = side - cx;
        cx = nx;
        cy = ny;
    }
    dc.DrawText(label, (size.x - side) / 2 + static_cast<int>(cx) - text.x / 2,
                (size.y - side) / 2 + static_cast<int>(cy) - text.y / 2);
}
