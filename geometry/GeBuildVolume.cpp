// The printer's build volume and the one rule of what fits in it, shared by the plate and the slicer bridge.
#include "GeBuildVolume.h"

#include "GeNumberText.h"


ZELKGeBuildVolume ZELKGeBuildVolume::Platform(double lengthMm, double widthMm, double heightMm)
{
    ZELKGeBuildVolume volume;
    volume.min.Set(-lengthMm / 2, -widthMm / 2, 0);
    volume.max.Set(lengthMm / 2, widthMm / 2, heightMm);
    return volume;
}

bool ZELKGeBuildVolume::Holds(const ZELKGePoint3d& low, const ZELKGePoint3d& high) const
{
    return Beyond(low, high).empty();
}

std::string ZELKGeBuildVolume::Beyond(const ZELKGePoint3d& low, const ZELKGePoint3d& high) const
{
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (int a = 0; a < 3; ++a) {
        if (low[a] - min[a] >= -kToleranceMm && high[a] - max[a] <= kToleranceMm)
            continue;
        const std::string reach = a == 2 ? "the printer reaches from " : "the platform reaches from ";
        return std::string(kAxes[a]) + " from " + zelk::ShortNumber(low[a], 2) + " to " + zelk::ShortNumber(high[a], 2) + " mm, " +
               reach + zelk::ShortNumber(min[a], 2) + " to " + zelk::ShortNumber(max[a], 2) + " mm";
    }
    return std::string();
}
