// The coordinate and feedrate of one jog of the machine control panel: a
// step in millimetres on one axis, within that axis's limits.
#pragma once

class ZELKMachine;

namespace zelk {

// What one axis of the machine model allows.
struct AxisLimits {
    double stepsPerMM = 0;   // 0: unknown, the step is taken as given
    double speed = 0;        // the motor's own speed, mm/min; 0: none set
    double maxFeedrate = 0;  // the highest feedrate, mm/min; 0: none known
};

struct JogMove {
    double value = 0;  // the coordinate for the jog line, mm
    double feed = 0;   // its F value, mm/min
};

// Feedrate when the machine model names no limit for the axis: slow enough
// for any axis of a desktop printer.
inline constexpr double kJogFeedWithoutLimit = 300.0;

// value: mm rounded to whole motor steps, so the printer moves exactly what
// the line says. feed: the motor's speed, never above the axis's highest
// feedrate (the lower of the two when both are set), or
// kJogFeedWithoutLimit when neither is.
JogMove ChooseJogMove(double mm, const AxisLimits& limits);

// The limits of axis 0 (X), 1 (Y) or 2 (Z) of the machine: the motor's steps
// per mm and speed, and the lower of the motor's and the machine's highest
// feedrate for that axis. Any other axis number gives Z, the slowest.
AxisLimits AxisLimitsOf(ZELKMachine& machine, int axis);

}  // namespace zelk
