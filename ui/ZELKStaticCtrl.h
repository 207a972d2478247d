// The press-and-hold jog arrows of the machine control panel.
#pragma once

#include <wx/window.h>

#include "MachineControlRules.h"

// What a jog arrow asks of the panel that owns it.
class ZELKJogPanel {
public:
    virtual ~ZELKJogPanel() = default;
    // The arrow was pressed: jog in its direction code.
    virtual void JogStart(int arrowId) = 0;
    // Whether the jog step list has its continuous entry selected.
    virtual bool IsContinuousJog() const = 0;
    // Ends a continuous jog (the move-stop packages).
    virtual void JogStopContinuous() = 0;
};

// An arrow drawn on the panel's background, white on dark, lighter while
// pressed. A press starts a jog; a continuous jog stops when the press ends,
// however it ends: the button released (inside or outside the arrow, as the
// arrow holds the mouse), the mouse capture lost (a message box, a focus
// change), or EndPress from the panel (hidden, destroyed, link lost: the
// panel ends the press before it destroys its arrows). The
// stop goes out once per press; a double click starts no second jog.
class ZELKStaticCtrl : public wxWindow {
public:
    ZELKStaticCtrl(wxWindow* parent, ZELKJogPanel* panel, int id, const wxPoint& pos, const wxSize& size);
    ~ZELKStaticCtrl() override;

    // The direction code the panel jogs by (0 X+, 1 X-, 2 Y+, 3 Y-, 4 Z-, 5 Z+).
    void SetArrowId(int arrowId);
    int GetArrowId() const { return m_arrowId; }

    bool IsPressed() const { return m_press.IsHeld(); }
    // Ends the press now, as a release would.
    void EndPress();

    bool AcceptsFocus() const override { return false; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void OnLeftUp(wxMouseEvent& event);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void FinishPress(bool releaseCapture);

    ZELKJogPanel* m_panel;
    int m_arrowId = 0;
    zelk::JogPress m_press;
};
