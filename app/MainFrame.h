// CMainFrame: the program's top-level window, "Orvanel v1.0", holding the one view.
#pragma once

#include "ZELKFrameWnd.h"

class COrvanelView;

// No menu, toolbar or status bar: the view with its panels and tool
// pictures fills the frame, which can be resized and maximised.
class CMainFrame : public ZELKFrameWnd {
public:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 420;

    CMainFrame();
    COrvanelView* GetView() const { return m_view; }

    // The information bar along the frame's bottom edge, shown while the
    // frame is not reduced to an icon.
    void PlaceInformationBar();

private:
    void OnClose(wxCloseEvent& event);
    void OnMoveOrSize(wxEvent& event);

    COrvanelView* m_view = nullptr;
};
