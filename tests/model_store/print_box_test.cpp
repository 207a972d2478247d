// The build-volume entity's geometry and the cached drawing arrays of models (no OpenGL needed).
#include <gtest/gtest.h>

#include "DBPrint.h"
#include "DBPrintBox.h"
#include "MeshCache.h"
#include "ModelFixtures.h"

#include <algorithm>

using modeltest::ExpectPointNear;

namespace {

TEST(PrintBox, GridOfTheDefaultVolume)
{
    const auto lines = zelk::PrintBoxGridLines(MakePrintBox(150, 150, 150));
    ASSERT_EQ(lines.size(), 30u);
    // 15 lines across x first, the last on the far edge, each from the near to the far y edge.
    ExpectPointNear(lines[0].start, {-65, -75, 0}, 0);
    ExpectPointNear(lines[14].start, {75, -75, 0}, 0);
    ExpectPointNear(lines[14].end, {75, 75, 0}, 0);
    ExpectPointNear(lines[15].start, {-75, -65, 0}, 0);
    ExpectPointNear(lines[29].end, {75, 75, 0}, 0);
}

TEST(PrintBox, NarrowVolumeHasNoLinesAcrossX)
{
    const auto lines = zelk::PrintBoxGridLines(MakePrintBox(9.5, 35, 20));
    ASSERT_EQ(lines.size(), 3u);
    for (const ZELKGeLine& line : lines)
        EXPECT_DOUBLE_EQ(line.start.y, line.end.y);  // all parallel to x
}

TEST(PrintBox, BoxCentreAndFixedCorners)
{
    ZELKDBPrintBox box;
    box.SetPrintBox(MakePrintBox(150, 150, 150));
    EXPECT_EQ(box.GetEventType(), 3);
    ZELKGePoint3d lo, hi, c;
    box.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {-75, -75, 0}, 0);
    ExpectPointNear(hi, {75, 75, 150}, 0);
    box.GetCenterPoint(c);
    ExpectPointNear(c, {0, 0, 75}, 1e-12);
    ZELKGeMatrix3d m;
    m.Scaling(3, {0, 0, 0});
    box.Move({0, 0, 0}, {10, 10, 10});
    box.Move({5, 5, 5});
    box.RotateBy(45, {0, 0, 1}, {0, 0, 0});
    box.TransFromBy(m);
    box.Scale(2);
    box.Scale(2, Axis_X);
    box.GetMinMaxPoint(lo, hi);
    ExpectPointNear(lo, {-75, -75, 0}, 0);
    ExpectPointNear(hi, {75, 75, 150}, 0);
    EXPECT_EQ(box.IsInPlatform(), 0);
}

TEST(PrintBox, FaceMarkerFramesTheNearFaceWithANotch)
{
    const auto marker = zelk::PrintBoxFaceMarker(MakePrintBox(150, 150, 150));
    ASSERT_EQ(marker.size(), 8u);
    ExpectPointNear(marker.front(), marker.back(), 0);
    ExpectPointNear(marker[0], {-77, -77, -2}, 1e-12);
    ExpectPointNear(marker[2], {-73 + 0.5 * 154, -95, -2}, 1e-12);  // the notch, 18 below the frame
    ExpectPointNear(marker[5], {77, -77, 152}, 1e-12);
}

TEST(MeshDrawing, FacetNormals)
{
    Triangle t;
    t.point[0] = {0, 0, 5};
    t.point[1] = {10, 0, 5};
    t.point[2] = {0, 10, 5};
    ExpectPointNear(zelk::FacetDrawNormal(t).AsPoint(), {0, 0, 1}, 1e-12);  // zero: from the vertices
    t.normal = {-1, 0, 0};
    ExpectPointNear(zelk::FacetDrawNormal(t).AsPoint(), {-1, 0, 0}, 0);      // kept
    t.normal = {0, 3, 4};
    ExpectPointNear(zelk::FacetDrawNormal(t).AsPoint(), {0, 0.6, 0.8}, 1e-12);
}

TEST(MeshDrawing, ArraysFollowTheMeshInOrder)
{
    const ZELKGePrint mesh = modeltest::Box({0, 0, 0}, {1, 2, 3});
    zelk::MeshVertexArray arrays;
    EXPECT_FALSE(arrays.IsCurrent(0));
    arrays.Build(mesh, 7);
    EXPECT_TRUE(arrays.IsCurrent(7));
    EXPECT_FALSE(arrays.IsCurrent(8));
    ASSERT_EQ(arrays.VertexCount(), 36u);
    const auto& facets = mesh.GetGePrint();
    for (std::size_t f = 0; f < facets.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const float* v = arrays.Data().data() + (3 * f + k) * 6;
            EXPECT_FLOAT_EQ(v[0], static_cast<float>(facets[f].normal.x));
            EXPECT_FLOAT_EQ(v[3], static_cast<float>(facets[f].point[k].x));
            EXPECT_FLOAT_EQ(v[5], static_cast<float>(facets[f].point[k].z));
        }
    }
}

TEST(MeshDrawing, NewMeshesMoveTheRevisionAndTransformsTheDrawTransform)
{
    ZELKDBPrint model(modeltest::Box({0, 0, 0}, {10, 10, 10}));
    unsigned last = model.GetMeshRevision();
    auto changed = [&] {
        const bool moved = model.GetMeshRevision() != last;
        last = model.GetMeshRevision();
        return moved;
    };
    ZELKGePoint3d c, lo, hi;
    model.GetCenterPoint(c);
    model.GetMinMaxPoint(lo, hi);
    static_cast<const ZELKDBPrint&>(model).GetPrint();
    EXPECT_FALSE(changed());
    // Transforms leave the cache and accumulate in the drawing transform,
    // which maps the mesh as first drawn onto the mesh as it is.
    const ZELKGePrint before = model.GetPrint();
    changed();
    model.Move({1, 0, 0});
    model.RotateBy(10, {0, 0, 1}, c);
    model.Scale(1.5);
    model.Scale(0.5, Axis_Y);
    EXPECT_FALSE(changed());
    ZELKGePrint replayed = before;
    replayed.TransformBy(model.GetDrawTransform());
    modeltest::ExpectMeshNear(replayed, static_cast<const ZELKDBPrint&>(model).GetPrint(), 1e-9);
    model.SetPrint(modeltest::Box({0, 0, 0}, {1, 1, 1}));
    EXPECT_TRUE(changed());
    model.GetPrint().GetGePrint().clear();  // a caller may change the mesh it is handed
    EXPECT_TRUE(changed());
}

}  // namespace

namespace {

TEST(MeshDrawing, FrontFacingVerticesKeepOrderAndLeaveOutTheBackFacets)
{
    const ZELKGePrint mesh = modeltest::Box({0, 0, 0}, {1, 2, 3});
    zelk::MeshVertexArray arrays;
    arrays.Build(mesh, 1);
    std::vector<float> front;
    zelk::FacetFilter below;  // a view from below: only the bottom's two facets face it
    below.facing[2] = -1;
    zelk::VisibleVertices(arrays, below, front);
    ASSERT_EQ(front.size(), 2u * 18u);
    EXPECT_TRUE(std::equal(front.begin(), front.end(), arrays.Data().begin()));  // the first two facets, as stored
    zelk::FacetFilter slanted;
    slanted.facing[0] = slanted.facing[1] = slanted.facing[2] = 1;
    zelk::VisibleVertices(arrays, slanted, front);
    EXPECT_EQ(front.size(), 6u * 18u);  // top, +x and +y faces
}

}  // namespace

namespace {

// Seen from above at one pixel per unit in a 100 x 100 viewport: facets that
// cover no pixel centre of it are left out.
TEST(MeshDrawing, FacetsBetweenPixelCentresAreLeftOut)
{
    auto facet = [](double x0, double y0, double size) {
        Triangle t;
        t.point[0] = {x0, y0, 0};
        t.point[1] = {x0 + size, y0, 0};
        t.point[2] = {x0, y0 + size, 0};
        return t;
    };
    // The upper right half of a square: its box holds the centre (60.5,
    // 60.5), which lies 0.07 pixels beyond its long edge.
    Triangle corner;
    corner.point[0] = {60.95, 60.15, 0};
    corner.point[1] = {60.95, 60.95, 0};
    corner.point[2] = {60.15, 60.95, 0};
    Triangle grazing = corner;  // the same, its long edge through the centre: kept
    for (ZELKGePoint3d& p : grazing.point)
        p = p - ZELKGeVector3d(0.05, 0.05, 0);
    ZELKGePrint mesh;
    mesh.GetGePrint() = {facet(10.1, 10.1, 0.3),    // inside one pixel, away from its centre: nothing
                         facet(10.3, 10.3, 0.4),    // holds the centre (10.5, 10.5) on its long edge
                         facet(20.6, 20.6, 0.8),    // between centres 20.5 and 21.5: nothing
                         facet(30.0, 30.0, 0.5),    // its box reaches the centre (30.5, 30.5), the facet does not
                         facet(40.0, 40.0, 5.0),
                         corner,
                         grazing,
                         facet(150.0, 40.0, 5.0),   // beside the viewport: nothing
                         facet(98.0, -3.0, 5.0),    // over its corner, covering (99.5, 0.5): kept
                         facet(99.7, 50.2, 0.9)};   // its only centre (100.5, 50.5) is beside it: nothing
    zelk::MeshVertexArray arrays;
    arrays.Build(mesh, 1);
    zelk::FacetFilter filter;
    filter.facing[2] = 1;
    filter.bySize = true;
    filter.window[0][0] = filter.window[1][1] = 1.0;
    filter.viewport[2] = filter.viewport[3] = 100;
    std::vector<float> kept;
    zelk::VisibleVertices(arrays, filter, kept);
    std::vector<float> firstX;
    for (std::size_t i = 0; i < kept.size(); i += 18)
        firstX.push_back(kept[i + 3]);
    EXPECT_EQ(firstX, (std::vector<float>{10.3f, 40.0f, 60.9f, 98.0f}));
    filter.bySize = false;
    zelk::VisibleVertices(arrays, filter, kept);
    EXPECT_EQ(kept.size(), 10u * 18u);
}

// The centre test on its own: a facet is tried against every centre in its
// box, and one whose box spans many centres is kept untried.
TEST(MeshDrawing, CentreTestTriesTheCentresOfTheBox)
{
    const double viewport[4] = {0, 0, 800, 600};
    // A thin facet across three pixels: its box holds the centres (2.5, 4.5)
    // to (4.5, 4.5), which all lie 0.04 pixels or more beyond its edges.
    const double x[3] = {2.2, 4.8, 2.2}, y[3] = {4.3, 4.9, 4.4};
    EXPECT_FALSE(zelk::CoversPixelCentre(x, y, viewport));
    // Its third corner raised: it covers (2.5, 4.5).
    const double y2[3] = {4.3, 4.9, 4.8};
    EXPECT_TRUE(zelk::CoversPixelCentre(x, y2, viewport));
    // Clockwise corners are tried the same way.
    const double xr[3] = {x[0], x[2], x[1]}, yr[3] = {y2[0], y2[2], y2[1]}, yr0[3] = {y[0], y[2], y[1]};
    EXPECT_TRUE(zelk::CoversPixelCentre(xr, yr, viewport));
    EXPECT_FALSE(zelk::CoversPixelCentre(xr, yr0, viewport));
    // A rasteriser with a coarse subpixel grid (4 bits) may move a corner
    // far enough to reach a centre 0.04 pixels away: the facet is kept.
    EXPECT_TRUE(zelk::CoversPixelCentre(x, y, viewport, 1.5 / 16));
    // Eight pixels wide: kept without trying, though it covers no centre.
    const double xl[3] = {1.2, 9.8, 1.2}, yl[3] = {4.6, 4.9, 4.62};
    EXPECT_TRUE(zelk::CoversPixelCentre(xl, yl, viewport));
    // In no row of the viewport.
    const double yo[3] = {-3.0, -0.6, -2.0};
    EXPECT_FALSE(zelk::CoversPixelCentre(x, yo, viewport));
}

}  // namespace

namespace {

// Many facets, every other one facing away: they come in full blocks and a
// last partial one, in their order, and make up what VisibleVertices gives.
TEST(MeshDrawing, VisibleFacetsComeInBlocksInTheirOrder)
{
    ZELKGePrint mesh;
    const std::size_t count = 2 * zelk::kVisibleBlockFacets + 300;
    for (std::size_t i = 0; i < 2 * count; ++i) {
        const double x = static_cast<double>(i);
        Triangle t;
        t.point[0] = {x, 0, 0};
        t.point[1] = i % 2 == 0 ? ZELKGePoint3d(x + 1, 0, 0) : ZELKGePoint3d(x, 1, 0);
        t.point[2] = i % 2 == 0 ? ZELKGePoint3d(x, 1, 0) : ZELKGePoint3d(x + 1, 0, 0);
        mesh.GetGePrint().push_back(t);
    }
    zelk::MeshVertexArray arrays;
    arrays.Build(mesh, 1);
    zelk::FacetFilter up;
    up.facing[2] = 1;
    std::vector<std::size_t> blocks;
    std::vector<float> joined;
    zelk::ForEachVisibleBlock(arrays, up, [&](const float* vertices, std::size_t facets) {
        blocks.push_back(facets);
        joined.insert(joined.end(), vertices, vertices + 18 * facets);
    });
    EXPECT_EQ(blocks, (std::vector<std::size_t>{zelk::kVisibleBlockFacets, zelk::kVisibleBlockFacets, 300}));
    ASSERT_EQ(joined.size(), count * 18);
    for (std::size_t k = 0; k < count; ++k)
        ASSERT_FLOAT_EQ(joined[18 * k + 3], static_cast<float>(2 * k)) << "facet " << k;  // the even facets
    std::vector<float> all;
    zelk::VisibleVertices(arrays, up, all);
    EXPECT_EQ(all, joined);
}

}  // namespace

namespace {

// A mesh large enough to be tested on two threads: small facets, some facing
// away, some between pixel centres, some off the viewport. What passes is what
// its two halves give when each is tested alone, lower half first, in blocks
// of at most kVisibleBlockFacets facets.
TEST(MeshDrawing, ALargeMeshTestedOnTwoThreadsKeepsTheOrderOfOneThread)
{
    const std::size_t count = zelk::kParallelFilterFacets + 2 * zelk::kVisibleBlockFacets + 501;
    ZELKGePrint whole, lower, upper;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(i % 997) * 0.37, y = static_cast<double>(i / 997) * 0.29;
        const double size = 0.2 + static_cast<double>(i % 7) * 0.15;
        Triangle t;
        t.point[0] = {x, y, 0};
        t.point[1] = i % 5 == 0 ? ZELKGePoint3d(x, y + size, 0) : ZELKGePoint3d(x + size, y, 0);
        t.point[2] = i % 5 == 0 ? ZELKGePoint3d(x + size, y, 0) : ZELKGePoint3d(x, y + size, 0);
        whole.GetGePrint().push_back(t);
        (i < count / 2 ? lower : upper).GetGePrint().push_back(t);
    }
    zelk::FacetFilter filter;
    filter.facing[2] = 1;
    filter.bySize = true;
    filter.window[0][0] = filter.window[1][1] = 1.0;
    filter.viewport[2] = 300;
    filter.viewport[3] = 200;
    const auto visible = [&filter](const ZELKGePrint& mesh) {
        zelk::MeshVertexArray arrays;
        arrays.Build(mesh, 1);
        std::vector<float> out;
        zelk::VisibleVertices(arrays, filter, out);
        return out;
    };
    std::vector<float> expected = visible(lower);
    const std::vector<float> tail = visible(upper);
    expected.insert(expected.end(), tail.begin(), tail.end());
    ASSERT_GT(expected.size(), 18u * 2 * zelk::kVisibleBlockFacets);
    ASSERT_LT(expected.size(), 18u * count * 4 / 5);  // the filter left some out

    zelk::MeshVertexArray arrays;
    arrays.Build(whole, 1);
    std::vector<std::size_t> blocks;
    std::vector<float> joined;
    zelk::ForEachVisibleBlock(arrays, filter, [&](const float* vertices, std::size_t facets) {
        blocks.push_back(facets);
        joined.insert(joined.end(), vertices, vertices + 18 * facets);
    });
    EXPECT_EQ(joined, expected);
    for (std::size_t b = 0; b + 1 < blocks.size(); ++b)
        EXPECT_LE(blocks[b], zelk::kVisibleBlockFacets);
    EXPECT_EQ(visible(whole), expected);
}

}  // namespace

namespace {

// A mesh large enough to be built on two threads holds the arrays of its two
// halves built alone, one after the other; zero normals are made from the
// vertices on both threads alike.
TEST(MeshDrawing, ALargeMeshBuiltOnTwoThreadsHoldsTheArraysOfItsHalves)
{
    const std::size_t count = zelk::kParallelBuildFacets + 777;
    ZELKGePrint whole, lower, upper;
    for (std::size_t i = 0; i < count; ++i) {
        const double x = static_cast<double>(i % 1009), y = static_cast<double>(i / 1009) * 0.5;
        Triangle t;
        t.point[0] = {x, y, 0.1 * static_cast<double>(i % 3)};
        t.point[1] = {x + 1, y, 0};
        t.point[2] = {x, y + 1 + 0.01 * static_cast<double>(i % 11), 0};
        if (i % 4 != 0)
            t.normal = ZELKGeVector3d(0, static_cast<double>(i % 5), 2);
        whole.GetGePrint().push_back(t);
        (i < count / 2 ? lower : upper).GetGePrint().push_back(t);
    }
    zelk::MeshVertexArray all, first, second;
    all.Build(whole, 1);
    first.Build(lower, 1);
    second.Build(upper, 1);
    std::vector<float> data(first.Data().begin(), first.Data().end());
    data.insert(data.end(), second.Data().begin(), second.Data().end());
    std::vector<float> windings(first.Windings().begin(), first.Windings().end());
    windings.insert(windings.end(), second.Windings().begin(), second.Windings().end());
    EXPECT_EQ(std::vector<float>(all.Data().begin(), all.Data().end()), data);
    EXPECT_EQ(std::vector<float>(all.Windings().begin(), all.Windings().end()), windings);
    EXPECT_EQ(all.VertexCount(), 3 * count);
    zelk::MeshVertexArray alone;
    alone.Build(whole, 1, false);  // on this thread only: the same arrays
    EXPECT_TRUE(std::equal(alone.Data().begin(), alone.Data().end(), all.Data().begin(), all.Data().end()));
    EXPECT_TRUE(
        std::equal(alone.Windings().begin(), alone.Windings().end(), all.Windings().begin(), all.Windings().end()));

    // Built again from a smaller mesh, the arrays take its size.
    all.Build(lower, 2);
    EXPECT_EQ(std::vector<float>(all.Data().begin(), all.Data().end()),
              std::vector<float>(first.Data().begin(), first.Data().end()));
}

}  // namespace
