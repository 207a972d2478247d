// A shown window with a GL canvas for tests that draw: its own context, pixels read back by window position.
#pragma once

#include <gtest/gtest.h>

#include <wx/frame.h>
#include <wx/glcanvas.h>
#include <GL/gl.h>

#include <memory>
#include <vector>

namespace testsupport {

struct Rgb {
    int r = 0, g = 0, b = 0;
};

// Reads the whole back buffer (the current context's) as top-down RGB rows.
inline std::vector<unsigned char> ReadBackBuffer(int width, int height)
{
    std::vector<unsigned char> rows(static_cast<std::size_t>(width) * height * 3);
    std::vector<unsigned char> bottomUp(rows.size());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glFinish();
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::copy_n(bottomUp.data() + (height - 1 - y) * row, row, rows.data() + y * row);
    return rows;
}

// A frame whose client area is a GL canvas of the given size.
class GlTestWindow {
public:
    GlTestWindow(int width, int height) : m_width(width), m_height(height)
    {
        m_attributes.PlatformDefaults().RGBA().DoubleBuffer().Depth(24).EndList();
        EXPECT_TRUE(wxGLCanvas::IsDisplaySupported(m_attributes));
        m_frame = new wxFrame(nullptr, wxID_ANY, "gl test");
        m_frame->SetClientSize(width, height);
        m_canvas = new wxGLCanvas(m_frame, m_attributes, wxID_ANY, wxDefaultPosition, wxSize(width, height));
        m_frame->Show();
    }
    ~GlTestWindow() { m_frame->Destroy(); }
    GlTestWindow(const GlTestWindow&) = delete;
    GlTestWindow& operator=(const GlTestWindow&) = delete;

    wxGLCanvas* Canvas() const { return m_canvas; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // A compatibility context of the test's own, made current.
    bool MakeOwnContextCurrent()
    {
        if (!m_context) {
            wxGLContextAttrs attributes;
            attributes.PlatformDefaults().CompatibilityProfile().EndList();
            m_context = std::make_unique<wxGLContext>(m_canvas, nullptr, &attributes);
        }
        return m_context->IsOK() && m_context->SetCurrent(*m_canvas);
    }

private:
    int m_width, m_height;
    wxGLAttributes m_attributes;
    wxFrame* m_frame = nullptr;
    wxGLCanvas* m_canvas = nullptr;
    std::unique_ptr<wxGLContext> m_context;
};

// The colour at window position (x, y), y from the top, in top-down RGB rows.
inline Rgb PixelAt(const std::vector<unsigned char>& rows, int width, int x, int y)
{
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rows[at], rows[at + 1], rows[at + 2]};
}

}  // namespace testsupport
