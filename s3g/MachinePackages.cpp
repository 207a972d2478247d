// The fixed S3G packets the machine link sends on its own, and the computed ones.
#include "MachinePackages.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "S3GCommands.h"
#include "ScanNumbers.h"

namespace zelk {

namespace {

using namespace s3g;

Package Build(int command, std::initializer_list<PackageData> fields, int tag = 0)
{
    Package p = ZELKMachineCodeBuild::GetPackage(command, fields);
    p.tag = tag;
    return p;
}

// The printer's wait for its tool: poll every 100 ms, give up after the
// longest timeout the field holds.
constexpr int kToolPollMs = 100;
constexpr int kToolTimeoutS = 65535;
// The motor state the extruder motor is switched to, in one byte.
constexpr int kExtruderMotorOn = 3;
constexpr int kMotorStateBytes = 1;

}  // namespace

Package VersionQueryPackage() { return Build(kQueryVersion, {{kField16, kHostVersion}}); }
Package IsFinishedPackage() { return Build(kQueryIsFinished, {}); }
Package ExtruderTemperatureQueryPackage()
{
    return Build(kQueryTool, {{kField8, kTool0}, {kField8, kToolQueryExtruderTemperature}});
}
Package PlatformTemperatureQueryPackage()
{
    return Build(kQueryTool, {{kField8, kTool0}, {kField8, kToolQueryPlatformTemperature}}, 1);
}
Package MachineCoordinateQueryPackage() { return Build(kQueryExtendedPosition, {}); }
Package ExtendedStopPackage() { return Build(kQueryExtendedStop, {{kField8, kStopSteppersAndBuffer}}); }
Package PausePackage() { return Build(kQueryPause, {}); }
Package HaltSteppersPackage() { return Build(kQueryExtendedStop, {{kField8, kStopSteppers}}); }
Package WaitForToolPackage()
{
    return Build(kCmdWaitForTool, {{kField8, kTool0}, {kField16, kToolPollMs}, {kField16, kToolTimeoutS}});
}
Package ChangeToolPackage() { return Build(kCmdChangeTool, {{kField8, kTool0}}); }
Package EnableAllAxesPackage() { return Build(kCmdEnableAxes, {{kField8, kEnableAxesBit | kAllAxes}}); }
Package ExtruderMotorPackage()
{
    return Build(kCmdToolAction, {{kField8, kTool0}, {kField8, kToolEnableMotor}, {kField8, kMotorStateBytes}, {kField8, kExtruderMotorOn}});
}

Package PrintPercentPackage(int percent)
{
    return ZELKMachineCodeBuild::GetPackage(s3g::kCmdSetBuildPercentage,
                                           {{s3g::kField8, std::min(percent, 100)}, {s3g::kField8, s3g::kPercentReserved}});
}

Package ExtruderMovePackage(int direction, float speed, int seconds)
{
    const int k = TruncateToInt(std::min(speed, 20.0f));
    const int sign = direction == 0 ? 1 : -1;
    const float minutes = static_cast<float>(seconds) / 60.0f;
    const int a = TruncateToInt(static_cast<double>(sign * k) * minutes * 3200.0);
    const long long micros = static_cast<long long>(seconds) * 1000000LL;
    using namespace s3g;
    return ZELKMachineCodeBuild::GetPackage(
        kCmdQueueRelativePoint, {{kField32, 0}, {kField32, 0}, {kField32, 0}, {kField32, a}, {kField32, 0},
                                 {kField32, static_cast<int>(micros)}, {kField8, kAllAxes}});
}

bool ReadTemperatureTarget(const Package& package, Heater& heater, int& celsius)
{
    // Tool action: tool, sub-command, payload length 2, degrees (16 bits).
    if (package.PayloadSize() < 6)
        return false;
    const unsigned char* p = package.Payload();
    if (p[0] != kCmdToolAction || p[3] != 2 || (p[2] != kToolSetTemperature && p[2] != kToolSetPlatformTemperature))
        return false;
    heater = p[2] == kToolSetTemperature ? Heater::Extruder : Heater::Platform;
    celsius = static_cast<std::int16_t>(static_cast<std::uint16_t>(p[4] | (p[5] << 8)));
    return true;
}

}  // namespace zelk
