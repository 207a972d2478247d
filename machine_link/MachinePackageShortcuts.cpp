// Shortcuts of the printer panels over the machine control.
#include "MachinePackageShortcuts.h"

#include "JogMove.h"
#include "MachinePackages.h"
#include "ZELKMachineControl.h"

namespace zelk {

Package MachineShortcuts::GetPack(const std::string& line)
{
    Package package;
    m_control.GCodeParser(line, package);
    return package;
}

void MachineShortcuts::InsertPackage(const Package& package)
{
    m_control.InsertOperationPackage(package);
}

void MachineShortcuts::InsertPackage(const std::vector<Package>& packages)
{
    m_control.InsertOperationPackage(packages);
}

void MachineShortcuts::InsertPackage(const std::string& line)
{
    InsertPackage(GetPack(line));
}

void MachineShortcuts::InsertStartExtrude(int direction, float speed, int seconds)
{
    InsertPackage(ExtruderMovePackage(direction, speed, seconds));
}

// The extruder runs a queued relative move of up to 20 s; halting the
// steppers ends the move under way at once. The command queue is kept: a
// temperature or other command queued behind the move still runs, which the
// extended stop that also clears the queue (the end-of-print stop) would
// throw away. Switching the extruder motor off is no stop here, as the
// extruder is a stepper axis driven by the move itself.
void MachineShortcuts::InsertStopExtrude()
{
    InsertPackage(HaltSteppersPackage());
}

void MachineShortcuts::GetMotorMMtoStepsAndSpeed(double mm, int axis, double& value, double& feed)
{
    const JogMove jog = ChooseJogMove(mm, AxisLimitsOf(m_control.GetMachine(), axis));
    value = jog.value;
    feed = jog.feed;
}

// The halt stops the jog where it stands without dropping anything queued
// after it; the translator still believes the jog ran to its end, so the
// position query follows, and its answer (taken over by the machine control)
// puts the translator where the printer really stopped.
std::vector<Package> MachineShortcuts::GetMoveStopPack()
{
    return {HaltSteppersPackage(), MachineCoordinateQueryPackage()};
}

}  // namespace zelk

namespace ZELKCAD {
namespace {

zelk::MachineShortcuts Shortcuts()
{
    return zelk::MachineShortcuts(*ZELKMachineControl::GetMachineControl());
}

}  // namespace

Package GetPack(std::string line)
{
    return Shortcuts().GetPack(line);
}

void InsertPackage(Package package)
{
    Shortcuts().InsertPackage(package);
}

void InsertPackage(std::vector<Package> packages)
{
    Shortcuts().InsertPackage(packages);
}

void InsertPackage(std::string line)
{
    Shortcuts().InsertPackage(line);
}

void InsertStartExtrude(int direction, float speed, int seconds)
{
    Shortcuts().InsertStartExtrude(direction, speed, seconds);
}

void InsertStopExtrude()
{
    Shortcuts().InsertStopExtrude();
}

void GetMotorMMtoStepsAndSpeed(double mm, MotorModel axis, double& value, double& feed)
{
    Shortcuts().GetMotorMMtoStepsAndSpeed(mm, static_cast<int>(axis), value, feed);
}

std::vector<Package> GetMoveStopPack()
{
    return Shortcuts().GetMoveStopPack();
}

}  // namespace ZELKCAD
