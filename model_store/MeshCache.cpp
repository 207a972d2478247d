// The vertex arrays a printable model draws from, rebuilt only when its mesh changes.
#include "MeshCache.h"

#include <algorithm>
#include <cmath>

#include "GePlane.h"

namespace zelk {

namespace {

MeshDrawing g_drawing = MeshDrawing::Cached;
unsigned long g_buildSerial = 0;

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
    m_windings.clear();
    m_windings.reserve(facets.size() * 3);
    for (const Triangle& t : facets) {
        const ZELKGeVector3d n = FacetDrawNormal(t);
        for (const ZELKGePoint3d& p : t.point)
            Append(m_data, n, p);
        const ZELKGeVector3d w = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]);
        m_windings.push_back(static_cast<float>(w.x));
        m_windings.push_back(static_cast<float>(w.y));
        m_windings.push_back(static_cast<float>(w.z));
    }
    m_revision = revision;
    m_serial = ++g_buildSerial;
    m_built = true;
}

void FrontFacingVertices(const MeshVertexArray& arrays, const float w[3], std::vector<float>& out)
{
    const std::vector<float>& windings = arrays.Windings();
    const std::size_t facets = windings.size() / 3;
    out.resize(arrays.Data().size());
    float* to = out.data();
    for (std::size_t f = 0; f < facets; ++f) {
        const float* n = windings.data() + 3 * f;
        if (w[0] * n[0] + w[1] * n[1] + w[2] * n[2] > 0.0f) {
            std::copy_n(arrays.Data().data() + 18 * f, 18, to);
            to += 18;
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
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
