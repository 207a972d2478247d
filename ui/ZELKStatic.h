// Text lines drawn off-screen in one step, and the press-and-hold jog arrows.
#pragma once

#include <wx/generic/statbmpg.h>
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

// What the machine control panel does for its jog arrows.
class ZELKJogPanel {
public:
    virtual ~ZELKJogPanel() = default;
    // The arrow was pressed.
    virtual void JogStart(int arrowId) = 0;
    // Entry of the jog distance list; 4 is continuous jogging.
    virtual int GetJogDistanceSelection() const = 0;
    // Sends the move-stop packets that end a continuous jog.
    virtual void JogStopContinuous() = 0;
};

// A jog arrow of the machine control panel (its parent, a ZELKJogPanel): a
// press starts the jog; releasing it ends a continuous jog.
class ZELKStaticCtrl : public wxGenericStaticBitmap {
public:
    static constexpr int kContinuousEntry = 4;

    ZELKStaticCtrl(wxWindow* parent, ZELKJogPanel* panel, int id, const wxBitmap& bitmap, const wxPoint& pos);

    void SetArrowId(int arrowId) { m_arrowId = arrowId; }
    int GetArrowId() const { return m_arrowId; }

private:
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);

    ZELKJogPanel* m_panel;
    int m_arrowId = 0;
};
