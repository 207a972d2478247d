// Reads STL data (binary or ASCII) from memory into a triangle mesh.
#pragma once

#include <cstddef>
#include <string>

#include "GePrint.h"

namespace zelk {

// Tells binary from ASCII by content, not by the first word: binary files whose
// header starts with "solid" are read as binary. On success the mesh holds the
// facets in file order with its corners set, and true is returned. On failure
// the mesh is left empty and `reason` says why in one line (without the path).
bool ParseStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason);

// The two formats on their own, with the same contract.
bool ParseBinaryStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason);
bool ParseAsciiStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason);

}  // namespace zelk
