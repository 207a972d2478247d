// The rotate panel: the selected models' stored angle per axis, in whole degrees.
#pragma once

#include "ZELKSliderPanel.h"

class ZELKRotateWnd : public ZELKSliderPanel {
public:
    enum { IDD = 3120 };
    enum ControlId {
        ID_CAPTION = 3121, ID_LABEL_X = 3122, ID_LABEL_Y = 3123, ID_LABEL_Z = 3124, ID_EDIT_X = 3125,
        ID_EDIT_Y = 3126, ID_EDIT_Z = 3127, ID_SLIDER_X = 3128, ID_SLIDER_Y = 3129, ID_SLIDER_Z = 3130,
        ID_BUTTON_RESET = 3131, ID_NOTE = 7001
    };

    ZELKRotateWnd(wxWindow* parent, const wxPoint& pos);

    // Ranges 0-360, positions from the stored angles.
    void RefreshFromSelection();
    void ShowControls(int selection);
    void Translate();

private:
    wxString PositionText(int row, int position) const override;
    void ApplyPosition(int row, int position) override;
    void OnReset(wxCommandEvent& event);
};
