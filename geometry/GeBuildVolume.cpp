// The printer's build volume and the one rule of what fits in it, shared by the plate and the slicer bridge.
#include "GeBuildVolume.h"

#include <cstdio>

namespace {

std::string Millimetres(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    std::string s = text;
    s.erase(s.find_last_not_of('0') + 1);
    if (s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

}  // namespace

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
        return std::string(kAxes[a]) + " from " + Millimetres(low[a]) + " to " + Millimetres(high[a]) + " mm, " +
               reach + Millimetres(min[a]) + " to " + Millimetres(max[a]) + " mm";
    }
    return std::string();
}
