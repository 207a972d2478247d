// Points and vectors in 3-D world space (millimetres), the values every geometry call passes.
#pragma once

class ZELKGeMatrix3d;
class ZELKGeVector3d;

// A position. Callers often set only x and y and rely on z staying 0.
class ZELKGePoint3d {
public:
    ZELKGePoint3d() = default;
    ZELKGePoint3d(double px, double py, double pz = 0.0) : x(px), y(py), z(pz) {}

    ZELKGePoint3d& Set(double px, double py, double pz = 0.0);

    ZELKGePoint3d& operator+=(const ZELKGePoint3d& p);
    ZELKGePoint3d& operator-=(const ZELKGePoint3d& p);
    ZELKGePoint3d& operator+=(const ZELKGeVector3d& v);
    ZELKGePoint3d& operator-=(const ZELKGeVector3d& v);
    ZELKGePoint3d operator+(const ZELKGePoint3d& p) const;
    ZELKGePoint3d operator-(const ZELKGePoint3d& p) const;
    ZELKGePoint3d operator+(const ZELKGeVector3d& v) const;
    ZELKGePoint3d operator-(const ZELKGeVector3d& v) const;
    ZELKGePoint3d operator*(double f) const;

    double DistanceTo(const ZELKGePoint3d& p) const;
    // Transforms this point in place and returns a copy of the result.
    ZELKGePoint3d TransformBy(const ZELKGeMatrix3d& m);
    // Moves this point by d along the unit direction of v (a zero v moves nothing).
    ZELKGePoint3d& Move(const ZELKGeVector3d& v, double d);

    // Component by index 0 (x), 1 (y), 2 (z).
    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// A direction or displacement; converts from a point (the vector from the origin).
class ZELKGeVector3d {
public:
    ZELKGeVector3d() = default;
    ZELKGeVector3d(double px, double py, double pz = 0.0) : x(px), y(py), z(pz) {}
    ZELKGeVector3d(const ZELKGePoint3d& p) : x(p.x), y(p.y), z(p.z) {}  // NOLINT: implicit by design

    ZELKGeVector3d& Set(double px, double py, double pz = 0.0);

    ZELKGeVector3d& operator+=(const ZELKGeVector3d& v);
    ZELKGeVector3d& operator-=(const ZELKGeVector3d& v);
    ZELKGeVector3d operator+(const ZELKGeVector3d& v) const;
    ZELKGeVector3d operator-(const ZELKGeVector3d& v) const;
    ZELKGeVector3d operator*(double f) const;
    ZELKGeVector3d operator-() const { return {-x, -y, -z}; }

    double Length() const;
    bool IsZeroLength(double tolerance = 1e-12) const { return Length() <= tolerance; }
    // Makes this vector unit length in place (a zero vector stays zero) and returns it.
    ZELKGeVector3d& Normalize();
    double DotProduct(const ZELKGeVector3d& v) const;
    ZELKGeVector3d CrossProduct(const ZELKGeVector3d& v) const;
    // Unsigned angle in radians, 0 to pi; 0 when either vector is zero.
    double AngleTo(const ZELKGeVector3d& v) const;
    // Transforms this direction in place by the matrix's linear part (no translation).
    ZELKGeVector3d TransformBy(const ZELKGeMatrix3d& m);
    ZELKGePoint3d AsPoint() const { return {x, y, z}; }

    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};
