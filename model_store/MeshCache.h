// The vertex arrays a printable model draws from, rebuilt only when its mesh changes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "GePrint.h"

namespace zelk {

// The normal a facet is lit with: its stored normal made unit length, or the
// normal of the plane through its vertices when the stored one is zero.
ZELKGeVector3d FacetDrawNormal(const Triangle& facet);

// Floats that are all written before they are read: unlike a vector's, its
// memory is not cleared first (the kernel's clearing of fresh pages then
// falls to the threads that fill it).
class FloatArray {
public:
    // n floats of unknown value (the memory kept when n is the same).
    void Allocate(std::size_t n)
    {
        if (n != m_size) {
            m_floats.reset(n > 0 ? new float[n] : nullptr);
            m_size = n;
        }
    }
    float* data() { return m_floats.get(); }
    const float* data() const { return m_floats.get(); }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const float* begin() const { return m_floats.get(); }
    const float* end() const { return m_floats.get() + m_size; }

private:
    std::unique_ptr<float[]> m_floats;
    std::size_t m_size = 0;
};

// Meshes of this many facets or more are built on two threads.
constexpr std::size_t kParallelBuildFacets = 100000;

// Interleaved normal and vertex (3 + 3 floats per vertex, in the order of the
// mesh's facets and their vertices), keyed by the model's mesh revision, and
// each facet's winding normal (which side it shows, for culling).
class MeshVertexArray {
public:
    bool IsCurrent(unsigned revision) const { return m_built && m_revision == revision; }
    // A mesh of kParallelBuildFacets facets or more is built on two threads
    // when `secondThread` allows.
    void Build(const ZELKGePrint& mesh, unsigned revision, bool secondThread = true);
    const FloatArray& Data() const { return m_data; }
    std::size_t VertexCount() const { return m_data.size() / 6; }
    // (p1 - p0) x (p2 - p0) of every facet, 3 floats each.
    const FloatArray& Windings() const { return m_windings; }
    // Different for every build in the process.
    unsigned long BuildSerial() const { return m_serial; }

private:
    FloatArray m_data;
    FloatArray m_windings;
    unsigned m_revision = 0;
    unsigned long m_serial = 0;
    bool m_built = false;
};

// Which facets a frame can show: those facing the viewer (facing . winding > 0)
// and, when bySize is set, of those only the ones that cover a pixel centre of
// the viewport (a facet between pixel centres, or beside the window, paints
// nothing). The centre test leans towards keeping a facet: one that passes a
// centre so closely that the rasteriser's snapping of its corners to a
// fraction of a pixel could take it over the centre is kept.
struct FacetFilter {
    float facing[3] = {0, 0, 0};
    bool bySize = false;
    // Window x and y (pixels) of a point p: window[i] . (p, 1).
    double window[2][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}};
    // The viewport's pixels: x from viewport[0] to viewport[2], y from
    // viewport[1] to viewport[3] (ends excluded).
    double viewport[4] = {0, 0, 0, 0};
    // How far the rasteriser may place a corner from the window coordinates
    // found here, along each axis: it snaps corners to its subpixel grid
    // (1/256 pixel with 8 subpixel bits) after a single-precision transform;
    // one and a half grid steps.
    double cornerSlack = 1.5 / 256;
    bool operator==(const FacetFilter&) const = default;
};

// Whether a facet with these window corners (x, y in pixels) covers a pixel
// centre inside the viewport, with corners that may lie `cornerSlack` away;
// true as well when its window box is too large for the centres in it to be
// tried one by one.
bool CoversPixelCentre(const double x[3], const double y[3], const double viewport[4],
                       double cornerSlack = 1.5 / 256);

// Hands over the interleaved vertices (18 floats a facet) of the facets of
// `arrays` that pass the filter, in their order, in blocks of at most
// kVisibleBlockFacets facets.
constexpr std::size_t kVisibleBlockFacets = 1024;
// Meshes of this many facets or more are tested on two threads.
constexpr std::size_t kParallelFilterFacets = 100000;
void ForEachVisibleBlock(const MeshVertexArray& arrays, const FacetFilter& filter,
                         const std::function<void(const float* vertices, std::size_t facets)>& take);
// The interleaved vertices of the facets of `arrays` that pass the filter, in their order.
void VisibleVertices(const MeshVertexArray& arrays, const FacetFilter& filter, std::vector<float>& out);

// A model's cached arrays in OpenGL buffer objects of the context current
// when they were made; made again in another context or after a rebuild.
// While the view stays as it is, the facets that cannot paint a pixel (facing
// away, or lying between pixel centres) are left out of a buffer of their own.
// Deleting them needs that context: when it is not current they are deleted
// the next time it is, or dropped with it (ForgetCurrentContext).
class MeshBuffers {
public:
    MeshBuffers() = default;
    ~MeshBuffers();
    MeshBuffers(const MeshBuffers&) = delete;
    MeshBuffers& operator=(const MeshBuffers&) = delete;

    // Draws the arrays as one run of independent triangles.
    void Draw(const MeshVertexArray& arrays);

private:
    bool Ready();
    void DrawAll(const MeshVertexArray& arrays);
    void DrawVisible(const MeshVertexArray& arrays, const FacetFilter& filter);

    // Fills the visible buffer from its start; false when it had no room.
    bool FillVisible(const MeshVertexArray& arrays, const FacetFilter& filter, std::size_t& bytes);

    std::size_t m_visibleCapacity = 0;  // bytes the visible buffer holds room for
    void* m_context = nullptr;
    unsigned long m_generation = 0;
    unsigned m_allBuffer = 0;    // every facet
    unsigned m_visibleBuffer = 0;  // the facets that can paint in the current view
    unsigned long m_allSerial = 0;
    unsigned long m_visibleSerial = 0;
    FacetFilter m_visibleFilter;
    std::size_t m_visibleVertices = 0;
};

// Called with a context current that is about to be destroyed: deletes the
// buffers left for it and stops every cache from using it.
void ForgetCurrentContext();
// The same for a context that cannot be made current any more (its buffers go
// with it).
void ForgetContext(void* context);
// Deletes the buffers of models removed while the current context was not
// current (called once per frame, so they go even when no model is left).
void DeleteOrphanedBuffers();

// Buffers of other caches (the toolpath preview) go the same way: the
// generation `context` is at (each ForgetContext raises it), and the release
// of two buffer names made in (context, generation): deleted at once when
// that context is current, else the next time it is, or dropped with it.
unsigned long ContextGeneration(void* context);
void ReleaseBufferPair(void* context, unsigned long generation, const unsigned (&names)[2]);

// How models send their triangles to OpenGL: from their cached arrays (the
// default) or facet by facet in immediate mode (kept for comparison).
enum class MeshDrawing { Cached, Immediate };
void SetMeshDrawing(MeshDrawing drawing);
MeshDrawing GetMeshDrawing();

}  // namespace zelk
