// Toolpaths drawn by the renderer in place of the models: colours by layer, the chosen segments, state, picking.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "GlCheck.h"
#include "GlTestWindow.h"
#include "ModelFixtures.h"
#include "TempDir.h"
#include "ToolpathBuffers.h"
#include "ToolpathModel.h"
#include "ZelkOpenGL.h"

using testsupport::PixelAt;
using testsupport::Rgb;

namespace {

constexpr int kWidth = 640, kHeight = 480;

bool Near(const Rgb& c, const unsigned char (&want)[3])
{
    return std::abs(c.r - want[0]) <= 3 && std::abs(c.g - want[1]) <= 3 && std::abs(c.b - want[2]) <= 3;
}

// A square outline of extrusion around (cx, cy) at height z, reached by travel.
std::string Square(double cx, double cy, double half, double z, double& e)
{
    std::string text = "G1 X" + std::to_string(cx - half) + " Y" + std::to_string(cy - half) + " Z" +
                       std::to_string(z) + " F4800 E" + std::to_string(e) + "\n";
    const double corners[4][2] = {{1, -1}, {1, 1}, {-1, 1}, {-1, -1}};
    for (const auto& c : corners) {
        e += 2 * half * 0.05;
        text += "G1 X" + std::to_string(cx + c[0] * half) + " Y" + std::to_string(cy + c[1] * half) + " Z" +
                std::to_string(z) + " F1800 E" + std::to_string(e) + "\n";
    }
    return text;
}

// A print narrowing upwards: each layer three rings of 96 sides, the outer
// one of radius 25 - 0.1 * layer mm, and a few infill lines.
zelk::ToolpathModel Cylinder(int layers)
{
    zelk::ToolpathModel model;
    zelk::ToolpathBuilder builder(model);
    double e = 0;
    auto move = [&](double x, double y, double z, bool extrude) {
        if (extrude)
            e += 0.1;
        builder.Line("G1 X" + std::to_string(x) + " Y" + std::to_string(y) + " Z" + std::to_string(z) +
                     (extrude ? " F1800 E" : " F4800 E") + std::to_string(e));
    };
    for (int layer = 0; layer < layers; ++layer) {
        const double z = 0.3 + 0.25 * layer;
        for (int ring = 2; ring >= 0; --ring) {
            const double radius = 25 - 0.1 * layer - 0.45 * ring;
            for (int i = 0; i <= 96; ++i) {
                const double a = 2 * M_PI * i / 96;
                move(radius * std::cos(a), radius * std::sin(a), z, i > 0);
            }
        }
        const double inner = 23 - 0.1 * layer;
        for (int k = -4; k <= 4; ++k) {
            const double y = inner / 5 * k, half = std::sqrt(inner * inner - y * y);
            move(-half, y, z, false);
            move(half, y, z, true);
        }
    }
    builder.Finish();
    return model;
}

class ToolpathScene : public ::testing::Test {
protected:
    ToolpathScene() : window(kWidth, kHeight), profile(dir.File("none.ini")), renderer(&database)
    {
        renderer.InitDC(window.Canvas());
        renderer.GLResize(kWidth, kHeight);
        renderer.CreatePrintPlatform(profile);
        renderer.SetStandardView();
        renderer.SetFrameObserver([this] { pixels = testsupport::ReadBackBuffer(kWidth, kHeight); });
    }
    ~ToolpathScene() override { renderer.Destroy(); }

    void ShowToolpath(zelk::ToolpathBuffers& buffers, const std::size_t& layer, const zelk::ToolpathStyle& style)
    {
        renderer.SetEntityDrawOverride([&buffers, &layer, &style] { buffers.Draw(layer, style); });
    }
    // Pixels of the frame within `radius` of the window point of `world` that have the colour.
    int CountNear(const ZELKGePoint3d& world, int radius, const unsigned char (&colour)[3])
    {
        ZELKGePoint3d w;
        renderer.TransWCSToDCS(world, w);
        int count = 0;
        for (int y = static_cast<int>(w.y) - radius; y <= static_cast<int>(w.y) + radius; ++y)
            for (int x = static_cast<int>(w.x) - radius; x <= static_cast<int>(w.x) + radius; ++x)
                if (x >= 0 && y >= 0 && x < kWidth && y < kHeight && Near(PixelAt(pixels, kWidth, x, y), colour))
                    ++count;
        return count;
    }
    int CountAll(const unsigned char (&colour)[3])
    {
        int count = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                count += Near(PixelAt(pixels, kWidth, x, y), colour) ? 1 : 0;
        return count;
    }

    testsupport::GlTestWindow window;
    testsupport::TempDir dir;
    ZELKFileIniBase profile;
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer;
    std::vector<unsigned char> pixels;
};

TEST_F(ToolpathScene, ExtrusionColoursFollowTheSlider)
{
    ASSERT_TRUE(renderer.HasContext());
    // Layer 0: a square around (-30, -30) at 0.3 mm; layer 1: one around (30, 30) at 20 mm.
    double e = 0;
    const std::string path = dir.File("two.gcode");
    testsupport::WriteFile(path, Square(-30, -30, 10, 0.3, e) + Square(30, 30, 10, 20, e));
    const zelk::ToolpathModel model = zelk::ReadToolpath(path);
    ASSERT_EQ(model.LayerCount(), 2u);
    zelk::ToolpathBuffers buffers;
    buffers.SetModel(&model);
    zelk::ToolpathStyle style;
    std::size_t layer = 1;
    ShowToolpath(buffers, layer, style);
    const int errorsBefore = zelk::GlErrorCount();

    // Every layer: the lower square in the extrusion colour, the top one brighter.
    renderer.Render(GL_RENDER);
    ASSERT_FALSE(pixels.empty());
    EXPECT_GT(CountNear({-40, -30, 0.3}, 3, style.extrusion), 0);
    EXPECT_GT(CountNear({40, 30, 20}, 3, style.topLayer), 0);
    EXPECT_EQ(CountNear({40, 30, 20}, 3, style.extrusion), 0);
    const int travelPixels = CountAll(style.travel);
    EXPECT_GT(travelPixels, 0);

    // Layer 0 on top: the upper square is gone, the lower one is the top layer now.
    layer = 0;
    renderer.Render(GL_RENDER);
    EXPECT_EQ(CountNear({40, 30, 20}, 6, style.topLayer), 0);
    EXPECT_EQ(CountNear({40, 30, 20}, 6, style.extrusion), 0);
    EXPECT_GT(CountNear({-40, -30, 0.3}, 3, style.topLayer), 0);
    EXPECT_EQ(CountAll(style.extrusion), 0);
    EXPECT_LT(CountAll(style.travel), travelPixels) << "the travel up to layer 1 goes with it";

    // Travel hidden.
    style.showTravel = false;
    renderer.Render(GL_RENDER);
    EXPECT_EQ(CountAll(style.travel), 0);
    EXPECT_EQ(zelk::GlErrorCount(), errorsBefore);
    EXPECT_EQ(buffers.UploadCount(), 1u);
}

TEST_F(ToolpathScene, TheChosenSegmentsDrawThePictureOfEverySegment)
{
    // 150 layers 0.25 mm apart: a wall of lines less than a pixel apart.
    const zelk::ToolpathModel model = Cylinder(150);
    ASSERT_EQ(model.LayerCount(), 150u);
    zelk::ToolpathBuffers chosen, every;
    chosen.SetModel(&model);
    every.SetModel(&model);
    every.SetChooseVisible(false);
    const zelk::ToolpathStyle style;
    for (std::size_t layer : {std::size_t{149}, std::size_t{60}, std::size_t{0}}) {
        SCOPED_TRACE(layer);
        ShowToolpath(every, layer, style);
        renderer.Render(GL_RENDER);
        const std::vector<unsigned char> full = pixels;
        ShowToolpath(chosen, layer, style);
        renderer.Render(GL_RENDER);
        ASSERT_EQ(full.size(), pixels.size());
        // Where the pictures differ, each one's colour is within a pixel in
        // the other, but for a few pixels: joined runs move line edges by a
        // fraction of a pixel, which turns a pixel here and there.
        auto at = [](const std::vector<unsigned char>& p, int x, int y) { return PixelAt(p, kWidth, x, y); };
        auto same = [](const Rgb& a, const Rgb& b) { return a.r == b.r && a.g == b.g && a.b == b.b; };
        auto nearby = [&](const std::vector<unsigned char>& p, int x, int y, const Rgb& c) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (x + dx >= 0 && y + dy >= 0 && x + dx < kWidth && y + dy < kHeight &&
                        same(at(p, x + dx, y + dy), c))
                        return true;
            return false;
        };
        int drawn = 0, differing = 0, displaced = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const Rgb a = at(full, x, y), b = at(pixels, x, y);
                drawn += Near(a, style.extrusion) || Near(a, style.topLayer) || Near(a, style.travel) ? 1 : 0;
                if (same(a, b))
                    continue;
                ++differing;
                displaced += nearby(pixels, x, y, a) && nearby(full, x, y, b) ? 0 : 1;
            }
        }
        EXPECT_GT(drawn, 1000);
        EXPECT_LT(differing, drawn / 10) << "of " << drawn << " toolpath pixels";
        // Lines left out where they show would leave holes: several percent.
        EXPECT_LT(displaced * 200, drawn * 3) << "of " << drawn << " toolpath pixels, " << differing << " differing";
        EXPECT_LT(chosen.DrawnVertexCount(), every.DrawnVertexCount());
    }
    // The last full frame drew every segment of layer 0.
    EXPECT_EQ(every.DrawnVertexCount(), model.extrusion.VerticesThrough(0) + model.travel.VerticesThrough(0));
}

TEST_F(ToolpathScene, TheChoiceIsKeptWhileTheViewAndLayerStay)
{
    const zelk::ToolpathModel model = Cylinder(10);
    zelk::ToolpathBuffers buffers;
    buffers.SetModel(&model);
    zelk::ToolpathStyle style;
    std::size_t layer = 9;
    ShowToolpath(buffers, layer, style);
    renderer.Render(GL_RENDER);
    renderer.Render(GL_RENDER);
    EXPECT_EQ(buffers.ChoiceCount(), 1u);
    layer = 5;
    renderer.Render(GL_RENDER);
    EXPECT_EQ(buffers.ChoiceCount(), 2u);
    renderer.ViewScale(1.1);
    renderer.Render(GL_RENDER);
    EXPECT_EQ(buffers.ChoiceCount(), 3u);
    style.showTravel = false;
    renderer.Render(GL_RENDER);
    EXPECT_EQ(buffers.ChoiceCount(), 4u);
    EXPECT_EQ(buffers.UploadCount(), 1u);
}

TEST_F(ToolpathScene, LightingAndLineStateAreAsBeforeTheToolpath)
{
    const zelk::ToolpathModel model = Cylinder(3);
    zelk::ToolpathBuffers buffers;
    buffers.SetModel(&model);
    GLboolean lightingBefore = GL_FALSE, lightingAfter = GL_TRUE;
    GLfloat widthBefore = 0, widthAfter = 0;
    GLint bufferAfter = -1, vertexArrayAfter = -1;
    renderer.SetEntityDrawOverride([&] {
        lightingBefore = glIsEnabled(GL_LIGHTING);
        glGetFloatv(GL_LINE_WIDTH, &widthBefore);
        buffers.Draw(2);
        lightingAfter = glIsEnabled(GL_LIGHTING);
        glGetFloatv(GL_LINE_WIDTH, &widthAfter);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bufferAfter);
        vertexArrayAfter = glIsEnabled(GL_VERTEX_ARRAY);
    });
    renderer.Render(GL_RENDER);
    EXPECT_EQ(lightingAfter, lightingBefore);
    EXPECT_EQ(lightingBefore, GL_TRUE) << "the renderer lights its models";
    EXPECT_FLOAT_EQ(widthAfter, widthBefore);
    EXPECT_EQ(bufferAfter, 0);
    EXPECT_EQ(vertexArrayAfter, GL_FALSE);
}

TEST_F(ToolpathScene, NoModelIsPickedWhileTheToolpathIsShown)
{
    auto* box = new ZELKDBPrint(modeltest::Box({-10, -10, 0}, {10, 10, 20}));
    box->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
    int id = 0;
    database.Add(box, id);
    ZELKGePoint3d w;
    renderer.TransWCSToDCS({0, 0, 10}, w);
    const wxPoint centre(static_cast<int>(std::lround(w.x)), static_cast<int>(std::lround(w.y)));

    const zelk::ToolpathModel model = Cylinder(2);
    zelk::ToolpathBuffers buffers;
    buffers.SetModel(&model);
    renderer.SetEntityDrawOverride([&] { buffers.Draw(1); });
    EXPECT_TRUE(renderer.HasEntityDrawOverride());
    renderer.PickObject(centre);
    EXPECT_EQ(database.GetSelectCount(), 0);

    renderer.SetEntityDrawOverride({});
    EXPECT_FALSE(renderer.HasEntityDrawOverride());
    renderer.PickObject(centre);
    EXPECT_EQ(database.GetSelectCount(), 1);
}

TEST_F(ToolpathScene, BuffersAreMadeAgainInANewContext)
{
    const zelk::ToolpathModel model = Cylinder(4);
    zelk::ToolpathBuffers buffers;
    buffers.SetModel(&model);
    const zelk::ToolpathStyle style;
    renderer.SetEntityDrawOverride([&] { buffers.Draw(3); });
    renderer.Render(GL_RENDER);
    const int before = CountAll(style.topLayer);
    EXPECT_GT(before, 0);
    EXPECT_EQ(buffers.UploadCount(), 1u);
    // The context goes (its buffers with it) and a new one is made.
    renderer.Destroy();
    renderer.InitDC(window.Canvas());
    renderer.GLResize(kWidth, kHeight);
    ASSERT_TRUE(renderer.HasContext());
    const int errorsBefore = zelk::GlErrorCount();
    renderer.Render(GL_RENDER);
    EXPECT_EQ(buffers.UploadCount(), 2u);
    EXPECT_EQ(CountAll(style.topLayer), before);
    EXPECT_EQ(zelk::GlErrorCount(), errorsBefore);
}

}  // namespace
