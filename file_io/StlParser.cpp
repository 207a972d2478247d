// Reads STL data (binary or ASCII) from memory into a triangle mesh.
#include "StlParser.h"

#include <cstdint>
#include <cstring>

namespace zelk {

namespace {

constexpr std::size_t kHeaderBytes = 84;
constexpr std::size_t kFacetBytes = 50;

bool StartsWithSolid(const char* data, std::size_t size)
{
    std::size_t i = 0;
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

bool ExactBinarySize(const char* data, std::size_t size)
{
    if (size < kHeaderBytes)
        return false;
    std::uint32_t announced;
    std::memcpy(&announced, data + 80, sizeof announced);
    return announced > 0 && size - kHeaderBytes == static_cast<std::size_t>(announced) * kFacetBytes;
}

}  // namespace

bool ParseStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    if (size == 0) {
        reason = "the file is empty";
        return false;
    }
    // A header that starts with "solid" does not make a file ASCII: many binary
    // writers put the word there. A count that fits the size exactly does.
    if (ExactBinarySize(data, size))
        return ParseBinaryStl(data, size, mesh, reason);
    const std::size_t probe = std::min<std::size_t>(size, 4096);
    if (StartsWithSolid(data, size)) {
        if (ParseAsciiStl(data, size, mesh, reason))
            return true;
        if (size < kHeaderBytes || !HasBinaryBytes(data + kHeaderBytes, probe - std::min(probe, kHeaderBytes)))
            return false;  // text after all: keep the ASCII reason
        return ParseBinaryStl(data, size, mesh, reason);
    }
    if (!HasBinaryBytes(data, probe)) {
        reason = "not an STL file: text that does not start with \"solid\"";
        return false;
    }
    return ParseBinaryStl(data, size, mesh, reason);
}

}  // namespace zelk
