// The printer's build volume and the one rule of what fits in it, shared by the plate and the slicer bridge.
#pragma once

#include <string>

#include "GePoint3d.h"

// The platform centred on the origin, from the plate (z = 0) up to its height.
struct ZELKGeBuildVolume {
    // 0.01 mm of overhang still counts as inside; the extra nanometre absorbs
    // the rounding of a coordinate such as 75.01 - 75 meant to be exactly 0.01.
    static constexpr double kToleranceMm = 0.01 + 1e-9;

    ZELKGePoint3d min;
    ZELKGePoint3d max;

    static ZELKGeBuildVolume Platform(double lengthMm, double widthMm, double heightMm);

    // Whether a model's box lies inside, within the tolerance.
    bool Holds(const ZELKGePoint3d& low, const ZELKGePoint3d& high) const;
    // Whether a box stands on the plate (its lowest point no higher than the tolerance).
    static bool OnPlate(const ZELKGePoint3d& low) { return low.z <= kToleranceMm; }
    // Empty when the box fits; else the first axis that leaves the volume, with
    // the box's and the volume's numbers ("X from 425 to 575 mm, the platform
    // reaches from -75 to 75 mm").
    std::string Beyond(const ZELKGePoint3d& low, const ZELKGePoint3d& high) const;
};
