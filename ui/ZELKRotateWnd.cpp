// Rotate panel: a slider of whole degrees per axis and the reset.
#include "ZELKRotateWnd.h"

#include <wx/button.h>
#include <wx/stattext.h>

#include "ModelEdit.h"
#include "ZELKTranslation.h"

ZELKRotateWnd::ZELKRotateWnd(wxWindow* parent, const wxPoint& pos)
{
    Create(parent, IDD, pos, wxSize(220, 234));
    AddCaption(ID_CAPTION, "旋转:");
    const struct {
        int label;
        const char* text;
        wxColour colour;
        int y;
        int slider;
        int edit;
    } axes[] = {{ID_LABEL_X, "X:", wxColour(0, 0, 255), 46, ID_SLIDER_X, ID_EDIT_X},
                {ID_LABEL_Y, "Y:", wxColour(0, 255, 0), 90, ID_SLIDER_Y, ID_EDIT_Y},
                {ID_LABEL_Z, "Z:", wxColour(255, 0, 0), 134, ID_SLIDER_Z, ID_EDIT_Z}};
    for (const auto& axis : axes) {
        AddLabel(axis.label, axis.text, wxPoint(26, axis.y), 20, axis.colour);
        AddRow(axis.slider, wxPoint(38, axis.y - 2), axis.edit, wxPoint(157, axis.y - 1), wxString());
    }
    for (int row = 0; row < 3; ++row)
        SetRowRange(row, 0, 360);
    AddButton(ID_BUTTON_RESET, wxPoint(39, 173));
    auto* note = new wxStaticText(this, ID_NOTE, "No objects selected", FromDIP(wxPoint(70, 40)),
                                  FromDIP(wxSize(180, 25)), wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    note->SetForegroundColour(*wxWHITE);
    note->SetFont(wxFont(wxFontInfo(wxSize(0, 16))));
    note->Hide();
    Bind(wxEVT_BUTTON, &ZELKRotateWnd::OnReset, this, ID_BUTTON_RESET);
    OnInitDialog();
}

wxString ZELKRotateWnd::PositionText(int, int position) const
{
    return wxString::Format("%d", position) + wxString::FromUTF8("°");
}

void ZELKRotateWnd::ApplyPosition(int row, int position)
{
    const auto axis = static_cast<AxisDirection>(row);
    ZELKModelEdit* edit = ModelEditService();
    int stored = 0;
    if (edit->GetSelectedModelAxisDegrees(axis, stored) == 0 || position == stored)
        return;
    edit->ModelEdit(EDIT_ROTATE, position - stored, axis);
    Redraw();
    edit->SetSelectedModelAxisDegrees(axis, position);
}

void ZELKRotateWnd::RefreshFromSelection()
{
    for (int row = 0; row < 3; ++row) {
        SetRowRange(row, 0, 360);
        int degrees = 0;
        if (ModelEditService()->GetSelectedModelAxisDegrees(static_cast<AxisDirection>(row), degrees) != 0)
            SetRowPosition(row, degrees);
    }
}

void ZELKRotateWnd::ShowControls(int selection)
{
    for (int id : {ID_LABEL_X, ID_LABEL_Y, ID_LABEL_Z, ID_EDIT_X, ID_EDIT_Y, ID_EDIT_Z, ID_SLIDER_X, ID_SLIDER_Y,
                   ID_SLIDER_Z, ID_BUTTON_RESET})
        FindWindow(id)->Show(selection != 0);
    FindWindow(ID_NOTE)->Show(selection == 0);
}

void ZELKRotateWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_static_rotateRotateCaption");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_RESET, "id_button_rotateRotateReset");
    Refresh();
}

void ZELKRotateWnd::OnReset(wxCommandEvent&)
{
    ZELKModelEdit* edit = ModelEditService();
    edit->ModelResettingOperation(EDIT_ROTATE);
    Redraw();
    edit->SetSelectedModelAxisDegrees(AXIS_ALL, 0);
    for (int row = 0; row < 3; ++row)
        SetRowPosition(row, 0);
}
