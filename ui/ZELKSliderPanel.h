// The common frame of the move, rotate and scale panels: rows of a label, a slider and an edit box.
#pragma once

#include <string>
#include <vector>

#include "EditHistory.h"
#include "ZELKTransparentDlg.h"

class wxButton;
class wxSlider;
class wxTextCtrl;
class ZELKModelEdit;

// Each row's slider holds the value in the panel's unit and its edit box
// echoes it. Moving a slider, or Enter in an edit box (which sets the slider
// from the whole number typed), applies the position to the selected models,
// and only when it differs from their current value: setting a slider from the
// model never edits the model. Every Enter that reaches the panel is consumed.
// One drag of a slider's thumb, however many edits it makes on the way, is
// one step to undo.
class ZELKSliderPanel : public ZELKTransparentDlg {
public:
    ~ZELKSliderPanel() override;
    bool Show(bool show = true) override;
    // True while a thumb is held (its edits gather into one step).
    bool Dragging() const { return m_dragging; }

    // The slider and edit box of row `row`, for the coordinator and tests.
    wxSlider* GetSlider(int row) const { return m_rows.at(row).slider; }
    wxTextCtrl* GetEdit(int row) const { return m_rows.at(row).edit; }

    // The model-editing service the panel works through (the process-wide one by default).
    static ZELKModelEdit* ModelEditService();

protected:
    struct Row {
        wxSlider* slider = nullptr;
        wxTextCtrl* edit = nullptr;
    };

    // The caption at (2, 2) in the panels' caption font.
    void AddCaption(int id, const char* text);
    // A label in the axis font (pixel height), in `colour`.
    wxWindow* AddLabel(int id, const wxString& text, const wxPoint& dlu, int fontHeight, const wxColour& colour);
    // A slider (115 wide) and its edit box: a new row.
    void AddRow(int sliderId, const wxPoint& sliderDlu, int editId, const wxPoint& editDlu, const wxString& edit,
                int editWidthDlu = 54);
    wxButton* AddButton(int id, const wxPoint& dlu);
    // The X, Y and Z rows at the panels' places: label, slider and edit ids
    // per axis, each edit starting with `edit`.
    struct AxisIds {
        int label;
        int slider;
        int edit;
    };
    void AddAxisRows(const AxisIds (&axes)[3], const wxString& edit);
    // The "No objects selected" note, hidden until nothing is selected.
    void AddNote(int id);

    // The edit text for a slider position.
    virtual wxString PositionText(int row, int position) const = 0;
    // The slider position for a number typed in the edit box.
    virtual int TypedPosition(int row, int value) const { (void)row; return value; }
    // Applies a slider position to the selected models when it differs from theirs.
    virtual void ApplyPosition(int row, int position) = 0;

    // Sets a row's slider (and echo) without applying it.
    void SetRowPosition(int row, int position);
    void SetRowRange(int row, int min, int max);
    // Redraws the 3D view after an edit.
    static void Redraw();
    // The kind of step a drag of this panel's thumbs records.
    void SetDragKind(zelk::EditKind kind) { m_dragKind = kind; }

private:
    void OnSlider(wxCommandEvent& event);
    void OnCharHook(wxKeyEvent& event);
    void SliderMoved(int row);
    void OnThumbTrack(wxScrollEvent& event);
    void OnThumbEnd(wxScrollEvent& event);
    void EndDrag();

    std::vector<Row> m_rows;
    zelk::EditKind m_dragKind = zelk::EditKind::Other;
    bool m_dragging = false;
};
