// Pictures the window and GL tests leave for people to look at, and the
// screen as the X server shows it (every window, pop-ups included).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <wx/gdicmn.h>
#include <wx/image.h>

namespace testsupport {

// test-artefacts/`group`/ beside the build's program folder, made when
// missing; with a trailing '/'.
inline std::string ArtefactFolder(const std::string& group)
{
    const char* bin = std::getenv("MORVADIN_BIN");
    const std::filesystem::path folder =
        std::filesystem::path(bin != nullptr ? bin : ".").parent_path() / "test-artefacts" / group;
    std::filesystem::create_directories(folder);
    return folder.string() + "/";
}

// The whole screen, also saved as a PNG at `path`; an invalid image when it
// cannot be taken.
inline wxImage CaptureScreen(const std::string& path)
{
    if (std::system(("import -window root '" + path + "'").c_str()) != 0)
        return wxImage();
    return wxImage(path, wxBITMAP_TYPE_PNG);
}

// The part `area` of the screen saved as a PNG at `path`; false when the
// screen could not be taken or the picture not written.
inline bool SaveScreenArea(const std::string& path, const wxRect& area)
{
    const wxImage screen = CaptureScreen(path);
    if (!screen.IsOk())
        return false;
    const wxRect visible = area.Intersect(wxRect(screen.GetSize()));
    return !visible.IsEmpty() && screen.GetSubImage(visible).SaveFile(path, wxBITMAP_TYPE_PNG);
}

}  // namespace testsupport
