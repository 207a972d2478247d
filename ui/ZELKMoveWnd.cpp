// Move panel: sliders per axis, land, platform centre and reset.
#include "ZELKMoveWnd.h"

#include <cmath>

#include <wx/button.h>
#include <wx/stattext.h>

#include "EditPanelText.h"
#include "ModelEdit.h"
#include "ZELKTranslation.h"

ZELKMoveWnd::ZELKMoveWnd(wxWindow* parent, const wxPoint& pos)
{
    Create(parent, IDD, pos, wxSize(220, 234));
    AddCaption(ID_CAPTION, "移动:");
    AddAxisRows({{ID_LABEL_X, ID_SLIDER_X, ID_EDIT_X}, {ID_LABEL_Y, ID_SLIDER_Y, ID_EDIT_Y},
                 {ID_LABEL_Z, ID_SLIDER_Z, ID_EDIT_Z}},
                "10.0");
    AddButton(ID_BUTTON_LAND, wxPoint(33, 173));
    AddButton(ID_BUTTON_CENTER, wxPoint(90, 173));
    AddButton(ID_BUTTON_RESET, wxPoint(147, 173));
    AddNote(ID_NOTE);
    Bind(wxEVT_BUTTON, &ZELKMoveWnd::OnButton, this, ID_BUTTON_LAND, ID_BUTTON_RESET);
    SetDragKind(zelk::EditKind::Move);
    OnInitDialog();
}

wxString ZELKMoveWnd::PositionText(int, int position) const
{
    return wxString::FromUTF8(zelk::MovePositionText(position));
}

void ZELKMoveWnd::ApplyPosition(int row, int position)
{
    const double mm = position * 0.01;
    const auto axis = static_cast<AxisDirection>(row);
    ZELKModelEdit* edit = ModelEditService();
    if (edit->IsSelecttedModelNeedMove(mm, axis) != 0) {
        edit->ModelEdit(EDIT_MOVE, mm, axis);
        Redraw();
    }
}

void ZELKMoveWnd::PositionsFromCentre()
{
    ZELKGePoint3d centre;
    if (ModelEditService()->GetSelectedModelCenterPoint(centre) == 0)
        return;
    const double mm[3] = {centre.x, centre.y, centre.z};
    for (int row = 0; row < 3; ++row)
        SetRowPosition(row, static_cast<int>(std::lround(mm[row] * 100)));
}

void ZELKMoveWnd::RefreshFromSelection()
{
    MoveRange range;
    if (ModelEditService()->GetSelectedModelMoveRange(range) == 0)
        return;
    const double bounds[3][2] = {{range.xMin, range.xMax}, {range.yMin, range.yMax}, {range.zMin, range.zMax}};
    for (int row = 0; row < 3; ++row)
        SetRowRange(row, static_cast<int>(bounds[row][0] * 100), static_cast<int>(bounds[row][1] * 100));
    PositionsFromCentre();
}

void ZELKMoveWnd::ShowControls(int selection)
{
    for (int id : {ID_LABEL_X, ID_LABEL_Y, ID_LABEL_Z, ID_EDIT_X, ID_EDIT_Y, ID_EDIT_Z, ID_SLIDER_X, ID_SLIDER_Y,
                   ID_SLIDER_Z, ID_BUTTON_LAND, ID_BUTTON_CENTER, ID_BUTTON_RESET})
        FindWindow(id)->Show(selection != 0);
    FindWindow(ID_NOTE)->Show(selection == 0);
}

void ZELKMoveWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_static_moveMoveCaption");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_LAND, "id_button_moveMovePlat");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_CENTER, "id_button_moveMoveCenter");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_RESET, "id_button_moveMoveReset");
    Refresh();
}

void ZELKMoveWnd::OnButton(wxCommandEvent& event)
{
    ZELKModelEdit* edit = ModelEditService();
    switch (event.GetId()) {
    case ID_BUTTON_LAND:
        edit->MoveModelCheckedToPlatfrom();
        break;
    case ID_BUTTON_CENTER:
        edit->AutoLayout();
        break;
    case ID_BUTTON_RESET:
        edit->ModelResettingOperation(EDIT_MOVE);
        break;
    }
    Redraw();
    // Landing or arranging changes what positions are allowed, too.
    RefreshFromSelection();
}
