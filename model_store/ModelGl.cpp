// The few OpenGL operations the model store draws with; the only file of the model store that calls OpenGL.
#include "ModelGl.h"

#include <GL/gl.h>

#include <cstdio>

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

void Triangles(const MeshVertexArray& arrays)
{
    if (arrays.VertexCount() == 0)
        return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glInterleavedArrays(GL_N3F_V3F, 0, arrays.Data().data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(arrays.VertexCount()));
    glPopClientAttrib();
    ZELK_GL_CHECK();
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
