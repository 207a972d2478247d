// Binary STL: an 80-byte header, a facet count, then 50 bytes per facet.
#include <algorithm>
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

// Converts `n` facet records into triangles appended to `out` (whose room is
// reserved), widening the box [lo, hi]. Returns n, or the index of the first
// facet with a vertex coordinate that is not finite.
std::size_t ConvertFacets(const char* records, std::size_t n, std::vector<Triangle>& out, float lo[3], float hi[3])
{
    // The box in locals: stores through `out` could otherwise alias it.
    float lx = lo[0], ly = lo[1], lz = lo[2], hx = hi[0], hy = hi[1], hz = hi[2];
    std::size_t i = 0;
    for (; i < n; ++i) {
        const char* record = records + i * kFacetBytes;
        float v[12];
        std::uint32_t bits[12];
        std::memcpy(v, record, sizeof v);
        std::memcpy(bits, record, sizeof bits);
        // Infinity and NaN have every exponent bit set.
        std::uint32_t vertexBad = 0, normalBad = 0;
        for (int k = 0; k < 3; ++k)
            normalBad |= static_cast<std::uint32_t>((bits[k] & 0x7F800000u) == 0x7F800000u);
        for (int k = 3; k < 12; ++k)
            vertexBad |= static_cast<std::uint32_t>((bits[k] & 0x7F800000u) == 0x7F800000u);
        if (vertexBad != 0)
            break;
        // The same comparisons as on the widened values: float to double is exact.
        for (int k = 3; k < 12; k += 3) {
            lx = std::min(lx, v[k]);
            ly = std::min(ly, v[k + 1]);
            lz = std::min(lz, v[k + 2]);
            hx = std::max(hx, v[k]);
            hy = std::max(hy, v[k + 1]);
            hz = std::max(hz, v[k + 2]);
        }
        Triangle t;
        for (int k = 0; k < 3; ++k)
            t.point[k] = ZELKGePoint3d(v[3 + 3 * k], v[4 + 3 * k], v[5 + 3 * k]);
        // A broken normal is dropped; the renderer computes one from the vertices.
        if (normalBad == 0)
            t.normal = ZELKGeVector3d(v[0], v[1], v[2]);
        out.push_back(t);
    }
    lo[0] = lx, lo[1] = ly, lo[2] = lz, hi[0] = hx, hi[1] = hy, hi[2] = hz;
    return i;
}

bool ReadBinaryFacets(StlInput& input, ZELKGePrint& mesh, std::size_t& count, std::string& reason,
                      bool secondThread)
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
    ReserveTriangles(mesh, count, secondThread);
    const std::unique_ptr<char[]> piece(new char[std::min(kFacetsPerRead, count) * kFacetBytes]);
    float lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kFacetsPerRead, count - done);
        const long long got = input.ReadAt(kHeaderBytes + done * kFacetBytes, piece.get(), n * kFacetBytes, reason);
        if (got != static_cast<long long>(n * kFacetBytes)) {
            if (got >= 0)
                reason = "the file ended while it was read";
            mesh.Clear();
            return false;
        }
        const std::size_t converted = ConvertFacets(piece.get(), n, triangles, lo, hi);
        if (converted != n) {
            mesh.Clear();
            reason = "triangle " + std::to_string(done + converted + 1) + " has a coordinate that is not a finite number";
            return false;
        }
        done += n;
    }
    mesh.SetMinMaxPoint(ZELKGePoint3d(lo[0], lo[1], lo[2]), ZELKGePoint3d(hi[0], hi[1], hi[2]));
    return true;
}

}  // namespace

bool ReadBinaryStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options)
{
    mesh.Clear();
    std::size_t count = 0;
    try {
        return ReadBinaryFacets(input, mesh, count, reason, options.secondThread);
    } catch (const std::bad_alloc&) {
        mesh.Clear();
        reason = NoMemoryReason(count);
        return false;
    }
}

}  // namespace zelk
