// CZelkOpenGL: the one OpenGL renderer of the 3D view (frame drawing, lights, background, picking, navigation, platform).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/gdicmn.h>

#include "BackgroundTextures.h"
#include "DBPrintBox.h"
#include "GlContext.h"
#include "ViewGeometry.h"
#include "ViewMath.h"

class wxGLCanvas;
class ZELDBEntityDatabase;
class ZELKFileIniBase;
struct GLUquadric;

// Owns the view's rendering context, the view matrix, the build volume, the
// background textures, the glyph lists and the lights. Every entry point that
// draws makes its context current and releases it afterwards. Window/world
// conversion works at any time: inside a frame through the current OpenGL
// matrices, outside one through the view matrix and the projection the
// renderer keeps. User-interface thread only.
class CZelkOpenGL {
public:
    // The process-wide renderer, created on first use.
    static CZelkOpenGL* GetOpenGLInterface();

    // Draws the entities of `database`, or of the process-wide database when
    // null. Registers its window-to-world conversion with the model store.
    explicit CZelkOpenGL(ZELDBEntityDatabase* database = nullptr);
    // Clears the process-wide pointer when this is that renderer; does not
    // release the rendering context (Destroy does).
    ~CZelkOpenGL();
    CZelkOpenGL(const CZelkOpenGL&) = delete;
    CZelkOpenGL& operator=(const CZelkOpenGL&) = delete;

    // Sets up OpenGL on the view's canvas: context, textures, state, glyph
    // lists. When the canvas is not on screen yet, the set-up happens on the
    // first entry point that finds it there. Always returns 0.
    int InitDC(wxGLCanvas* canvas);
    void Destroy();
    void GLResize(int width, int height);
    // Projection and viewport for the stored size; a size of 0 changes nothing.
    void ReSize();
    // One frame: background, axis marker, shown entities in id order, build volume.
    void Render(unsigned mode);
    // Selects (adds to the selection) the model under a window region.
    void PickObject(const wxPoint& point);
    void PickObject(double x, double y, double width, double height);
    void ProcessHits(int count, unsigned* buffer);

    const ZELKDBPrintBox& GetPrintBox() const { return m_printBox; }
    void SetGrainIndex(int index);
    int GetGrainIndex() const { return m_grainIndex; }

    // Window/world conversion; nonzero on success.
    int TransDCSToWCS(double x, double y, double z, double& wx, double& wy, double& wz);
    int TransDCSToWCS(const ZELKGePoint3d& window, ZELKGePoint3d& world);
    int TransWCSToDCS(double x, double y, double z, double& dx, double& dy, double& dz);
    int TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& window);

    // View navigation: each changes the view matrix; the caller repaints.
    void Translate(const wxPoint& previous, wxPoint current, TRANSLATER_TYPE type);
    void ViewScale(double factor);
    void SetStandardView();
    void SetTopView();
    void SetBottomView();
    void SetFrontView();
    void SetBackView();
    void SetLeftView();
    void SetRightView();
    // Turns world axes to user axes (90 degrees about +z) after the current view.
    void TransWcsToUcs();
    // Fits the build volume and all entities into the window.
    void Caculatecenter();
    // One drag step for the selected models; repaints the canvas.
    void EntityTrackMove(const wxPoint& first, wxPoint second, int mode, int phase);

    // The build volume from the profile's "PRINTPLATFORM" keys (`zelk::kDefaultPlatformMm` outside 10..2000 mm).
    void CreatePrintPlatform();
    void CreatePrintPlatform(ZELKFileIniBase& profile);

    CZelkViewMath& GetViewMath() { return m_viewMath; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    double GetPixelScale() const { return m_pixelScale; }
    // Drawable pixels per window (logical) pixel: 2 on a display scaled x2.
    // Sizes and points given to the renderer are in drawable pixels; the
    // marks it places itself (the axis marker) keep their logical distances.
    void SetContentScale(double scale) { m_contentScale = scale > 0 ? scale : 1.0; }
    double GetContentScale() const { return m_contentScale; }
    int GetTrackballRadius() const { return m_trackballRadius; }
    bool HasContext() const { return m_context.IsCreated(); }
    unsigned GetGlyphListBase() const { return m_glyphBase; }
    // Called in every frame after drawing and before the buffer swap, with the
    // context current (screenshots, frame timing).
    void SetFrameObserver(std::function<void()> observer) { m_frameObserver = std::move(observer); }
    // Draws `draw` (with the context current, in world coordinates) in place
    // of the entities, as the toolpath preview does; an empty function draws
    // the entities again. While one is set, picking selects nothing.
    void SetEntityDrawOverride(std::function<void()> draw) { m_entityDrawOverride = std::move(draw); }
    bool HasEntityDrawOverride() const { return static_cast<bool>(m_entityDrawOverride); }

private:
    class Conversion;

    bool MakeCurrent();
    void Release();
    void SetupGl();
    void ApplyProjection();
    void GLSetupRC();
    void LoadGLtures();
    void RenderEntity(unsigned mode);
    void DrawBackColor();
    void SetViewLight();
    void SetLight(int light, const ZELKGePoint3d& window);
    void OpenLight();
    void CloseLight();
    void DrawAxis();
    void DrawAxis(const std::string& label, const ZELKGePoint3d& origin, ZELKGeVector3d direction, double radius,
                  double length, double head, double extra);
    void SetView(zelk::StandardView view);
    void GetViewEntityBox(ZELKGePoint3d& min, ZELKGePoint3d& max);
    void GetDcsEntityMinMax(const ZELKGePoint3d& min, const ZELKGePoint3d& max, ZELKGePoint3d& dcsMin,
                            ZELKGePoint3d& dcsMax);
    double GetViewScale(const ZELKGePoint3d& p, const ZELKGePoint3d& q) const;
    ZELDBEntityDatabase* Database() const;
    // The conversion state of a frame, kept without OpenGL.
    zelk::ViewportState StoredState() const;

    static CZelkOpenGL* m_openGL;

    ZELKGlContext m_context;
    CZelkViewMath m_viewMath;
    double m_pixelScale = 0.0;
    double m_contentScale = 1.0;
    int m_trackballRadius = 0;
    int m_width = 0;
    int m_height = 0;
    zelk::OrthoVolume m_volume;
    ZELKDBPrintBox m_printBox;
    unsigned m_glyphBase = 0;
    unsigned m_textures[zelk::kBackgroundCount] = {0, 0, 0, 0};
    std::vector<int> m_lights;
    int m_grainIndex = 0;

    ZELDBEntityDatabase* m_database = nullptr;
    std::unique_ptr<Conversion> m_conversion;
    GLUquadric* m_quadric = nullptr;
    bool m_glReady = false;
    bool m_projectionDirty = true;
    bool m_picking = false;
    std::function<void()> m_frameObserver;
    std::function<void()> m_entityDrawOverride;
};
