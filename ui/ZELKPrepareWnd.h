// The progress panel: what long operation runs (preparing a print, saving a file) and for how long.
#pragma once

#include <wx/dialog.h>

class ZELKStatic;

class ZELKPrepareWnd : public wxDialog {
public:
    enum { IDD = 3170, ID_ACTION_LABEL = 3171, ID_ACTION = 3172, ID_TIME_LABEL = 3173, ID_TIME = 3174 };
    enum Mode { MODE_SAVE = 0, MODE_PREPARE_PRINT = 1 };

    ZELKPrepareWnd(wxWindow* parent, const wxPoint& pos);

    // Labels and the action text of the current mode in the current language.
    void Translate();
    void SetMode(int mode) { m_mode = mode; }
    int GetMode() const { return m_mode; }
    void SetAction(const wxString& text);
    void SetTime(const wxString& text);
    wxString GetAction() const;
    wxString GetTime() const;
    bool IsTranslucent() const { return m_translucent; }

private:
    int m_mode = MODE_SAVE;
    ZELKStatic* m_time = nullptr;
    ZELKStatic* m_action = nullptr;
    bool m_translucent = false;
};
