// What the 3D view asks of the user interface, registered by the user interface at start-up.
#pragma once

#include <string>

#include <wx/string.h>

// The view library does not link the user-interface library (which links the
// view); the UI coordinator implements this and registers it instead.
class ZELKViewUi {
public:
    virtual ~ZELKViewUi() = default;
    // The model line of the information bar.
    virtual void ShowModelInformation(const wxString& text) = 0;
    // Shows (1) or hides (0) the move, rotate and scale tool pictures; hiding closes their panels.
    virtual void ShowWnd(int show) = 0;
    virtual void HideModelEditWnd() = 0;
    virtual void ShowGCodeWnd(int show) = 0;
    // The text of a translation key in the current language.
    virtual wxString GetTranslateString(const std::string& key) = 0;
    // Tells the user the outcome named by a translation key.
    virtual void MessageBox_Zelk(const std::string& key) = 0;
    // Tells the user a text that has no translation key, such as which model
    // files could not be read and why. By default a plain message box.
    virtual void ShowMessageText(const wxString& text);
    // The models on the plate changed (added, removed, edited, undone or
    // redone): what was shown of G-code made before goes, and the shown edit
    // panel takes the models' values again. By default nothing.
    virtual void OnModelsChanged() {}
};

namespace ZELKCAD {

// The registered user interface, or null before one registers (callers then skip the call).
void SetViewUi(ZELKViewUi* ui);
ZELKViewUi* GetViewUi();

}  // namespace ZELKCAD
