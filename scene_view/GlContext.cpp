// The view's OpenGL rendering context on its wxGLCanvas: made current, released, swapped.
#include "GlContext.h"

#include <wx/glcanvas.h>
#include <wx/utils.h>
#include <GL/glx.h>

#include "MeshCache.h"

ZELKGlContext::ZELKGlContext() = default;

ZELKGlContext::~ZELKGlContext()
{
    Delete();
}

bool ZELKGlContext::Create(wxGLCanvas* canvas)
{
    Delete();
    if (canvas == nullptr)
        return false;
    wxGLContextAttrs attributes;
    // PlatformDefaults sets the X11 direct-rendering and RGBA flags, which are
    // otherwise left uninitialised.
    attributes.PlatformDefaults().CompatibilityProfile().EndList();
    auto context = std::make_unique<wxGLContext>(canvas, nullptr, &attributes);
    if (!context->IsOK())
        return false;
    m_canvas = canvas;
    m_context = std::move(context);
    return true;
}

void ZELKGlContext::Delete()
{
    // The models' buffers in this context die with it.
    if (m_context && MakeCurrent())
        zelk::ForgetCurrentContext();
    else
        zelk::ForgetContext(m_glxContext);
    if (m_context && AnyCurrent())
        ReleaseCurrent();
    m_context.reset();
    m_glxContext = nullptr;
    m_canvas = nullptr;
}

bool ZELKGlContext::MakeCurrent()
{
    if (!m_context || !m_canvas || !m_canvas->IsShownOnScreen())
        return false;
    if (!m_context->SetCurrent(*m_canvas))
        return false;
    m_glxContext = glXGetCurrentContext();
    return true;
}

void ZELKGlContext::SwapBuffers()
{
    if (m_canvas && m_canvas->IsShownOnScreen())
        m_canvas->SwapBuffers();
}

bool ZELKGlContext::AnyCurrent()
{
    return glXGetCurrentContext() != nullptr;
}

void ZELKGlContext::ReleaseCurrent()
{
    if (Display* display = glXGetCurrentDisplay())
        glXMakeCurrent(display, None, nullptr);
}

std::string ZELKGlContext::DisplayProblem()
{
    const wxDisplayInfo display = wxGetDisplayInfo();
    if (display.type == wxDisplayWayland)
        return "the window runs on Wayland, where this program's OpenGL view cannot be created; "
               "start it with GDK_BACKEND=x11 (XWayland)";
    if (display.type != wxDisplayX11 || display.dpy == nullptr)
        return "no X11 display to draw the 3D view on";
    int errorBase = 0, eventBase = 0;
    if (!glXQueryExtension(static_cast<Display*>(display.dpy), &errorBase, &eventBase))
        return "the display offers no OpenGL (its X server has no GLX extension)";
    return std::string();
}
