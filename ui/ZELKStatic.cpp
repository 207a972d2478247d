// Flicker-free text lines.
#include "ZELKStatic.h"

#include <wx/dcbuffer.h>

#include "ZELKTransparentDlg.h"

ZELKStatic::ZELKStatic(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size, const wxColour& textColour)
    : wxWindow(parent, id, pos, size, wxBORDER_NONE), m_textColour(textColour)
{
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &ZELKStatic::OnPaint, this);
}

void ZELKStatic::SetText(const wxString& text)
{
    m_text = text;
    Refresh(true);
}

void ZELKStatic::OnPaint(wxPaintEvent&)
{
    // Drawn into a buffer and copied at once, so the old text never shows erased.
    wxAutoBufferedPaintDC dc(this);
    dc.SetBackground(wxBrush(ZELKTransparentDlg::kBackground));
    dc.Clear();
    dc.SetTextForeground(m_textColour);
    dc.SetFont(wxFont(wxFontInfo(10).FaceName("Arial")));
    dc.DrawText(m_text, 0, 0);
}
