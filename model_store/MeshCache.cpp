// The vertex arrays a printable model draws from, rebuilt only when its mesh changes.
#include "MeshCache.h"

#include <cmath>

#include "GePlane.h"

namespace zelk {

namespace {

MeshDrawing g_drawing = MeshDrawing::Cached;

void Append(std::vector<float>& out, const ZELKGeVector3d& n, const ZELKGePoint3d& p)
{
    out.push_back(static_cast<float>(n.x));
    out.push_back(static_cast<float>(n.y));
    out.push_back(static_cast<float>(n.z));
    out.push_back(static_cast<float>(p.x));
    out.push_back(static_cast<float>(p.y));
    out.push_back(static_cast<float>(p.z));
}

}  // namespace

ZELKGeVector3d FacetDrawNormal(const Triangle& facet)
{
    ZELKGeVector3d n = facet.normal;
    n.Normalize();
    if (std::fabs(n.x) < 1e-5 && std::fabs(n.y) < 1e-5 && std::fabs(n.z) < 1e-5) {
        ZELKGePlane plane;
        plane.Set(facet.point[0], facet.point[1], facet.point[2]);
        n = plane.Normal();
    }
    return n;
}

void MeshVertexArray::Build(const ZELKGePrint& mesh, unsigned revision)
{
    const auto& facets = mesh.GetGePrint();
    m_data.clear();
    m_data.reserve(facets.size() * 18);
    for (const Triangle& t : facets) {
        const ZELKGeVector3d n = FacetDrawNormal(t);
        for (const ZELKGePoint3d& p : t.point)
            Append(m_data, n, p);
    }
    m_revision = revision;
    m_built = true;
}

void SetMeshDrawing(MeshDrawing drawing)
{
    g_drawing = drawing;
}

MeshDrawing GetMeshDrawing()
{
    return g_drawing;
}

}  // namespace zelk
