// Holes in a triangle mesh, and the facets that close them, so the engine slices an open model whole.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "GePrint.h"

namespace bridge {

// The facets that close the holes of `triangles`: the edges that one facet
// alone uses (vertices matched exactly), chained into loops, each loop closed
// by a fan wound against its facets. Empty for a closed mesh. A facet turned
// the wrong way round is no hole (its edges are used twice), and a chain that
// does not come back to its start is left open. A mesh that is more hole
// than surface (a lone facet, an open sheet) is left as it is.
std::vector<Triangle> CloseHoles(const std::vector<Triangle>& triangles, std::size_t& holes);

// Writes `a` and then `b` as one binary STL (single precision, as read).
bool WriteBinaryStl(const std::string& path, const std::vector<Triangle>& a, const std::vector<Triangle>& b,
                    std::string& error);

}  // namespace bridge
