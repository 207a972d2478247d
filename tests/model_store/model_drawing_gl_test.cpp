// Printable models drawing into a real GL canvas: colours, selection box, normals, and drag steps applied on the next draw.
#include <gtest/gtest.h>

#include <GL/glu.h>

#include <array>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "DBPrint.h"
#include "GlCheck.h"
#include "GlTestWindow.h"
#include "MeshCache.h"
#include "ModelGl.h"
#include "ModelFixtures.h"
#include "ViewConversion.h"

using modeltest::Box;
using modeltest::ExpectPointNear;
using testsupport::Rgb;

// The buffer query of OpenGL 1.5, which libGL exports (the headers declare it
// only for GL_GLEXT_PROTOTYPES, and the precompiled header came first).
extern "C" GLboolean glIsBuffer(GLuint buffer);

namespace {

constexpr int kSize = 200;  // window pixels; 2 pixels per world unit, origin in the middle

// Looking straight down: window (x, y, depth) is world ((x - 100) / 2, (100 - y) / 2, 100 - 200 depth),
// the view set up by DrawingScene.
class TopDown : public ZELKViewConversion {
public:
    int TransDCSToWCS(const ZELKGePoint3d& s, ZELKGePoint3d& w) override
    {
        w.Set((s.x - 100) / 2, (100 - s.y) / 2, 100 - 200 * s.z);
        return 1;
    }
};

// Looking along +y, level with the platform: the depth runs along y.
class Level : public ZELKViewConversion {
public:
    int TransDCSToWCS(const ZELKGePoint3d& s, ZELKGePoint3d& w) override
    {
        w.Set((s.x - 100) / 2, 200 * s.z - 100, (100 - s.y) / 2);
        return 1;
    }
};

ZELKGePoint3d WindowOf(double x, double y)
{
    return {100 + 2 * x, 100 - 2 * y, 0.5};
}

class DrawingScene : public ::testing::Test {
protected:
    DrawingScene() : window(kSize, kSize)
    {
        EXPECT_TRUE(window.MakeOwnContextCurrent());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-50, 50, -50, 50, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        zelk::SetViewConversion(&top);
    }
    ~DrawingScene() override { zelk::SetViewConversion(nullptr); }

    // Clears, draws the model and reads the picture back.
    void Draw(ZELKDBPrint& model)
    {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const int errors = zelk::GlErrorCount();
        model.Draw();
        EXPECT_EQ(zelk::GlErrorCount(), errors);
        pixels = testsupport::ReadBackBuffer(kSize, kSize);
    }
    Rgb At(double x, double y) const
    {
        const ZELKGePoint3d w = WindowOf(x, y);
        EXPECT_TRUE(w.x >= 0 && w.x < kSize && w.y >= 0 && w.y < kSize) << "outside the window";
        if (!(w.x >= 0 && w.x < kSize && w.y >= 0 && w.y < kSize))
            return {};
        return testsupport::PixelAt(pixels, kSize, static_cast<int>(w.x), static_cast<int>(w.y));
    }

    testsupport::GlTestWindow window;
    TopDown top;
    std::vector<unsigned char> pixels;
};

void ExpectColour(const Rgb& c, int r, int g, int b, int tol = 1)
{
    EXPECT_NEAR(c.r, r, tol);
    EXPECT_NEAR(c.g, g, tol);
    EXPECT_NEAR(c.b, b, tol);
}

struct OnPlatform : ZELKDBPrint {
    explicit OnPlatform(const ZELKGePrint& mesh) : ZELKDBPrint(mesh) { SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150}); }
    // A model of show type 0 (a kind of entity that hides its faces).
    void HideFaces() { m_showType = 0; }
};

TEST_F(DrawingScene, SelectedModelColoursInsideAndOutsideAndItsBox)
{
    // Edges at x = +-9.75 fall on pixel centres (columns 80 and 119).
    OnPlatform model(Box({-9.75, -9.75, 0}, {9.75, 9.75, 10}));
    model.SetModeSelectState(1);
    Draw(model);
    ExpectColour(At(0, 0), 10, 170, 40);
    const Rgb edge = testsupport::PixelAt(pixels, kSize, 80, 100);
    ExpectColour(edge, 128, 0, 128, 8);

    model.SetPlatformMinMaxPoint({-5, -5, 0}, {5, 5, 10});  // a volume the model overhangs
    Draw(model);
    ExpectColour(At(0, 0), 200, 0, 200);
    ExpectColour(testsupport::PixelAt(pixels, kSize, 80, 100), 128, 0, 128, 8);

    model.HideFaces();  // the box still shows, the faces do not
    Draw(model);
    ExpectColour(At(0, 0), 0, 0, 0, 0);
    ExpectColour(testsupport::PixelAt(pixels, kSize, 80, 100), 128, 0, 128, 8);
}

TEST_F(DrawingScene, UnselectedModelHasNoBox)
{
    OnPlatform model(Box({-9.75, -9.75, 0}, {9.75, 9.75, 10}));
    model.HideFaces();
    Draw(model);
    ExpectColour(testsupport::PixelAt(pixels, kSize, 80, 100), 0, 0, 0, 0);
    model.SetModeSelectState(1);
    Draw(model);
    EXPECT_GT(testsupport::PixelAt(pixels, kSize, 80, 100).r, 100);
}

TEST_F(DrawingScene, ZeroNormalIsLitByTheFacetsOwnNormal)
{
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    const GLfloat none[] = {0, 0, 0, 1}, white[] = {1, 1, 1, 1}, fromAbove[] = {0, 0, 1, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    glLightfv(GL_LIGHT0, GL_POSITION, fromAbove);
    auto facet = [](const ZELKGeVector3d& normal) {
        ZELKGePrint mesh;
        Triangle t;
        t.point[0] = {-20, -20, 5};
        t.point[1] = {20, -20, 5};
        t.point[2] = {0, 20, 5};
        t.normal = normal;
        mesh.GetGePrint().push_back(t);
        mesh.UpdateMinMaxPoint();
        return mesh;
    };
    OnPlatform zero(facet({0, 0, 0}));
    Draw(zero);
    ExpectColour(At(0, 0), 10, 170, 40);  // full diffuse light: the plain colour
    OnPlatform sideways(facet({-1, 0, 0}));
    Draw(sideways);
    ExpectColour(At(0, 0), 0, 0, 0, 0);   // its own normal faces away from the light
    glDisable(GL_LIGHTING);
}

TEST_F(DrawingScene, CachedDrawingFollowsEveryMeshChange)
{
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    Draw(model);
    ExpectColour(At(0, 0), 10, 170, 40);
    model.Move({30, 0, 0});
    Draw(model);
    ExpectColour(At(0, 0), 0, 0, 0, 0);
    ExpectColour(At(30, 0), 10, 170, 40);
    model.GetPrint() = Box({-40, -40, 0}, {-30, -30, 10});
    Draw(model);
    ExpectColour(At(30, 0), 0, 0, 0, 0);
    ExpectColour(At(-35, -35), 10, 170, 40);
}

TEST_F(DrawingScene, ModelDrawsInASecondContextAndAfterItsFirstIsForgotten)
{
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    Draw(model);
    {
        testsupport::GlTestWindow second(kSize, kSize);
        ASSERT_TRUE(second.MakeOwnContextCurrent());
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glOrtho(-50, 50, -50, 50, -100, 100);
        glMatrixMode(GL_MODELVIEW);
        glEnable(GL_CULL_FACE);
        model.Move({20, 0, 0});
        Draw(model);
        ExpectColour(At(20, 0), 10, 170, 40);
        zelk::ForgetCurrentContext();
        Draw(model);
        ExpectColour(At(20, 0), 10, 170, 40);
    }
    ASSERT_TRUE(window.MakeOwnContextCurrent());
    model.Move({-40, 0, 0});
    Draw(model);
    ExpectColour(At(-20, 0), 10, 170, 40);
    ExpectColour(At(20, 0), 0, 0, 0, 0);
}

// A model removed while another context is current leaves its buffers to be
// deleted in its own context; a frame there deletes them even when no model
// is left to draw.
TEST_F(DrawingScene, BuffersOfAModelRemovedElsewhereGoWithTheNextFrameOfTheirContext)
{
    const auto liveBuffers = [] {
        std::vector<GLuint> names;
        for (GLuint name = 1; name < 64; ++name)
            if (glIsBuffer(name))
                names.push_back(name);
        return names;
    };
    const std::vector<GLuint> before = liveBuffers();
    auto model = std::make_unique<OnPlatform>(Box({-5, -5, 0}, {5, 5, 10}));
    Draw(*model);
    const std::vector<GLuint> drawn = liveBuffers();
    ASSERT_GT(drawn.size(), before.size()) << "the model drew from buffers of its own";
    {
        testsupport::GlTestWindow other(kSize, kSize);
        ASSERT_TRUE(other.MakeOwnContextCurrent());
        model.reset();
    }
    ASSERT_TRUE(window.MakeOwnContextCurrent());
    EXPECT_EQ(liveBuffers(), drawn) << "deleted outside their context";
    zelk::DeleteOrphanedBuffers();
    EXPECT_EQ(liveBuffers(), before);
}

// A closed sphere of radius 30 about the origin, of facets mostly smaller
// than a pixel; every seventh column has zero normals.
ZELKGePrint SmallFacetSphere()
{
    ZELKGePrint sphere;
    const int stacks = 120, slices = 180;
    auto at = [&](int i, int j) {
        const double t = M_PI * i / stacks, p = 2 * M_PI * j / slices;
        return ZELKGePoint3d(30 * std::sin(t) * std::cos(p), 30 * std::sin(t) * std::sin(p), 30 * std::cos(t));
    };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            const ZELKGePoint3d q[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            for (const auto& f : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
                Triangle t;
                for (int k = 0; k < 3; ++k)
                    t.point[k] = q[f[k]];
                t.normal = (j % 7 == 0) ? ZELKGeVector3d() : ZELKGeVector3d(t.point[0]).Normalize();
                sphere.GetGePrint().push_back(t);
            }
        }
    }
    sphere.UpdateMinMaxPoint();
    return sphere;
}

void LightTheScene()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
}

// A closed sphere of small facets, lit, seen at an angle: cached drawing (with
// its buffers and left-out facets) gives the same picture as immediate mode.
TEST_F(DrawingScene, CachedDrawingPaintsWhatImmediateModePaints)
{
    const ZELKGePrint sphere = SmallFacetSphere();
    LightTheScene();
    glRotated(-60, 1, 0, 0);
    glRotated(25, 0, 0, 1);
    OnPlatform model(sphere);
    std::vector<unsigned char> cached[2], immediate;
    for (auto& picture : cached) {
        Draw(model);  // the second frame draws from buffers made in the first
        picture = pixels;
    }
    zelk::SetMeshDrawing(zelk::MeshDrawing::Immediate);
    Draw(model);
    immediate = pixels;
    zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
    glDisable(GL_LIGHTING);
    int lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 3)
        lit += pixels[i] > 0;  // purple: the sphere reaches below the platform
    EXPECT_GT(lit, 2000);
    EXPECT_TRUE(cached[0] == immediate);
    EXPECT_TRUE(cached[1] == immediate);
}

// A sphere of facets far smaller than a pixel, seen from several sides and
// reaching beyond the window: only facets that cover a pixel centre of the
// window are drawn (hardly more than the pixels it paints: those passing
// within the tolerance of a centre are kept too), and the picture is the one
// immediate mode paints from every facet.
TEST_F(DrawingScene, FacetsSmallerThanAPixelPaintWhatImmediateModePaints)
{
    ZELKGePrint sphere;
    const int stacks = 200, slices = 400;
    auto at = [&](int i, int j) {
        const double t = M_PI * i / stacks, p = 2 * M_PI * j / slices;
        return ZELKGePoint3d(40 + 25 * std::sin(t) * std::cos(p), 25 * std::sin(t) * std::sin(p), 25 * std::cos(t));
    };
    for (int i = 0; i < stacks; ++i)
        for (int j = 0; j < slices; ++j) {
            const ZELKGePoint3d q[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            for (const auto& f : {std::array<int, 3>{0, 1, 2}, std::array<int, 3>{0, 2, 3}}) {
                Triangle t;
                for (int k = 0; k < 3; ++k)
                    t.point[k] = q[f[k]];
                t.normal = ZELKGeVector3d(t.point[0] - ZELKGePoint3d(40, 0, 0)).Normalize();
                sphere.GetGePrint().push_back(t);
            }
        }
    sphere.UpdateMinMaxPoint();
    LightTheScene();
    OnPlatform model(sphere);
    const double turns[3][2] = {{0, 0}, {-60, 25}, {-35, -140}};
    for (const auto& turn : turns) {
        glLoadIdentity();
        glRotated(turn[0], 1, 0, 0);
        glRotated(turn[1], 0, 0, 1);
        Draw(model);
        const std::vector<unsigned char> cached = pixels;
        zelk::FacetFilter filter;
        ASSERT_TRUE(zelk::gl::FrameFacetFilter(filter));
        ASSERT_TRUE(filter.bySize);
        std::vector<float> kept;
        zelk::MeshVertexArray arrays;
        arrays.Build(model.GetPrint(), 1);
        zelk::VisibleVertices(arrays, filter, kept);
        zelk::SetMeshDrawing(zelk::MeshDrawing::Immediate);
        Draw(model);
        zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
        std::size_t painted = 0;
        for (std::size_t i = 0; i < pixels.size(); i += 3)
            painted += pixels[i] != 0 || pixels[i + 1] != 0 || pixels[i + 2] != 0;
        EXPECT_GT(painted, 3000u);
        EXPECT_LT(painted, static_cast<std::size_t>(kSize * kSize));
        EXPECT_LE(kept.size() / 18, painted + painted / 6);
        EXPECT_TRUE(cached == pixels);
    }
    glLoadIdentity();
    glDisable(GL_LIGHTING);
}

// A model made from a moved mesh, placed and prepared on another thread (as
// the files given at start are), paints what a model placed here and built by
// its first draw paints; its first draw builds nothing.
TEST_F(DrawingScene, AModelPreparedOnAnotherThreadPaintsWhatOneBuiltByItsDrawPaints)
{
    LightTheScene();
    glRotated(-60, 1, 0, 0);
    glRotated(25, 0, 0, 1);
    OnPlatform drawn(SmallFacetSphere());
    drawn.InitialMove({0, 0, -30}, {3.3, -2.1, 0});
    std::unique_ptr<ZELKDBPrint> prepared;
    std::thread reader([&] {
        prepared = std::make_unique<ZELKDBPrint>(SmallFacetSphere());
        prepared->InitialMove({0, 0, -30}, {3.3, -2.1, 0});
        prepared->PrepareDrawing();
    });
    reader.join();
    prepared->SetPlatformMinMaxPoint({-75, -75, 0}, {75, 75, 150});
    EXPECT_TRUE(prepared->IsDrawingPrepared());
    EXPECT_FALSE(prepared->HasPendingTransform());
    EXPECT_FALSE(drawn.IsDrawingPrepared());
    Draw(drawn);
    EXPECT_TRUE(drawn.IsDrawingPrepared());
    const std::vector<unsigned char> built = pixels;
    Draw(*prepared);
    EXPECT_TRUE(built == pixels);
    int lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 3)
        lit += pixels[i + 1] > 0;
    EXPECT_GT(lit, 2000);
    glDisable(GL_LIGHTING);
}

// Edits drawn through the pending transform, each step choosing again which
// small facets can paint (more of them, then fewer, in the same buffer), paint
// what immediate mode paints from the vertices transformed at once.
TEST_F(DrawingScene, PendingEditsPaintWhatTheTransformedVerticesPaint)
{
    LightTheScene();
    glRotated(-60, 1, 0, 0);
    OnPlatform model(SmallFacetSphere());
    ZELKGePrint reference = SmallFacetSphere();
    Draw(model);
    const std::vector<unsigned char> start = pixels;
    ZELKGeMatrix3d steps[5];
    steps[0].Move(ZELKGeVector3d(3.3, -1.7, 0.25));
    steps[1].Rotation(33, ZELKGeVector3d(0.3, 1, 0.2), ZELKGePoint3d(3, -2, 0));
    steps[2].Scaling(1.4, ZELKGePoint3d(3, -2, 0));
    steps[3].Scaling(0.5, ZELKGePoint3d(3, -2, 0));
    steps[4].ScalingOnAxis(-1, Axis_X, ZELKGePoint3d(0, 0, 0));  // a mirror: the drawing is rebuilt
    for (const ZELKGeMatrix3d& step : steps) {
        model.TransFromBy(step);
        reference.TransformBy(step);
        Draw(model);
        const std::vector<unsigned char> cached = pixels;
        OnPlatform immediate(reference);
        zelk::SetMeshDrawing(zelk::MeshDrawing::Immediate);
        Draw(immediate);
        zelk::SetMeshDrawing(zelk::MeshDrawing::Cached);
        EXPECT_TRUE(cached == pixels);
        EXPECT_FALSE(cached == start);
    }
    glDisable(GL_LIGHTING);
}

// The names GL selection reports for a 3 x 3 pixel region about a world point.
int HitsAt(ZELKDBPrint& model, double x, double y)
{
    GLuint buffer[64];
    glSelectBuffer(64, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(7);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    const ZELKGePoint3d w = WindowOf(x, y);
    gluPickMatrix(w.x, kSize - w.y, 3, 3, viewport);
    glOrtho(-50, 50, -50, 50, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    model.Draw();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    return glRenderMode(GL_RENDER);
}

TEST_F(DrawingScene, PickingFindsAModelWhereItsPendingEditsPutIt)
{
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    Draw(model);
    EXPECT_EQ(HitsAt(model, 0, 0), 1);
    model.Move({30, 0, 0});
    ASSERT_TRUE(model.HasPendingTransform());
    EXPECT_EQ(HitsAt(model, 0, 0), 0);
    EXPECT_EQ(HitsAt(model, 30, 0), 1);
    model.RotateBy(45, {0, 0, 1}, {30, 0, 0});  // a corner now reaches x = 30 + 7.07
    EXPECT_EQ(HitsAt(model, 36.5, 0), 1);
    EXPECT_EQ(HitsAt(model, 30, 6.5), 1);
    EXPECT_EQ(HitsAt(model, 34.5, 4.5), 0);
    // A drag step too, applied by the frame that draws it.
    model.TrackTranslation(WindowOf(30, 0), WindowOf(30, 0), 1, 0);
    Draw(model);
    model.TrackTranslation(WindowOf(30, 0), WindowOf(10, -20), 1, 1);
    Draw(model);
    EXPECT_EQ(HitsAt(model, 10, -20), 1);
    EXPECT_EQ(HitsAt(model, 30, 4), 0);  // inside the old place, off the rubber band
    model.TrackTranslation(WindowOf(10, -20), WindowOf(10, -20), 1, 2);
    Draw(model);
    EXPECT_FALSE(model.HasPendingTransform());  // the drag is over: the vertices caught up
    EXPECT_EQ(HitsAt(model, 10, -20), 1);
}

TEST_F(DrawingScene, MoveStepsFollowTheGroundAndDrawTheRubberBand)
{
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    model.TrackTranslation(WindowOf(0, 0), WindowOf(0, 0), 1, 0);
    Draw(model);
    EXPECT_TRUE(model.GetMoveMatrix().IsIdentity());  // coinciding points move nothing
    model.TrackTranslation(WindowOf(0, 0), WindowOf(30, 0), 1, 1);
    Draw(model);
    model.TrackTranslation(WindowOf(30, 0), WindowOf(40, -10), 1, 1);
    Draw(model);
    ZELKGePoint3d c;
    model.GetCenterPointBoundingBox(c);
    ExpectPointNear(c, {40, -10, 5}, 1e-9);
    // The band runs from where the drag started to the pointer, in (128, 128, 0).
    ExpectColour(At(10, -2.5), 128, 128, 0, 40);
    EXPECT_EQ(At(10, -2.5).b, 0);
    EXPECT_GT(At(10, -2.5).r, 60);
    // A redraw without a new step moves nothing.
    Draw(model);
    model.GetCenterPointBoundingBox(c);
    ExpectPointNear(c, {40, -10, 5}, 1e-9);

    model.TrackTranslation(WindowOf(40, -10), WindowOf(40, -10), 1, 2);
    Draw(model);
    EXPECT_EQ(model.GetTrackMode(), 0);
    Draw(model);
    ExpectColour(At(10, -2.5), 0, 0, 0, 0);
}

TEST_F(DrawingScene, RotateStepsTurnAboutTheModelsVertical)
{
    OnPlatform model(Box({0, 0, 0}, {20, 10, 4}));  // centre (10, 5)
    const ZELKGeMatrix3d rotateBefore = model.GetRotateMatrix();
    model.TrackTranslation(WindowOf(30, 5), WindowOf(30, 5), 2, 0);
    Draw(model);
    model.TrackTranslation(WindowOf(30, 5), WindowOf(30, 5 + 1e-12), 2, 1);  // no sweep
    Draw(model);
    ZELKGePoint3d lo, hi;
    model.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {0, 0, 0}, 1e-9);
    ExpectPointNear(hi, {20, 10, 4}, 1e-9);
    model.TrackTranslation(WindowOf(30, 5), WindowOf(10, 25), 2, 1);  // a quarter turn around the pivot
    Draw(model);
    model.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {5, -5, 0}, 1e-9);
    ExpectPointNear(hi, {15, 15, 4}, 1e-9);
    EXPECT_LT(model.GetRotateMatrix().MaxDifference(rotateBefore), 1e-15);
    // The gauge: a circle of radius 50 about the centre, in (128, 128, 0).
    const Rgb gauge = At(10 - 50, 5);
    EXPECT_GT(gauge.r, 60);
    EXPECT_EQ(gauge.r, gauge.g);
    EXPECT_EQ(gauge.b, 0);
}

TEST_F(DrawingScene, ScaleStepsReplaceEachOtherAndAreCapped)
{
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    const ZELKGePoint3d start = WindowOf(0, 0);
    auto sizeAfter = [&](double distance, int phase) {
        model.TrackTranslation(start, WindowOf(distance, 0), 3, phase);
        Draw(model);
        ZELKGePoint3d lo, hi;
        model.GetMinMaxPoint(lo, hi);
        return hi.x - lo.x;
    };
    EXPECT_NEAR(sizeAfter(20, 0), 20, 1e-9);
    EXPECT_NEAR(sizeAfter(30, 1), 30, 1e-9);
    EXPECT_NEAR(sizeAfter(100, 1), 50, 1e-9);
    EXPECT_NEAR(sizeAfter(100, 2), 50, 1e-9);
    EXPECT_EQ(model.GetTrackMode(), 0);
    // The next drag scales the model as it was left.
    EXPECT_NEAR(sizeAfter(20, 0), 100, 1e-9);
}

TEST_F(DrawingScene, TwoSelectedModelsScaleEachAboutItsOwnCentre)
{
    OnPlatform a(Box({-5, -5, 0}, {5, 5, 10}));
    OnPlatform b(Box({25, -5, 0}, {35, 5, 10}));
    for (int phase : {0, 1, 1}) {
        const double distance = phase == 0 ? 20 : 30;
        a.TrackTranslation(WindowOf(0, 0), WindowOf(distance, 0), 3, phase);
        b.TrackTranslation(WindowOf(0, 0), WindowOf(distance, 0), 3, phase);
        Draw(a);
        Draw(b);
    }
    ZELKGePoint3d lo, hi;
    b.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {15, -15, -10}, 1e-9);
    ExpectPointNear(hi, {45, 15, 20}, 1e-9);
}

TEST_F(DrawingScene, LevelViewUsesTheUnprojectedPointsOnThePlatform)
{
    Level level;
    zelk::SetViewConversion(&level);
    OnPlatform model(Box({-5, -5, 0}, {5, 5, 10}));
    model.TrackTranslation({100, 90, 0.5}, {100, 90, 0.5}, 1, 0);
    Draw(model);
    model.TrackTranslation({100, 90, 0.5}, {130, 60, 0.5}, 1, 1);
    Draw(model);
    ZELKGePoint3d c;
    model.GetCenterPointBoundingBox(c);
    ExpectPointNear(c, {15, 0, 5}, 1e-9);  // only along x: the height of the pointer is dropped
}

TEST_F(DrawingScene, EmptyMeshStillRunsItsPendingStep)
{
    OnPlatform model{ZELKGePrint()};
    model.TrackTranslation(WindowOf(0, 0), WindowOf(10, 0), 1, 0);
    Draw(model);
    EXPECT_FALSE(model.GetMoveMatrix().IsIdentity());
    EXPECT_EQ(model.GetTrackFlags() & 0x10, 0);
}

}  // namespace
