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
    const float down[3] = {0, 0, -1};  // a view from below: only the bottom's two facets face it
    zelk::FrontFacingVertices(arrays, down, front);
    ASSERT_EQ(front.size(), 2u * 18u);
    EXPECT_TRUE(std::equal(front.begin(), front.end(), arrays.Data().begin()));  // the first two facets, as stored
    const float slanted[3] = {1, 1, 1};
    zelk::FrontFacingVertices(arrays, slanted, front);
    EXPECT_EQ(front.size(), 6u * 18u);  // top, +x and +y faces
}

}  // namespace
