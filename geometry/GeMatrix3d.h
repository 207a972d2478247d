// 4x4 affine transforms: translation, rotation in degrees, scaling, composition and inversion.
#pragma once

#include "GePoint3d.h"

// The axis of a one-axis scaling.
enum Axis_ScaleDirection { Axis_X = 0, Axis_Y = 1, Axis_Z = 2 };

// Maps column vectors: p' = M p. Default constructed as the identity.
// Move, Rotation, Scaling and ScalingOnAxis replace the whole matrix by the
// transform they name (they do not compose) and return a copy.
class ZELKGeMatrix3d {
public:
    ZELKGeMatrix3d() { Reset(); }

    ZELKGeMatrix3d& Reset();
    ZELKGeMatrix3d Move(const ZELKGePoint3d& from, const ZELKGePoint3d& to);
    ZELKGeMatrix3d Move(const ZELKGePoint3d& p);
    ZELKGeMatrix3d Move(const ZELKGeVector3d& v);
    // Rotation by angleDeg degrees about the axis through p, right-handed:
    // a positive angle about +z turns +x towards +y. A zero axis gives the identity.
    ZELKGeMatrix3d Rotation(double angleDeg, const ZELKGeVector3d& axis, const ZELKGePoint3d& p);
    ZELKGeMatrix3d Scaling(double factor, const ZELKGePoint3d& p);
    ZELKGeMatrix3d ScalingOnAxis(double factor, Axis_ScaleDirection axis, const ZELKGePoint3d& p);

    // After A *= B, A maps a point as old A first, then B.
    ZELKGeMatrix3d& operator*=(const ZELKGeMatrix3d& b);
    // The same order as *=: (A * B) applies A first, then B.
    ZELKGeMatrix3d operator*(const ZELKGeMatrix3d& b) const;
    // Inverts in place; a singular matrix is left unchanged.
    ZELKGeMatrix3d& Inverse();
    // As Inverse, and tells whether the matrix could be inverted.
    bool TryInverse();
    double Determinant3x3() const;

    // Sixteen values in the column-major order glLoadMatrixd expects.
    void GetMatrix(double out[16]) const;

    ZELKGePoint3d TransformPoint(const ZELKGePoint3d& p) const;
    ZELKGeVector3d TransformVector(const ZELKGeVector3d& v) const;
    // Largest absolute difference of any entry; for comparing transforms.
    double MaxDifference(const ZELKGeMatrix3d& other) const;
    bool IsIdentity(double tolerance = 1e-12) const { return MaxDifference(ZELKGeMatrix3d()) <= tolerance; }

    double operator()(int row, int col) const { return m[row][col]; }
    double& operator()(int row, int col) { return m[row][col]; }

private:
    double m[4][4];
};
