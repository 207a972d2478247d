// Shortcuts of the printer panels: G-code lines translated into packages and
// put at the front of the machine control's operation list, extruder moves,
// jog coordinates and the stop of a continuous jog.
#pragma once

#include <string>
#include <vector>

#include "Package.h"

class ZELKMachineControl;

namespace zelk {

// The shortcuts on one machine control (the ZELKCAD functions below use the
// process-wide one). Any thread; every call only queues or translates.
class MachineShortcuts {
public:
    explicit MachineShortcuts(ZELKMachineControl& control) : m_control(control) {}

    // The package the translator makes of the line (empty for a line that
    // makes none). The translator's position moves with the line.
    Package GetPack(const std::string& line);
    // At the front of the operation list, ahead of everything waiting; a
    // list keeps its order.
    void InsertPackage(const Package& package);
    void InsertPackage(const std::vector<Package>& packages);
    void InsertPackage(const std::string& line);
    // A relative extruder move: direction 1 feeds, 0 retracts, at
    // min(speed, 20) for the given seconds.
    void InsertStartExtrude(int direction, float speed, int seconds);
    void InsertStopExtrude();
    // axis 0 X, 1 Y, 2 Z: value, the coordinate of the jog line; feed, its F
    // value within the axis's limits (JogMove.h).
    void GetMotorMMtoStepsAndSpeed(double mm, int axis, double& value, double& feed);
    // The stop of a continuous jog, then the position query whose answer
    // puts the translator where the printer stopped.
    std::vector<Package> GetMoveStopPack();

private:
    ZELKMachineControl& m_control;
};

}  // namespace zelk

namespace ZELKCAD {

// The jog axes of GetMotorMMtoStepsAndSpeed.
enum MotorModel { MotorX = 0, MotorY = 1, MotorZ = 2 };

// zelk::MachineShortcuts on ZELKMachineControl::GetMachineControl().
Package GetPack(std::string line);
void InsertPackage(Package package);
void InsertPackage(std::vector<Package> packages);
void InsertPackage(std::string line);
void InsertStartExtrude(int direction, float speed, int seconds);
void InsertStopExtrude();
void GetMotorMMtoStepsAndSpeed(double mm, MotorModel axis, double& value, double& feed);
std::vector<Package> GetMoveStopPack();

}  // namespace ZELKCAD
