// View arithmetic without OpenGL: conversions, projection volume, standard views, pan, trackball, zoom, fit, pick choice, platform.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "EntityDatabase.h"
#include "DBPrint.h"
#include "FileIni.h"
#include "TempDir.h"
#include "ViewGeometry.h"
#include "ZelkOpenGL.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

void ExpectNear(const ZELKGePoint3d& a, const ZELKGePoint3d& b, double tol, const char* what = "")
{
    EXPECT_NEAR(a.x, b.x, tol) << what;
    EXPECT_NEAR(a.y, b.y, tol) << what;
    EXPECT_NEAR(a.z, b.z, tol) << what;
}

ZELKGeMatrix3d Rot(double deg, double x, double y, double z)
{
    ZELKGeMatrix3d r;
    r.Rotation(deg, ZELKGeVector3d(x, y, z), ZELKGePoint3d(0, 0, 0));
    return r;
}

ZELKGePrint Cube(const ZELKGePoint3d& lo, const ZELKGePoint3d& hi)
{
    ZELKGePrint mesh;
    Triangle t;
    t.point[0] = lo;
    t.point[1] = ZELKGePoint3d(hi.x, lo.y, lo.z);
    t.point[2] = hi;
    mesh.GetGePrint().push_back(t);
    mesh.UpdateMinMaxPoint();
    return mesh;
}

TEST(ViewConversion, IdentityMatricesOn800x600)
{
    zelk::ViewportState s;
    s.viewport[2] = 800;
    s.viewport[3] = 600;
    for (int i = 0; i < 4; ++i)
        s.modelview[5 * i] = s.projection[5 * i] = 1.0;
    ZELKGePoint3d w;
    ASSERT_TRUE(zelk::UnprojectWindow(s, {400, 300, 0.5}, w));
    ExpectNear(w, {0, 0, 0}, 1e-12);
    ASSERT_TRUE(zelk::UnprojectWindow(s, {0, 0, 0}, w));
    ExpectNear(w, {-1, 1, -1}, 1e-12);
}

TEST(ViewConversion, RoundTripThroughAViewMatrix)
{
    ZELKGeMatrix3d view = zelk::StandardViewRotation(zelk::StandardView::Standard);
    ZELKGeMatrix3d scaling;
    scaling.Scaling(0.01, ZELKGePoint3d(0, 0, 0));
    view *= scaling;
    const zelk::ViewportState s = zelk::MakeViewportState(view, zelk::MakeOrthoVolume(800, 600), 800, 600);
    for (const ZELKGePoint3d& p : {ZELKGePoint3d(0, 0, 0), ZELKGePoint3d(75, -75, 150), ZELKGePoint3d(-30, 12, 7)}) {
        ZELKGePoint3d window, back;
        ASSERT_TRUE(zelk::ProjectWorld(p, s, window));
        ASSERT_TRUE(zelk::UnprojectWindow(s, window, back));
        ExpectNear(back, p, 1e-9);
    }
}

TEST(ViewVolume, LandscapeAndPortraitWindows)
{
    const zelk::OrthoVolume v = zelk::MakeOrthoVolume(800, 600);
    EXPECT_DOUBLE_EQ(v.a, 4.0 / 3.0);
    EXPECT_DOUBLE_EQ(v.b, 1.0);
    EXPECT_DOUBLE_EQ(v.pixelScale, 1.0 / 600.0);
    EXPECT_EQ(v.trackballRadius, 400);
    EXPECT_NEAR(v.depth, 13.4333, 1e-4);
    const zelk::OrthoVolume p = zelk::MakeOrthoVolume(301, 500);
    EXPECT_DOUBLE_EQ(p.a, 1.0);
    EXPECT_DOUBLE_EQ(p.b, 500.0 / 301.0);
    EXPECT_DOUBLE_EQ(p.pixelScale, 1.0 / 301.0);
    EXPECT_EQ(p.trackballRadius, 150);
}

// Which world direction faces the viewer, points right and points up in each view.
TEST(StandardViews, AxesOfEachView)
{
    struct Case {
        zelk::StandardView view;
        ZELKGeVector3d toViewer, right, up;
    };
    const Case cases[] = {
        {zelk::StandardView::Top, {0, 0, 1}, {0, -1, 0}, {1, 0, 0}},
        {zelk::StandardView::Bottom, {0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
        {zelk::StandardView::Front, {-1, 0, 0}, {0, -1, 0}, {0, 0, 1}},
        {zelk::StandardView::Back, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},
        {zelk::StandardView::Left, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1}},
        {zelk::StandardView::Right, {0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        const ZELKGeMatrix3d v = zelk::StandardViewRotation(c.view);
        ExpectNear(v.TransformVector(c.toViewer).AsPoint(), {0, 0, 1}, 1e-12, "viewer");
        ExpectNear(v.TransformVector(c.right).AsPoint(), {1, 0, 0}, 1e-12, "right");
        ExpectNear(v.TransformVector(c.up).AsPoint(), {0, 1, 0}, 1e-12, "up");
    }
    // The standard view looks down on the platform from 15 degrees above it.
    const ZELKGeMatrix3d s = zelk::StandardViewRotation(zelk::StandardView::Standard);
    const double r = 75 * kPi / 180;
    ExpectNear(s.TransformVector({0, 0, 1}).AsPoint(), {0, std::sin(r), std::cos(r)}, 1e-12, "standard up");
}

TEST(ViewPick, NearestRecordWinsAndEmptyBufferPicksNothing)
{
    // Records: names, min depth, max depth, names...
    const unsigned hits[] = {1, 500, 900, 7, 1, 300, 950, 9, 1, 300, 400, 11, 2, 100, 200, 3, 13};
    EXPECT_EQ(zelk::ChooseHit(3, hits, 12), 9);    // 9 and 11 tie nearest: the first wins
    EXPECT_EQ(zelk::ChooseHit(4, hits, 17), 13);   // the last name of a record
    EXPECT_EQ(zelk::ChooseHit(0, hits, 17), -1);
    EXPECT_EQ(zelk::ChooseHit(4, hits, 10), 9);    // a record cut off by the buffer is ignored
}

TEST(ViewFit, GrowBoxAndFitScale)
{
    ZELKGePoint3d lo(0, 0, 0), hi(1, 1, 1);
    zelk::GrowBox({5, -2, 0.5}, lo, hi);
    ExpectNear(lo, {0, -2, 0}, 0);
    ExpectNear(hi, {5, 1, 1}, 0);
    EXPECT_DOUBLE_EQ(zelk::FitScale({0, 0, 0}, {100, 300, 0}, 800, 600), 0.8 * 800 / 100);
    EXPECT_DOUBLE_EQ(zelk::FitScale({0, 0, 0}, {300, 100, 0}, 800, 600), 0.8 * 600 / 100);
    EXPECT_EQ(zelk::FitScale({0, 0, 0}, {0, 100, 0}, 800, 600), 0.0);
}

// A renderer without a window: navigation and conversion run on its kept state.
class Navigation : public ::testing::Test {
protected:
    Navigation() : profile(dir.File("none.ini")), renderer(&database)
    {
        renderer.CreatePrintPlatform(profile);  // no file: the default volume
        renderer.GLResize(800, 600);
        renderer.SetStandardView();
    }
    ZELKGePoint3d Window(const ZELKGePoint3d& world)
    {
        ZELKGePoint3d w;
        renderer.TransWCSToDCS(world, w);
        return w;
    }
    // Window box of the build volume.
    void VolumeWindowBox(ZELKGePoint3d& lo, ZELKGePoint3d& hi)
    {
        ZELKGePoint3d a, b;
        const_cast<ZELKDBPrintBox&>(renderer.GetPrintBox()).GetMinMaxPoint(a, b);
        for (int i = 0; i < 8; ++i) {
            const ZELKGePoint3d w = Window({i & 1 ? b.x : a.x, i & 2 ? b.y : a.y, i & 4 ? b.z : a.z});
            for (int k = 0; k < 2; ++k) {
                lo[k] = i == 0 ? w[k] : std::min(lo[k], w[k]);
                hi[k] = i == 0 ? w[k] : std::max(hi[k], w[k]);
            }
        }
    }

    testsupport::TempDir dir;
    ZELKFileIniBase profile;
    ZELDBEntityDatabase database;
    CZelkOpenGL renderer;
};

TEST_F(Navigation, ResizeNumbers)
{
    EXPECT_DOUBLE_EQ(renderer.GetPixelScale(), 1.0 / 600.0);
    EXPECT_EQ(renderer.GetTrackballRadius(), 400);
    renderer.GLResize(0, 600);  // no projection for an empty window: nothing changes
    EXPECT_DOUBLE_EQ(renderer.GetPixelScale(), 1.0 / 600.0);
}

TEST_F(Navigation, FitFramesTheEmptyBuildVolume)
{
    ZELKGePoint3d lo, hi;
    VolumeWindowBox(lo, hi);
    EXPECT_NEAR((lo.x + hi.x) / 2, 400, 0.5);
    EXPECT_NEAR((lo.y + hi.y) / 2, 300, 0.5);
    EXPECT_NEAR(std::max((hi.x - lo.x) / 800, (hi.y - lo.y) / 600), 0.8, 1e-6);
    const ZELKGeMatrix3d before = renderer.GetViewMath().GetViewMatuix();
    renderer.Caculatecenter();  // already fitted: the view stays
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(before), 3e-3);  // a depth shift of one pixel scale
}

TEST_F(Navigation, FitTakesInAModelOutsideTheVolume)
{
    int id = 0;
    database.Add(new ZELKDBPrint(Cube({200, -10, 0}, {260, 10, 20})), id);
    renderer.SetTopView();
    ZELKGePoint3d lo, hi;
    VolumeWindowBox(lo, hi);
    const ZELKGePoint3d far = Window({260, 0, 0});
    // Top view: world +x is window up. The scene spans x from -75 to 260.
    EXPECT_NEAR(far.y, 300 - 0.8 * 600 / 2, 0.5);
    EXPECT_NEAR(lo.y + (hi.y - lo.y), 300 + 0.8 * 600 / 2, 0.5);
}

TEST_F(Navigation, PanMovesTheImageByThePixels)
{
    const ZELKGePoint3d before = Window({10, 20, 30});
    renderer.Translate(wxPoint(100, 100), wxPoint(113, 93), TRANSLATER_PAN);
    const ZELKGePoint3d after = Window({10, 20, 30});
    EXPECT_NEAR(after.x - before.x, 13, 1e-6);
    EXPECT_NEAR(after.y - before.y, -7, 1e-6);

    const ZELKGeMatrix3d v = renderer.GetViewMath().GetViewMatuix();
    renderer.Translate(wxPoint(5, 5), wxPoint(5, 5), TRANSLATER_PAN);
    ZELKGeMatrix3d expected = v;
    ZELKGeMatrix3d t;
    t.Move(ZELKGeVector3d(0, 0, 1.0 / 600.0));
    expected *= t;
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(expected), 1e-12);
    renderer.Translate(wxPoint(5, 5), wxPoint(50, 80), static_cast<TRANSLATER_TYPE>(3));
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(expected), 1e-12);
}

TEST_F(Navigation, TrackballTurnsByAThirdOfTheSweep)
{
    const ZELKGeMatrix3d v = renderer.GetViewMath().GetViewMatuix();
    renderer.Translate(wxPoint(400, 300), wxPoint(800, 300), TRANSLATER_ROTATE);
    ZELKGeMatrix3d expected = v;
    expected *= Rot(30, 0, 1, 0);
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(expected), 1e-9);
    // A step that sweeps no axis leaves the view.
    const ZELKGeMatrix3d turned = renderer.GetViewMath().GetViewMatuix();
    renderer.Translate(wxPoint(420, 310), wxPoint(420, 310), TRANSLATER_ROTATE);
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(turned), 1e-15);
}

TEST_F(Navigation, WheelNotchesZoomAndUndo)
{
    const ZELKGeMatrix3d v = renderer.GetViewMath().GetViewMatuix();
    const ZELKGePoint3d corner = Window({75, 75, 0});
    renderer.ViewScale(std::exp(120 * 0.001));
    const ZELKGePoint3d zoomed = Window({75, 75, 0});
    EXPECT_NEAR((zoomed.x - 400) / (corner.x - 400), 1.1275, 1e-4);
    renderer.ViewScale(std::exp(-120 * 0.001));
    EXPECT_LT(renderer.GetViewMath().GetViewMatuix().MaxDifference(v), 1e-12);
}

TEST_F(Navigation, StandardViewsKeepTheirRotationAfterTheFit)
{
    renderer.SetFrontView();
    const ZELKGeMatrix3d& v = renderer.GetViewMath().GetViewMatuix();
    // World z is window up, world -y window right.
    const ZELKGePoint3d o = Window({0, 0, 0}), up = Window({0, 0, 10}), right = Window({0, -10, 0});
    EXPECT_NEAR(up.x, o.x, 1e-6);
    EXPECT_LT(up.y, o.y - 1);
    EXPECT_GT(right.x, o.x + 1);
    EXPECT_NEAR(right.y, o.y, 1e-6);
    EXPECT_FALSE(v.IsIdentity());
}

TEST(PrintPlatform, SizesFromTheProfile)
{
    testsupport::TempDir dir;
    const std::string path = dir.File("profile.ini");
    ZELKFileIniBase profile(path);
    CZelkOpenGL renderer(nullptr);
    renderer.CreatePrintPlatform(profile);  // no file: 150 each way
    ZELKGePoint3d lo, hi;
    const_cast<ZELKDBPrintBox&>(renderer.GetPrintBox()).GetMinMaxPoint(lo, hi);
    ExpectNear(lo, {-75, -75, 0}, 0);
    ExpectNear(hi, {75, 75, 150}, 0);

    // Sizes no printer has give way to the default, each on its own.
    std::ofstream(path) << "[PRINTPLATFORM]\nPlatformLength=0.5\nPlatformWidth=1e308\nPlatformHigh=200\n";
    renderer.CreatePrintPlatform(profile);
    const ZELKGePrintBox& box = renderer.GetPrintBox().GetPrintBox();
    ExpectNear(box[0], {-75, -75, 0}, 0);
    ExpectNear(box[6], {75, 75, 200}, 0);
}

}  // namespace
