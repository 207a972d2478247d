// The arithmetic of the 3D view, free of OpenGL state: projection volume, pan, trackball, standard views, fit, pick choice.
#include "ViewGeometry.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace zelk {

namespace {

constexpr double kPi = 3.14159265358979323846;
const ZELKGePoint3d kOrigin(0, 0, 0);

ZELKGeMatrix3d Rotation(double degrees, double x, double y, double z)
{
    ZELKGeMatrix3d r;
    r.Rotation(degrees, ZELKGeVector3d(x, y, z), kOrigin);
    return r;
}

// A window point on the trackball sphere, as a unit vector.
ZELKGeVector3d TrackballPoint(int x, int y, int width, int height, double radius, double pixelScale)
{
    ZELKGeVector3d v((x - width / 2) * pixelScale, (height / 2 - y) * pixelScale, 0.0);
    const double d2 = v.x * v.x + v.y * v.y;
    if (std::sqrt(d2) < radius)
        v.z = std::sqrt(radius * radius - d2);
    v.Normalize();
    return v;
}

// The eye-space translation by pixel distances (dx, dy) already scaled.
ZELKGeMatrix3d EyeShift(double dx, double dy, double pixelScale)
{
    const double e = dx * dx + dy * dy;
    const double z = std::sqrt(e) < pixelScale ? std::sqrt(pixelScale * pixelScale - e) : 0.0;
    ZELKGeMatrix3d t;
    t.Move(ZELKGeVector3d(2.0 * dx, -2.0 * dy, z));
    return t;
}

}  // namespace

OrthoVolume MakeOrthoVolume(int width, int height)
{
    OrthoVolume v;
    const double w = width, h = height;
    if (w < h) {
        v.a = 1.0;
        v.b = h / w;
    } else {
        v.a = w / h;
        v.b = 1.0;
    }
    v.pixelScale = v.a / w;
    v.trackballRadius = width / 2;
    v.depth = 10.0 * std::max(v.a, v.b) + 0.1;
    return v;
}

ViewportState MakeViewportState(const ZELKGeMatrix3d& view, const OrthoVolume& volume, int width, int height)
{
    ViewportState s;
    s.viewport[2] = width;
    s.viewport[3] = height;
    view.GetMatrix(s.modelview);
    s.projection[0] = 1.0 / volume.a;
    s.projection[5] = 1.0 / volume.b;
    s.projection[10] = -1.0 / volume.depth;
    s.projection[15] = 1.0;
    return s;
}

int UnprojectWindow(const ViewportState& s, const ZELKGePoint3d& window, ZELKGePoint3d& world)
{
    const double y = (s.viewport[1] + s.viewport[3]) - window.y;
    return gluUnProject(window.x, y, window.z, s.modelview, s.projection, s.viewport, &world.x, &world.y, &world.z);
}

int ProjectWorld(const ZELKGePoint3d& world, const ViewportState& s, ZELKGePoint3d& window)
{
    const int ok = gluProject(world.x, world.y, world.z, s.modelview, s.projection, s.viewport, &window.x, &window.y,
                              &window.z);
    window.y = (s.viewport[1] + s.viewport[3]) - window.y;
    return ok;
}

ZELKGeMatrix3d PanStep(int px, int py, int cx, int cy, double pixelScale)
{
    return EyeShift((cx - px) * pixelScale, (cy - py) * pixelScale, pixelScale);
}

bool TrackballStep(int px, int py, int cx, int cy, int width, int height, int radiusPx, double pixelScale,
                   ZELKGeMatrix3d& out)
{
    const double radius = radiusPx * pixelScale;
    const ZELKGeVector3d a = TrackballPoint(px, py, width, height, radius, pixelScale);
    const ZELKGeVector3d b = TrackballPoint(cx, cy, width, height, radius, pixelScale);
    const double degrees = a.AngleTo(b) * 180.0 / kPi / 3.0;
    const ZELKGeVector3d axis = a.CrossProduct(b);
    if (axis.DotProduct(axis) < 1e-7)
        return false;
    out.Rotation(degrees, axis, kOrigin);
    return true;
}

ZELKGeMatrix3d UcsRotation()
{
    return Rotation(90, 0, 0, 1);
}

ZELKGeMatrix3d StandardViewRotation(StandardView view)
{
    ZELKGeMatrix3d v = UcsRotation();
    switch (view) {
    case StandardView::Standard: v *= Rotation(105, 0, 0, -1); v *= Rotation(285, 1, 0, 0); break;
    case StandardView::Top: break;
    case StandardView::Bottom: v *= Rotation(180, 0, 1, 0); break;
    case StandardView::Front: v *= Rotation(270, 1, 0, 0); break;
    case StandardView::Back: v *= Rotation(270, 1, 0, 0); v *= Rotation(180, 0, 1, 0); break;
    case StandardView::Left: v *= Rotation(90, 0, 1, 0); v *= Rotation(90, 0, 0, 1); break;
    case StandardView::Right: v *= Rotation(270, 0, 1, 0); v *= Rotation(270, 0, 0, 1); break;
    }
    return v;
}

void GrowBox(const ZELKGePoint3d& p, ZELKGePoint3d& min, ZELKGePoint3d& max)
{
    for (int a = 0; a < 3; ++a) {
        if (p[a] > max[a])
            max[a] = p[a];
        else if (p[a] < min[a])
            min[a] = p[a];
    }
}

bool FitStep(const ZELKGePoint3d& windowMin, const ZELKGePoint3d& windowMax, int width, int height,
             double pixelScale, ZELKGeMatrix3d& out)
{
    const double dx = std::fabs(windowMax.x - windowMin.x);
    const double dy = std::fabs(windowMax.y - windowMin.y);
    if (dx < 1e-6 || dy < 1e-6)
        return false;
    const double s = 0.8 * std::min(height / dy, width / dx);
    const double tx = (width / 2 - (windowMin.x + windowMax.x) / 2.0) * pixelScale;
    const double ty = (height / 2 - (windowMin.y + windowMax.y) / 2.0) * pixelScale;
    // The same eye-space shift as a pan by (tx, ty) pixels.
    out = EyeShift(tx, ty, pixelScale);
    ZELKGeMatrix3d scaling;
    scaling.Scaling(s, kOrigin);
    out *= scaling;
    return true;
}

double FitScale(const ZELKGePoint3d& p, const ZELKGePoint3d& q, int width, int height)
{
    const double dx = std::fabs(q.x - p.x);
    const double dy = std::fabs(q.y - p.y);
    if (dx < 1e-6 || dy < 1e-6)
        return 0.0;
    return dx < dy ? 0.8 * width / dx : 0.8 * height / dy;
}

long ChooseHit(int count, const unsigned* buffer, std::size_t size)
{
    long chosen = -1;
    unsigned nearest = 0;
    std::size_t at = 0;
    for (int i = 0; i < count; ++i) {
        if (at + 3 > size)
            break;
        const unsigned names = buffer[at];
        const unsigned minDepth = buffer[at + 1];
        if (names == 0 || at + 3 + names > size) {
            at += 3 + names;
            continue;
        }
        if (chosen < 0 || minDepth < nearest) {
            nearest = minDepth;
            chosen = static_cast<long>(buffer[at + 2 + names]);
        }
        at += 3 + names;
    }
    return chosen;
}

}  // namespace zelk
