// Reads STL data (binary or ASCII) into a triangle mesh, from memory or piece by piece from a file.
#include "StlParser.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include <sys/mman.h>
#include <unistd.h>

namespace zelk {

namespace {

constexpr std::size_t kHeaderBytes = 84;
constexpr std::size_t kFacetBytes = 50;
constexpr std::size_t kProbeBytes = 4096;
constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
constexpr std::uintptr_t kSharedPopulateBytes = std::uintptr_t{32} << 20;

bool StartsWithSolid(const char* data, std::size_t size)
{
    std::size_t i = (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0) ? 3 : 0;  // byte-order mark
    while (i < size && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    const char* word = "solid";
    for (int k = 0; k < 5; ++k, ++i)
        if (i >= size || (data[i] | 0x20) != word[k])
            return false;
    return i == size || static_cast<unsigned char>(data[i]) <= ' ';
}

// Control bytes that text never holds: the mark of binary data.
bool HasBinaryBytes(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v')
            return true;
    }
    return false;
}

bool ExactBinarySize(const char* head, std::size_t headSize, std::size_t size)
{
    if (size < kHeaderBytes || headSize < kHeaderBytes)
        return false;
    std::uint32_t announced;
    std::memcpy(&announced, head + 80, sizeof announced);
    return announced > 0 && size - kHeaderBytes == static_cast<std::size_t>(announced) * kFacetBytes;
}

}  // namespace

std::string NoMemoryReason(std::size_t count)
{
    const std::size_t megabytes = (count * sizeof(Triangle)) >> 20;
    return "not enough memory for the " + std::to_string(count) + " triangles of the file (" +
           std::to_string(megabytes) + " MB)";
}

void ReserveTriangles(ZELKGePrint& mesh, std::size_t count, bool secondThread)
{
    std::vector<Triangle>& triangles = mesh.GetGePrint();
    // Beyond the physical memory the pages would come from swap, or the kernel
    // would end the program while it fills them: refuse before asking.
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageBytes = ::sysconf(_SC_PAGESIZE);
    if (pages > 0 && pageBytes > 0 &&
        count > static_cast<std::size_t>(pages) / sizeof(Triangle) * static_cast<std::size_t>(pageBytes))
        throw std::bad_alloc();
    triangles.reserve(count);
    const std::size_t bytes = triangles.capacity() * sizeof(Triangle);
    if (bytes < (std::size_t{4} << 20))
        return;  // small meshes gain nothing
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(triangles.data());
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t last = (begin + bytes) & ~(page - 1);
    if (last <= first)
        return;
    void* start = reinterpret_cast<void*>(first);
    // Both are hints: an older kernel refuses them and the pages come on first touch.
    ::madvise(start, last - first, MADV_HUGEPAGE);
#ifndef MADV_POPULATE_WRITE
    constexpr int MADV_POPULATE_WRITE = 23;  // Linux 5.14
#endif
    // The kernel clears every page it hands out, which takes longer than
    // filling them: a second core clears the upper half meanwhile.
    const std::uintptr_t middle = (first + (last - first) / 2 + kHugePage - 1) & ~(kHugePage - 1);
    std::thread upper;
    if (secondThread && last - first >= kSharedPopulateBytes && middle < last) {
        try {
            upper = std::thread([middle, last] {
                ::madvise(reinterpret_cast<void*>(middle), last - middle, MADV_POPULATE_WRITE);
            });
        } catch (const std::system_error&) {
            // No thread to be had: this one clears it all.
        }
    }
    ::madvise(start, (upper.joinable() ? middle : last) - first, MADV_POPULATE_WRITE);
    if (upper.joinable())
        upper.join();
}

long long MemoryStlInput::ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string&)
{
    if (offset >= m_size)
        return 0;
    const std::size_t n = std::min(count, m_size - offset);
    std::memcpy(buffer, m_data + offset, n);
    return static_cast<long long>(n);
}

bool ReadStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options)
{
    mesh.Clear();
    const std::size_t size = input.Size();
    if (size == 0) {
        reason = "the file is empty";
        return false;
    }
    char head[kProbeBytes];
    const long long got = input.ReadAt(0, head, std::min(size, kProbeBytes), reason);
    if (got <= 0)
        return false;
    const auto headSize = static_cast<std::size_t>(got);
    // A header that starts with "solid" does not make a file ASCII: many binary
    // writers put the word there. A count that fits the size exactly does.
    if (ExactBinarySize(head, headSize, size))
        return ReadBinaryStl(input, mesh, reason, options);
    if (StartsWithSolid(head, headSize)) {
        if (ReadAsciiStl(input, mesh, reason, options))
            return true;
        if (headSize <= kHeaderBytes || !HasBinaryBytes(head + kHeaderBytes, headSize - kHeaderBytes))
            return false;  // text after all: keep the ASCII reason
        return ReadBinaryStl(input, mesh, reason, options);
    }
    if (!HasBinaryBytes(head, headSize)) {
        reason = "not an STL file: text that does not start with \"solid\"";
        return false;
    }
    return ReadBinaryStl(input, mesh, reason, options);
}

bool ParseStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason)
{
    MemoryStlInput input(data, size);
    return ReadStl(input, mesh, reason);
}

}  // namespace zelk
