// The view matrix of the 3D view and window/world conversion through the current OpenGL matrices.
#include "ViewMath.h"

#include <GL/gl.h>

#include "ViewGeometry.h"

namespace {

zelk::ViewportState CurrentState()
{
    zelk::ViewportState s;
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    glGetDoublev(GL_MODELVIEW_MATRIX, s.modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, s.projection);
    return s;
}

}  // namespace

void CZelkViewMath::LoadModeViewMatrix() const
{
    glLoadIdentity();
    double values[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    m_view.GetMatrix(values);
    glLoadMatrixd(values);
}

int CZelkViewMath::TransDCSToWCS(const ZELKGePoint3d& window, ZELKGePoint3d& world) const
{
    return zelk::UnprojectWindow(CurrentState(), window, world);
}

int CZelkViewMath::TransDCSToWCS(double x, double y, double z, double& wx, double& wy, double& wz) const
{
    ZELKGePoint3d world;
    const int ok = TransDCSToWCS(ZELKGePoint3d(x, y, z), world);
    wx = world.x;
    wy = world.y;
    wz = world.z;
    return ok;
}

int CZelkViewMath::TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& window) const
{
    return zelk::ProjectWorld(world, CurrentState(), window);
}

int CZelkViewMath::TransWCSToDCS(double x, double y, double z, double& dx, double& dy, double& dz) const
{
    ZELKGePoint3d window;
    const int ok = TransWCSToDCS(ZELKGePoint3d(x, y, z), window);
    dx = window.x;
    dy = window.y;
    dz = window.z;
    return ok;
}
