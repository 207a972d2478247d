// The toolpath segments a view can show.
#include "ToolpathVisibility.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <thread>

#include "ToolpathModel.h"

namespace zelk {

namespace {

// Window depth within which two lines at one pixel both count as nearest.
constexpr double kDepthTolerance = 1e-5;
// How far (pixels) a joined segment may pass from a point it skips, and how
// far in window depth.
constexpr double kJoinPixels = 0.25;
constexpr double kJoinDepth = 1e-4;
// Segments joined into one at most (bounds the work of each join).
constexpr int kMaxJoined = 24;

struct WindowPoint {
    double x, y, d;
};

inline WindowPoint Project(const ParallelView& v, const float* p)
{
    auto row = [&](int i) { return v.rows[i][0] * p[0] + v.rows[i][1] * p[1] + v.rows[i][2] * p[2] + v.rows[i][3]; };
    return {row(0), row(1), row(2)};
}

// Which pixels of a line WalkPixels visits: those whose centres lie within
// `across` pixels of its centre line, in the columns (rows, for a line
// steeper than 45 degrees) whose centres lie `inset` pixels or more inside
// its ends (a negative inset reaches beyond them).
struct Footprint {
    double inset;
    double across;
};

// Rasterisers differ in the pixels they paint at a line's ends and beside
// it, by up to half a pixel along and a quarter across, so the choice is
// conservative: a line of `width` pixels surely covers the pixels within
// width / 2 - 0.25 of its centre, half a pixel inside its ends; it may paint
// those within width / 2 + 0.25, up to a pixel beyond its ends.
Footprint SurelyCovered(float width)
{
    return {0.5, width / 2.0 - 0.25};
}

Footprint MayPaint(float width)
{
    return {-1.0, width / 2.0 + 0.25};
}

// Calls visit(x, y, depth) at the pixels of the footprint of the line from a
// to b, in the window, until visit returns true; returns whether it did.
// Depth is the line's at the centre of the column.
template <class Visit>
bool WalkPixels(WindowPoint a, WindowPoint b, int width, int height, const Footprint& footprint, Visit&& visit)
{
    const bool xMajor = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
    double ua = xMajor ? a.x : a.y, ub = xMajor ? b.x : b.y;
    if (ua > ub) {
        std::swap(a, b);
        std::swap(ua, ub);
    }
    const double va = xMajor ? a.y : a.x, vb = xMajor ? b.y : b.x;
    const int majorSize = xMajor ? width : height, minorSize = xMajor ? height : width;
    // Column c's centre is c + 0.5.
    const double inset = footprint.inset, across = footprint.across;
    const int first = std::max(0, static_cast<int>(std::ceil(ua + inset - 0.5)));
    const int last = std::min(majorSize - 1, static_cast<int>(std::floor(ub - inset - 0.5)));
    const double length = ub - ua;
    const double dv = length > 0 ? (vb - va) / length : 0, dd = length > 0 ? (b.d - a.d) / length : 0;
    for (int c = first; c <= last; ++c) {
        const double along = std::clamp(c + 0.5 - ua, 0.0, length);
        const double v = va + along * dv, d = a.d + along * dd;
        const int low = std::max(0, static_cast<int>(std::ceil(v - across - 0.5)));
        const int high = std::min(minorSize - 1, static_cast<int>(std::floor(v + across - 0.5)));
        for (int r = low; r <= high; ++r) {
            if (xMajor ? visit(c, r, d) : visit(r, c, d))
                return true;
        }
    }
    return false;
}

struct Range {
    const float* xyz;
    std::size_t vertices;
    Footprint sure;            // the pixels it surely covers
    Footprint may;             // the pixels it may paint
    std::size_t firstSegment;  // of all three ranges together
};

// Runs work(0) on a thread of its own and work(1) on this one.
template <class Work>
void InHalves(Work&& work)
{
    std::thread first([&] { work(0); });
    work(1);
    first.join();
}

// Calls visit(range, first vertex) for the segments of the first or second
// half of all the ranges' segments together.
template <class Visit>
void ForEachSegmentOfHalf(const Range (&ranges)[3], int half, Visit&& visit)
{
    const std::size_t total = ranges[2].firstSegment + ranges[2].vertices / 2;
    const std::size_t begin = half == 0 ? 0 : total / 2, end = half == 0 ? total / 2 : total;
    for (const Range& range : ranges) {
        const std::size_t count = range.vertices / 2;
        const std::size_t from = std::max(begin, range.firstSegment);
        const std::size_t to = std::min(end, range.firstSegment + count);
        for (std::size_t s = from; s < to; ++s)
            visit(range, 2 * (s - range.firstSegment));
    }
}


// Joins consecutive kept segments of one path into longer ones that look the same.
class Joiner {
public:
    Joiner(const ParallelView& view, std::vector<float>& out) : m_view(view), m_out(out) {}

    void Add(const float* from, const float* to)
    {
        if (m_open && std::memcmp(from, m_end, sizeof m_end) == 0 && m_skipped.size() + 1 < kMaxJoined) {
            const WindowPoint end = Project(m_view, to);
            m_skipped.push_back(m_endWindow);
            if (Fits(end)) {
                std::memcpy(m_end, to, sizeof m_end);
                m_endWindow = end;
                return;
            }
            m_skipped.pop_back();
        }
        Flush();
        std::memcpy(m_start, from, sizeof m_start);
        std::memcpy(m_end, to, sizeof m_end);
        m_startWindow = Project(m_view, from);
        m_endWindow = Project(m_view, to);
        m_skipped.clear();
        m_open = true;
    }

    void Flush()
    {
        if (!m_open)
            return;
        m_out.insert(m_out.end(), m_start, m_start + 3);
        m_out.insert(m_out.end(), m_end, m_end + 3);
        m_open = false;
    }

private:
    // Whether every skipped point lies within the join limits of the segment
    // from the start to `end`, between its ends.
    bool Fits(const WindowPoint& end) const
    {
        const WindowPoint& a = m_startWindow;
        const double dx = end.x - a.x, dy = end.y - a.y;
        const double length2 = dx * dx + dy * dy;
        if (length2 < 1e-12)
            return false;
        for (const WindowPoint& q : m_skipped) {
            const double t = ((q.x - a.x) * dx + (q.y - a.y) * dy) / length2;
            if (t < 0 || t > 1)
                return false;
            const double ex = a.x + t * dx - q.x, ey = a.y + t * dy - q.y;
            if (ex * ex + ey * ey > kJoinPixels * kJoinPixels)
                return false;
            if (std::fabs(a.d + t * (end.d - a.d) - q.d) > kJoinDepth)
                return false;
        }
        return true;
    }

    const ParallelView& m_view;
    std::vector<float>& m_out;
    bool m_open = false;
    float m_start[3] = {0, 0, 0};
    float m_end[3] = {0, 0, 0};
    WindowPoint m_startWindow{0, 0, 0};
    WindowPoint m_endWindow{0, 0, 0};
    std::vector<WindowPoint> m_skipped;
};

}  // namespace

void ChooseVisibleSegments(const ToolpathModel& model, const LayerChoice& choice, const ParallelView& view,
                           VisibleSegments& out, VisibilityScratch& scratch)
{
    std::vector<float>& depth = scratch.depth;
    out.xyz.clear();
    out.belowEnd = out.topEnd = out.travelEnd = 0;
    if (model.LayerCount() == 0 || view.width <= 0 || view.height <= 0)
        return;
    const std::size_t top = std::min(choice.topLayer, model.LayerCount() - 1);
    const std::size_t below = top == 0 ? 0 : model.extrusion.VerticesThrough(top - 1);
    const Footprint extrusionSure = SurelyCovered(choice.extrusionWidth), extrusionMay = MayPaint(choice.extrusionWidth);
    const Footprint travelSure = SurelyCovered(choice.travelWidth), travelMay = MayPaint(choice.travelWidth);
    const std::size_t through = model.extrusion.VerticesThrough(top);
    const std::size_t travel = choice.showTravel ? model.travel.VerticesThrough(top) : 0;
    const Range ranges[3] = {
        {model.extrusion.xyz.data(), below, extrusionSure, extrusionMay, 0},
        {model.extrusion.xyz.data() + 3 * below, through - below, extrusionSure, extrusionMay, below / 2},
        {model.travel.xyz.data(), travel, travelSure, travelMay, through / 2},
    };

    // The nearest depth of the lines that surely cover each pixel: each half of the
    // segments into a buffer of its own (on a thread of its own), then the
    // nearer of the two.
    const std::size_t width = static_cast<std::size_t>(view.width);
    const std::size_t pixels = width * static_cast<std::size_t>(view.height);
    depth.assign(2 * pixels, FLT_MAX);
    auto nearest = [&](int half, float* buffer) {
        auto cover = [&](int x, int y, double d) {
            float& at = buffer[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
            if (d < at)
                at = static_cast<float>(d);
            return false;
        };
        ForEachSegmentOfHalf(ranges, half, [&](const Range& range, std::size_t v) {
            const float* end = range.xyz + 3 * v + 3;
            const WindowPoint a = Project(view, end - 3), b = Project(view, end);
            WalkPixels(a, b, view.width, view.height, range.sure, cover);
            // Where the path goes on, one of its two segments surely paints
            // the pixel of the point they share.
            if (v + 3 < range.vertices && std::memcmp(end, end + 3, 3 * sizeof(float)) == 0 && b.x >= 0 &&
                b.y >= 0 && b.x < view.width && b.y < view.height)
                cover(static_cast<int>(b.x), static_cast<int>(b.y), b.d);
        });
    };
    InHalves([&](int half) { nearest(half, depth.data() + half * pixels); });
    for (std::size_t i = 0; i < pixels; ++i)
        depth[i] = std::min(depth[i], depth[pixels + i]);

    // Whether each segment is in front at one pixel it may paint at least (by halves too).
    std::vector<unsigned char>& shows = scratch.shows;
    std::size_t segments = 0;
    for (const Range& range : ranges)
        segments += range.vertices / 2;
    shows.assign(segments, 0);
    InHalves([&](int half) {
        ForEachSegmentOfHalf(ranges, half, [&](const Range& range, std::size_t v) {
            const WindowPoint a = Project(view, range.xyz + 3 * v), b = Project(view, range.xyz + 3 * v + 3);
            shows[range.firstSegment + v / 2] =
                WalkPixels(a, b, view.width, view.height, range.may, [&](int x, int y, double d) {
                    return d <= static_cast<double>(depth[static_cast<std::size_t>(y) * width +
                                                          static_cast<std::size_t>(x)]) +
                                    kDepthTolerance;
                });
        });
    });

    // The segments in front, joined where they look straight.
    std::size_t* const ends[3] = {&out.belowEnd, &out.topEnd, &out.travelEnd};
    Joiner joiner(view, out.xyz);
    for (int r = 0; r < 3; ++r) {
        const Range& range = ranges[r];
        for (std::size_t v = 0; v + 1 < range.vertices; v += 2) {
            if (shows[range.firstSegment + v / 2] != 0)
                joiner.Add(range.xyz + 3 * v, range.xyz + 3 * v + 3);
        }
        joiner.Flush();
        *ends[r] = out.xyz.size() / 3;
    }
}

}  // namespace zelk
