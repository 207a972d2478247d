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

namespace {

// Whether some pixel centre (k + 0.5) lies in [lo, hi], give or take the
// rasteriser's snapping of vertices to a fraction of a pixel.
bool HoldsPixelCentre(double lo, double hi)
{
    constexpr double kSlack = 0.01;
    return std::floor(hi + kSlack - 0.5) >= std::ceil(lo - kSlack - 0.5);
}

bool PaintsAPixel(const float* vertices, const FacetFilter& filter)
{
    double lo[2], hi[2];
    for (int k = 0; k < 3; ++k) {
        const float* p = vertices + 6 * k + 3;
        for (int i = 0; i < 2; ++i) {
            const double* r = filter.window[i];
            const double w = r[0] * p[0] + r[1] * p[1] + r[2] * p[2] + r[3];
            lo[i] = k == 0 ? w : std::min(lo[i], w);
            hi[i] = k == 0 ? w : std::max(hi[i], w);
        }
    }
    return HoldsPixelCentre(lo[0], hi[0]) && HoldsPixelCentre(lo[1], hi[1]);
}

}  // namespace

void VisibleVertices(const MeshVertexArray& arrays, const FacetFilter& filter, std::vector<float>& out)
{
    const std::vector<float>& windings = arrays.Windings();
    const std::size_t facets = windings.size() / 3;
    const float* w = filter.facing;
    out.resize(arrays.Data().size());
    float* to = out.data();
    for (std::size_t f = 0; f < facets; ++f) {
        const float* n = windings.data() + 3 * f;
        const float* vertices = arrays.Data().data() + 18 * f;
        if (w[0] * n[0] + w[1] * n[1] + w[2] * n[2] <= 0.0f)
            continue;
        if (filter.bySize && !PaintsAPixel(vertices, filter))
            continue;
        std::copy_n(vertices, 18, to);
        to += 18;
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
