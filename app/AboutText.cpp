#include "AboutText.h"

// The project's version, from CMake's project() (see app/CMakeLists.txt).
#ifndef MORVADIN_VERSION
#error "MORVADIN_VERSION is set by the build"
#endif

namespace zelk {

const std::vector<ThirdPartyLicence>& ThirdPartyLicences()
{
    static const std::vector<ThirdPartyLicence> licences{
        {"wxWidgets 3.2", "wxWindows Library Licence, version 3.1"},
        {"GTK 3", "GNU LGPL, version 2 or later (parts 2.1 or later, parts Expat)"},
        {"OpenGL through libglvnd, with Mesa's GLX and drivers", "MIT"},
        {"Mesa GLU", "SGI Free Software License B, version 2.0"},
        {"Xlib", "MIT/X11"},
        {"spdlog", "Expat (MIT)"},
        {"fmt", "Expat (MIT), with an exception for code embedded in object code"},
        {"pugixml", "Expat (MIT)"},
        {"SimpleIni", "Expat (MIT)"},
        {"PrusaSlicer, the slicing engine the slicer bridge runs as a separate program, not linked",
         "GNU AGPL, version 3"},
    };
    return licences;
}

std::string AboutLicenceText()
{
    std::string text = "Morvadin-X " MORVADIN_VERSION "\n"
                       "Morvadin-X is free software under the GNU General Public License, version 3 or later.\n"
                       "It comes with no warranty. The full licence texts are in the package's copyright file.\n"
                       "\n"
                       "It uses, each under its own licence:\n";
    for (const ThirdPartyLicence& entry : ThirdPartyLicences())
        text += entry.name + ": " + entry.licence + "\n";
    return text;
}

}  // namespace zelk
