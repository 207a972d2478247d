// The toolpath segments a view can show.
#include "ToolpathVisibility.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

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

// Calls visit(x, y, depth) at the pixels a line of `rows` pixels' width
// (1 or 2) from a to b paints, as OpenGL rasterises it: in each column (row,
// for a line steeper than 45 degrees) whose centre the line passes, the one
// or two pixels nearest to it across. Stops when visit returns true and
// returns whether it did. A line that passes no pixel centre paints nothing.
template <class Visit>
bool WalkPixels(WindowPoint a, WindowPoint b, int width, int height, int rows, Visit&& visit)
{
    const bool xMajor = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
    double ua = xMajor ? a.x : a.y, ub = xMajor ? b.x : b.y;
    if (ua > ub) {
        std::swap(a, b);
        std::swap(ua, ub);
    }
    if (!(ub > ua))
        return false;
    const double va = xMajor ? a.y : a.x, vb = xMajor ? b.y : b.x;
    const int majorSize = xMajor ? width : height, minorSize = xMajor ? height : width;
    const int first = std::max(0, static_cast<int>(std::ceil(ua - 0.5)));
    const int last = std::min(majorSize - 1, static_cast<int>(std::floor(ub - 0.5)));
    const double dv = (vb - va) / (ub - ua), dd = (b.d - a.d) / (ub - ua);
    for (int c = first; c <= last; ++c) {
        const double along = c + 0.5 - ua;
        const double v = va + along * dv, d = a.d + along * dd;
        const int r0 = rows >= 2 ? static_cast<int>(std::floor(v - 0.5)) : static_cast<int>(std::floor(v));
        for (int r = r0; r < r0 + std::max(rows, 1); ++r) {
            if (r < 0 || r >= minorSize)
                continue;
            if (xMajor ? visit(c, r, d) : visit(r, c, d))
                return true;
        }
    }
    return false;
}

struct Range {
    const float* xyz;
    std::size_t vertices;
    int rows;  // the line width in whole pixels
};

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
                           VisibleSegments& out, std::vector<float>& depth)
{
    out.xyz.clear();
    out.belowEnd = out.topEnd = out.travelEnd = 0;
    if (model.LayerCount() == 0 || view.width <= 0 || view.height <= 0)
        return;
    const std::size_t top = std::min(choice.topLayer, model.LayerCount() - 1);
    const std::size_t below = top == 0 ? 0 : model.extrusion.VerticesThrough(top - 1);
    const int extrusionRows = std::max(1, static_cast<int>(std::lround(choice.extrusionWidth)));
    const int travelRows = std::max(1, static_cast<int>(std::lround(choice.travelWidth)));
    const Range ranges[3] = {
        {model.extrusion.xyz.data(), below, extrusionRows},
        {model.extrusion.xyz.data() + 3 * below, model.extrusion.VerticesThrough(top) - below, extrusionRows},
        {model.travel.xyz.data(), choice.showTravel ? model.travel.VerticesThrough(top) : 0, travelRows},
    };

    // The nearest depth of any line at each pixel.
    const std::size_t width = static_cast<std::size_t>(view.width);
    depth.assign(width * static_cast<std::size_t>(view.height), FLT_MAX);
    for (const Range& range : ranges) {
        for (std::size_t v = 0; v + 1 < range.vertices; v += 2) {
            const WindowPoint a = Project(view, range.xyz + 3 * v), b = Project(view, range.xyz + 3 * v + 3);
            WalkPixels(a, b, view.width, view.height, range.rows, [&](int x, int y, double d) {
                float& nearest = depth[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
                if (d < nearest)
                    nearest = static_cast<float>(d);
                return false;
            });
        }
    }
    // The segments in front at one pixel at least, joined where they look straight.
    std::size_t* const ends[3] = {&out.belowEnd, &out.topEnd, &out.travelEnd};
    Joiner joiner(view, out.xyz);
    for (int r = 0; r < 3; ++r) {
        const Range& range = ranges[r];
        for (std::size_t v = 0; v + 1 < range.vertices; v += 2) {
            const float* from = range.xyz + 3 * v;
            const WindowPoint a = Project(view, from), b = Project(view, from + 3);
            const bool shows = WalkPixels(a, b, view.width, view.height, range.rows, [&](int x, int y, double d) {
                return d <= static_cast<double>(depth[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)]) +
                                kDepthTolerance;
            });
            if (shows)
                joiner.Add(from, from + 3);
        }
        joiner.Flush();
        *ends[r] = out.xyz.size() / 3;
    }
}

}  // namespace zelk
