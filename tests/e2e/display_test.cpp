// The test display itself: a GL canvas in a real window gets a working
// context from Mesa under Xvfb and renders what it is asked to.
#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <GL/gl.h>

namespace {

TEST(TestDisplay, GlCanvasRendersAClearColour)
{
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "display", wxDefaultPosition, wxSize(200, 150));
    wxGLAttributes attributes;
    attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
    ASSERT_TRUE(wxGLCanvas::IsDisplaySupported(attributes));
    wxGLCanvas* canvas = new wxGLCanvas(frame, attributes, wxID_ANY, wxDefaultPosition, wxSize(200, 150));
    frame->Show();
    wxGLContextAttrs contextAttributes;
    contextAttributes.PlatformDefaults().CompatibilityProfile().EndList();
    wxGLContext context(canvas, nullptr, &contextAttributes);
    ASSERT_TRUE(context.IsOK());
    ASSERT_TRUE(context.SetCurrent(*canvas));

    glViewport(0, 0, 200, 150);
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    unsigned char pixel[4] = {};
    glReadBuffer(GL_BACK);
    glReadPixels(10, 10, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_NEAR(pixel[0], 64, 1);
    EXPECT_NEAR(pixel[1], 128, 1);
    EXPECT_NEAR(pixel[2], 191, 1);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    ASSERT_NE(renderer, nullptr);
    frame->Destroy();
}

}  // namespace
