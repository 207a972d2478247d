// CZelkOpenGL: the renderer's life cycle, frame drawing, lights, background and window/world conversion.
#include "ZelkOpenGL.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <new>

#include "EntityDatabase.h"
#include "GlCheck.h"
#include "GlyphLists.h"
#include "MeshCache.h"
#include "ViewConversion.h"

CZelkOpenGL* CZelkOpenGL::m_openGL = nullptr;

// The renderer's window-to-world conversion as the model store sees it.
class CZelkOpenGL::Conversion : public ZELKViewConversion {
public:
    explicit Conversion(CZelkOpenGL& renderer) : m_renderer(renderer) {}
    int TransDCSToWCS(const ZELKGePoint3d& screen, ZELKGePoint3d& world) override
    {
        return m_renderer.TransDCSToWCS(screen, world);
    }

private:
    CZelkOpenGL& m_renderer;
};

CZelkOpenGL* CZelkOpenGL::GetOpenGLInterface()
{
    if (m_openGL == nullptr)
        m_openGL = new (std::nothrow) CZelkOpenGL();
    return m_openGL;
}

CZelkOpenGL::CZelkOpenGL(ZELDBEntityDatabase* database)
    : m_database(database), m_conversion(std::make_unique<Conversion>(*this))
{
    zelk::SetViewConversion(m_conversion.get());
}

CZelkOpenGL::~CZelkOpenGL()
{
    if (zelk::GetViewConversion() == m_conversion.get())
        zelk::SetViewConversion(nullptr);
    if (m_quadric != nullptr)
        gluDeleteQuadric(m_quadric);
    if (m_openGL == this)
        m_openGL = nullptr;
}

ZELDBEntityDatabase* CZelkOpenGL::Database() const
{
    return m_database != nullptr ? m_database : ZELDBEntityDatabase::GetInterFace();
}

int CZelkOpenGL::InitDC(wxGLCanvas* canvas)
{
    m_glReady = false;
    if (!m_context.Create(canvas))
        return 0;
    if (MakeCurrent()) {
        m_context.SwapBuffers();
        Release();
    }
    return 0;
}

void CZelkOpenGL::Destroy()
{
    if (ZELKGlContext::AnyCurrent())
        ZELKGlContext::ReleaseCurrent();
    m_context.Delete();
    m_glReady = false;
    std::fill(std::begin(m_textures), std::end(m_textures), 0u);
}

bool CZelkOpenGL::MakeCurrent()
{
    if (!m_context.MakeCurrent())
        return false;
    if (!m_glReady)
        SetupGl();
    if (m_projectionDirty)
        ApplyProjection();
    return true;
}

void CZelkOpenGL::Release()
{
    ZELKGlContext::ReleaseCurrent();
}

void CZelkOpenGL::SetupGl()
{
    LoadGLtures();
    GLSetupRC();
    m_glyphBase = zelk::BuildGlyphLists(m_glyphBase);
    if (m_quadric == nullptr)
        m_quadric = gluNewQuadric();
    m_glReady = true;
    m_projectionDirty = true;
}

void CZelkOpenGL::LoadGLtures()
{
    zelk::LoadBackgroundTextures(m_textures);
}

void CZelkOpenGL::GLSetupRC()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 1);
    glEnable(GL_DEPTH_TEST);
    glClearDepth(1.0);
    glLoadIdentity();
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHTING);
    const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse[] = {0.6f, 0.6f, 0.6f, 1};
    const GLfloat specular[] = {0.8f, 0.8f, 0.8f, 1}, position[] = {1, 1, 1, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMateriali(GL_FRONT, GL_SHININESS, 100);
    ZELK_GL_CHECK();
}

void CZelkOpenGL::GLResize(int width, int height)
{
    m_width = width;
    m_height = height;
    ReSize();
}

void CZelkOpenGL::Render(unsigned mode)
{
    if (!MakeCurrent())
        return;
    zelk::DeleteOrphanedBuffers();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    SetViewLight();
    DrawBackColor();
    m_viewMath.LoadModeViewMatrix();
    DrawAxis();
    RenderEntity(mode);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
    m_printBox.Draw();
    glDisable(GL_BLEND);
    ZELK_GL_CHECK();
    if (m_frameObserver)
        m_frameObserver();
    m_context.SwapBuffers();
    Release();
}

void CZelkOpenGL::RenderEntity(unsigned mode)
{
    if (m_entityDrawOverride) {
        if (mode == GL_RENDER)
            m_entityDrawOverride();
        return;
    }
    ZELDBEntityDatabase* database = Database();
    if (database == nullptr)
        return;
    for (ZELKDBEntity* e = database->FirstDBEntity(); e != nullptr; e = database->NextDBEntity()) {
        if (e->GetShowType() != 1)
            continue;
        if (mode != GL_RENDER)
            glLoadName(static_cast<GLuint>(e->GetEventId()));
        e->Draw();
    }
    ZELK_GL_CHECK();
}

void CZelkOpenGL::SetViewLight()
{
    SetLight(GL_LIGHT1, ZELKGePoint3d(0.5, 0.5, 0));
    SetLight(GL_LIGHT0, ZELKGePoint3d(m_width, 0, 0));
    SetLight(GL_LIGHT2, ZELKGePoint3d(m_width / 2, m_height / 2, 1));
    glMaterialf(GL_FRONT, GL_SHININESS, 1.0f);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glFrontFace(GL_CCW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glEnable(GL_NORMALIZE);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    OpenLight();
}

void CZelkOpenGL::SetLight(int light, const ZELKGePoint3d& window)
{
    if (std::find(m_lights.begin(), m_lights.end(), light) == m_lights.end())
        m_lights.push_back(light);
    const GLfloat ambient[] = {0.6f, 0.6f, 0.6f, 1}, diffuse[] = {0.3f, 0.3f, 0.3f, 1};
    const GLfloat specular[] = {0.4f, 0.4f, 0.4f, 1};
    glLightfv(light, GL_AMBIENT, ambient);
    glLightfv(light, GL_DIFFUSE, diffuse);
    glLightfv(light, GL_SPECULAR, specular);
    ZELKGePoint3d world;
    TransDCSToWCS(window, world);
    const GLfloat position[] = {static_cast<GLfloat>(world.x), static_cast<GLfloat>(world.y),
                                static_cast<GLfloat>(world.z), 0.0f};
    glLightfv(light, GL_POSITION, position);
    glLightf(light, GL_SPOT_EXPONENT, 0.1f);
}

void CZelkOpenGL::OpenLight()
{
    for (int light : m_lights)
        glEnable(light);
}

void CZelkOpenGL::CloseLight()
{
    for (int light : m_lights)
        glDisable(light);
}

// The picture fills the window at the back of the view volume. It is drawn
// without blending, so that its texels show unchanged in every frame.
void CZelkOpenGL::DrawBackColor()
{
    const double a = m_volume.a, b = m_volume.b;
    glPushMatrix();
    CloseLight();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glShadeModel(GL_SMOOTH);
    glLoadIdentity();
    glPolygonMode(GL_FRONT, GL_FILL);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, m_textures[m_grainIndex]);
    glColor3ub(0, 0, 0);
    const double z = -(2.0 * std::max(a, b) * 0.99);
    glBegin(GL_POLYGON);
    glTexCoord2d(0, 0);
    glVertex3d(-a, -b, z);
    glTexCoord2d(1, 0);
    glVertex3d(a, -b, z);
    glTexCoord2d(1, 1);
    glVertex3d(a, b, z);
    glTexCoord2d(0, 1);
    glVertex3d(-a, b, z);
    glEnd();
    OpenLight();
    glDisable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopMatrix();
    ZELK_GL_CHECK();
}

void CZelkOpenGL::SetGrainIndex(int index)
{
    if (index >= 0 && index < zelk::kBackgroundCount)
        m_grainIndex = index;
}

zelk::ViewportState CZelkOpenGL::StoredState() const
{
    return zelk::MakeViewportState(m_viewMath.GetViewMatuix(), m_volume, m_width, m_height);
}

int CZelkOpenGL::TransDCSToWCS(const ZELKGePoint3d& window, ZELKGePoint3d& world)
{
    if (ZELKGlContext::AnyCurrent() && !m_picking)
        return m_viewMath.TransDCSToWCS(window, world);
    if (m_width <= 0 || m_height <= 0)
        return 0;
    return zelk::UnprojectWindow(StoredState(), window, world);
}

int CZelkOpenGL::TransDCSToWCS(double x, double y, double z, double& wx, double& wy, double& wz)
{
    ZELKGePoint3d world;
    const int ok = TransDCSToWCS(ZELKGePoint3d(x, y, z), world);
    wx = world.x;
    wy = world.y;
    wz = world.z;
    return ok;
}

int CZelkOpenGL::TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& window)
{
    if (ZELKGlContext::AnyCurrent() && !m_picking)
        return m_viewMath.TransWCSToDCS(world, window);
    if (m_width <= 0 || m_height <= 0)
        return 0;
    return zelk::ProjectWorld(world, StoredState(), window);
}

int CZelkOpenGL::TransWCSToDCS(double x, double y, double z, double& dx, double& dy, double& dz)
{
    ZELKGePoint3d window;
    const int ok = TransWCSToDCS(ZELKGePoint3d(x, y, z), window);
    dx = window.x;
    dy = window.y;
    dz = window.z;
    return ok;
}
