// Boxes of runs of consecutive facets, for the box of a mesh under a transform without transforming every vertex.
#pragma once

#include <cstddef>
#include <vector>

#include "GeMatrix3d.h"
#include "GePrint.h"

namespace zelk {

// The box of each run of kRunFacets consecutive facets of a mesh. Facets that
// lie next to each other in a file mostly lie next to each other in space, so
// under a transform the extreme vertices are found by visiting only the runs
// whose transformed box could hold them; the others are skipped unread.
class MeshRunBoxes {
public:
    static constexpr std::size_t kRunFacets = 64;

    void Build(const ZELKGePrint& mesh);
    std::size_t RunCount() const { return m_lo.size(); }

    // The box of matrix.TransformPoint(p) over every vertex p of `mesh` (the
    // mesh given to Build, unchanged since): exactly what transforming the mesh
    // and taking its box gives. Returns 0 and two zero points for an empty mesh.
    // `visitedRuns`, when given, receives how many runs were read.
    int TransformedBox(const ZELKGePrint& mesh, const ZELKGeMatrix3d& matrix, ZELKGePoint3d& min,
                       ZELKGePoint3d& max, std::size_t* visitedRuns = nullptr) const;

private:
    std::vector<ZELKGePoint3d> m_lo;
    std::vector<ZELKGePoint3d> m_hi;
};

}  // namespace zelk
