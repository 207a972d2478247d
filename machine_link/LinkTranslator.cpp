#include "LinkTranslator.h"

#include <algorithm>

#include "ZELKMachine.h"

namespace zelk {

LinkTranslator::LinkTranslator(ZELKMachine& machine, ZELKMachine* translatorMachine,
                               ZELKStartGCodeOperater* startGCode)
    : m_machine(machine), m_translator(translatorMachine, startGCode)
{
}

PrintList LinkTranslator::TranslateFile(const char* gcodePath)
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    return m_translator.FileParser(gcodePath);
}

GCodeFileOutcome LinkTranslator::StreamFile(const char* gcodePath, PayloadSink& sink)
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    GCodeFileOutcome outcome;
    m_translator.StreamFile(gcodePath, sink, outcome);
    return outcome;
}

void LinkTranslator::TranslateLine(const std::string& line, Package& out)
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    m_translator.GetGCodeCommandPackage(line, out);
}

CPoint5D LinkTranslator::Position()
{
    std::lock_guard translating(m_translatorMutex);
    ApplyReportedPosition();
    return m_machine.getCurrentPosition();
}

void LinkTranslator::TakeReportedPosition(const std::int32_t* steps)
{
    {
        std::lock_guard lock(m_reportedMutex);
        std::copy(steps, steps + 5, m_reportedSteps);
        m_reportedPending = true;
    }
    std::unique_lock translating(m_translatorMutex, std::try_to_lock);
    if (translating.owns_lock())
        ApplyReportedPosition();
}

void LinkTranslator::ApplyReportedPosition()
{
    std::int32_t steps[5];
    {
        std::lock_guard lock(m_reportedMutex);
        if (!m_reportedPending)
            return;
        std::copy(m_reportedSteps, m_reportedSteps + 5, steps);
        m_reportedPending = false;
    }
    // The inverse of the translator's mm-to-steps, so that translating the
    // position back gives the reported steps.
    const CPoint5D stepsPerMM = m_machine.GetStepsPerMM();
    const CPoint5D now = m_machine.getCurrentPosition();
    m_machine.SetCurrentPosition(CPoint5D(steps[0] / stepsPerMM.Axis_X(), steps[1] / stepsPerMM.Axis_Y(),
                                          steps[2] / stepsPerMM.Axis_Z(), now.Axis_A(), now.Axis_B()));
}

}  // namespace zelk
