// The machine control panel's procedures as named sequences of G-code lines,
// run at the front of the machine control's operation list. What each one
// does to the printer is written here once; the panel only chooses.
#pragma once

#include <string>
#include <vector>

#include "Outcome.h"

class ZELKMachineControl;

namespace zelk {

class MachineShortcuts;

namespace procedures {

using Lines = std::vector<std::string>;

Lines LockMotors();
// Z goes to its upper end before the motors let go, so the platform cannot drop.
Lines UnlockMotors();
// From the top, the platform comes up to 138 mm below it, near the nozzle.
Lines CoarseApproach();
// Fine step entry `entry` from where the platform stands (FineStepLine).
Lines FineStep(int entry);
// Heats now (whole degrees).
Lines HeatExtruder(int tempC);
Lines HeatPlatform(int tempC);
// Both heaters off, the extruder first.
Lines HeatersOff();
// Z is zeroed where the platform stands and homed up to its end; the
// printer's reported Z then is the distance travelled.
Lines StartMeasuring();

// A running print ends: the printer stops and drops what it holds, Z goes
// home, and both heaters go off, so nothing stays hot after a stop.
void StopPrint(ZELKMachineControl& control);

// The printer is driven by hand only when it answered and no print runs:
// refused with the message that says which.
Outcome MayControlByHand(ZELKMachineControl& control);

// Translates the lines in order and puts them ahead of everything waiting,
// as one block. A single line is queued as a line.
void Run(MachineShortcuts& shortcuts, const Lines& lines);
// The same on the program's machine control.
void Run(const Lines& lines);

// A temperature or start height set in the machine control panel is what the
// next print starts with too: stored in the start G-code.
Outcome StoreExtruderTemperature(int tempC);
Outcome StorePlatformTemperature(int tempC);
Outcome StoreStartHeight(double heightMm);

}  // namespace procedures
}  // namespace zelk
