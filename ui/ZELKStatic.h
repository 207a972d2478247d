// Text lines drawn off-screen in one step.
#pragma once

#include <wx/window.h>

// A line of text on the panels' background that never flickers when it
// changes often (elapsed time, slicer progress).
class ZELKStatic : public wxWindow {
public:
    ZELKStatic(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
               const wxColour& textColour = *wxWHITE);

    // Assigns the text and repaints the control.
    void SetText(const wxString& text);
    const wxString& GetText() const { return m_text; }
    void SetLabel(const wxString& label) override { SetText(label); }
    wxString GetLabel() const override { return m_text; }
    void SetTextColour(const wxColour& colour) { m_textColour = colour; }

private:
    void OnPaint(wxPaintEvent& event);

    wxString m_text;
    wxColour m_textColour;
};
