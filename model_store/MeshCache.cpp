// The vertex arrays a printable model draws from, rebuilt only when its mesh changes.
#include "MeshCache.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <system_error>
#include <thread>

#include "GePlane.h"

namespace zelk {

namespace {

MeshDrawing g_drawing = MeshDrawing::Cached;
// Builds may run on a reading thread while the user-interface thread draws.
std::atomic<unsigned long> g_buildSerial{0};

void Put(float*& out, const ZELKGeVector3d& n, const ZELKGePoint3d& p)
{
    out[0] = static_cast<float>(n.x);
    out[1] = static_cast<float>(n.y);
    out[2] = static_cast<float>(n.z);
    out[3] = static_cast<float>(p.x);
    out[4] = static_cast<float>(p.y);
    out[5] = static_cast<float>(p.z);
    out += 6;
}

// Runs upper() on a second thread (or on this one, first, when none can be
// had) while this one runs lower(); returns once both are done.
template <typename Lower, typename Upper>
void InTwoHalves(Lower&& lower, Upper&& upper)
{
    std::thread helper;
    try {
        helper = std::thread([&upper] { upper(); });
    } catch (const std::system_error&) {
        upper();
    }
    lower();
    if (helper.joinable())
        helper.join();
}

// The arrays of facets [begin, end) into their places.
void BuildFacets(const std::vector<Triangle>& facets, std::size_t begin, std::size_t end, float* data,
                 float* windings)
{
    float* out = data + 18 * begin;
    float* winding = windings + 3 * begin;
    for (std::size_t f = begin; f < end; ++f) {
        const Triangle& t = facets[f];
        const ZELKGeVector3d n = FacetDrawNormal(t);
        for (const ZELKGePoint3d& p : t.point)
            Put(out, n, p);
        const ZELKGeVector3d w = ZELKGeVector3d(t.point[1] - t.point[0]).CrossProduct(t.point[2] - t.point[0]);
        winding[0] = static_cast<float>(w.x);
        winding[1] = static_cast<float>(w.y);
        winding[2] = static_cast<float>(w.z);
        winding += 3;
    }
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

void MeshVertexArray::Build(const ZELKGePrint& mesh, unsigned revision, bool secondThread)
{
    const auto& facets = mesh.GetGePrint();
    const std::size_t count = facets.size();
    m_built = false;  // until every float is written: no memory shortage leaves a half-built array current
    m_data.Allocate(count * 18);
    m_windings.Allocate(count * 3);
    float* data = m_data.data();
    float* windings = m_windings.data();
    if (secondThread && count >= kParallelBuildFacets) {
        // A large mesh: each half built into its place on a thread of its own.
        const std::size_t middle = count / 2;
        InTwoHalves([&] { BuildFacets(facets, 0, middle, data, windings); },
                    [&] { BuildFacets(facets, middle, count, data, windings); });
    } else {
        BuildFacets(facets, 0, count, data, windings);
    }
    m_revision = revision;
    m_serial = ++g_buildSerial;
    m_built = true;
}

namespace {

// Rounding of the window coordinates (single precision, snapped to a
// fraction of a pixel by the rasteriser) is kept well inside this tolerance.
constexpr double kSlack = 0.01;
// A facet whose window box spans more pixel centres than this on an axis is
// kept without trying them.
constexpr int kMostCentresTried = 4;

// Whether some pixel centre (k + 0.5) lies in [lo, hi], give or take the
// rasteriser's snapping of vertices to a fraction of a pixel: whether an
// integer lies in [lo - slack - 0.5, hi + slack - 0.5].
inline bool HoldsPixelCentre(double lo, double hi, double slack)
{
    // floor(top), without the library call: truncation, one down below zero.
    const double top = hi + slack - 0.5;
    if (!(std::fabs(top) < 1e15))
        return std::floor(top) >= lo - slack - 0.5;
    double whole = static_cast<double>(static_cast<long long>(top));
    if (whole > top)
        whole -= 1.0;
    return whole >= lo - slack - 0.5;
}

// The slack of the window boxes: at least kSlack, and never less than a
// corner may move.
inline double BoxSlack(double cornerSlack)
{
    return std::max(kSlack, cornerSlack);
}

// The window coordinates of the three vertices along row r of the window transform.
inline void WindowRow(const float* vertices, const double* r, double w[3])
{
    for (int k = 0; k < 3; ++k)
        w[k] = r[0] * vertices[6 * k + 3] + r[1] * vertices[6 * k + 4] + r[2] * vertices[6 * k + 5] + r[3];
}

inline bool SpansPixelCentre(const double w[3], double slack)
{
    return HoldsPixelCentre(std::min(std::min(w[0], w[1]), w[2]), std::max(std::max(w[0], w[1]), w[2]), slack);
}

// Runs for half the facets of every model each time the view or a model's
// transform changes; most facets of a dense mesh fail already along x, and
// the box test along both axes comes before the exact one.
inline bool PaintsAPixel(const float* vertices, const FacetFilter& filter)
{
    const double slack = BoxSlack(filter.cornerSlack);
    double x[3], y[3];
    WindowRow(vertices, filter.window[0], x);
    if (!SpansPixelCentre(x, slack))
        return false;
    WindowRow(vertices, filter.window[1], y);
    return SpansPixelCentre(y, slack) && CoversPixelCentre(x, y, filter.viewport, filter.cornerSlack);
}

}  // namespace

bool CoversPixelCentre(const double x[3], const double y[3], const double viewport[4], double cornerSlack)
{
    const double slack = BoxSlack(cornerSlack);
    // The pixel columns and rows whose centres lie in the window box (with
    // the tolerance), cut to the viewport.
    const double lo[2] = {std::min(std::min(x[0], x[1]), x[2]), std::min(std::min(y[0], y[1]), y[2])};
    const double hi[2] = {std::max(std::max(x[0], x[1]), x[2]), std::max(std::max(y[0], y[1]), y[2])};
    double first[2], last[2];
    for (int i = 0; i < 2; ++i) {
        first[i] = std::max(std::ceil(lo[i] - slack - 0.5), viewport[i]);
        last[i] = std::min(std::floor(hi[i] + slack - 0.5), viewport[2 + i] - 1);
        if (first[i] > last[i])
            return false;
        if (last[i] - first[i] >= kMostCentresTried)
            return true;
    }
    // Twice the signed area gives the side the inside lies on; a facet with
    // none is kept (whatever the rasteriser makes of it).
    const double area = (x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0]);
    if (area == 0.0)
        return true;
    const double side = area > 0 ? 1.0 : -1.0;
    for (double py = first[1]; py <= last[1]; ++py) {
        const double cy = py + 0.5;
        for (double px = first[0]; px <= last[0]; ++px) {
            const double cx = px + 0.5;
            bool inside = true;
            for (int e = 0; e < 3 && inside; ++e) {
                const int a = e, b = e == 2 ? 0 : e + 1;
                // The edge function of the centre; moving each corner by up
                // to d along each axis changes it by at most d times the sum
                // of the centre's distances to the two corners (plus 4 d^2).
                const double edge = side * ((x[b] - x[a]) * (cy - y[a]) - (y[b] - y[a]) * (cx - x[a]));
                const double reach = std::fabs(cx - x[a]) + std::fabs(cy - y[a]) + std::fabs(cx - x[b]) +
                                     std::fabs(cy - y[b]);
                inside = edge >= -cornerSlack * (reach + 4 * cornerSlack);
            }
            if (inside)
                return true;
        }
    }
    return false;
}

namespace {

// The facets [begin, end) that pass, in order, in blocks to `take`.
template <typename Take>
void FilterFacets(const MeshVertexArray& arrays, const FacetFilter& filter, std::size_t begin, std::size_t end,
                  Take&& take)
{
    const FloatArray& windings = arrays.Windings();
    const float* w = filter.facing;
    // A facet that passes is copied while its vertices are still in the
    // cache from the test; the block stays in the cache too.
    std::vector<float> block(kVisibleBlockFacets * 18);
    std::size_t held = 0;
    for (std::size_t f = begin; f < end; ++f) {
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

}  // namespace

void ForEachVisibleBlock(const MeshVertexArray& arrays, const FacetFilter& filter,
                         const std::function<void(const float* vertices, std::size_t facets)>& take)
{
    const std::size_t facets = arrays.Windings().size() / 3;
    if (facets < kParallelFilterFacets) {
        FilterFacets(arrays, filter, 0, facets, take);
        return;
    }
    // A large mesh: a second thread tests the upper half meanwhile and keeps
    // what passes, which follows the lower half's blocks, so the order (and
    // what the buffer holds) is the same as on one thread.
    const std::size_t middle = facets / 2;
    std::vector<float> upper;
    InTwoHalves([&] { FilterFacets(arrays, filter, 0, middle, take); },
                [&] {
                    FilterFacets(arrays, filter, middle, facets, [&upper](const float* vertices, std::size_t n) {
                        upper.insert(upper.end(), vertices, vertices + 18 * n);
                    });
                });
    const std::size_t blockFloats = kVisibleBlockFacets * 18;
    for (std::size_t at = 0; at < upper.size(); at += blockFloats)
        take(upper.data() + at, std::min(blockFloats, upper.size() - at) / 18);
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
