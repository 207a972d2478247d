// Where the main window starts: its size, position and maximised state, remembered between runs.
#pragma once

#include <vector>

class ZELKFileIniBase;

namespace zelk {

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;

    bool Intersects(const ScreenRect& other) const
    {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height;
    }
    bool operator==(const ScreenRect& other) const
    {
        return x == other.x && y == other.y && width == other.width && height == other.height;
    }
};

// The window as the user left it: the rectangle it has when not maximised,
// and whether it was maximised.
struct WindowPlacement {
    ScreenRect normal;
    bool maximized = false;
};

// Section "MainWindow" of the profile: "Left", "Top", "Width", "Height",
// "Maximized". False when nothing usable is stored (a missing key, a size
// that is not positive).
bool ReadWindowPlacement(ZELKFileIniBase& profile, WindowPlacement& placement);
bool WriteWindowPlacement(ZELKFileIniBase& profile, const WindowPlacement& placement);

// The rectangle the window starts with on displays whose work areas are
// given (the first is the primary one):
// - without a stored placement: `preferred` centred on the primary display;
// - with one: the stored rectangle, or, when no display shows enough of it
//   to grab (its title bar is off every display), the same size centred on
//   the primary display;
// - never smaller than `minimum`, never larger than the display it is on
//   (the display wins when it is smaller than `minimum`).
ScreenRect ChooseStartRect(const WindowPlacement* stored, int preferredWidth, int preferredHeight, int minimumWidth,
                           int minimumHeight, const std::vector<ScreenRect>& workAreas);

}  // namespace zelk
