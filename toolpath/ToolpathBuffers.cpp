// The toolpath arrays in OpenGL buffer objects, drawn as lines up to a chosen layer.
#include "ToolpathBuffers.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <algorithm>

#include "GlCheck.h"
#include "MeshCache.h"
#include "ToolpathModel.h"

namespace zelk {

ToolpathBuffers::~ToolpathBuffers()
{
    Release();
}

void ToolpathBuffers::Release()
{
    if (m_buffers[0] != 0) {
        ReleaseBufferPair(m_context, m_generation, m_buffers);
        ReleaseBufferPair(m_context, m_generation, m_visibleBuffer);
    }
    m_buffers[0] = m_buffers[1] = 0;
    m_visibleBuffer[0] = 0;
    m_uploaded = false;
    m_visibleValid = false;
}

void ToolpathBuffers::SetModel(const ToolpathModel* model)
{
    m_model = model;
    m_uploaded = false;
}

bool ToolpathBuffers::Ready()
{
    void* context = glXGetCurrentContext();
    if (context == nullptr)
        return false;
    const unsigned long generation = ContextGeneration(context);
    if (m_context != context || m_generation != generation) {
        Release();
        m_context = context;
        m_generation = generation;
    }
    // Buffers of models removed while this context was away go now.
    DeleteOrphanedBuffers();
    if (m_buffers[0] == 0) {
        GLuint names[3] = {0, 0, 0};
        glGenBuffers(3, names);
        m_buffers[0] = names[0];
        m_buffers[1] = names[1];
        m_visibleBuffer[0] = names[2];
        m_uploaded = false;
        m_visibleValid = false;
    }
    if (!m_uploaded) {
        const SegmentArray* arrays[2] = {&m_model->extrusion, &m_model->travel};
        for (int i = 0; i < 2; ++i) {
            glBindBuffer(GL_ARRAY_BUFFER, m_buffers[i]);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(arrays[i]->xyz.size() * sizeof(float)),
                         arrays[i]->xyz.data(), GL_STATIC_DRAW);
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        m_uploaded = true;
        ++m_uploads;
    }
    return true;
}

namespace {

void DrawRange(GLuint buffer, std::size_t first, std::size_t count, const unsigned char (&colour)[3], float width)
{
    if (count == 0)
        return;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glColor3ub(colour[0], colour[1], colour[2]);
    glLineWidth(width);
    glDrawArrays(GL_LINES, static_cast<GLint>(first), static_cast<GLsizei>(count));
}

// The window transform of the current matrices and viewport when the
// projection is parallel (window x, y and depth are affine in the world
// point); false otherwise, and outside plain rendering.
bool CurrentParallelView(ParallelView& view)
{
    GLint mode = 0, viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_RENDER_MODE, &mode);
    glGetIntegerv(GL_VIEWPORT, viewport);
    double mv[16], pr[16], range[2] = {0, 1};
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    glGetDoublev(GL_DEPTH_RANGE, range);
    if (mode != GL_RENDER || viewport[2] <= 0 || viewport[3] <= 0)
        return false;
    if (pr[3] != 0.0 || pr[7] != 0.0 || pr[11] != 0.0 || pr[15] == 0.0)
        return false;
    if (mv[3] != 0.0 || mv[7] != 0.0 || mv[11] != 0.0 || mv[15] != 1.0)
        return false;
    // Normalised device coordinates: rows of projection x model-view over w.
    double ndc[3][4];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 4; ++j)
            ndc[i][j] = (pr[i] * mv[4 * j] + pr[4 + i] * mv[4 * j + 1] + pr[8 + i] * mv[4 * j + 2] +
                         pr[12 + i] * mv[4 * j + 3]) / pr[15];
    const double scale[3] = {viewport[2] / 2.0, viewport[3] / 2.0, (range[1] - range[0]) / 2.0};
    const double offset[3] = {viewport[0] + scale[0], viewport[1] + scale[1], range[0] + scale[2]};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j)
            view.rows[i][j] = scale[i] * ndc[i][j];
        view.rows[i][3] += offset[i];
    }
    view.width = viewport[0] + viewport[2];
    view.height = viewport[1] + viewport[3];
    return true;
}

}  // namespace

void ToolpathBuffers::DrawAll(std::size_t top, const ToolpathStyle& style)
{
    const SegmentArray& extrusion = m_model->extrusion;
    const std::size_t below = top == 0 ? 0 : extrusion.VerticesThrough(top - 1);
    const std::size_t through = extrusion.VerticesThrough(top);
    const std::size_t travel = style.showTravel ? m_model->travel.VerticesThrough(top) : 0;
    DrawRange(m_buffers[0], 0, below, style.extrusion, style.extrusionWidth);
    DrawRange(m_buffers[0], below, through - below, style.topLayer, style.extrusionWidth);
    DrawRange(m_buffers[1], 0, travel, style.travel, style.travelWidth);
    m_drawnVertices = through + travel;
}

void ToolpathBuffers::DrawVisible(const ParallelView& view, const LayerChoice& choice, const ToolpathStyle& style)
{
    glBindBuffer(GL_ARRAY_BUFFER, m_visibleBuffer[0]);
    if (!m_visibleValid || !(view == m_visibleView) || !(choice == m_visibleChoice) ||
        m_visibleUpload != m_uploads) {
        ChooseVisibleSegments(*m_model, choice, view, m_visible, m_scratch);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_visible.xyz.size() * sizeof(float)),
                     m_visible.xyz.data(), GL_STATIC_DRAW);
        m_visibleValid = true;
        m_visibleView = view;
        m_visibleChoice = choice;
        m_visibleUpload = m_uploads;
        ++m_choices;
    }
    const VisibleSegments& v = m_visible;
    DrawRange(m_visibleBuffer[0], 0, v.belowEnd, style.extrusion, style.extrusionWidth);
    DrawRange(m_visibleBuffer[0], v.belowEnd, v.topEnd - v.belowEnd, style.topLayer, style.extrusionWidth);
    DrawRange(m_visibleBuffer[0], v.topEnd, v.travelEnd - v.topEnd, style.travel, style.travelWidth);
    m_drawnVertices = v.travelEnd;
}

void ToolpathBuffers::Draw(std::size_t topLayer, const ToolpathStyle& style)
{
    if (m_model == nullptr || m_model->LayerCount() == 0 || !Ready())
        return;
    const std::size_t top = std::min(topLayer, m_model->LayerCount() - 1);

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_VERTEX_ARRAY);
    ParallelView view;
    if (m_chooseVisible && CurrentParallelView(view))
        DrawVisible(view, LayerChoice{top, style.showTravel, style.extrusionWidth, style.travelWidth}, style);
    else
        DrawAll(top, style);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    glPopAttrib();
    ZELK_GL_CHECK();
}

}  // namespace zelk
