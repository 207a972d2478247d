// Holes in open meshes found and closed with the right winding; closed meshes (the test solids among them) left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "MeshHoles.h"
#include "StlShapes.h"

namespace {

std::vector<Triangle> ToTriangles(const std::vector<stlshapes::Facet>& facets)
{
    std::vector<Triangle> out;
    for (const stlshapes::Facet& f : facets) {
        Triangle t;
        for (int k = 0; k < 3; ++k)
            t.point[k] = ZELKGePoint3d(f[static_cast<std::size_t>(k)][0], f[static_cast<std::size_t>(k)][1],
                                       f[static_cast<std::size_t>(k)][2]);
        out.push_back(t);
    }
    return out;
}

// The enclosed volume: positive when every facet faces outwards.
double SignedVolume(const std::vector<Triangle>& triangles)
{
    double volume = 0;
    for (const Triangle& t : triangles) {
        const ZELKGePoint3d &a = t.point[0], &b = t.point[1], &c = t.point[2];
        volume += (a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x)) / 6;
    }
    return volume;
}

TEST(MeshHoles, TheTestSolidsAreClosedAndFaceOutwards)
{
    struct Case {
        const char* name;
        std::vector<stlshapes::Facet> facets;
        double volume;
    };
    const Case cases[] = {
        {"box", stlshapes::Box(30, -40, 0, 50, -20, 20), 8000},
        {"T", stlshapes::TShape(40, 10, 15, 5, 10), 10 * 15 * 10 + 40 * 5 * 10},
        {"cylinder", stlshapes::Cylinder(0, 0, 10, 0, 20, 720), M_PI * 100 * 20},
        {"sphere", stlshapes::Sphere(5, 5, 10, 20000), 4.0 / 3 * M_PI * 1000},
    };
    for (const Case& c : cases) {
        const std::vector<Triangle> triangles = ToTriangles(c.facets);
        std::size_t holes = 99;
        EXPECT_TRUE(bridge::CloseHoles(triangles, holes).empty()) << c.name;
        EXPECT_EQ(holes, 0u) << c.name;
        EXPECT_NEAR(SignedVolume(triangles), c.volume, c.volume * 0.01) << c.name;
    }
}

TEST(MeshHoles, MissingFacetsAreReplacedWoundLikeTheirNeighbours)
{
    struct Case {
        const char* name;
        std::vector<std::size_t> removed;  // facet indices of a 20 mm box
        std::size_t holes;
        std::size_t patches;
    };
    const Case cases[] = {
        {"one facet", {11}, 1, 1},
        {"a whole side", {10, 11}, 1, 2},
        {"bottom and top", {0, 1, 2, 3}, 2, 4},
        {"two separate facets", {0, 3}, 2, 2},
    };
    const std::vector<Triangle> box = ToTriangles(stlshapes::Box(0, 0, 0, 20, 20, 20));
    for (const Case& c : cases) {
        std::vector<Triangle> open;
        for (std::size_t i = 0; i < box.size(); ++i)
            if (std::find(c.removed.begin(), c.removed.end(), i) == c.removed.end())
                open.push_back(box[i]);
        std::size_t holes = 0;
        const std::vector<Triangle> patches = bridge::CloseHoles(open, holes);
        EXPECT_EQ(holes, c.holes) << c.name;
        EXPECT_EQ(patches.size(), c.patches) << c.name;
        std::vector<Triangle> closed = open;
        closed.insert(closed.end(), patches.begin(), patches.end());
        EXPECT_NEAR(SignedVolume(closed), 8000, 1e-6) << c.name;
        std::size_t left = 99;
        bridge::CloseHoles(closed, left);
        EXPECT_EQ(left, 0u) << c.name;
    }
}

TEST(MeshHoles, FacetsThatBoundNoSolidAreLeftAlone)
{
    // A lone facet and an open sheet (one side of a box) are all edge: there is nothing to close.
    std::vector<stlshapes::Facet> side = stlshapes::Box(0, 0, 0, 20, 20, 20);
    side.resize(2);
    for (const std::vector<stlshapes::Facet>& sheet :
         {std::vector<stlshapes::Facet>{{{{0, 0, 0}, {10, 0, 0}, {0, 0, 10}}}}, side}) {
        std::size_t holes = 99;
        EXPECT_TRUE(bridge::CloseHoles(ToTriangles(sheet), holes).empty());
        EXPECT_EQ(holes, 0u);
    }

    std::vector<Triangle> box = ToTriangles(stlshapes::Box(0, 0, 0, 20, 20, 20));
    std::swap(box[5].point[1], box[5].point[2]);
    Triangle sliver;
    sliver.point[0] = sliver.point[1] = ZELKGePoint3d(0, 0, 0);
    sliver.point[2] = ZELKGePoint3d(20, 20, 20);
    box.push_back(sliver);
    std::size_t holes = 99;
    EXPECT_TRUE(bridge::CloseHoles(box, holes).empty());
    EXPECT_EQ(holes, 0u);
}

}  // namespace
