// The renderer drawing into a real GL canvas: pixels, matrices and stack depths read back, picking, drag steps, a screenshot.
#include <gtest/gtest.h>

#include <wx/image.h>

#include <cstdlib>
#include <functional>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "GlCheck.h"
#include "GlTestWindow.h"
#include "MeshCache.h"
#include "ModelFixtures.h"
#include "ProgramFolder.h"
#include "ScreenCapture.h"
#include "TempDir.h"
#include "ViewCommands.h"
#include "ZelkOpenGL.h"

using testsupport::PixelAt;
using testsupport::Rgb;

namespace {

constexpr int kWidth = 800, kHeight = 600;

class RendererScene : public ::testing::Test {
protected:
    RendererScene() : window(kWidth, kHeight), profile(dir.File("none.ini")), renderer(&database)
    {
        renderer.InitDC(window.Canvas());
        renderer.GLResize(kWidth, kHeight);
        renderer.CreatePrintPlatform(profile);
        renderer.SetStandardView();
        renderer.SetFrameObserver([this] {
            pixels = testsupport::ReadBackBuffer(kWidth, kHeight);
            if (inFrame)
                inFrame();
        });
    }
    ~RendererScene() override { renderer.Destroy(); }

    ZELKDBPrint* AddBox(const ZELKGePoint3d& lo, const ZELKGePoint3d& hi)
    {
        auto* model = new ZELKDBPrint(modeltest::Box(lo, hi));
        model->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
        int id = 0;
        database.Add(model, id);
        return model;
    }
    Rgb At(const ZELKGePoint3d& world)
    {
        ZELKGePoint3d w;
        renderer.TransWCSToDCS(world, w);
        return PixelAt(pixels, kWidth, static_cast<int>(w.x), static_cast<int>(w.y));
    }
    wxPoint WindowOf(const ZELKGePoint3d& world)
    {
        ZELKGePoint3d w;
        renderer.TransWCSToDCS(world, w);
        return wxPoint(static_cast<int>(std::lround(w.x)), static_cast<int>(std::lround(w.y)));
    }

    testsupport::GlTestWindow window;
    testsupport::TempDir dir;
    ZELKFileIniBase profile;
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer;
    std::vector<unsigned char> pixels;
    std::function<void()> inFrame;
};

TEST_F(RendererScene, ConversionInAFrameEqualsConversionOutsideOne)
{
    ASSERT_TRUE(renderer.HasContext());
    const ZELKGePoint3d windowPoints[] = {{0, 0, 0.1}, {400, 300, 0.5}, {27, 560, 0.5}, {799, 1, 0.9}};
    ZELKGePoint3d inside[4];
    inFrame = [&] {
        for (int i = 0; i < 4; ++i)
            renderer.TransDCSToWCS(windowPoints[i], inside[i]);
    };
    renderer.Render(GL_RENDER);
    ASSERT_FALSE(pixels.empty());
    for (int i = 0; i < 4; ++i) {
        ZELKGePoint3d outside;
        ASSERT_TRUE(renderer.TransDCSToWCS(windowPoints[i], outside));
        // OpenGL keeps its matrices in single precision.
        modeltest::ExpectPointNear(outside, inside[i], 1e-4);
    }
}

TEST_F(RendererScene, ViewMathReadsTheCurrentMatrices)
{
    ASSERT_TRUE(window.MakeOwnContextCurrent());
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    CZelkViewMath math;
    ZELKGePoint3d w;
    ASSERT_TRUE(math.TransDCSToWCS({400, 300, 0.5}, w));
    modeltest::ExpectPointNear(w, {0, 0, 0}, 1e-12);
    ASSERT_TRUE(math.TransDCSToWCS({0, 0, 0}, w));
    modeltest::ExpectPointNear(w, {-1, 1, -1}, 1e-12);
    ZELKGePoint3d back;
    ASSERT_TRUE(math.TransWCSToDCS({0.25, -0.5, 0.1}, w));
    ASSERT_TRUE(math.TransDCSToWCS(w, back));
    modeltest::ExpectPointNear(back, {0.25, -0.5, 0.1}, 1e-12);
    ZELKGlContext::ReleaseCurrent();
}

TEST_F(RendererScene, ProjectionViewportAndStackDepthsHoldOverManyFrames)
{
    double projection[16] = {};
    GLint viewport[4] = {}, modelDepth = 0, projectionDepth = 0;
    std::vector<GLint> depths;
    inFrame = [&] {
        glGetDoublev(GL_PROJECTION_MATRIX, projection);
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelDepth);
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
        depths.push_back(modelDepth * 100 + projectionDepth);
    };
    AddBox({-10, -10, 0}, {10, 10, 20})->SetModeSelectState(1);
    const int errorsBefore = zelk::GlErrorCount();
    for (int i = 0; i < 40; ++i) {
        renderer.Render(GL_RENDER);
        renderer.PickObject(wxPoint(400, 300));
    }
    EXPECT_EQ(zelk::GlErrorCount(), errorsBefore);
    EXPECT_NEAR(projection[0], 0.75, 1e-12);
    EXPECT_NEAR(projection[5], 1.0, 1e-12);
    EXPECT_NEAR(projection[10], -1.0 / 13.433333333333, 1e-7);
    EXPECT_EQ(viewport[2], 800);
    EXPECT_EQ(viewport[3], 600);
    ASSERT_EQ(depths.size(), 40u);
    EXPECT_EQ(depths.front(), 101);
    EXPECT_EQ(depths.back(), depths.front());
}

TEST_F(RendererScene, PickingChoosesTheNearerOfOverlappingModelsAndNothingOnEmptySpace)
{
    ZELKDBPrint* low = AddBox({-20, -20, 0}, {20, 20, 10});
    ZELKDBPrint* high = AddBox({-5, -5, 30}, {5, 5, 60});
    renderer.SetTopView();
    renderer.PickObject(WindowOf({0, 0, 60}));
    ASSERT_EQ(database.GetSelectCount(), 1);
    EXPECT_EQ(database.GetSelectEntity().begin()->first, high->GetEventId());

    database.ClearSelect();
    renderer.PickObject(WindowOf({15, 15, 10}));  // only the low model lies there
    ASSERT_EQ(database.GetSelectCount(), 1);
    EXPECT_EQ(database.GetSelectEntity().begin()->first, low->GetEventId());

    renderer.PickObject(WindowOf({60, 60, 0}));  // the platform is not a model
    EXPECT_EQ(database.GetSelectCount(), 1);
    database.ClearSelect();
    renderer.PickObject(wxPoint(3, 3));
    EXPECT_EQ(database.GetSelectCount(), 0);
}

TEST_F(RendererScene, EmptyDatabasePicksNothingAndDrawsTheVolume)
{
    renderer.PickObject(wxPoint(400, 300));
    EXPECT_EQ(database.GetSelectCount(), 0);
    renderer.Render(GL_RENDER);
    // The floor tints the background red where the volume stands.
    const Rgb floor = At({30, 30, 0});
    const Rgb background = PixelAt(pixels, kWidth, 3, 3);
    EXPECT_GT(floor.r, background.r + 10);
}

TEST_F(RendererScene, SelectedModelIsGreenInsideAndPurpleOutside)
{
    ZELKDBPrint* model = AddBox({-15, -15, 0}, {15, 15, 30});
    model->SetModeSelectState(1);
    renderer.Render(GL_RENDER);
    const Rgb inside = At({0, 0, 30});
    EXPECT_GT(inside.g, inside.r + 60);
    EXPECT_GT(inside.g, inside.b + 60);
    model->Move(ZELKGePoint3d(70, 0, 0));
    renderer.Render(GL_RENDER);
    const Rgb outside = At({70, 0, 30});
    EXPECT_GT(outside.r, outside.g + 60);
    EXPECT_GT(outside.b, outside.g + 60);
}

TEST_F(RendererScene, BackgroundShowsThePictureUnchangedInEveryFrame)
{
    for (int grain = 0; grain < 4; ++grain) {
        wxImage picture;
        const std::string path = zelk::ProgramFilePath("background/" + std::to_string(grain + 1) + ".bmp");
        ASSERT_TRUE(picture.LoadFile(path, wxBITMAP_TYPE_BMP)) << path;
        renderer.SetGrainIndex(grain);
        for (int frame = 0; frame < 2; ++frame) {
            renderer.Render(GL_RENDER);
            const Rgb corner = PixelAt(pixels, kWidth, 1, 1);
            EXPECT_NEAR(corner.r, picture.GetRed(0, 0), 3) << grain;
            EXPECT_NEAR(corner.g, picture.GetGreen(0, 0), 3) << grain;
            EXPECT_NEAR(corner.b, picture.GetBlue(0, 0), 3) << grain;
        }
    }
    renderer.SetGrainIndex(4);
    EXPECT_EQ(renderer.GetGrainIndex(), 3);
    renderer.SetGrainIndex(-1);
    EXPECT_EQ(renderer.GetGrainIndex(), 3);
}

TEST(RendererWithoutPictures, BackgroundIsBlack)
{
    testsupport::TempDir home;
    setenv("MORVADIN_HOME", home.Path().c_str(), 1);
    testsupport::GlTestWindow window(200, 150);
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer(&database);
    renderer.InitDC(window.Canvas());
    renderer.GLResize(200, 150);
    unsetenv("MORVADIN_HOME");
    std::vector<unsigned char> pixels;
    renderer.SetFrameObserver([&] { pixels = testsupport::ReadBackBuffer(200, 150); });
    renderer.Render(GL_RENDER);
    ASSERT_FALSE(pixels.empty());
    const Rgb corner = PixelAt(pixels, 200, 2, 2);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);
    renderer.Destroy();
}

TEST_F(RendererScene, DragStepsMoveTheSelectedModelOnTheNextFrame)
{
    ZELKDBPrint* model = AddBox({-10, -10, 0}, {10, 10, 10});
    database.AddSelect(model->GetEventId());
    renderer.SetTopView();
    const wxPoint start = WindowOf({0, 0, 0});
    const wxPoint end = WindowOf({30, -20, 0});
    renderer.EntityTrackMove(start, start, 1, 0);
    renderer.EntityTrackMove(start, end, 1, 1);
    renderer.Render(GL_RENDER);
    ZELKGePoint3d c;
    model->GetCenterPointBoundingBox(c);
    EXPECT_NEAR(c.x, 30, 0.5);
    EXPECT_NEAR(c.y, -20, 0.5);
    renderer.EntityTrackMove(end, end, 1, 2);
    renderer.Render(GL_RENDER);
    EXPECT_EQ(model->GetTrackMode(), 0);
}

TEST_F(RendererScene, ViewCommandsDriveTheRecordedRenderer)
{
    ZELKCAD::SetCurrentRenderer(&renderer);
    ZELKCAD::TopView();
    const ZELKGeMatrix3d top = renderer.GetViewMath().GetViewMatuix();
    renderer.SetTopView();
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(top), 1e-12);
    ZELKCAD::FrontView();
    EXPECT_GT(renderer.GetViewMath().GetViewMatuix().MaxDifference(top), 0.1);
    ZELKGePoint3d world, window;
    ZELKCAD::TransDCSToWCS({400, 300, 0.5}, world);
    ZELKCAD::TransWCSToDCS(world, window);
    modeltest::ExpectPointNear(window, {400, 300, 0.5}, 1e-9);
    ZELKCAD::SetGrainIndex(2);
    EXPECT_EQ(renderer.GetGrainIndex(), 2);
    ZELKCAD::SetCurrentRenderer(nullptr);
}

// Whole frames from the models' caches equal frames drawn in immediate mode,
// also after the models moved and the view turned.
TEST_F(RendererScene, CachedFramesEqualImmediateFrames)
{
    auto frame = [&](zelk::MeshDrawing drawing) {
        zelk::SetMeshDrawing(drawing);
        renderer.Render(GL_RENDER);
        zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
        return pixels;
    };
    ZELKDBPrint* a = AddBox({-40, -30, 0}, {10, 20, 35});
    ZELKDBPrint* b = AddBox({20, 0, 0}, {95, 30, 12});
    database.AddSelect(a->GetEventId());
    EXPECT_TRUE(frame(zelk::MeshDrawing::Cached) == frame(zelk::MeshDrawing::Immediate));
    a->RotateBy(33, {0, 0, 1}, {0, 0, 0});
    b->Move({-5, 7, 3});
    renderer.Translate(wxPoint(400, 300), wxPoint(520, 260), TRANSLATER_ROTATE);
    EXPECT_TRUE(frame(zelk::MeshDrawing::Cached) == frame(zelk::MeshDrawing::Immediate));
}

// Two models, one beyond the +x edge of the volume, in the standard view.
TEST_F(RendererScene, ScreenshotOfTwoModelsOneOutside)
{
    ZELKDBPrint* inside = AddBox({-25, -20, 0}, {15, 20, 40});
    ZELKDBPrint* outside = AddBox({60, -10, 0}, {100, 30, 25});
    database.AddSelect(inside->GetEventId());
    renderer.SetGrainIndex(1);
    renderer.SetStandardView();
    renderer.Render(GL_RENDER);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    wxImage shot(kWidth, kHeight, pixels.data(), true);
    ASSERT_TRUE(shot.SaveFile(testsupport::ArtefactFolder("scene_view") + "two-models-one-outside.png",
                              wxBITMAP_TYPE_PNG));
    const Rgb green = At({-5, 0, 40});
    const Rgb purple = At({80, 10, 25});
    EXPECT_GT(green.g, green.r + 60);
    EXPECT_GT(purple.r, purple.g + 60);
    EXPECT_FALSE(outside->IsInPlatform());
}

}  // namespace
