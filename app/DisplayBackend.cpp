// Which of the desktop's display systems the program's windows use.
#include "DisplayBackend.h"

#include <algorithm>

namespace zelk {

std::string ChooseGdkBackend(const char* gdkBackend, const char* display)
{
    if (gdkBackend != nullptr && *gdkBackend != '\0')
        return gdkBackend;
    if (display != nullptr && *display != '\0')
        return "x11";
    return std::string();
}

std::string NoWindowReason(const char* gdkBackend, const char* display, const char* waylandDisplay)
{
    if (gdkBackend != nullptr && *gdkBackend != '\0') {
        // A comma-separated list of backends, "*" for any.
        bool x11 = false;
        std::string list = gdkBackend;
        for (std::size_t begin = 0; begin <= list.size();) {
            const std::size_t comma = std::min(list.find(',', begin), list.size());
            const std::string name = list.substr(begin, comma - begin);
            x11 = x11 || name == "x11" || name == "*";
            begin = comma + 1;
        }
        if (!x11)
            return "GDK_BACKEND=" + list + " leaves out X11, the only display system the window with its OpenGL "
                   "view opens on: start it with GDK_BACKEND=x11, or without GDK_BACKEND";
    }
    if (display != nullptr && *display != '\0')
        return std::string();
    if (waylandDisplay != nullptr && *waylandDisplay != '\0')
        return "this Wayland desktop runs no XWayland, and the window with its OpenGL view needs an X display "
               "(DISPLAY is not set)";
    return "no display to open the window on (DISPLAY is not set)";
}

}  // namespace zelk
