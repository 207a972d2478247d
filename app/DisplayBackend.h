// Which of the desktop's display systems the program's windows use.
#pragma once

#include <string>

namespace zelk {

// The GDK_BACKEND the program starts with, from the environment it was
// given: the user's own choice is kept; otherwise X11 whenever an X display
// is there (also XWayland on a Wayland desktop), because the 3D view's
// OpenGL canvas works through GLX only; empty (let the toolkit choose) when
// there is no X display at all. Null arguments are unset variables.
std::string ChooseGdkBackend(const char* gdkBackend, const char* display);

// Why no window can be opened at all, or empty. The toolkit's OpenGL canvas
// allows its windows X11 only, so a GDK_BACKEND that leaves X11 out, or no X
// display (a Wayland desktop without XWayland, or no desktop), leaves not
// even a message box: the reason goes to the terminal.
std::string NoWindowReason(const char* gdkBackend, const char* display, const char* waylandDisplay);

}  // namespace zelk
