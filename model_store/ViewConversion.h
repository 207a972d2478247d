// The window-to-world conversion the 3D view lends the model store for mouse tracking.
#pragma once

#include "GePoint3d.h"

// The view library registers its renderer's conversion at start-up; the model
// store calls it without linking against the view (that would be a cycle).
class ZELKViewConversion {
public:
    virtual ~ZELKViewConversion() = default;
    // Window point (x, y in pixels from the top left, z a depth 0-1) to world.
    // Returns nonzero on success.
    virtual int TransDCSToWCS(const ZELKGePoint3d& screen, ZELKGePoint3d& world) = 0;
};

namespace zelk {

// The registered conversion, or null before the view registers one.
void SetViewConversion(ZELKViewConversion* conversion);
ZELKViewConversion* GetViewConversion();

// Where the window points first and second meet the platform plane z = 0,
// looking along the view's depth. When the view looks exactly along the
// platform, the points at depth 0.5 flattened to z = 0 are used instead.
// Returns 0 (outputs untouched) when no conversion is registered.
int GroundPoints(ZELKViewConversion* view, const ZELKGePoint3d& first, const ZELKGePoint3d& second,
                 ZELKGePoint3d& groundFirst, ZELKGePoint3d& groundSecond);

}  // namespace zelk
