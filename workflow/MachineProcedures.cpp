// The machine control panel's procedures.
#include "MachineProcedures.h"

#include "MachineControlRules.h"
#include "MachinePackageShortcuts.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace zelk::procedures {

Lines LockMotors() { return {"M17"}; }

Lines UnlockMotors() { return {"G162 Z F600", "M18"}; }

Lines CoarseApproach() { return {"G162 Z F600", kOriginLine, "G1 X0 Y0 Z-138.0 F450"}; }

Lines FineStep(int entry) { return {kOriginLine, FineStepLine(entry)}; }

Lines HeatExtruder(int tempC) { return {"M104 S" + std::to_string(tempC)}; }

Lines HeatPlatform(int tempC) { return {"M109 S" + std::to_string(tempC)}; }

Lines HeatersOff() { return {"M104 S0 T0", "M109 S0 T0"}; }

Lines StartMeasuring() { return {kOriginLine, "G162 Z F450"}; }

void StopPrint(ZELKMachineControl& control)
{
    control.StopPrintAndHomeZ();
    for (const std::string& line : HeatersOff()) {
        Package off;
        control.GCodeParser(line, off);
        control.AddOperationPackage(off);
    }
}

Outcome MayControlByHand(ZELKMachineControl& control)
{
    if (control.GetMachineConnectedIsSucessed() == 0)
        return Outcome::Message("id_message_noConMachine");
    if (control.IsMachinePrinting() != 0)
        return Outcome::Message("id_message_InPrintting");
    return Outcome::Done();
}

void Run(MachineShortcuts& shortcuts, const Lines& lines)
{
    if (lines.size() == 1) {
        shortcuts.InsertPackage(lines.front());
        return;
    }
    std::vector<Package> packages;
    packages.reserve(lines.size());
    for (const std::string& line : lines)
        packages.push_back(shortcuts.GetPack(line));
    shortcuts.InsertPackage(packages);
}

void Run(const Lines& lines)
{
    MachineShortcuts shortcuts(*ZELKMachineControl::GetMachineControl());
    Run(shortcuts, lines);
}

namespace {

Outcome Stored(int result)
{
    if (result != 0)
        return Outcome::Done();
    return Outcome::Message("id_message_startGCodeNotSaved",
                            ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->GetLastError());
}

}  // namespace

Outcome StoreExtruderTemperature(int tempC)
{
    return Stored(ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->SetStartGCodeData(
        tempC, StartGCode_ExtruderTemperature));
}

Outcome StorePlatformTemperature(int tempC)
{
    return Stored(ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->SetStartGCodeData(
        tempC, StartGCode_PlatformTemperature));
}

Outcome StoreStartHeight(double heightMm)
{
    return Stored(
        ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->SetStartGCodeData(heightMm, StartGCode_ZHeight));
}

}  // namespace zelk::procedures
