// CZelkOpenGL: the build volume from the profile, the orthographic projection and the axis marker.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <string>

#include "FileIni.h"
#include "GlCheck.h"
#include "GlyphLists.h"
#include "ZelkOpenGL.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// Closes the base of a cylinder or cone: the circle of the given radius at z = 0.
void CloseCircle(double radius)
{
    glBegin(GL_POLYGON);
    for (int i = 0; i < 360; ++i)
        glVertex2d(radius * std::sin(i * kPi / 180.0), radius * std::cos(i * kPi / 180.0));
    glEnd();
}

}  // namespace

void CZelkOpenGL::CreatePrintPlatform()
{
    if (ZELKFileIni* profile = ZELKFileIni::GetFileIniObject())
        CreatePrintPlatform(*profile);
}

void CZelkOpenGL::CreatePrintPlatform(ZELKFileIniBase& profile)
{
    double length = 0, width = 0, height = 0;
    zelk::ReadPlatformSize(profile, length, width, height);
    m_printBox.SetPrintBox(MakePrintBox(length, width, height));
}

void CZelkOpenGL::ReSize()
{
    if (m_width <= 0 || m_height <= 0)
        return;
    m_volume = zelk::MakeOrthoVolume(m_width, m_height);
    m_pixelScale = m_volume.pixelScale;
    m_trackballRadius = m_volume.trackballRadius;
    m_projectionDirty = true;
    if (MakeCurrent())
        Release();
}

void CZelkOpenGL::ApplyProjection()
{
    if (m_width <= 0 || m_height <= 0)
        return;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-m_volume.a, m_volume.a, -m_volume.b, m_volume.b, -m_volume.depth, m_volume.depth);
    glViewport(0, 0, m_width, m_height);
    glMatrixMode(GL_MODELVIEW);
    m_projectionDirty = false;
    ZELK_GL_CHECK();
}

void CZelkOpenGL::DrawAxis()
{
    glPushMatrix();
    ZELKGePoint3d origin, beside;
    // 27 and 40 window pixels from the lower left corner, whatever the display's scale.
    const double x = 27 * m_contentScale;
    const double y = m_height - 40 * m_contentScale;
    TransDCSToWCS(ZELKGePoint3d(x, y, 0.5), origin);
    TransDCSToWCS(ZELKGePoint3d(x - m_contentScale, y, 0.5), beside);
    const double u = origin.DistanceTo(beside);
    glColor3ub(255, 0, 0);
    DrawAxis("Z", origin, ZELKGeVector3d(0, 0, 1), u, 20 * u, 3, 0);
    glColor3ub(0, 255, 0);
    DrawAxis("Y", origin, ZELKGeVector3d(0, 1, 0), u, 20 * u, 3, 0);
    glColor3ub(0, 0, 255);
    DrawAxis("X", origin, ZELKGeVector3d(1, 0, 0), u, 20 * u, 3, 0);
    glColor3ub(0, 255, 255);
    if (m_quadric != nullptr) {
        glPushMatrix();
        glTranslated(origin.x, origin.y, origin.z);
        gluQuadricNormals(m_quadric, GLU_SMOOTH);
        gluSphere(m_quadric, u, 10, 10);
        glPopMatrix();
    }
    glPopMatrix();
    ZELK_GL_CHECK();
}

void CZelkOpenGL::DrawAxis(const std::string& label, const ZELKGePoint3d& origin, ZELKGeVector3d direction,
                           double radius, double length, double head, double)
{
    const ZELKGeVector3d up(0, 0, 1);
    const double theta = up.AngleTo(direction) * 180.0 / kPi;
    const ZELKGeVector3d axis = up.CrossProduct(direction);
    const bool turn = !axis.IsZeroLength();
    if (m_quadric != nullptr) {
        gluQuadricNormals(m_quadric, GLU_SMOOTH);
        glPushMatrix();
        glTranslated(origin.x, origin.y, origin.z);
        if (turn)
            glRotated(theta, axis.x, axis.y, axis.z);
        gluCylinder(m_quadric, radius, radius, length, 20, 1);
        CloseCircle(radius);
        glPopMatrix();

        const ZELKGePoint3d tip = origin + direction * length;
        glPushMatrix();
        glTranslated(tip.x, tip.y, tip.z);
        if (turn)
            glRotated(theta, axis.x, axis.y, axis.z);
        gluCylinder(m_quadric, head * radius, 0.0, 0.8 * length, 20, 1);
        CloseCircle(head * radius);
        glPopMatrix();
    }
    if (m_glyphBase != 0) {
        const ZELKGePoint3d at = origin + direction * (length + 0.8 * length);
        glRasterPos3d(at.x, at.y, at.z);
        glListBase(m_glyphBase + zelk::kGlyphsPerFont);
        glCallLists(static_cast<GLsizei>(label.size()), GL_UNSIGNED_BYTE, label.data());
        glListBase(0);
    }
}
