// Holes in a triangle mesh, and the facets that close them, so the engine slices an open model whole.
#include "MeshHoles.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

namespace bridge {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::size_t kLongestHole = 1u << 20;

std::uint64_t Mix(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

std::size_t TableSize(std::size_t entries)
{
    std::size_t size = 16;
    while (size < entries * 2)
        size *= 2;
    return size;
}

// Exact points to dense ids (open addressing: a million-facet mesh is
// matched in a fraction of what the engine spends on it).
class VertexIds {
public:
    explicit VertexIds(std::size_t expected) : m_slots(TableSize(expected), kNone), m_mask(m_slots.size() - 1)
    {
        points.reserve(expected);
    }

    std::uint32_t Id(const ZELKGePoint3d& p)
    {
        std::uint64_t bits[3];
        std::memcpy(bits, &p.x, 8);
        std::memcpy(bits + 1, &p.y, 8);
        std::memcpy(bits + 2, &p.z, 8);
        std::size_t i = Mix(bits[0] ^ (bits[1] * 0x9E3779B97F4A7C15ULL) ^ (bits[2] * 0xC2B2AE3D27D4EB4FULL)) & m_mask;
        for (;; i = (i + 1) & m_mask) {
            const std::uint32_t id = m_slots[i];
            if (id == kNone) {
                m_slots[i] = static_cast<std::uint32_t>(points.size());
                points.push_back(p);
                return m_slots[i];
            }
            const ZELKGePoint3d& q = points[id];
            if (q.x == p.x && q.y == p.y && q.z == p.z)
                return id;
        }
    }

    std::vector<ZELKGePoint3d> points;

private:
    std::vector<std::uint32_t> m_slots;
    std::size_t m_mask;
};

struct Edge {
    std::uint32_t from;
    std::uint32_t to;
};

// Undirected edges, eight bytes each: the two ends (low id high), a bit for
// "used more than once" and a bit for the direction of the first use.
class EdgeCounts {
public:
    explicit EdgeCounts(std::size_t expected) : m_slots(TableSize(expected), kEmpty), m_mask(m_slots.size() - 1) {}

    void Add(std::uint32_t from, std::uint32_t to)
    {
        const std::uint64_t key = (static_cast<std::uint64_t>(std::min(from, to)) << 32) | std::max(from, to);
        for (std::size_t i = Mix(key) & m_mask;; i = (i + 1) & m_mask) {
            std::uint64_t& slot = m_slots[i];
            if (slot == kEmpty) {
                slot = key | (from < to ? kForward : 0);
                return;
            }
            if ((slot & ~(kForward | kShared)) == key) {
                slot |= kShared;
                return;
            }
        }
    }

    std::vector<Edge> UsedOnce() const
    {
        std::vector<Edge> edges;
        for (const std::uint64_t slot : m_slots) {
            if (slot == kEmpty || (slot & kShared) != 0)
                continue;
            const auto low = static_cast<std::uint32_t>((slot >> 32) & 0x7FFFFFFFu);
            const auto high = static_cast<std::uint32_t>(slot & 0x7FFFFFFFu);
            edges.push_back((slot & kForward) != 0 ? Edge{low, high} : Edge{high, low});
        }
        return edges;
    }

private:
    static constexpr std::uint64_t kEmpty = ~0ULL;
    static constexpr std::uint64_t kShared = 1ULL << 63;
    static constexpr std::uint64_t kForward = 1ULL << 31;
    std::vector<std::uint64_t> m_slots;
    std::size_t m_mask;
};

double Area(const Triangle& t)
{
    const ZELKGePoint3d &a = t.point[0], &b = t.point[1], &c = t.point[2];
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    return std::sqrt(nx * nx + ny * ny + nz * nz) / 2;
}

double TotalArea(const std::vector<Triangle>& triangles)
{
    double sum = 0;
    for (const Triangle& t : triangles)
        sum += Area(t);
    return sum;
}

Triangle MakeTriangle(const ZELKGePoint3d& a, const ZELKGePoint3d& b, const ZELKGePoint3d& c)
{
    Triangle t;
    t.point[0] = a, t.point[1] = b, t.point[2] = c;
    const double ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
    const double vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
    const double nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
    const double length = std::sqrt(nx * nx + ny * ny + nz * nz);
    if (length > 0)
        t.normal = ZELKGeVector3d(nx / length, ny / length, nz / length);
    return t;
}

// Follows boundary edges from `first` until the chain comes back; false when it does not.
bool FollowLoop(std::vector<Edge>& edges, std::vector<bool>& used, std::size_t first, std::vector<std::uint32_t>& loop)
{
    loop.assign(1, edges[first].from);
    used[first] = true;
    std::uint32_t at = edges[first].to;
    while (at != loop.front()) {
        if (loop.size() > kLongestHole)
            return false;
        auto next =
            std::lower_bound(edges.begin(), edges.end(), at, [](const Edge& e, std::uint32_t v) { return e.from < v; });
        while (next != edges.end() && next->from == at && used[static_cast<std::size_t>(next - edges.begin())])
            ++next;
        if (next == edges.end() || next->from != at)
            return false;
        used[static_cast<std::size_t>(next - edges.begin())] = true;
        loop.push_back(at);
        at = next->to;
    }
    return loop.size() >= 3;
}

}  // namespace

std::vector<Triangle> CloseHoles(const std::vector<Triangle>& triangles, std::size_t& holes)
{
    holes = 0;
    VertexIds ids(triangles.size() / 2 + 3);
    EdgeCounts counts(triangles.size() * 3 / 2 + 3);
    for (const Triangle& t : triangles) {
        const std::uint32_t v[3] = {ids.Id(t.point[0]), ids.Id(t.point[1]), ids.Id(t.point[2])};
        if (v[0] == v[1] || v[1] == v[2] || v[2] == v[0])
            continue;  // a degenerate facet bounds nothing
        for (int k = 0; k < 3; ++k)
            counts.Add(v[k], v[(k + 1) % 3]);
    }
    std::vector<Edge> edges = counts.UsedOnce();
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.from < b.from; });
    std::vector<bool> used(edges.size(), false);
    std::vector<Triangle> added;
    std::vector<std::uint32_t> loop;
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (used[i] || !FollowLoop(edges, used, i, loop))
            continue;
        ++holes;
        // The facets around the hole run v0 -> v1 -> ...; the fan runs against them.
        for (std::size_t k = 1; k + 1 < loop.size(); ++k)
            added.push_back(MakeTriangle(ids.points[loop[0]], ids.points[loop[k + 1]], ids.points[loop[k]]));
    }
    // More hole than surface (a lone facet, an open sheet): no solid to mend.
    if (!added.empty() && TotalArea(added) >= 0.999 * TotalArea(triangles)) {
        holes = 0;
        added.clear();
    }
    return added;
}

bool WriteBinaryStl(const std::string& path, const std::vector<Triangle>& a, const std::vector<Triangle>& b,
                    std::string& error)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    char header[84] = "binary STL with its holes closed";
    const auto count = static_cast<std::uint32_t>(a.size() + b.size());
    std::memcpy(header + 80, &count, 4);
    bool ok = std::fwrite(header, 1, sizeof header, file.get()) == sizeof header;
    for (const std::vector<Triangle>* list : {&a, &b}) {
        for (const Triangle& t : *list) {
            float f[12] = {static_cast<float>(t.normal.x), static_cast<float>(t.normal.y),
                           static_cast<float>(t.normal.z)};
            for (int k = 0; k < 3; ++k)
                for (int c = 0; c < 3; ++c)
                    f[3 + k * 3 + c] = static_cast<float>(t.point[k][c]);
            char facet[50] = {};
            std::memcpy(facet, f, 48);
            ok = ok && std::fwrite(facet, 1, 50, file.get()) == 50;
        }
    }
    if (std::fflush(file.get()) != 0 || !ok) {
        error = "cannot write " + path + ": " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

}  // namespace bridge
