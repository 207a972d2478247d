// The few OpenGL operations the model store draws with; the only file of the model store that calls OpenGL.
#include "ModelGl.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "GlCheck.h"

namespace zelk {

namespace {
int g_glErrors = 0;
}

void CheckGlError(const char* file, int line)
{
    for (GLenum error = glGetError(); error != GL_NO_ERROR; error = glGetError()) {
        ++g_glErrors;
        std::fprintf(stderr, "OpenGL error 0x%04x at %s:%d\n", static_cast<unsigned>(error), file, line);
    }
}

int GlErrorCount()
{
    return g_glErrors;
}

}  // namespace zelk

namespace zelk::gl {

void PushMatrix()
{
    glPushMatrix();
}

void PopMatrix()
{
    glPopMatrix();
}

void Color255(double red, double green, double blue)
{
    glColor3ub(static_cast<GLubyte>(red), static_cast<GLubyte>(green), static_cast<GLubyte>(blue));
}

void Color255(const GLColor& color)
{
    Color255(color.red, color.green, color.blue);
}

void Color01(double red, double green, double blue)
{
    glColor3d(red, green, blue);
}

void ShadeSmooth()
{
    glShadeModel(GL_SMOOTH);
}

void ShadeFlat()
{
    glShadeModel(GL_FLAT);
}

void SmoothLines(double width)
{
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    if (width > 0.0)
        glLineWidth(static_cast<GLfloat>(width));
}

void BlendAlpha()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void BlendColor()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
}

void BlendOff()
{
    glDisable(GL_BLEND);
}

void FillBothSides()
{
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void LineStrip(const ZELKGePoint3d* points, std::size_t count)
{
    glBegin(GL_LINE_STRIP);
    for (std::size_t i = 0; i < count; ++i)
        glVertex3d(points[i].x, points[i].y, points[i].z);
    glEnd();
    ZELK_GL_CHECK();
}

void LineSingle(const ZELKGePoint3d& a, const ZELKGePoint3d& b)
{
    glBegin(GL_LINES);
    glVertex3f(static_cast<GLfloat>(a.x), static_cast<GLfloat>(a.y), static_cast<GLfloat>(a.z));
    glVertex3f(static_cast<GLfloat>(b.x), static_cast<GLfloat>(b.y), static_cast<GLfloat>(b.z));
    glEnd();
}

void Polygon(const ZELKGePoint3d* points, std::size_t count, const ZELKGeVector3d& normal)
{
    glBegin(GL_POLYGON);
    glNormal3d(normal.x, normal.y, normal.z);
    for (std::size_t i = 0; i < count; ++i)
        glVertex3d(points[i].x, points[i].y, points[i].z);
    glEnd();
    ZELK_GL_CHECK();
}

void Quad(const ZELKGePoint3d* points)
{
    glBegin(GL_QUADS);
    for (int i = 0; i < 4; ++i)
        glVertex3d(points[i].x, points[i].y, points[i].z);
    glEnd();
}

void MultMatrix(const ZELKGeMatrix3d& matrix)
{
    double values[16];
    matrix.GetMatrix(values);
    glMultMatrixd(values);
}

void Triangles(const MeshVertexArray& arrays, MeshBuffers& buffers)
{
    buffers.Draw(arrays);
}

void TrianglesImmediate(const ZELKGePrint& mesh)
{
    glBegin(GL_TRIANGLES);
    for (const Triangle& t : mesh.GetGePrint()) {
        const ZELKGeVector3d n = FacetDrawNormal(t);
        glNormal3d(n.x, n.y, n.z);
        for (const ZELKGePoint3d& p : t.point)
            glVertex3d(p.x, p.y, p.z);
    }
    glEnd();
    ZELK_GL_CHECK();
}

}  // namespace zelk::gl

namespace zelk {

namespace {

constexpr std::size_t kFacetBytes = 18 * sizeof(float);

// Buffers whose model went away while their context was not current.
struct Orphan {
    void* context;
    unsigned long generation;
    GLuint buffers[2];
};
std::vector<Orphan> g_orphans;
// Bumped when a context is forgotten, so that a later context at the same
// address is not taken for it.
std::map<void*, unsigned long> g_generations;

void DeleteOrphansOf(void* context, unsigned long generation)
{
    auto mine = [&](const Orphan& o) { return o.context == context; };
    for (const Orphan& o : g_orphans)
        if (mine(o) && o.generation == generation)
            glDeleteBuffers(2, o.buffers);
    g_orphans.erase(std::remove_if(g_orphans.begin(), g_orphans.end(), mine), g_orphans.end());
}

// Rows 0 and 1 of projection x model-view (column-major inputs), divided by
// the constant clip w. False unless both are affine (a parallel projection).
bool ParallelRows(double rows[2][4])
{
    double mv[16], pr[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    if (pr[3] != 0.0 || pr[7] != 0.0 || pr[11] != 0.0 || pr[15] == 0.0)
        return false;
    if (mv[3] != 0.0 || mv[7] != 0.0 || mv[11] != 0.0 || mv[15] != 1.0)
        return false;
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 4; ++j)
            rows[i][j] = (pr[i] * mv[4 * j] + pr[4 + i] * mv[4 * j + 1] + pr[8 + i] * mv[4 * j + 2] +
                          pr[12 + i] * mv[4 * j + 3]) / pr[15];
    return true;
}

// Whether a facet that covers no pixel centre paints nothing in this state.
bool PaintsOnlyPixelCentres()
{
    GLint polygonMode[2] = {0, 0}, sampleBuffers = 0;
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    glGetIntegerv(GL_SAMPLE_BUFFERS, &sampleBuffers);
    return polygonMode[0] == GL_FILL && polygonMode[1] == GL_FILL && !glIsEnabled(GL_POLYGON_SMOOTH) &&
           (sampleBuffers == 0 || !glIsEnabled(GL_MULTISAMPLE));
}

// The facets this frame can show. False when the state leaves the choice to
// OpenGL (no back-face culling, selection, a perspective projection).
bool CurrentFilter(FacetFilter& filter)
{
    GLint mode = 0, cullFace = 0, frontFace = 0, viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_RENDER_MODE, &mode);
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    glGetIntegerv(GL_FRONT_FACE, &frontFace);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double r[2][4];
    if (mode != GL_RENDER || !glIsEnabled(GL_CULL_FACE) || cullFace != GL_BACK || !ParallelRows(r))
        return false;
    // The window x and y axes have the signs of the normalised device axes.
    const double sign = frontFace == GL_CW ? -1.0 : 1.0;
    filter.facing[0] = static_cast<float>(sign * (r[0][1] * r[1][2] - r[0][2] * r[1][1]));
    filter.facing[1] = static_cast<float>(sign * (r[0][2] * r[1][0] - r[0][0] * r[1][2]));
    filter.facing[2] = static_cast<float>(sign * (r[0][0] * r[1][1] - r[0][1] * r[1][0]));
    if (filter.facing[0] == 0.0f && filter.facing[1] == 0.0f && filter.facing[2] == 0.0f)
        return false;
    filter.bySize = PaintsOnlyPixelCentres();
    // The rasteriser's subpixel grid (OpenGL asks for at least 4 bits).
    GLint subpixelBits = 0;
    glGetIntegerv(GL_SUBPIXEL_BITS, &subpixelBits);
    filter.cornerSlack = 1.5 / static_cast<double>(1 << std::clamp(subpixelBits, 4, 16));
    for (int i = 0; i < 2; ++i) {
        const double half = viewport[2 + i] / 2.0;
        for (int j = 0; j < 4; ++j)
            filter.window[i][j] = half * r[i][j];
        filter.window[i][3] += viewport[i] + half;
        filter.viewport[i] = viewport[i];
        filter.viewport[2 + i] = static_cast<double>(viewport[i]) + viewport[2 + i];
    }
    return true;
}

}  // namespace

void ForgetCurrentContext()
{
    void* context = glXGetCurrentContext();
    if (context == nullptr)
        return;
    DeleteOrphansOf(context, g_generations[context]);
    ++g_generations[context];
}

void DeleteOrphanedBuffers()
{
    void* context = glXGetCurrentContext();
    if (context != nullptr && !g_orphans.empty())
        DeleteOrphansOf(context, g_generations[context]);
}

void ForgetContext(void* context)
{
    if (context == nullptr)
        return;
    g_orphans.erase(std::remove_if(g_orphans.begin(), g_orphans.end(),
                                   [&](const Orphan& o) { return o.context == context; }),
                    g_orphans.end());
    ++g_generations[context];
}

unsigned long ContextGeneration(void* context)
{
    return g_generations[context];
}

void ReleaseBufferPair(void* context, unsigned long generation, const unsigned (&names)[2])
{
    if (context == nullptr || g_generations[context] != generation)
        return;
    const GLuint buffers[2] = {names[0], names[1]};
    if (glXGetCurrentContext() == context)
        glDeleteBuffers(2, buffers);
    else
        g_orphans.push_back({context, generation, {buffers[0], buffers[1]}});
}

MeshBuffers::~MeshBuffers()
{
    if (m_allBuffer == 0 || g_generations[m_context] != m_generation)
        return;
    const GLuint buffers[2] = {m_allBuffer, m_visibleBuffer};
    if (glXGetCurrentContext() == m_context)
        glDeleteBuffers(2, buffers);
    else
        g_orphans.push_back({m_context, m_generation, {buffers[0], buffers[1]}});
}

bool MeshBuffers::Ready()
{
    void* context = glXGetCurrentContext();
    if (context == nullptr)
        return false;
    const unsigned long generation = g_generations[context];
    if (m_context != context || m_generation != generation) {
        if (m_allBuffer != 0 && g_generations[m_context] == m_generation)
            g_orphans.push_back({m_context, m_generation, {m_allBuffer, m_visibleBuffer}});
        m_context = context;
        m_generation = generation;
        m_allBuffer = m_visibleBuffer = 0;
        m_allSerial = m_visibleSerial = 0;
        m_visibleCapacity = 0;
    }
    DeleteOrphansOf(context, generation);
    if (m_allBuffer == 0) {
        GLuint buffers[2] = {0, 0};
        glGenBuffers(2, buffers);
        m_allBuffer = buffers[0];
        m_visibleBuffer = buffers[1];
    }
    return true;
}

void MeshBuffers::DrawAll(const MeshVertexArray& arrays)
{
    glBindBuffer(GL_ARRAY_BUFFER, m_allBuffer);
    if (m_allSerial != arrays.BuildSerial()) {
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(arrays.Data().size() * sizeof(float)),
                     arrays.Data().data(), GL_STATIC_DRAW);
        m_allSerial = arrays.BuildSerial();
    }
    glInterleavedArrays(GL_N3F_V3F, 0, nullptr);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(arrays.VertexCount()));
}

bool MeshBuffers::FillVisible(const MeshVertexArray& arrays, const FacetFilter& filter, std::size_t& bytes)
{
    bytes = 0;
    ForEachVisibleBlock(arrays, filter, [&](const float* vertices, std::size_t facets) {
        const std::size_t size = facets * kFacetBytes;
        if (bytes + size <= m_visibleCapacity)
            glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(bytes), static_cast<GLsizeiptr>(size), vertices);
        bytes += size;
    });
    return bytes <= m_visibleCapacity;
}

void MeshBuffers::DrawVisible(const MeshVertexArray& arrays, const FacetFilter& filter)
{
    glBindBuffer(GL_ARRAY_BUFFER, m_visibleBuffer);
    if (m_visibleSerial != arrays.BuildSerial() || !(filter == m_visibleFilter)) {
        // Chosen again whenever the view or the model's transform changes
        // (each step of an edit), and written into the storage the buffer
        // has while it is large enough (and not far too large): a second
        // pass only when the set outgrows it.
        std::size_t bytes = 0;
        if (!FillVisible(arrays, filter, bytes) || bytes < m_visibleCapacity / 4) {
            m_visibleCapacity = bytes + bytes / 4;
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_visibleCapacity), nullptr, GL_STATIC_DRAW);
            FillVisible(arrays, filter, bytes);
        }
        m_visibleVertices = bytes / kFacetBytes * 3;
        m_visibleSerial = arrays.BuildSerial();
        m_visibleFilter = filter;
    }
    glInterleavedArrays(GL_N3F_V3F, 0, nullptr);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(m_visibleVertices));
}

namespace gl {

bool FrameFacetFilter(FacetFilter& filter)
{
    return CurrentFilter(filter);
}

}  // namespace gl

void MeshBuffers::Draw(const MeshVertexArray& arrays)
{
    if (arrays.VertexCount() == 0)
        return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    FacetFilter filter;
    if (!Ready()) {
        glInterleavedArrays(GL_N3F_V3F, 0, arrays.Data().data());
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(arrays.VertexCount()));
    } else if (CurrentFilter(filter)) {
        DrawVisible(arrays, filter);
    } else {
        DrawAll(arrays);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    ZELK_GL_CHECK();
}

}  // namespace zelk
