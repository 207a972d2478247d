// Builds STL files for tests: binary and ASCII, well-formed or deliberately broken.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace stltest {

struct Facet {
    float normal[3];
    float v[3][3];
};

// The 12 facets of an axis-aligned cube from (x0, y0, z0) with side s, wound
// counter-clockwise seen from outside.
inline std::vector<Facet> Cube(float s, float x0 = 0, float y0 = 0, float z0 = 0)
{
    const float c[8][3] = {{x0, y0, z0},         {x0 + s, y0, z0},         {x0 + s, y0 + s, z0},
                           {x0, y0 + s, z0},     {x0, y0, z0 + s},         {x0 + s, y0, z0 + s},
                           {x0 + s, y0 + s, z0 + s}, {x0, y0 + s, z0 + s}};
    const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    const float normals[6][3] = {{0, 0, -1}, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {0, 1, 0}, {-1, 0, 0}};
    std::vector<Facet> out;
    for (int q = 0; q < 6; ++q) {
        const int tri[2][3] = {{quads[q][0], quads[q][1], quads[q][2]}, {quads[q][0], quads[q][2], quads[q][3]}};
        for (const auto& t : tri) {
            Facet f{};
            std::memcpy(f.normal, normals[q], sizeof f.normal);
            for (int k = 0; k < 3; ++k)
                std::memcpy(f.v[k], c[t[k]], sizeof f.v[k]);
            out.push_back(f);
        }
    }
    return out;
}

// Binary STL; `announced` is the count written in the header (the real count when negative).
inline std::string Binary(const std::vector<Facet>& facets, const std::string& header = "binary test",
                          long long announced = -1)
{
    std::string out(80, '\0');
    std::memcpy(out.data(), header.data(), std::min<std::size_t>(header.size(), 80));
    const auto count = static_cast<std::uint32_t>(announced < 0 ? facets.size() : announced);
    out.append(reinterpret_cast<const char*>(&count), 4);
    for (const Facet& f : facets) {
        out.append(reinterpret_cast<const char*>(f.normal), 12);
        out.append(reinterpret_cast<const char*>(f.v), 36);
        out.append(2, '\0');
    }
    return out;
}

struct AsciiStyle {
    bool upper = false;
    std::string eol = "\n";
    std::string indent = "  ";
};

inline std::string Ascii(const std::vector<Facet>& facets, const AsciiStyle& style = {},
                         const std::string& name = "part")
{
    auto kw = [&](std::string word) {
        if (style.upper)
            for (char& ch : word)
                ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return word;
    };
    auto num = [](float v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%e", static_cast<double>(v));
        return std::string(buffer);
    };
    std::string out = kw("solid") + " " + name + style.eol;
    for (const Facet& f : facets) {
        out += style.indent + kw("facet normal") + " " + num(f.normal[0]) + " " + num(f.normal[1]) + " " +
               num(f.normal[2]) + style.eol;
        out += style.indent + style.indent + kw("outer loop") + style.eol;
        for (const auto& v : f.v)
            out += style.indent + style.indent + style.indent + kw("vertex") + " " + num(v[0]) + " " + num(v[1]) +
                   " " + num(v[2]) + style.eol;
        out += style.indent + style.indent + kw("endloop") + style.eol;
        out += style.indent + kw("endfacet") + style.eol;
    }
    out += kw("endsolid") + " " + name + style.eol;
    return out;
}

}  // namespace stltest
