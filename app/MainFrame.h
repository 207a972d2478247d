// CMainFrame: the program's top-level window, "Orvanel v1.0", holding the one view.
#pragma once

#include <memory>

#include "MainMenu.h"
#include "WindowPlacement.h"
#include "ZELKFrameWnd.h"

class COrvanelView;

// The menu bar above, the view with its panels and tool pictures filling the
// rest; the frame can be resized and maximised. Files dropped on it open.
class CMainFrame : public ZELKFrameWnd {
public:
    static constexpr int kWidth = 1000;
    static constexpr int kHeight = 420;
    // How long a close during a print waits for the stop to go out.
    static constexpr int kStopSendMs = 2000;

    CMainFrame();
    COrvanelView* GetView() const { return m_view; }

    // The information bar along the frame's bottom edge, shown while the
    // frame is not reduced to an icon.
    void PlaceInformationBar();

    // The smallest outer size that shows the whole tool column above the
    // information bar and every tool panel inside the frame.
    wxSize LayoutMinimumSize() const;
    // Before the first show: the size, position and (returned) maximised
    // state the user left the window in, or the size that shows everything,
    // fitted to the displays; the layout size becomes the minimum.
    bool PlaceAtStart();
    // The placement stored at close (the normal rectangle while maximised).
    const zelk::WindowPlacement& GetPlacement() const { return m_placement; }
    MainMenu* GetMainMenu() const { return m_menu.get(); }

    void OnLanguageChanged() override;
    // The title names the models on the plate, or the print file opened.
    void OnPlateChanged() override;

private:
    void OnClose(wxCloseEvent& event);
    void OnMoveOrSize(wxEvent& event);

    // The layout's minimum as an outer size depends on the decorations the
    // window manager adds, known only once the window is shown.
    void KeepLayoutMinimum();

    COrvanelView* m_view = nullptr;
    std::unique_ptr<MainMenu> m_menu;
    zelk::WindowPlacement m_placement;
    wxSize m_decoration;
};
