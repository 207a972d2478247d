// Where the main window starts, and the profile entries that remember it.
#include "WindowPlacement.h"

#include <algorithm>

#include "FileIni.h"

namespace zelk {

namespace {

constexpr const char* kSection = "MainWindow";
// How much of the window's top edge must lie on a display for the user to
// grab it and move it.
constexpr int kGrabPx = 40;

ScreenRect Centred(int width, int height, const ScreenRect& area)
{
    return {area.x + (area.width - width) / 2, area.y + (area.height - height) / 2, width, height};
}

}  // namespace

bool ReadWindowPlacement(ZELKFileIniBase& profile, WindowPlacement& placement)
{
    WindowPlacement read;
    int maximized = 0;
    if (!profile.GetIniProfileInt(kSection, "Left", read.normal.x) ||
        !profile.GetIniProfileInt(kSection, "Top", read.normal.y) ||
        !profile.GetIniProfileInt(kSection, "Width", read.normal.width) ||
        !profile.GetIniProfileInt(kSection, "Height", read.normal.height) || read.normal.width <= 0 ||
        read.normal.height <= 0)
        return false;
    profile.GetIniProfileInt(kSection, "Maximized", maximized);
    read.maximized = maximized != 0;
    placement = read;
    return true;
}

bool WriteWindowPlacement(ZELKFileIniBase& profile, const WindowPlacement& placement)
{
    return profile.WriteIniProfileInt(kSection, "Left", placement.normal.x) == 1 &&
           profile.WriteIniProfileInt(kSection, "Top", placement.normal.y) == 1 &&
           profile.WriteIniProfileInt(kSection, "Width", placement.normal.width) == 1 &&
           profile.WriteIniProfileInt(kSection, "Height", placement.normal.height) == 1 &&
           profile.WriteIniProfileInt(kSection, "Maximized", placement.maximized ? 1 : 0) == 1;
}

ScreenRect ChooseStartRect(const WindowPlacement* stored, int preferredWidth, int preferredHeight, int minimumWidth,
                           int minimumHeight, const std::vector<ScreenRect>& workAreas)
{
    const ScreenRect primary = workAreas.empty() ? ScreenRect{0, 0, preferredWidth, preferredHeight} : workAreas.front();
    const ScreenRect* area = &primary;
    int width = preferredWidth;
    int height = preferredHeight;
    bool centre = true;
    if (stored != nullptr) {
        width = stored->normal.width;
        height = stored->normal.height;
        const ScreenRect titleBar{stored->normal.x, stored->normal.y, stored->normal.width, kGrabPx};
        for (const ScreenRect& display : workAreas)
            if (titleBar.Intersects(display)) {
                area = &display;
                centre = false;
                break;
            }
    }
    width = std::min(std::max(width, minimumWidth), area->width);
    height = std::min(std::max(height, minimumHeight), area->height);
    if (centre)
        return Centred(width, height, *area);
    // Kept where it was, but pulled back inside the display if it grew past its edge.
    ScreenRect rect{stored->normal.x, stored->normal.y, width, height};
    rect.x = std::clamp(rect.x, area->x, area->x + area->width - width);
    rect.y = std::clamp(rect.y, area->y, area->y + area->height - height);
    return rect;
}

}  // namespace zelk
