// The arithmetic of the 3D view, free of OpenGL state: projection volume, pan, trackball, standard views, fit, pick choice.
#pragma once

#include <cstddef>

#include "GeMatrix3d.h"
#include "GePoint3d.h"

// Kinds of view drag.
enum TRANSLATER_TYPE { TRANSLATER_PAN = 4, TRANSLATER_ROTATE = 5 };

namespace zelk {

// The orthographic view volume of a window: x in [-a, a], y in [-b, b],
// z in [-depth, depth]; one pixel is 2 * pixelScale eye units.
struct OrthoVolume {
    double a = 1.0;
    double b = 1.0;
    double depth = 10.1;
    double pixelScale = 0.0;
    int trackballRadius = 0;  // half the window width, whole pixels
};
// For a window of at least one pixel each way.
OrthoVolume MakeOrthoVolume(int width, int height);

// What window/world conversion needs: viewport and matrices (column-major).
struct ViewportState {
    int viewport[4] = {0, 0, 0, 0};
    double modelview[16] = {};
    double projection[16] = {};
};
// The state a frame has: the view matrix over the orthographic projection.
ViewportState MakeViewportState(const ZELKGeMatrix3d& view, const OrthoVolume& volume, int width, int height);
// Window (y from the top, z depth 0-1) to world and back. Nonzero on success.
int UnprojectWindow(const ViewportState& state, const ZELKGePoint3d& window, ZELKGePoint3d& world);
int ProjectWorld(const ZELKGePoint3d& world, const ViewportState& state, ZELKGePoint3d& window);

// One pan step from pixel (px, py) to (cx, cy).
ZELKGeMatrix3d PanStep(int px, int py, int cx, int cy, double pixelScale);
// One trackball step; false (out untouched) when the drag sweeps no axis.
bool TrackballStep(int px, int py, int cx, int cy, int width, int height, int radiusPx, double pixelScale,
                   ZELKGeMatrix3d& out);

enum class StandardView { Standard, Top, Bottom, Front, Back, Left, Right };
// World to user axes: 90 degrees about +z, the start of every standard view.
ZELKGeMatrix3d UcsRotation();
// The rotation of a standard view, the user-axes turn included (without the fit).
ZELKGeMatrix3d StandardViewRotation(StandardView view);

// Grows the box by one point: per coordinate, max = p when p > max, else min = p when p < min.
void GrowBox(const ZELKGePoint3d& p, ZELKGePoint3d& min, ZELKGePoint3d& max);
// The step that centres a window box and makes it fill 80 % of the window in
// its tighter direction; false when the box has no width or height.
bool FitStep(const ZELKGePoint3d& windowMin, const ZELKGePoint3d& windowMax, int width, int height,
             double pixelScale, ZELKGeMatrix3d& out);
// The factor that makes the window box p-q fill 80 % of the window; 0 for a flat box.
double FitScale(const ZELKGePoint3d& p, const ZELKGePoint3d& q, int width, int height);

// The name chosen from selection hit records (count records in their
// standard layout within size values): the last name of the record whose
// nearest point is nearest to the viewer, the first on ties; -1 for none.
long ChooseHit(int count, const unsigned* buffer, std::size_t size);

}  // namespace zelk
