// The window-to-world conversion the 3D view lends the model store for mouse tracking.
#include "ViewConversion.h"

#include <cmath>

#include "GePlane.h"

namespace zelk {

namespace {

ZELKViewConversion* g_conversion = nullptr;

// The line through the world points under a window point at depths 0.5 and 0.4.
ZELKGeLine DepthLine(ZELKViewConversion* view, const ZELKGePoint3d& window)
{
    ZELKGeLine line;
    view->TransDCSToWCS(ZELKGePoint3d(window.x, window.y, 0.5), line.start);
    view->TransDCSToWCS(ZELKGePoint3d(window.x, window.y, 0.4), line.end);
    return line;
}

}  // namespace

void SetViewConversion(ZELKViewConversion* conversion)
{
    g_conversion = conversion;
}

ZELKViewConversion* GetViewConversion()
{
    return g_conversion;
}

int GroundPoints(ZELKViewConversion* view, const ZELKGePoint3d& first, const ZELKGePoint3d& second,
                 ZELKGePoint3d& groundFirst, ZELKGePoint3d& groundSecond)
{
    if (view == nullptr)
        return 0;
    const ZELKGePlane ground(ZELKGePoint3d(0, 0, 0), ZELKGeVector3d(0, 0, 1));
    const ZELKGeLine a = DepthLine(view, first);
    const ZELKGeLine b = DepthLine(view, second);
    ZELKGeVector3d direction = a.Normal();
    direction.Normalize();
    if (std::fabs(direction.z) < 1e-7) {
        groundFirst.Set(a.start.x, a.start.y, 0.0);
        groundSecond.Set(b.start.x, b.start.y, 0.0);
        return 1;
    }
    ground.IntersectWith(a, groundFirst);
    ground.IntersectWith(b, groundSecond);
    return 1;
}

}  // namespace zelk
