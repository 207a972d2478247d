// Boxes of runs of consecutive facets, for the box of a mesh under a transform without transforming every vertex.
#include "MeshRunBoxes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelk {

namespace {

// Transformed coordinates are rounded a few times on the way; a run is only
// skipped when its bound misses the best value by more than this share of
// the magnitudes involved.
constexpr double kBoundSlack = 1e-9;

struct Bounds {
    double lo[3];
    double hi[3];
};

// Lower and upper bounds of each transformed coordinate over a box.
Bounds TransformBox(const ZELKGeMatrix3d& m, const ZELKGePoint3d& lo, const ZELKGePoint3d& hi)
{
    Bounds b;
    for (int a = 0; a < 3; ++a) {
        double low = m(a, 3), high = m(a, 3), size = std::fabs(m(a, 3));
        for (int j = 0; j < 3; ++j) {
            const double p = m(a, j) * lo[j], q = m(a, j) * hi[j];
            low += std::min(p, q);
            high += std::max(p, q);
            size += std::max(std::fabs(p), std::fabs(q));
        }
        const double slack = kBoundSlack * size + std::numeric_limits<double>::min();
        b.lo[a] = low - slack;
        b.hi[a] = high + slack;
    }
    return b;
}

void Extend(ZELKGePoint3d& lo, ZELKGePoint3d& hi, const ZELKGePoint3d& p)
{
    lo.x = std::min(lo.x, p.x);
    lo.y = std::min(lo.y, p.y);
    lo.z = std::min(lo.z, p.z);
    hi.x = std::max(hi.x, p.x);
    hi.y = std::max(hi.y, p.y);
    hi.z = std::max(hi.z, p.z);
}

}  // namespace

void MeshRunBoxes::Build(const ZELKGePrint& mesh)
{
    const std::vector<Triangle>& facets = mesh.GetGePrint();
    const std::size_t runs = (facets.size() + kRunFacets - 1) / kRunFacets;
    m_lo.assign(runs, ZELKGePoint3d());
    m_hi.assign(runs, ZELKGePoint3d());
    for (std::size_t r = 0; r < runs; ++r) {
        const std::size_t end = std::min(facets.size(), (r + 1) * kRunFacets);
        ZELKGePoint3d lo = facets[r * kRunFacets].point[0], hi = lo;
        for (std::size_t f = r * kRunFacets; f < end; ++f) {
            for (const ZELKGePoint3d& p : facets[f].point)
                Extend(lo, hi, p);
        }
        m_lo[r] = lo;
        m_hi[r] = hi;
    }
}

int MeshRunBoxes::TransformedBox(const ZELKGePrint& mesh, const ZELKGeMatrix3d& matrix, ZELKGePoint3d& min,
                                 ZELKGePoint3d& max, std::size_t* visitedRuns) const
{
    const std::vector<Triangle>& facets = mesh.GetGePrint();
    if (visitedRuns != nullptr)
        *visitedRuns = 0;
    if (facets.empty() || m_lo.empty()) {
        min = ZELKGePoint3d();
        max = ZELKGePoint3d();
        return 0;
    }
    const std::size_t runs = m_lo.size();
    ZELKGePoint3d lo = matrix.TransformPoint(facets.front().point[0]), hi = lo;
    std::vector<bool> visited(runs, false);
    auto visit = [&](std::size_t r) {
        if (visited[r])
            return;
        visited[r] = true;
        if (visitedRuns != nullptr)
            ++*visitedRuns;
        const std::size_t end = std::min(facets.size(), (r + 1) * kRunFacets);
        for (std::size_t f = r * kRunFacets; f < end; ++f)
            for (const ZELKGePoint3d& p : facets[f].point)
                Extend(lo, hi, matrix.TransformPoint(p));
    };
    // The most promising run for each side first, so that the rest are
    // mostly skipped. (The bounds are cheap: worked out again, not stored.)
    std::size_t low[3] = {0, 0, 0}, high[3] = {0, 0, 0};
    Bounds lowest = TransformBox(matrix, m_lo[0], m_hi[0]), highest = lowest;
    for (std::size_t r = 1; r < runs; ++r) {
        const Bounds b = TransformBox(matrix, m_lo[r], m_hi[r]);
        for (int a = 0; a < 3; ++a) {
            if (b.lo[a] < lowest.lo[a]) {
                lowest.lo[a] = b.lo[a];
                low[a] = r;
            }
            if (b.hi[a] > highest.hi[a]) {
                highest.hi[a] = b.hi[a];
                high[a] = r;
            }
        }
    }
    for (int a = 0; a < 3; ++a) {
        visit(low[a]);
        visit(high[a]);
    }
    for (std::size_t r = 0; r < runs; ++r) {
        if (visited[r])
            continue;
        const Bounds b = TransformBox(matrix, m_lo[r], m_hi[r]);
        for (int a = 0; a < 3; ++a) {
            if (b.lo[a] <= lo[a] || b.hi[a] >= hi[a]) {
                visit(r);
                break;
            }
        }
    }
    min = lo;
    max = hi;
    return 1;
}

}  // namespace zelk
