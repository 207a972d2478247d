// Morvadin-X: the desktop host of S3G printers.
#include <cstdio>
#include <cstdlib>

#include <X11/Xlib.h>
#include <wx/app.h>

#include "CommandLine.h"
#include "DisplayBackend.h"
#include "OrvanelApp.h"
#include "PrintFileChoice.h"
#include "StlPreload.h"

int main(int argc, char** argv)
{
    const zelk::ProgramOptions options = zelk::ParseProgramOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n%s", options.error.c_str(), zelk::ProgramUsage("Morvadin-X").c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(zelk::ProgramUsage("Morvadin-X").c_str(), stdout);
        return 0;
    }
    // The 3D view needs GLX: on a Wayland desktop the windows go through
    // XWayland unless the user chose otherwise; a choice or a desktop where
    // no window can open is said on the terminal.
    const std::string noWindow = zelk::NoWindowReason(std::getenv("GDK_BACKEND"), std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"));
    if (!noWindow.empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n", noWindow.c_str());
        return 1;
    }
    const std::string backend = zelk::ChooseGdkBackend(std::getenv("GDK_BACKEND"), std::getenv("DISPLAY"));
    if (!backend.empty())
        ::setenv("GDK_BACKEND", backend.c_str(), 1);
    // A display named but not there (its X server ended, or a typing
    // mistake) would end in the toolkit's assertions: one line instead. The
    // connection stays open until the end: closing it as the only client
    // would make an X server without -noreset reset under the toolkit.
    Display* const x = XOpenDisplay(nullptr);
    if (x == nullptr) {
        std::fprintf(stderr,
                     "Morvadin-X: cannot open the display %s (no X server answers there): start the program "
                     "from the desktop, or set DISPLAY to a running display\n",
                     std::getenv("DISPLAY"));
        return 1;
    }
    // The model files given are read while the toolkit and the window start;
    // the import after the first frame takes them from here.
    std::vector<std::string> models;
    for (const std::string& path : options.stlFiles)
        if (ZELKCAD::PrintFileKindOf(path) == ZELKCAD::PrintFileKind::kNone)
            models.push_back(path);
    ZELKCAD::StlPreload preload(std::move(models));
    wxApp::SetInstance(new COrvanelApp(options));
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    const int status = wxEntry(wxArgc, wxArgv);
    XCloseDisplay(x);
    return status;
}
