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

// Working memory of the choice, kept by the caller between calls.
struct VisibilityScratch {
    std::vector<float> depth;
    std::vector<unsigned char> shows;
};

// Chooses the segments of the layers 0..topLayer that can show in the view.
// A segment is left out when every pixel it may paint (within width / 2 +
// 0.25 pixels of its centre line, up to a pixel beyond its ends) is surely
// covered by a nearer line (within width / 2 - 0.25 of that line's centre,
// half a pixel inside its ends, and the pixel where two segments of a path
// meet), or lies outside the window: rasterisers differ at the edges of
// lines, so the choice keeps whatever one of them might show. Consecutive kept segments of one path are then joined while the
// joined segment stays within a quarter pixel (and a small depth) of the
// points it skips. The picture differs from drawing everything by line edges
// moved a fraction of a pixel, which turns a few pixels.
void ChooseVisibleSegments(const ToolpathModel& model, const LayerChoice& choice, const ParallelView& view,
                           VisibleSegments& out, VisibilityScratch& scratch);

}  // namespace zelk
