// The scale panel: the selected models' uniform scale in percent of their loaded size.
#pragma once

#include "ZELKSliderPanel.h"

class ZELKScaleWnd : public ZELKSliderPanel {
public:
    enum { IDD = 3140 };
    enum ControlId { ID_CAPTION = 3141, ID_LABEL_SIZE = 3142, ID_SLIDER = 3143, ID_EDIT = 3144, ID_BUTTON_RESET = 3145 };

    ZELKScaleWnd(wxWindow* parent, const wxPoint& pos);

    // Range from the allowed factors, position from the stored percentage.
    void RefreshFromSelection();
    void Translate();

private:
    wxString PositionText(int row, int position) const override;
    void ApplyPosition(int row, int position) override;
    void OnReset(wxCommandEvent& event);
};
