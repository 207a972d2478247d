// The move panel: the selected models' centre per axis, in hundredths of a millimetre.
#pragma once

#include "ZELKSliderPanel.h"

class ZELKMoveWnd : public ZELKSliderPanel {
public:
    enum { IDD = 3100 };
    enum ControlId {
        ID_CAPTION = 3101, ID_LABEL_X = 3102, ID_LABEL_Y = 3103, ID_LABEL_Z = 3104, ID_EDIT_X = 3105,
        ID_EDIT_Y = 3106, ID_EDIT_Z = 3107, ID_SLIDER_X = 3108, ID_SLIDER_Y = 3109, ID_SLIDER_Z = 3110,
        ID_BUTTON_LAND = 3111, ID_BUTTON_CENTER = 3112, ID_BUTTON_RESET = 3113, ID_NOTE = 7000
    };

    ZELKMoveWnd(wxWindow* parent, const wxPoint& pos);

    // Slider ranges from the move range, positions from the selection's centre.
    void RefreshFromSelection();
    // The rows and buttons when something is selected, the note otherwise.
    void ShowControls(int selection);
    void Translate();

private:
    wxString PositionText(int row, int position) const override;
    int TypedPosition(int row, int value) const override { (void)row; return value * 100; }
    void ApplyPosition(int row, int position) override;
    void OnButton(wxCommandEvent& event);
    void PositionsFromCentre();
};
