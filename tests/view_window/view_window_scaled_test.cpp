// The 3D view on a display scaled x2: the picture fills the canvas and a click picks the model drawn under it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include <GL/gl.h>

#include "DBPrint.h"
#include "GlTestWindow.h"
#include "ModelFixtures.h"
#include "ViewOnScreen.h"

namespace {

// GTK reads the scale when it starts, which is after static initialisation.
const bool kScaledDisplay = [] {
    ::setenv("GDK_SCALE", "2", 1);
    ::setenv("GDK_DPI_SCALE", "1", 1);
    return true;
}();

class ScaledView : public viewtest::ViewOnScreen<> {
protected:
    ScaledView() : ViewOnScreen(400, 300) {}
    void SetUp() override
    {
        ASSERT_TRUE(kScaledDisplay);
        ViewOnScreen::SetUp();
    }

    // One frame, read back before the swap as top-down RGB rows of the drawable.
    std::vector<unsigned char> DrawAndRead()
    {
        std::vector<unsigned char> pixels;
        m_renderer.SetFrameObserver(
            [&] { pixels = testsupport::ReadBackBuffer(m_renderer.GetWidth(), m_renderer.GetHeight()); });
        m_renderer.Render(GL_RENDER);
        m_renderer.SetFrameObserver(nullptr);
        return pixels;
    }
};

TEST_F(ScaledView, TheModelIsDrawnAcrossTheWholeDrawableAndPickedWhereItIsSeen)
{
    ASSERT_DOUBLE_EQ(m_view->GetContentScaleFactor(), 2.0) << "GTK did not scale the display";
    const wxSize logical = m_view->GetClientSize();
    // The renderer works in the drawable's physical pixels.
    EXPECT_EQ(m_renderer.GetWidth(), logical.x * 2);
    EXPECT_EQ(m_renderer.GetHeight(), logical.y * 2);
    const int width = m_renderer.GetWidth();
    const int height = m_renderer.GetHeight();

    const std::vector<unsigned char> empty = DrawAndRead();
    int id = 0;
    m_database.Add(new ZELKDBPrint(modeltest::Box({-20, -20, 0}, {20, 20, 40})), id);
    const std::vector<unsigned char> withModel = DrawAndRead();
    ASSERT_EQ(empty.size(), withModel.size());
    ASSERT_EQ(empty.size(), static_cast<std::size_t>(width) * height * 3);

    // Where the model is seen: the pixels it changed, and their centre.
    long long sumX = 0, sumY = 0, count = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
            if (empty[i] != withModel[i] || empty[i + 1] != withModel[i + 1] || empty[i + 2] != withModel[i + 2]) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    ASSERT_GT(count, 100);
    const double cx = static_cast<double>(sumX) / count;
    const double cy = static_cast<double>(sumY) / count;
    // A model on the platform's centre is seen in the middle of the drawable,
    // not in the middle of its lower left quarter.
    EXPECT_NEAR(cx, width / 2.0, width / 8.0);
    EXPECT_NEAR(cy, height / 2.0, height / 4.0);

    // A click where the model is seen (in window pixels) selects it; a click
    // on empty space in the drawable's far corner does not.
    Click(wxPoint(static_cast<int>(cx / 2), static_cast<int>(cy / 2)));
    EXPECT_EQ(m_database.GetSelectCount(), 1);
    Click(wxPoint(logical.x - 4, 4));
    EXPECT_EQ(m_database.GetSelectCount(), 0);
}

}  // namespace
