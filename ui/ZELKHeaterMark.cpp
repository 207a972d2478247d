// The state dot of a heater.
#include "ZELKHeaterMark.h"

#include <algorithm>
#include <memory>

#include <wx/dcbuffer.h>
#include <wx/graphics.h>

#include "ZELKTemperatureGraph.h"
#include "ZELKTransparentDlg.h"

ZELKHeaterMark::ZELKHeaterMark(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, pos, size, wxBORDER_NONE);
    Bind(wxEVT_PAINT, &ZELKHeaterMark::OnPaint, this);
}

wxColour ZELKHeaterMark::ColourOf(zelk::HeaterState state)
{
    switch (state) {
    case zelk::HeaterState::AtTarget:
        return ZELKTemperatureGraph::kAtTargetColour;
    case zelk::HeaterState::Heating:
        return wxColour(240, 170, 40);
    case zelk::HeaterState::Cooling:
        return wxColour(110, 190, 230);
    case zelk::HeaterState::Off:
    case zelk::HeaterState::NotReported:
        break;
    }
    return wxColour(128, 128, 128);
}

void ZELKHeaterMark::SetState(zelk::HeaterState state)
{
    if (state == m_state)
        return;
    m_state = state;
    Refresh(false);
}

void ZELKHeaterMark::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(ZELKTransparentDlg::kBackground));
    dc.Clear();
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::CreateFromUnknownDC(dc));
    if (!gc || m_state == zelk::HeaterState::NotReported)
        return;
    const wxSize size = GetClientSize();
    const double d = std::min(size.x, size.y) - 1.0;
    gc->SetPen(*wxTRANSPARENT_PEN);
    gc->SetBrush(wxBrush(ColourOf(m_state)));
    gc->DrawEllipse((size.x - d) / 2, (size.y - d) / 2, d, d);
}
