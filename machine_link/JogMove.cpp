// The coordinate and feedrate of one jog of the machine control panel.
#include "JogMove.h"

#include <algorithm>
#include <cmath>

#include "ZELKMachine.h"

namespace zelk {

JogMove ChooseJogMove(double mm, const AxisLimits& limits)
{
    JogMove jog;
    jog.value = limits.stepsPerMM > 0 ? std::round(mm * limits.stepsPerMM) / limits.stepsPerMM : mm;
    const double speed = limits.speed > 0 ? limits.speed : 0;
    const double limit = limits.maxFeedrate > 0 ? limits.maxFeedrate : 0;
    if (speed > 0 && limit > 0)
        jog.feed = std::min(speed, limit);
    else if (speed > 0 || limit > 0)
        jog.feed = std::max(speed, limit);
    else
        jog.feed = kJogFeedWithoutLimit;
    return jog;
}

AxisLimits AxisLimitsOf(ZELKMachine& machine, int axis)
{
    ZELKMachineMotor& motor = axis == 0   ? machine.GetMachineMotorX()
                              : axis == 1 ? machine.GetMachineMotorY()
                                          : machine.GetMachineMotorZ();
    const int index = axis == 0 || axis == 1 ? axis : 2;
    // The translator holds every move to the machine's own limit point; the
    // motor may name a lower one.
    const double machineLimit = machine.GetMaxFeedrate().get(index);
    double limit = motor.GetMaxFeedrate();
    if (machineLimit > 0 && (limit <= 0 || machineLimit < limit))
        limit = machineLimit;
    AxisLimits limits;
    limits.stepsPerMM = motor.GetStepsPerMM();
    limits.speed = motor.GetSpeed();
    limits.maxFeedrate = limit;
    return limits;
}

}  // namespace zelk
