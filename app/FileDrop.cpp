// Files dropped on the main window.
#include "FileDrop.h"

#include <filesystem>

#include "OrvanelView.h"
#include "PrintFileChoice.h"
#include "ZELKUIOperation.h"

bool FileDrop::OnDropFiles(wxCoord, wxCoord, const wxArrayString& names)
{
    std::vector<std::string> dropped;
    for (const wxString& name : names)
        dropped.push_back(name.utf8_string());
    std::vector<std::string> refused;
    const std::vector<std::string> openable = ZELKCAD::OpenableFiles(dropped, refused);
    // The drop returns before the files are read: what the user is told of
    // them comes once the drag has ended.
    m_view.CallAfter([view = &m_view, openable, refused] {
        if (!refused.empty()) {
            std::string names;
            for (const std::string& path : refused)
                names += (names.empty() ? "" : "\n") + std::filesystem::path(path).filename().string();
            ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_dropUnknown", names);
        }
        if (!openable.empty())
            view->ImportFiles(openable);
    });
    return !openable.empty();
}
