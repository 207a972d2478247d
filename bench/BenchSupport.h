// What the drawing benchmarks share: a sphere of many facets, a stopwatch and a median.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <vector>

#include "GePrint.h"

namespace bench {

// A sphere of 2 * stacks * slices facets with outward normals.
inline ZELKGePrint Sphere(const ZELKGePoint3d& centre, double radius, int stacks, int slices)
{
    constexpr double kPi = 3.14159265358979323846;
    auto at = [&](int i, int j) {
        const double theta = kPi * i / stacks, phi = 2 * kPi * j / slices;
        return ZELKGeVector3d(std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta));
    };
    ZELKGePrint mesh;
    auto& facets = mesh.GetGePrint();
    facets.reserve(2 * static_cast<std::size_t>(stacks) * slices);
    auto add = [&](const ZELKGeVector3d& a, const ZELKGeVector3d& b, const ZELKGeVector3d& c) {
        Triangle t;
        t.point[0] = centre + a * radius;
        t.point[1] = centre + b * radius;
        t.point[2] = centre + c * radius;
        t.normal = (a + b + c).Normalize();
        facets.push_back(t);
    };
    for (int i = 0; i < stacks; ++i) {
        for (int j = 0; j < slices; ++j) {
            add(at(i, j), at(i + 1, j), at(i + 1, j + 1));
            add(at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    }
    mesh.UpdateMinMaxPoint();
    return mesh;
}

inline double Milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace bench
