// The view matrix of the 3D view and window/world conversion through the current OpenGL matrices.
#pragma once

#include "GeMatrix3d.h"
#include "GePoint3d.h"

// Window (DCS): x, y in pixels from the top left, z a depth from 0 (near) to
// 1 (far). World (WCS): the models' system, z up, platform top at z = 0.
// The conversions read the viewport and matrices of the current OpenGL
// context, so one must be current with the view matrix loaded.
class CZelkViewMath {
public:
    void InitView() { m_view.Reset(); }
    void SetCurrentMatuix(const ZELKGeMatrix3d& matrix) { m_view = matrix; }
    // The given transform follows the existing view (applied in eye space).
    void TranslateView(const ZELKGeMatrix3d& matrix) { m_view *= matrix; }
    const ZELKGeMatrix3d& GetViewMatuix() const { return m_view; }

    // Replaces the current OpenGL matrix by the view matrix (the caller has
    // chosen the model-view mode).
    void LoadModeViewMatrix() const;

    int TransDCSToWCS(double x, double y, double z, double& wx, double& wy, double& wz) const;
    int TransDCSToWCS(const ZELKGePoint3d& window, ZELKGePoint3d& world) const;
    int TransWCSToDCS(double x, double y, double z, double& dx, double& dy, double& dz) const;
    int TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& window) const;

private:
    ZELKGeMatrix3d m_view;
};
