// Binary STL: an 80-byte header, a facet count, then 50 bytes per facet.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "StlParser.h"

namespace zelk {

namespace {

constexpr std::size_t kHeaderBytes = 84;
constexpr std::size_t kFacetBytes = 50;
constexpr std::size_t kFacetsPerRead = 20000;  // 1 MB pieces

static_assert(std::endian::native == std::endian::little, "binary STL is read as little-endian");

// How many facets to read, or 0 with a reason. The size of the file decides
// when the facets fill it exactly (some writers leave the count at 0 or get it
// wrong); otherwise the header's count is used, as long as the file holds it.
std::size_t FacetCount(std::uint32_t announced, std::size_t size, std::string& reason)
{
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

// Converts one facet record; false when a vertex coordinate is not finite.
bool ConvertFacet(const char* record, Triangle& t, ZELKGePoint3d& lo, ZELKGePoint3d& hi)
{
    float v[12];
    std::memcpy(v, record, sizeof v);
    for (int k = 0; k < 3; ++k) {
        const float x = v[3 + 3 * k], y = v[4 + 3 * k], z = v[5 + 3 * k];
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
            return false;
        t.point[k] = ZELKGePoint3d(x, y, z);
        lo.Set(std::min<double>(lo.x, x), std::min<double>(lo.y, y), std::min<double>(lo.z, z));
        hi.Set(std::max<double>(hi.x, x), std::max<double>(hi.y, y), std::max<double>(hi.z, z));
    }
    // A broken normal is dropped; the renderer computes one from the vertices.
    if (std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]))
        t.normal = ZELKGeVector3d(v[0], v[1], v[2]);
    else
        t.normal = ZELKGeVector3d();
    return true;
}

bool ReadBinaryFacets(StlInput& input, ZELKGePrint& mesh, std::size_t& count, std::string& reason)
{
    const std::size_t size = input.Size();
    char header[kHeaderBytes];
    if (size < kHeaderBytes) {
        reason = "too short for a binary STL file (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (input.ReadAt(0, header, kHeaderBytes, reason) != static_cast<long long>(kHeaderBytes))
        return false;
    std::uint32_t announced;
    std::memcpy(&announced, header + 80, sizeof announced);
    count = FacetCount(announced, size, reason);
    if (count == 0)
        return false;

    std::vector<Triangle>& triangles = mesh.GetGePrint();
    ReserveTriangles(mesh, count);
    const std::unique_ptr<char[]> piece(new char[std::min(kFacetsPerRead, count) * kFacetBytes]);
    ZELKGePoint3d lo(INFINITY, INFINITY, INFINITY), hi(-INFINITY, -INFINITY, -INFINITY);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kFacetsPerRead, count - done);
        const long long got = input.ReadAt(kHeaderBytes + done * kFacetBytes, piece.get(), n * kFacetBytes, reason);
        if (got != static_cast<long long>(n * kFacetBytes)) {
            if (got >= 0)
                reason = "the file ended while it was read";
            mesh.Clear();
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            Triangle t;
            if (!ConvertFacet(piece.get() + i * kFacetBytes, t, lo, hi)) {
                mesh.Clear();
                reason = "triangle " + std::to_string(done + i + 1) + " has a coordinate that is not a finite number";
                return false;
            }
            triangles.push_back(t);
        }
        done += n;
    }
    mesh.SetMinMaxPoint(lo, hi);
    return true;
}

}  // namespace

bool ReadBinaryStl(StlInput& input, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    std::size_t count = 0;
    try {
        return ReadBinaryFacets(input, mesh, count, reason);
    } catch (const std::bad_alloc&) {
        mesh.Clear();
        reason = NoMemoryReason(count);
        return false;
    }
}

}  // namespace zelk
