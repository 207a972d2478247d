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
    if (m_buffers[0] != 0)
        ReleaseBufferPair(m_context, m_generation, m_buffers);
    m_buffers[0] = m_buffers[1] = 0;
    m_uploaded = false;
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
        GLuint names[2] = {0, 0};
        glGenBuffers(2, names);
        m_buffers[0] = names[0];
        m_buffers[1] = names[1];
        m_uploaded = false;
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

}  // namespace

void ToolpathBuffers::Draw(std::size_t topLayer, const ToolpathStyle& style)
{
    if (m_model == nullptr || m_model->LayerCount() == 0 || !Ready())
        return;
    const std::size_t top = std::min(topLayer, m_model->LayerCount() - 1);
    const SegmentArray& extrusion = m_model->extrusion;
    const SegmentArray& travel = m_model->travel;
    const std::size_t below = top == 0 ? 0 : extrusion.VerticesThrough(top - 1);
    const std::size_t through = extrusion.VerticesThrough(top);

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
    DrawRange(m_buffers[0], 0, below, style.extrusion, style.extrusionWidth);
    DrawRange(m_buffers[0], below, through - below, style.topLayer, style.extrusionWidth);
    if (style.showTravel)
        DrawRange(m_buffers[1], 0, travel.VerticesThrough(top), style.travel, style.travelWidth);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glPopClientAttrib();
    glPopAttrib();
    ZELK_GL_CHECK();
}

}  // namespace zelk
