// Bitmap pictures: the top-row command pictures and the checkable tool pictures.
#pragma once

#include <wx/generic/statbmpg.h>

enum PictrueCtrlStyle {
    PICTURE_VIEW = 0,
    PICTURE_MOVE = 1,
    PICTURE_ROTATE = 2,
    PICTURE_SCALE = 3,
    PICTURE_MACHINE_CONTROL = 4,
    PICTURE_GCODE = 5,
};

// A picture that shows one of the program's pictures by id. With command
// sending on, a click sends a button command with the picture's window id to
// its parent (the top row's import, export, settings, start/stop and stop).
class ZELKBitmapStatic : public wxGenericStaticBitmap {
public:
    ZELKBitmapStatic(wxWindow* parent, int id, const wxPoint& pos, unsigned bitmapId, bool sendsCommand);

    void SetBitmapId(unsigned bitmapId);
    unsigned GetBitmapId() const { return m_bitmapId; }

protected:
    virtual void OnClicked();

private:
    void OnLeftUp(wxMouseEvent& event);
    void OnDoubleClick(wxMouseEvent& event);

    unsigned m_bitmapId = 0;
    bool m_sendsCommand;
    // The release that ends a double click is no second click: a double
    // click on Start never also stops what its first click started.
    bool m_releaseEndsDoubleClick = false;
};

// A tool picture of the left column: checked while its panel is shown.
class ZELKPictureCtrl : public ZELKBitmapStatic {
public:
    ZELKPictureCtrl(wxWindow* parent, int id, const wxPoint& pos, PictrueCtrlStyle style, unsigned uncheckedBitmap,
                    unsigned checkedBitmap);

    // Stores the flag and shows the checked picture for nonzero, else the unchecked one.
    void SetCheckedState(int checked);
    int GetCheckedState() const { return m_checked; }
    PictrueCtrlStyle GetStyle() const { return m_style; }
    unsigned GetCheckedBitmap() const { return m_checkedBitmap; }
    unsigned GetUncheckedBitmap() const { return m_uncheckedBitmap; }

protected:
    // The tool-picture click of the coordinator.
    void OnClicked() override;

private:
    PictrueCtrlStyle m_style;
    unsigned m_checkedBitmap;
    unsigned m_uncheckedBitmap;
    int m_checked = 0;
};
