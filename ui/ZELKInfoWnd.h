// The information bar along the bottom of the main window: temperature and model lines.
#pragma once

#include "ZELKTransparentDlg.h"

class ZELKInfoWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3150, ID_TEMPERATURE = 3151, ID_MODEL_INFO = 3152 };
    static constexpr int kHeight = 30;

    explicit ZELKInfoWnd(wxWindow* parent);

    // Each change repaints the whole bar.
    void SetTemperatureLine(const wxString& text);
    void SetModelInformation(const wxString& text);
    wxString GetTemperatureLine() const;
    wxString GetModelInformation() const;
    // Sizes the bar to `width` x 30 at `pos`, its lines cut to fit inside.
    void Place(const wxPoint& pos, int width);

private:
    void FitLines(int width);
};
