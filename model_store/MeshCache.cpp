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
// rasteriser's snapping of vertices to a fraction of a pixel: whether an
// integer lies in [lo - slack - 0.5, hi + slack - 0.5].
inline bool HoldsPixelCentre(double lo, double hi)
{
    constexpr double kSlack = 0.01;
    return std::floor(hi + kSlack - 0.5) >= lo - kSlack - 0.5;
}

// Whether some pixel centre lies in the window range of the three vertices
// along row r of the window transform.
inline bool SpansPixelCentre(const float* vertices, const double* r)
{
    double w[3];
    for (int k = 0; k < 3; ++k)
        w[k] = r[0] * vertices[6 * k + 3] + r[1] * vertices[6 * k + 4] + r[2] * vertices[6 * k + 5] + r[3];
    return HoldsPixelCentre(std::min(std::min(w[0], w[1]), w[2]), std::max(std::max(w[0], w[1]), w[2]));
}

// Runs for half the facets of every model each time the view or a model's
// transform changes; most facets of a dense mesh fail already along x.
inline bool PaintsAPixel(const float* vertices, const FacetFilter& filter)
{
    return SpansPixelCentre(vertices, filter.window[0]) && SpansPixelCentre(vertices, filter.window[1]);
}

}  // namespace

void ForEachVisibleBlock(const MeshVertexArray& arrays, const FacetFilter& filter,
                         const std::function<void(const float* vertices, std::size_t facets)>& take)
{
    const std::vector<float>& windings = arrays.Windings();
    const std::size_t facets = windings.size() / 3;
    const float* w = filter.facing;
    // A facet that passes is copied while its vertices are still in the
    // cache from the test; the block stays in the cache too.
    std::vector<float> block(kVisibleBlockFacets * 18);
    std::size_t held = 0;
    for (std::size_t f = 0; f < facets; ++f) {
        const float* n = windings.data() + 3 * f;
        if (w[0] * n[0] + w[1] * n[1] + w[2] * n[2] <= 0.0f)
            continue;
        const float* vertices = arrays.Data().data() + 18 * f;
        if (filter.bySize && !PaintsAPixel(vertices, filter))
            continue;
        std::copy_n(vertices, 18, block.data() + 18 * held);
        if (++held == kVisibleBlockFacets) {
            take(block.data(), held);
            held = 0;
        }
    }
    if (held > 0)
        take(block.data(), held);
}

void VisibleVertices(const MeshVertexArray& arrays, const FacetFilter& filter, std::vector<float>& out)
{
    out.clear();
    ForEachVisibleBlock(arrays, filter, [&](const float* vertices, std::size_t facets) {
        out.insert(out.end(), vertices, vertices + 18 * facets);
    });
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
