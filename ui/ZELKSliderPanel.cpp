// Rows of slider and edit box, their echo, Enter and the edits they apply.
#include "ZELKSliderPanel.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/slider.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "EditPanelText.h"
#include "ModelEdit.h"
#include "ViewCommands.h"

ZELKModelEdit* ZELKSliderPanel::ModelEditService() { return ZELKModelEdit::GetModelEditObject(); }

void ZELKSliderPanel::AddCaption(int id, const char* text)
{
    wxStaticText* caption = AddStatic(id, wxString::FromUTF8(text), wxRect(2, 2, 100, 21));
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25)).Weight(900).Family(wxFONTFAMILY_ROMAN)
                                .FaceName(wxString::FromUTF8("宋体"))));
}

wxWindow* ZELKSliderPanel::AddLabel(int id, const wxString& text, const wxPoint& dlu, int fontHeight,
                                    const wxColour& colour)
{
    wxStaticText* label = AddStatic(id, text, wxRect(dlu.x, dlu.y, 24, 14));
    label->SetFont(wxFont(wxFontInfo(wxSize(0, fontHeight)).FaceName(wxString::FromUTF8("宋体"))));
    label->SetForegroundColour(colour);
    return label;
}

void ZELKSliderPanel::AddRow(int sliderId, const wxPoint& sliderDlu, int editId, const wxPoint& editDlu,
                             const wxString& edit, int editWidthDlu)
{
    // GTK's slider and field take the height they need; their widths hold
    // "-65.0 mm" and the trough.
    const wxRect slider = DluRect(sliderDlu.x, sliderDlu.y, 115, 15);
    const wxRect box = DluRect(editDlu.x, editDlu.y, editWidthDlu, 12);
    Row row;
    row.slider = new wxSlider(this, sliderId, 0, 0, 100, slider.GetPosition(), wxSize(slider.width, -1),
                              wxSL_HORIZONTAL);
    row.edit = new wxTextCtrl(this, editId, edit, box.GetPosition(), wxSize(box.width, -1));
    m_rows.push_back(row);
    Bind(wxEVT_SLIDER, &ZELKSliderPanel::OnSlider, this, sliderId);
    // The thumb's track comes before each move it makes; its release (or the
    // change a keyboard or wheel makes) ends the drag.
    row.slider->Bind(wxEVT_SCROLL_THUMBTRACK, &ZELKSliderPanel::OnThumbTrack, this);
    row.slider->Bind(wxEVT_SCROLL_THUMBRELEASE, &ZELKSliderPanel::OnThumbEnd, this);
    row.slider->Bind(wxEVT_SCROLL_CHANGED, &ZELKSliderPanel::OnThumbEnd, this);
    if (m_rows.size() == 1)
        Bind(wxEVT_CHAR_HOOK, &ZELKSliderPanel::OnCharHook, this);
}

wxButton* ZELKSliderPanel::AddButton(int id, const wxPoint& dlu)
{
    const wxRect rect = DluRect(dlu.x, dlu.y, 50, 14);
    return new wxButton(this, id, wxString(), rect.GetPosition(), rect.GetSize());
}

void ZELKSliderPanel::AddAxisRows(const AxisIds (&axes)[3], const wxString& edit)
{
    const char* const names[3] = {"X:", "Y:", "Z:"};
    // Blue, green and red, light enough to read on the dark panel (a contrast
    // of at least 4.5 to its background).
    const wxColour colours[3] = {wxColour(100, 150, 255), wxColour(0, 255, 0), wxColour(255, 100, 100)};
    const int rowsY[3] = {46, 90, 134};
    for (int a = 0; a < 3; ++a) {
        wxWindow* label = AddLabel(axes[a].label, names[a], wxPoint(26, rowsY[a]), 20, colours[a]);
        AddRow(axes[a].slider, wxPoint(38, rowsY[a] - 2), axes[a].edit, wxPoint(158, rowsY[a] - 1), edit);
        // The label ends where its slider begins.
        const int sliderX = m_rows.back().slider->GetPosition().x;
        label->SetSize(std::min(label->GetSize().x, sliderX - label->GetPosition().x), label->GetSize().y);
    }
}

void ZELKSliderPanel::AddNote(int id)
{
    // Placed in pixels, like the frame's close box.
    auto* note = new wxStaticText(this, id, "No objects selected", FromDIP(wxPoint(70, 40)), FromDIP(wxSize(180, 25)),
                                  wxALIGN_CENTRE_HORIZONTAL | wxST_NO_AUTORESIZE);
    note->SetForegroundColour(*wxWHITE);
    note->SetFont(wxFont(wxFontInfo(wxSize(0, 16))));
    note->Hide();
}

void ZELKSliderPanel::SetRowPosition(int row, int position)
{
    m_rows.at(row).slider->SetValue(position);
    m_rows.at(row).edit->ChangeValue(PositionText(row, m_rows.at(row).slider->GetValue()));
}

void ZELKSliderPanel::SetRowRange(int row, int min, int max)
{
    m_rows.at(row).slider->SetRange(min, std::max(min, max));
}

void ZELKSliderPanel::Redraw() { ZELKCAD::ViewInvalidate(); }

void ZELKSliderPanel::SliderMoved(int row)
{
    const int position = m_rows[row].slider->GetValue();
    m_rows[row].edit->ChangeValue(PositionText(row, position));
    ApplyPosition(row, position);
}

ZELKSliderPanel::~ZELKSliderPanel() { EndDrag(); }

bool ZELKSliderPanel::Show(bool show)
{
    if (!show)
        EndDrag();
    return ZELKTransparentDlg::Show(show);
}

void ZELKSliderPanel::OnThumbTrack(wxScrollEvent& event)
{
    if (!m_dragging) {
        m_dragging = true;
        ModelEditService()->History().BeginGroup(m_dragKind);
    }
    event.Skip();
}

void ZELKSliderPanel::OnThumbEnd(wxScrollEvent& event)
{
    EndDrag();
    event.Skip();
}

void ZELKSliderPanel::EndDrag()
{
    if (!m_dragging)
        return;
    m_dragging = false;
    ModelEditService()->History().EndGroup();
}

void ZELKSliderPanel::OnSlider(wxCommandEvent& event)
{
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].slider->GetId() == event.GetId()) {
            SetFocus();
            SliderMoved(static_cast<int>(row));
        }
}

void ZELKSliderPanel::OnCharHook(wxKeyEvent& event)
{
    if (event.GetKeyCode() != WXK_RETURN && event.GetKeyCode() != WXK_NUMPAD_ENTER) {
        event.Skip();
        return;
    }
    const wxWindow* focus = FindFocus();
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (m_rows[row].edit == focus) {
            const int typed = zelk::ReadTypedWholeNumber(m_rows[row].edit->GetValue().utf8_string());
            m_rows[row].slider->SetValue(TypedPosition(static_cast<int>(row), typed));
            SliderMoved(static_cast<int>(row));
        }
}
