// The few OpenGL operations the model store draws with; the only file of the model store that calls OpenGL.
#pragma once

#include <cstddef>

#include "DBEntity.h"
#include "GePrint.h"
#include "MeshCache.h"

namespace zelk::gl {

void PushMatrix();
void PopMatrix();
// Colour on the 0-255 scale, or in 0-1.
void Color255(double red, double green, double blue);
void Color255(const GLColor& color);
void Color01(double red, double green, double blue);
void ShadeSmooth();
void ShadeFlat();
// Antialiased lines with the nicest hint, and the line width.
void SmoothLines(double width = -1.0);
// Blending on with (source alpha, one minus source alpha) or with (source
// colour, one minus source colour); or blending off.
void BlendAlpha();
void BlendColor();
void BlendOff();
// Polygons filled on both sides.
void FillBothSides();

// One line strip through the points, in double or (for box edges) single precision.
void LineStrip(const ZELKGePoint3d* points, std::size_t count);
void LineSingle(const ZELKGePoint3d& a, const ZELKGePoint3d& b);
// One filled polygon with one normal.
void Polygon(const ZELKGePoint3d* points, std::size_t count, const ZELKGeVector3d& normal);
// One quad without a normal of its own.
void Quad(const ZELKGePoint3d* points);

// Multiplies the current matrix by the transform.
void MultMatrix(const ZELKGeMatrix3d& matrix);
// One run of independent triangles from cached arrays, through the buffers.
void Triangles(const MeshVertexArray& arrays, MeshBuffers& buffers);
// The facets the current state lets paint (see FacetFilter); false when the
// state leaves the choice to OpenGL (selection, no back-face culling, a
// perspective projection).
bool FrameFacetFilter(FacetFilter& filter);
// One run of independent triangles sent vertex by vertex in double precision.
void TrianglesImmediate(const ZELKGePrint& mesh);

}  // namespace zelk::gl
