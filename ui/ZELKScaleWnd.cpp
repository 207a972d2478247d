// Scale panel: one slider of percent and the reset.
#include "ZELKScaleWnd.h"

#include <cmath>

#include <wx/button.h>

#include "ModelEdit.h"
#include "ZELKTranslation.h"

ZELKScaleWnd::ZELKScaleWnd(wxWindow* parent, const wxPoint& pos)
{
    Create(parent, IDD, pos, wxSize(220, 234));
    AddCaption(ID_CAPTION, "缩放:");
    AddLabel(ID_LABEL_SIZE, "Size:", wxPoint(20, 47), 18, *wxWHITE);
    AddRow(ID_SLIDER, wxPoint(53, 44), ID_EDIT, wxPoint(170, 45), wxString(), 44);
    AddButton(ID_BUTTON_RESET, wxPoint(164, 82));
    Bind(wxEVT_BUTTON, &ZELKScaleWnd::OnReset, this, ID_BUTTON_RESET);
    SetDragKind(zelk::EditKind::Scale);
    OnInitDialog();
}

wxString ZELKScaleWnd::PositionText(int, int position) const { return wxString::Format("%d%%", position); }

void ZELKScaleWnd::ApplyPosition(int, int position)
{
    ZELKModelEdit* edit = ModelEditService();
    int stored = 0;
    if (edit->GetSelectedModelAxisScale(stored) == 0 || stored == 0)
        return;
    const double factor = static_cast<double>(position) / stored;
    if (std::fabs(factor - 1.0) < 0.000001)
        return;
    edit->ModelEdit(EDIT_SCALE, factor, AXIS_ALL);
    Redraw();
    edit->SetSelectedModelAxisScale(position);
}

void ZELKScaleWnd::RefreshFromSelection()
{
    ScaleRange range;
    int percent = 0;
    ZELKModelEdit* edit = ModelEditService();
    if (edit->GetSelectedModelAxisScaleRange(range) == 0 || edit->GetSelectedModelAxisScale(percent) == 0)
        return;
    // Whole percents inside the allowed factors.
    SetRowRange(0, static_cast<int>(std::ceil(range.min * 100 - 1e-9)), static_cast<int>(range.max * 100 + 1e-9));
    SetRowPosition(0, percent);
}

void ZELKScaleWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_static_scaleScaleCaption");
    ZELKTranslation::SetDlgItemText(this, ID_LABEL_SIZE, "id_static_scaleSize");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_RESET, "id_button_scaleScaleReset");
    Refresh();
}

void ZELKScaleWnd::OnReset(wxCommandEvent&)
{
    ModelEditService()->ModelResettingOperation(EDIT_SCALE);
    Redraw();
    RefreshFromSelection();
    SetRowPosition(0, 100);
}
