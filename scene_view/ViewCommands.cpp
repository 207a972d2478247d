// ZELKCAD view commands: what the panels call to drive the one renderer and the one view window.
#include "ViewCommands.h"

#include <wx/window.h>

#include "ZelkOpenGL.h"

namespace ZELKCAD {

namespace {

CZelkOpenGL* g_renderer = nullptr;
wxWindow* g_view = nullptr;

CZelkOpenGL* Renderer()
{
    return g_renderer != nullptr ? g_renderer : CZelkOpenGL::GetOpenGLInterface();
}

}  // namespace

void SetCurrentRenderer(CZelkOpenGL* renderer)
{
    g_renderer = renderer;
}

CZelkOpenGL* GetCurrentRenderer()
{
    return g_renderer;
}

void SetCurrentView(wxWindow* view)
{
    g_view = view;
}

wxWindow* GetCurrentView()
{
    return g_view;
}

void ViewInvalidate()
{
    if (g_view != nullptr)
        g_view->Refresh(true);
}

void StandardView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetStandardView();
}

void TopView()
{
    if (CZelkOpenGL* r = Renderer()) {
        r->GetViewMath().InitView();
        r->TransWcsToUcs();
        r->Caculatecenter();
    }
}

void BottomView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetBottomView();
}

void FrontView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetFrontView();
}

void BackView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetBackView();
}

void LeftView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetLeftView();
}

void RightView()
{
    if (CZelkOpenGL* r = Renderer())
        r->SetRightView();
}

int TransDCSToWCS(const ZELKGePoint3d& screen, ZELKGePoint3d& world)
{
    CZelkOpenGL* r = Renderer();
    return r != nullptr ? r->TransDCSToWCS(screen, world) : 0;
}

int TransWCSToDCS(const ZELKGePoint3d& world, ZELKGePoint3d& screen)
{
    CZelkOpenGL* r = Renderer();
    return r != nullptr ? r->TransWCSToDCS(world, screen) : 0;
}

void GetScreenToClient(wxPoint& point)
{
    if (g_view != nullptr)
        point = g_view->ScreenToClient(point);
}

void SetGrainIndex(int index)
{
    if (CZelkOpenGL* r = Renderer())
        r->SetGrainIndex(index);
}

}  // namespace ZELKCAD
