// Arranging model footprints side by side on the platform, without overlap, centred.
#pragma once

#include <vector>

namespace zelk {

// The extent of one model on the platform, in mm.
struct Footprint {
    double sizeX = 0.0;
    double sizeY = 0.0;
};

// Where a footprint's centre goes, in mm from the platform centre.
struct Placement {
    double centerX = 0.0;
    double centerY = 0.0;
};

struct LayoutResult {
    std::vector<Placement> placements;  // one per footprint, in the given order
    double width = 0.0;                 // extent of the whole arrangement
    double depth = 0.0;
    bool fits = false;                  // inside platformX x platformY
};

// Rows of footprints (deepest first, each row centred), rows stacked along y
// and the whole arrangement centred on the platform. Of the row widths that
// fit, the one with the most even use of the platform is taken; when none fits
// the most compact arrangement is returned with fits = false.
LayoutResult ArrangeOnPlatform(const std::vector<Footprint>& footprints, double platformX, double platformY,
                               double gapMm);

}  // namespace zelk
