// Closed test solids as facet lists (boxes, a T, a cylinder, a sphere) and their binary STL files.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace stlshapes {

using Vertex = std::array<float, 3>;
// Three vertices, counter-clockwise seen from outside.
using Facet = std::array<Vertex, 3>;

// The quad a-b-c-d (counter-clockwise seen from outside) as two facets.
inline void AddQuad(std::vector<Facet>& out, const Vertex& a, const Vertex& b, const Vertex& c, const Vertex& d)
{
    out.push_back({a, b, c});
    out.push_back({a, c, d});
}

// An axis-aligned box from (x0, y0, z0) to (x1, y1, z1).
inline std::vector<Facet> Box(float x0, float y0, float z0, float x1, float y1, float z1)
{
    const Vertex c[8] = {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                         {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}};
    std::vector<Facet> out;
    AddQuad(out, c[0], c[3], c[2], c[1]);  // bottom
    AddQuad(out, c[4], c[5], c[6], c[7]);  // top
    AddQuad(out, c[0], c[1], c[5], c[4]);
    AddQuad(out, c[1], c[2], c[6], c[5]);
    AddQuad(out, c[2], c[3], c[7], c[6]);
    AddQuad(out, c[3], c[0], c[4], c[7]);
    return out;
}

// A prism: the simple polygon `outline` (x, z pairs, counter-clockwise seen
// from -y) from y0 to y1, its two end faces made of the convex `pieces`
// (indices into the outline, each counter-clockwise like it).
inline std::vector<Facet> Prism(const std::vector<std::array<float, 2>>& outline,
                                const std::vector<std::vector<int>>& pieces, float y0, float y1)
{
    std::vector<Facet> out;
    auto at = [&](int i, float y) {
        return Vertex{outline[static_cast<std::size_t>(i)][0], y, outline[static_cast<std::size_t>(i)][1]};
    };
    for (const std::vector<int>& p : pieces) {
        for (std::size_t k = 1; k + 1 < p.size(); ++k) {
            out.push_back({at(p[0], y0), at(p[k], y0), at(p[k + 1], y0)});
            out.push_back({at(p[0], y1), at(p[k + 1], y1), at(p[k], y1)});
        }
    }
    const int n = static_cast<int>(outline.size());
    for (int i = 0; i < n; ++i)
        AddQuad(out, at(i, y0), at(i, y1), at((i + 1) % n, y1), at((i + 1) % n, y0));
    return out;
}

// A T standing on its stem: stem |x| <= stem/2 from z 0 to `stemHeight`,
// bar |x| <= width/2 from there up by `barHeight`, depth |y - cy| <= depth/2.
// The bar's wings overhang the platform.
inline std::vector<Facet> TShape(float width, float stem, float stemHeight, float barHeight, float depth, float cx = 0,
                                 float cy = 0)
{
    const float w = width / 2, s = stem / 2, h = stemHeight, t = stemHeight + barHeight;
    std::vector<std::array<float, 2>> outline = {{-s, 0}, {s, 0},  {s, h},  {w, h},  {w, t},
                                                 {s, t},  {-s, t}, {-w, t}, {-w, h}, {-s, h}};
    for (auto& p : outline)
        p[0] += cx;
    return Prism(outline, {{0, 1, 2, 9}, {9, 2, 5, 6}, {2, 3, 4, 5}, {8, 9, 6, 7}}, cy - depth / 2, cy + depth / 2);
}

// A cylinder of `segments` sides around (cx, cy) from z0 to z0 + height.
inline std::vector<Facet> Cylinder(float cx, float cy, float radius, float z0, float height, int segments)
{
    std::vector<Facet> out;
    const float z1 = z0 + height;
    auto rim = [&](int i, float z) {
        const double a = 2 * M_PI * (i % segments) / segments;
        return Vertex{cx + radius * static_cast<float>(std::cos(a)), cy + radius * static_cast<float>(std::sin(a)), z};
    };
    for (int i = 0; i < segments; ++i) {
        out.push_back({Vertex{cx, cy, z0}, rim(i + 1, z0), rim(i, z0)});
        out.push_back({Vertex{cx, cy, z1}, rim(i, z1), rim(i + 1, z1)});
        AddQuad(out, rim(i, z0), rim(i + 1, z0), rim(i + 1, z1), rim(i, z1));
    }
    return out;
}

// A closed sphere of about `facets` facets resting on z = 0 at (cx, cy).
inline std::vector<Facet> Sphere(float cx, float cy, float radius, std::size_t facets)
{
    const int rings = static_cast<int>(std::sqrt(static_cast<double>(facets) / 4)) + 2;
    const int sectors = 2 * rings;
    auto at = [&](int ring, int sector) {
        if (ring == 0 || ring == rings)  // the poles: one vertex each
            return Vertex{cx, cy, ring == 0 ? 0.0f : 2 * radius};
        const double polar = M_PI * ring / rings, a = 2 * M_PI * (sector % sectors) / sectors;
        return Vertex{cx + radius * static_cast<float>(std::sin(polar) * std::cos(a)),
                      cy + radius * static_cast<float>(std::sin(polar) * std::sin(a)),
                      radius - radius * static_cast<float>(std::cos(polar))};
    };
    std::vector<Facet> out;
    out.reserve(static_cast<std::size_t>(2 * rings * sectors));
    for (int r = 0; r < rings; ++r) {
        for (int s = 0; s < sectors; ++s) {
            if (r > 0)
                out.push_back({at(r, s), at(r, s + 1), at(r + 1, s)});
            if (r + 1 < rings)
                out.push_back({at(r, s + 1), at(r + 1, s + 1), at(r + 1, s)});
        }
    }
    return out;
}

inline std::vector<Facet> Joined(std::vector<Facet> a, const std::vector<Facet>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A binary STL file of the facets (normals from the winding).
inline bool WriteBinaryStl(const std::string& path, const std::vector<Facet>& facets)
{
    std::ofstream out(path, std::ios::binary);
    char header[80] = "test solid";
    out.write(header, 80);
    const auto count = static_cast<std::uint32_t>(facets.size());
    out.write(reinterpret_cast<const char*>(&count), 4);
    for (const Facet& f : facets) {
        const float u[3] = {f[1][0] - f[0][0], f[1][1] - f[0][1], f[1][2] - f[0][2]};
        const float v[3] = {f[2][0] - f[0][0], f[2][1] - f[0][1], f[2][2] - f[0][2]};
        float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (float& c : n)
            c = length > 0 ? c / length : 0;
        char record[50] = {};
        std::memcpy(record, n, 12);
        std::memcpy(record + 12, f.data(), 36);
        out.write(record, 50);
    }
    return static_cast<bool>(out);
}

}  // namespace stlshapes
