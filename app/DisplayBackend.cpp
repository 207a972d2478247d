// Which of the desktop's display systems the program's windows use.
#include "DisplayBackend.h"

namespace zelk {

std::string ChooseGdkBackend(const char* gdkBackend, const char* display)
{
    if (gdkBackend != nullptr && *gdkBackend != '\0')
        return gdkBackend;
    if (display != nullptr && *display != '\0')
        return "x11";
    return std::string();
}

}  // namespace zelk
