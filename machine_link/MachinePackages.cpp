// The fixed S3G packets the machine link sends on its own, and the computed ones.
#include "MachinePackages.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "ScanNumbers.h"

namespace zelk {

namespace {

Package Fixed(std::initializer_list<unsigned char> frame, int tag = 0)
{
    Package p;
    p.size = static_cast<int>(frame.size());
    std::copy(frame.begin(), frame.end(), p.data);
    p.tag = tag;
    return p;
}

}  // namespace

Package IsFinishedPackage() { return Fixed({0xD5, 0x01, 0x0B, 0x20}); }
Package ExtruderTemperatureQueryPackage() { return Fixed({0xD5, 0x03, 0x0A, 0x00, 0x02, 0xD6}); }
Package PlatformTemperatureQueryPackage() { return Fixed({0xD5, 0x03, 0x0A, 0x00, 0x1E, 0xE8}, 1); }
Package MachineCoordinateQueryPackage() { return Fixed({0xD5, 0x01, 0x15, 0xA2}); }
Package ExtendedStopPackage() { return Fixed({0xD5, 0x02, 0x16, 0x03, 0xA4}); }
Package WaitForToolPackage() { return Fixed({0xD5, 0x06, 0x87, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0x45}); }
Package ChangeToolPackage() { return Fixed({0xD5, 0x02, 0x86, 0x00, 0x85}); }
Package EnableAllAxesPackage() { return Fixed({0xD5, 0x02, 0x89, 0x9F, 0xCD}); }
Package ExtruderMotorPackage() { return Fixed({0xD5, 0x05, 0x88, 0x00, 0x0A, 0x01, 0x03, 0xB9}); }

Package PrintPercentPackage(int percent)
{
    return ZELKMachineCodeBuild::GetPackage(150, {{1, std::min(percent, 100)}, {1, 255}});
}

Package ExtruderMovePackage(int direction, float speed, int seconds)
{
    const int k = TruncateToInt(std::min(speed, 20.0f));
    const int sign = direction == 0 ? 1 : -1;
    const float minutes = static_cast<float>(seconds) / 60.0f;
    const int a = TruncateToInt(static_cast<double>(sign * k) * minutes * 3200.0);
    const long long micros = static_cast<long long>(seconds) * 1000000LL;
    return ZELKMachineCodeBuild::GetPackage(
        142, {{3, 0}, {3, 0}, {3, 0}, {3, a}, {3, 0}, {3, static_cast<int>(micros)}, {1, 31}});
}

}  // namespace zelk
