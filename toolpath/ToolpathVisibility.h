// The toolpath segments a view can show: those not hidden behind nearer ones, with runs that look straight joined.
#pragma once

#include <cstddef>
#include <vector>

namespace zelk {

struct ToolpathModel;

// A parallel view: the window x, y (pixels) and depth (0 near .. 1 far) of a
// world point p are rows[i] . (p, 1); the window is width x height pixels.
struct ParallelView {
    double rows[3][4] = {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
    int width = 0;
    int height = 0;
    bool operator==(const ParallelView&) const = default;
};

// What is drawn: the layers 0..topLayer, travel or not, and the line widths (pixels).
struct LayerChoice {
    std::size_t topLayer = 0;
    bool showTravel = true;
    float extrusionWidth = 2.0f;
    float travelWidth = 1.0f;
    bool operator==(const LayerChoice&) const = default;
};

// The segments chosen for one view, GL_LINES pairs of (x, y, z): the
// extrusion below the top layer, then the top layer's, then travel.
struct VisibleSegments {
    std::vector<float> xyz;
    std::size_t belowEnd = 0;   // vertices
    std::size_t topEnd = 0;
    std::size_t travelEnd = 0;
};

// Chooses the segments of the layers 0..topLayer that can show in the view.
// Each segment is walked over the pixels OpenGL paints for it (one or two a
// column, by its width): a segment is left out when at none of them it is the
// nearest (within a small depth tolerance) of all the segments drawn, which
// is also so when it lies outside the window or passes no pixel centre. Consecutive kept segments of one path are then joined while the
// joined segment stays within a quarter pixel (and a small depth) of the
// points it skips. The picture differs from drawing everything by line edges
// moved a fraction of a pixel, which turns a few pixels. `depth` is scratch space kept by the caller
// between calls.
void ChooseVisibleSegments(const ToolpathModel& model, const LayerChoice& choice, const ParallelView& view,
                           VisibleSegments& out, std::vector<float>& depth);

}  // namespace zelk
