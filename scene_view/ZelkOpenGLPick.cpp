// CZelkOpenGL: picking the model under a window region with the selection render mode.
#include <GL/gl.h>
#include <GL/glu.h>

#include <vector>

#include "EntityDatabase.h"
#include "GlCheck.h"
#include "ZelkOpenGL.h"

void CZelkOpenGL::PickObject(const wxPoint& point)
{
    PickObject(point.x, point.y, 2.0, 2.0);
}

void CZelkOpenGL::PickObject(double x, double y, double width, double height)
{
    ZELDBEntityDatabase* database = Database();
    // The models are not on screen while something else is drawn in their place.
    if (database == nullptr || m_width <= 0 || m_height <= 0 || m_entityDrawOverride)
        return;
    if (!MakeCurrent())
        return;
    std::vector<GLuint> buffer(32 * static_cast<std::size_t>(database->GetCount() + 1));
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    m_viewMath.LoadModeViewMatrix();
    glSelectBuffer(static_cast<GLsizei>(buffer.size()), buffer.data());
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(~0u);

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(x, viewport[3] - y, width, height, viewport);
    const double w = viewport[2], h = viewport[3];
    if (h > w)
        glOrtho(-1, 1, -h / w, h / w, -100, 100);
    else
        glOrtho(-w / h, w / h, -1, 1, -100, 100);
    glMatrixMode(GL_MODELVIEW);

    // Drag steps applied while picking convert through the kept state, not the pick matrix.
    m_picking = true;
    for (ZELKDBEntity* e = database->FirstDBEntity(); e != nullptr; e = database->NextDBEntity()) {
        if (e->GetShowType() != 1)
            continue;
        glLoadName(static_cast<GLuint>(e->GetEventId()));
        e->Draw();
    }
    m_picking = false;
    glFinish();
    const int hits = glRenderMode(GL_RENDER);
    glFlush();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    ZELK_GL_CHECK();
    if (hits > 0)
        ProcessHits(hits, buffer.data());
    ReSize();
    Release();
}

void CZelkOpenGL::ProcessHits(int count, unsigned* buffer)
{
    ZELDBEntityDatabase* database = Database();
    if (database == nullptr || buffer == nullptr || count <= 0)
        return;
    const std::size_t size = 32 * static_cast<std::size_t>(database->GetCount() + 1);
    const long name = zelk::ChooseHit(count, buffer, size);
    if (name >= 0)
        database->AddSelect(static_cast<int>(name));
}
