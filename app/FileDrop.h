// Files dropped on the main window: STL models, G-code and X3G files open as
// the import opens them; anything else is named and left alone.
#pragma once

#include <string>
#include <vector>

#include <wx/dnd.h>

class COrvanelView;

class FileDrop : public wxFileDropTarget {
public:
    explicit FileDrop(COrvanelView& view) : m_view(view) {}
    bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& names) override;

private:
    COrvanelView& m_view;
};
