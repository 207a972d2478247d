// Triangle meshes as loaded from STL files, and the eight corners of the build volume.
#pragma once

#include <vector>

#include "GeMatrix3d.h"
#include "GePoint3d.h"

// One facet: three vertices (counter-clockwise seen from outside) and its normal.
struct Triangle {
    ZELKGePoint3d point[3];
    ZELKGeVector3d normal;
};

// A triangle mesh in world coordinates with its bounding corners. Copies copy all.
class ZELKGePrint {
public:
    ZELKGePrint() = default;

    std::vector<Triangle>& GetGePrint() { return m_triangles; }
    const std::vector<Triangle>& GetGePrint() const { return m_triangles; }

    // Transforms every vertex in place. Normals follow the facet (transformed by
    // the inverse transpose and re-normalised; a zero normal stays zero). A
    // mirroring matrix also swaps two vertices of every facet, so the vertex
    // order stays counter-clockwise seen along the normal. Updates the corners.
    void TransformBy(const ZELKGeMatrix3d& m);

    // The axis-aligned box of the current vertices. Returns 0 and writes two
    // zero points for an empty mesh, else 1.
    int GetMinMaxPoint(ZELKGePoint3d& min, ZELKGePoint3d& max) const;

    // The stored corners, as set by the loader or the last UpdateMinMaxPoint.
    const ZELKGePoint3d& MinPoint() const { return m_min; }
    const ZELKGePoint3d& MaxPoint() const { return m_max; }
    void SetMinMaxPoint(const ZELKGePoint3d& min, const ZELKGePoint3d& max);
    // Recomputes the stored corners from the vertices.
    void UpdateMinMaxPoint();

    bool IsEmpty() const { return m_triangles.empty(); }
    void Clear();

private:
    std::vector<Triangle> m_triangles;
    ZELKGePoint3d m_min;
    ZELKGePoint3d m_max;
};

// Build volume corners: bottom (-x,-y), (+x,-y), (+x,+y), (-x,+y), then the top face likewise.
struct ZELKGePrintBox {
    ZELKGePoint3d corner[8];

    ZELKGePoint3d& operator[](int i) { return corner[i]; }
    const ZELKGePoint3d& operator[](int i) const { return corner[i]; }
};

// The box for a platform of the given size, centred on the origin with its top at z = 0.
ZELKGePrintBox MakePrintBox(double lengthX, double widthY, double heightZ);
