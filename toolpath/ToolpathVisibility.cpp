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

// Narrows [t0, t1] to where a + t * delta lies in [0, size).
inline bool Clip(double a, double delta, double size, double& t0, double& t1)
{
    if (delta == 0)
        return a >= 0 && a < size;
    double enter = (0 - a) / delta, leave = (size - a) / delta;
    if (enter > leave)
        std::swap(enter, leave);
    t0 = std::max(t0, enter);
    t1 = std::min(t1, leave);
    return t0 <= t1;
}

// Calls visit(x, y, depth, xMajor) at the pixels along the centre line from
// a to b (one sample a pixel along the longer axis, x when xMajor) that lie
// in the window, until visit returns true; returns whether it did.
template <class Visit>
bool WalkPixels(const WindowPoint& a, const WindowPoint& b, int width, int height, Visit&& visit)
{
    const double dx = b.x - a.x, dy = b.y - a.y, dd = b.d - a.d;
    double t0 = 0, t1 = 1;
    if (!Clip(a.x, dx, width, t0, t1) || !Clip(a.y, dy, height, t0, t1))
        return false;
    const bool xMajor = std::fabs(dx) >= std::fabs(dy);
    const double span = std::max(std::fabs(dx), std::fabs(dy)) * (t1 - t0);
    const int n = static_cast<int>(std::ceil(span));
    for (int i = 0; i <= n; ++i) {
        const double t = n == 0 ? t0 : t0 + (t1 - t0) * i / n;
        const int x = static_cast<int>(a.x + t * dx), y = static_cast<int>(a.y + t * dy);
        if (x < 0 || y < 0 || x >= width || y >= height)
            continue;
        if (visit(x, y, a.d + t * dd, xMajor))
            return true;
    }
    return false;
}

struct Range {
    const float* xyz;
    std::size_t vertices;
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
    const Range ranges[3] = {
        {model.extrusion.xyz.data(), below},
        {model.extrusion.xyz.data() + 3 * below, model.extrusion.VerticesThrough(top) - below},
        {model.travel.xyz.data(), choice.showTravel ? model.travel.VerticesThrough(top) : 0},
    };

    // The nearest depth of any line's centre at each pixel.
    const std::size_t width = static_cast<std::size_t>(view.width);
    depth.assign(width * static_cast<std::size_t>(view.height), FLT_MAX);
    for (const Range& range : ranges) {
        for (std::size_t v = 0; v + 1 < range.vertices; v += 2) {
            const WindowPoint a = Project(view, range.xyz + 3 * v), b = Project(view, range.xyz + 3 * v + 3);
            WalkPixels(a, b, view.width, view.height, [&](int x, int y, double d, bool) {
                float& nearest = depth[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
                if (d < nearest)
                    nearest = static_cast<float>(d);
                return false;
            });
        }
    }
    // Whether a line at depth d is in front at pixel (x, y); outside the window it is not.
    auto inFront = [&](int x, int y, double d) {
        if (x < 0 || y < 0 || x >= view.width || y >= view.height)
            return false;
        return d <= static_cast<double>(depth[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)]) +
                        kDepthTolerance;
    };

    // The segments in front at one pixel at least, joined where they look
    // straight. A wide line also paints the pixels beside its centre (across
    // its longer axis), where nothing's centre may be in front.
    std::size_t* const ends[3] = {&out.belowEnd, &out.topEnd, &out.travelEnd};
    Joiner joiner(view, out.xyz);
    for (int r = 0; r < 3; ++r) {
        const Range& range = ranges[r];
        for (std::size_t v = 0; v + 1 < range.vertices; v += 2) {
            const float* from = range.xyz + 3 * v;
            const WindowPoint a = Project(view, from), b = Project(view, from + 3);
            const bool shows = WalkPixels(a, b, view.width, view.height, [&](int x, int y, double d, bool xMajor) {
                const int across = xMajor ? 0 : 1, down = xMajor ? 1 : 0;
                return inFront(x, y, d) || inFront(x - across, y - down, d) || inFront(x + across, y + down, d);
            });
            if (shows)
                joiner.Add(from, from + 3);
        }
        joiner.Flush();
        *ends[r] = out.xyz.size() / 3;
    }
}

}  // namespace zelk
