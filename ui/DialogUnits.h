// Dialog-unit geometry of the panels, at the base units the panels were laid out for.
#pragma once

#include <wx/gdicmn.h>
#include <wx/window.h>

namespace zelk {

// One dialog unit is a quarter of the layout font's average character width
// (6 pixels) across and an eighth of its height (13 pixels) down. The panels'
// close box and frame are given in pixels, so the panels keep these
// proportions whatever the desktop font is; only the screen's scale applies.
inline wxRect DluToPixels(const wxWindow* window, int x, int y, int width, int height)
{
    const auto px = [](int dlu, int base, int divisor) { return (dlu * base + divisor / 2) / divisor; };
    const wxRect rect(px(x, 6, 4), px(y, 13, 8), px(width, 6, 4), px(height, 13, 8));
    return wxRect(window->FromDIP(rect.GetPosition()), window->FromDIP(rect.GetSize()));
}

inline wxSize DluToPixels(const wxWindow* window, const wxSize& size)
{
    return DluToPixels(window, 0, 0, size.x, size.y).GetSize();
}

}  // namespace zelk
