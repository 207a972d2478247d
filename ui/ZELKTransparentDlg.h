// The dark, translucent pop-up panel with a thin white frame and a drawn close box.
#pragma once

#include <wx/dialog.h>

class wxStaticText;

// Panels are pop-up dialogs over the main view, built in code at positions
// given in dialog units. With the frame flag set (the default) the panel
// draws its frame and close box; a click on the close box hides the panel
// and unchecks every tool picture.
class ZELKTransparentDlg : public wxDialog {
public:
    static const wxColour kBackground;  // 0x2A2B25: red 37, green 43, blue 42
    static const wxRect kCloseBox;      // hit rectangle of a 330-pixel-wide panel at 100 %
    static constexpr int kAlpha = 200;

    ZELKTransparentDlg();
    // The window a pop-up is owned by: the top-level window of `parent`, so
    // that a window manager keeps the pop-up above it (GTK can only tie a
    // pop-up to a top-level window).
    static wxWindow* OwnerFor(wxWindow* parent);
    // Puts a shown pop-up on top of the windows stacked with it without
    // taking the keyboard focus (wxWindow::Raise also activates the window).
    static void RaiseWithoutFocus(wxWindow* popup);

    // Creates the hidden panel over `parent` (owned by its top-level window);
    // sizeDlu is the client size in dialog units.
    bool Create(wxWindow* parent, int id, const wxPoint& pos, const wxSize& sizeDlu);

    // 0 for panels without frame and close box; set before Create.
    void SetFrameFlag(int frame) { m_frameFlag = frame; }
    int GetFrameFlag() const { return m_frameFlag; }
    int GetHover() const { return m_hover; }
    // How often the close box was repainted for a hover change.
    int GetHoverRepaintCount() const { return m_hoverRepaints; }
    // Whether the desktop shows the panel translucent.
    bool IsTranslucent() const { return m_translucent; }

    // The close box's hit rectangle on this panel: kCloseBox kept at the same
    // distance from the right edge, scaled with the display.
    wxRect CloseBox() const;

    // Hides the panel (the close box's action).
    virtual void OnOK();

    // Pixel rectangle of a dialog-unit rectangle of this panel.
    wxRect DluRect(int x, int y, int width, int height) const;
    // A static text in white on the panel's background.
    wxStaticText* AddStatic(int id, const wxString& text, const wxRect& dlu, long style = 0);

protected:
    // Runs once the controls exist: background and translucency.
    virtual void OnInitDialog();

private:
    void OnPaint(wxPaintEvent& event);
    void OnMouseMove(wxMouseEvent& event);
    void OnLeaveWindow(wxMouseEvent& event);
    void OnLeftDown(wxMouseEvent& event);
    void SetHover(int hover);

    int m_frameFlag = 1;
    int m_hover = 0;
    int m_hoverRepaints = 0;
    bool m_translucent = false;
};
