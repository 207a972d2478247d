// The fixed S3G packets the machine link sends on its own, and the
// build-percentage command.
#pragma once

#include "Heater.h"
#include "Package.h"

namespace zelk {

// Query 0 with host version 40: which firmware the printer runs. D5 03 00 28 00 B7.
Package VersionQueryPackage();
// Query 11: is the build finished. D5 01 0B 20.
Package IsFinishedPackage();
// Query 10, tool 0, sub-query 2: extruder temperature. D5 03 0A 00 02 D6.
Package ExtruderTemperatureQueryPackage();
// Query 10, tool 0, sub-query 30: platform temperature; tag 1. D5 03 0A 00 1E E8.
Package PlatformTemperatureQueryPackage();
// Query 21: extended position. D5 01 15 A2.
Package MachineCoordinateQueryPackage();
// Query 22 with flags 3: halt the steppers, clear the command buffer. D5 02 16 03 A4.
Package ExtendedStopPackage();
// Query 22 with flags 1: halt the motion in progress, keep the queued commands. D5 02 16 01 CRC.
Package HaltSteppersPackage();
// Query 8: pause the build, or resume it when paused. D5 01 08 CRC.
Package PausePackage();
// Command 135: wait for tool 0, poll every 100 ms, time out after 65535 s.
Package WaitForToolPackage();
// Command 134: change to tool 0.
Package ChangeToolPackage();
// Command 137 with 0x9F: enable all five axes.
Package EnableAllAxesPackage();
// Command 136: tool 0, sub-command 10 (extruder motor), 1 byte, value 3.
Package ExtruderMotorPackage();
// Command 150 with min(percent, 100) and 0xFF.
Package PrintPercentPackage(int percent);
// Command 142: a relative extruder move at min(speed, 20) for the given time;
// direction 0 retracts, any other feeds (negative A pushes filament out).
Package ExtruderMovePackage(int direction, float speed, int seconds);

// The heater and temperature a tool action sets (command 136, sub-commands 3
// and 31); false for every other package.
bool ReadTemperatureTarget(const Package& package, Heater& heater, int& celsius);

}  // namespace zelk
