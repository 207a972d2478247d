// Binary STL: an 80-byte header, a facet count, then 50 bytes per facet.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "StlParser.h"

namespace zelk {

namespace {

constexpr std::size_t kHeaderBytes = 84;
constexpr std::size_t kFacetBytes = 50;

static_assert(std::endian::native == std::endian::little, "binary STL is read as little-endian");

void Widen(ZELKGePoint3d& lo, ZELKGePoint3d& hi, const ZELKGePoint3d& p)
{
    if (p.x < lo.x) lo.x = p.x;
    if (p.y < lo.y) lo.y = p.y;
    if (p.z < lo.z) lo.z = p.z;
    if (p.x > hi.x) hi.x = p.x;
    if (p.y > hi.y) hi.y = p.y;
    if (p.z > hi.z) hi.z = p.z;
}

// How many facets to read, or 0 with a reason. The size of the file decides
// when the facets fill it exactly (some writers leave the count at 0 or get it
// wrong); otherwise the header's count is used, as long as the file holds it.
std::size_t FacetCount(const char* data, std::size_t size, std::string& reason)
{
    if (size < kHeaderBytes) {
        reason = "too short for a binary STL file (" + std::to_string(size) + " bytes)";
        return 0;
    }
    std::uint32_t announced;
    std::memcpy(&announced, data + 80, sizeof announced);
    const std::size_t held = (size - kHeaderBytes) / kFacetBytes;
    const bool exact = (size - kHeaderBytes) % kFacetBytes == 0;
    if (announced > held) {
        reason = "the file is truncated or damaged: its header announces " + std::to_string(announced) +
                 " triangles but the file holds only " + std::to_string(held);
        return 0;
    }
    const std::size_t count = exact ? held : announced;
    if (count == 0)
        reason = "the file holds no triangles";
    return count;
}

}  // namespace

bool ParseBinaryStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    const std::size_t count = FacetCount(data, size, reason);
    if (count == 0)
        return false;
    std::vector<Triangle>& triangles = mesh.GetGePrint();
    triangles.resize(count);
    ZELKGePoint3d lo(INFINITY, INFINITY, INFINITY), hi(-INFINITY, -INFINITY, -INFINITY);
    const char* p = data + kHeaderBytes;
    for (std::size_t i = 0; i < count; ++i, p += kFacetBytes) {
        float v[12];
        std::memcpy(v, p, sizeof v);
        Triangle& t = triangles[i];
        for (int k = 0; k < 3; ++k) {
            const float x = v[3 + 3 * k], y = v[4 + 3 * k], z = v[5 + 3 * k];
            if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
                mesh.Clear();
                reason = "triangle " + std::to_string(i + 1) + " has a coordinate that is not a finite number";
                return false;
            }
            t.point[k] = ZELKGePoint3d(x, y, z);
            Widen(lo, hi, t.point[k]);
        }
        // A broken normal is dropped; the renderer computes one from the vertices.
        if (std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]))
            t.normal = ZELKGeVector3d(v[0], v[1], v[2]);
        else
            t.normal = ZELKGeVector3d();
    }
    mesh.SetMinMaxPoint(lo, hi);
    return true;
}

}  // namespace zelk
