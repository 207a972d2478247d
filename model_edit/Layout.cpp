// Arranging model footprints side by side on the platform, without overlap, centred.
#include "Layout.h"

#include <algorithm>
#include <numeric>

namespace zelk {

namespace {

constexpr double kFitSlack = 1e-9;

struct Row {
    std::vector<std::size_t> items;
    double width = 0.0;
    double depth = 0.0;
};

// Greedy shelf filling in the given order, no row wider than rowLimit (unless one item is).
std::vector<Row> FillRows(const std::vector<Footprint>& f, const std::vector<std::size_t>& order, double rowLimit,
                          double gap)
{
    std::vector<Row> rows;
    for (std::size_t i : order) {
        const double add = f[i].sizeX;
        if (rows.empty() || (rows.back().width + gap + add > rowLimit + kFitSlack && !rows.back().items.empty()))
            rows.emplace_back();
        Row& row = rows.back();
        row.width += (row.items.empty() ? 0.0 : gap) + add;
        row.depth = std::max(row.depth, f[i].sizeY);
        row.items.push_back(i);
    }
    return rows;
}

LayoutResult Place(const std::vector<Footprint>& f, const std::vector<Row>& rows, double gap, double platformX,
                   double platformY)
{
    LayoutResult result;
    result.placements.resize(f.size());
    for (const Row& row : rows)
        result.width = std::max(result.width, row.width);
    for (std::size_t r = 0; r < rows.size(); ++r)
        result.depth += (r == 0 ? 0.0 : gap) + rows[r].depth;
    double y = -result.depth / 2.0;
    for (const Row& row : rows) {
        double x = -row.width / 2.0;
        for (std::size_t i : row.items) {
            result.placements[i].centerX = x + f[i].sizeX / 2.0;
            result.placements[i].centerY = y + row.depth / 2.0;
            x += f[i].sizeX + gap;
        }
        y += row.depth + gap;
    }
    result.fits = result.width <= platformX + kFitSlack && result.depth <= platformY + kFitSlack;
    return result;
}

// How much of the platform the larger side of the arrangement takes (smaller is better).
double Spread(const LayoutResult& r, double platformX, double platformY)
{
    return std::max(r.width / std::max(platformX, kFitSlack), r.depth / std::max(platformY, kFitSlack));
}

}  // namespace

LayoutResult ArrangeOnPlatform(const std::vector<Footprint>& footprints, double platformX, double platformY,
                               double gapMm)
{
    std::vector<std::size_t> order(footprints.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return footprints[a].sizeY > footprints[b].sizeY; });

    // Candidate row widths: the platform, and every prefix of the order laid in one row.
    std::vector<double> limits{platformX};
    double prefix = 0.0;
    for (std::size_t k = 0; k < order.size(); ++k) {
        prefix += (k == 0 ? 0.0 : gapMm) + footprints[order[k]].sizeX;
        limits.push_back(prefix);
    }

    LayoutResult best;
    bool haveBest = false;
    for (double limit : limits) {
        LayoutResult candidate = Place(footprints, FillRows(footprints, order, limit, gapMm), gapMm, platformX,
                                       platformY);
        const bool better = !haveBest || (candidate.fits && !best.fits) ||
                            (candidate.fits == best.fits &&
                             Spread(candidate, platformX, platformY) < Spread(best, platformX, platformY));
        if (better) {
            best = std::move(candidate);
            haveBest = true;
        }
    }
    return best;
}

}  // namespace zelk
