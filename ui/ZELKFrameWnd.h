// Base of the main frame: keeps the pop-up panels and the information bar with the frame.
#pragma once

#include <wx/frame.h>

// Size types as the frame reports them.
enum ZELKFrameSizeType { FRAME_SIZE_RESTORED = 0, FRAME_SIZE_MINIMIZED = 1, FRAME_SIZE_MAXIMIZED = 2 };

// The tool panels follow every move and size change of the frame. The
// information bar follows only once the frame has been maximised, and is
// hidden while the frame is reduced to an icon.
class ZELKFrameWnd : public wxFrame {
public:
    ZELKFrameWnd(wxWindow* parent, int id, const wxString& title, const wxPoint& pos = wxDefaultPosition,
                 const wxSize& size = wxDefaultSize, long style = wxDEFAULT_FRAME_STYLE);

    // What a move to the screen point (x, y) does to the panels.
    void OnFrameMove(int x, int y);
    // What a size change of the given type does to the pictures and panels.
    void OnFrameSize(ZELKFrameSizeType type);

    int GetInfoBarFlag() const { return m_infoBarFlag; }

    // The language changed: the frame's own texts (its menus) follow.
    virtual void OnLanguageChanged() {}
    // What is on the plate, or the print file opened, changed: the title follows.
    virtual void OnPlateChanged() {}

private:
    void OnMove(wxMoveEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnIconize(wxIconizeEvent& event);
    void OnMaximize(wxMaximizeEvent& event);
    ZELKFrameSizeType CurrentSizeType() const;

    int m_infoBarFlag = 0;
};
