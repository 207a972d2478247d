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
    AddAxisRows({{ID_LABEL_X, ID_SLIDER_X, ID_EDIT_X}, {ID_LABEL_Y, ID_SLIDER_Y, ID_EDIT_Y},
                 {ID_LABEL_Z, ID_SLIDER_Z, ID_EDIT_Z}},
                wxString());
    for (int row = 0; row < 3; ++row)
        SetRowRange(row, 0, 360);
    AddButton(ID_BUTTON_RESET, wxPoint(39, 173));
    AddNote(ID_NOTE);
    Bind(wxEVT_BUTTON, &ZELKRotateWnd::OnReset, this, ID_BUTTON_RESET);
    SetDragKind(zelk::EditKind::Rotate);
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
