// The view panel: four buttons that turn the 3D view to a standard direction.
#pragma once

#include "ZELKTransparentDlg.h"

// The 3D view's standard-view commands the panel's buttons run: by default
// the view library's; replaceable (tests). A null command does nothing.
struct ZELKViewCommands {
    void (*top)();       // top button
    void (*back)();      // side button
    void (*right)();     // front button
    void (*standard)();  // reset button
};

class ZELKViewWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3000 };
    enum ControlId { ID_PIC_TOP = 3001, ID_PIC_SIDE = 3002, ID_PIC_FRONT = 3003, ID_CAPTION = 3004,
                     ID_BUTTON_TOP = 3005, ID_BUTTON_SIDE = 3006, ID_BUTTON_FRONT = 3007, ID_BUTTON_RESET = 3008 };

    ZELKViewWnd(wxWindow* parent, const wxPoint& pos);

    // Texts of the caption and the four buttons in the current language.
    void Translate();

    static void SetViewCommands(const ZELKViewCommands& commands);
    static const ZELKViewCommands& GetViewCommands();

private:
    void OnButton(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
};
