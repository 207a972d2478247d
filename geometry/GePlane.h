// Planes and lines: the platform plane and the pick rays that cross it.
#pragma once

#include "GePoint3d.h"

// A segment or ray; callers write the two points directly.
class ZELKGeLine {
public:
    ZELKGeLine() = default;
    ZELKGeLine(const ZELKGePoint3d& s, const ZELKGePoint3d& e) : start(s), end(e) {}

    // A vector along the line: end - start (not normalised).
    ZELKGeVector3d Normal() const { return end - start; }

    ZELKGePoint3d start;
    ZELKGePoint3d end;
};

// A plane through a point with a unit normal. Default: z = 0 with normal +z.
class ZELKGePlane {
public:
    ZELKGePlane() = default;
    ZELKGePlane(const ZELKGePoint3d& p, const ZELKGeVector3d& n) { Set(p, n); }

    void Set(const ZELKGePoint3d& p, const ZELKGeVector3d& n);
    // Normal along (p2 - p1) x (p3 - p1); three points on a line leave a zero normal.
    void Set(const ZELKGePoint3d& p1, const ZELKGePoint3d& p2, const ZELKGePoint3d& p3);
    const ZELKGeVector3d& Normal() const { return m_normal; }
    const ZELKGePoint3d& PointOnPlane() const { return m_point; }
    // Signed distance of p along the normal.
    double DistanceTo(const ZELKGePoint3d& p) const;

    // Where the infinite line through `line` crosses the plane. Returns 1 and
    // writes `out`; returns 0 and leaves `out` unchanged when the line is
    // parallel to the plane, degenerate, or the plane has no normal.
    int IntersectWith(const ZELKGeLine& line, ZELKGePoint3d& out) const;

private:
    ZELKGePoint3d m_point;
    ZELKGeVector3d m_normal{0.0, 0.0, 1.0};
};
