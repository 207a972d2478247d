// The view's OpenGL rendering context on its wxGLCanvas: made current, released, swapped.
#pragma once

#include <memory>

#include <wx/glcanvas.h>
#include <wx/weakref.h>

#include <string>

// A compatibility-profile context (the fixed-function pipeline) for one canvas.
class ZELKGlContext {
public:
    ZELKGlContext();
    ~ZELKGlContext();

    // Creates the context for the canvas; false when the display offers none.
    bool Create(wxGLCanvas* canvas);
    void Delete();
    bool IsCreated() const { return m_context != nullptr; }
    wxGLCanvas* GetCanvas() const { return m_canvas.get(); }

    // False while the canvas has no window on screen yet.
    bool MakeCurrent();
    void SwapBuffers();

    // Whether any OpenGL context is current on this thread, and making none current.
    static bool AnyCurrent();
    static void ReleaseCurrent();

    // Empty when the display the program runs on can give a canvas an
    // OpenGL context (GLX, on X11 or XWayland); otherwise why not, in a line.
    // Asked before any canvas exists: without GLX, creating one fails with
    // an assertion instead of a refusal.
    static std::string DisplayProblem();

private:
    // Weak: the canvas may be destroyed before the context.
    wxWeakRef<wxGLCanvas> m_canvas;
    std::unique_ptr<wxGLContext> m_context;
    void* m_glxContext = nullptr;  // known once it has been current
};
