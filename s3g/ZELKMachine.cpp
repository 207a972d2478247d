// The one model of the printer in the process.
#include "ZELKMachine.h"

namespace {
// The printer's constants, exactly as written (nearest doubles).
constexpr double kStepsPerMMXYZ = 71.699959;
constexpr double kStepsPerMMA = 100.470955;
}  // namespace

ZELKMachine* ZELKMachine::m_machine = nullptr;

ZELKMachine* ZELKMachine::GetMachine()
{
    if (m_machine == nullptr)
        m_machine = new ZELKMachine();
    return m_machine;
}

ZELKMachine::ZELKMachine()
    : m_motorX(kStepsPerMMXYZ, 5000, 5000),
      m_motorY(kStepsPerMMXYZ, 5000, 5000),
      m_motorZ(kStepsPerMMXYZ, 400, 1170),
      m_stepsPerMM(kStepsPerMMXYZ, kStepsPerMMXYZ, kStepsPerMMXYZ, kStepsPerMMA, 0),
      m_maxFeedrate(5000, 5000, 1170, 1600, 0)
{
}
