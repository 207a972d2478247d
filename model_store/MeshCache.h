// The vertex arrays a printable model draws from, rebuilt only when its mesh changes.
#pragma once

#include <cstddef>
#include <vector>

#include "GePrint.h"

namespace zelk {

// The normal a facet is lit with: its stored normal made unit length, or the
// normal of the plane through its vertices when the stored one is zero.
ZELKGeVector3d FacetDrawNormal(const Triangle& facet);

// Interleaved normal and vertex (3 + 3 floats per vertex, in the order of the
// mesh's facets and their vertices), keyed by the model's mesh revision.
class MeshVertexArray {
public:
    bool IsCurrent(unsigned revision) const { return m_built && m_revision == revision; }
    void Build(const ZELKGePrint& mesh, unsigned revision);
    const std::vector<float>& Data() const { return m_data; }
    std::size_t VertexCount() const { return m_data.size() / 6; }

private:
    std::vector<float> m_data;
    unsigned m_revision = 0;
    bool m_built = false;
};

// How models send their triangles to OpenGL: from their cached arrays (the
// default) or facet by facet in immediate mode (kept for comparison).
enum class MeshDrawing { Cached, Immediate };
void SetMeshDrawing(MeshDrawing drawing);
MeshDrawing GetMeshDrawing();

}  // namespace zelk
