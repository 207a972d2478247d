// The slicer run: checks, the bridge's child process, its progress and its end.
#include "SliceJob.h"

#include "ChildProcess.h"
#include "EntityDatabase.h"
#include "MachineControlRules.h"
#include "ModelFilePaths.h"
#include "PrintFileChoice.h"
#include "PrintModelFile.h"
#include "SliceLines.h"
#include "ZELKSkfParameterCmdLines.h"
#include "ZELKStartGCodeOperater.h"

namespace zelk {

namespace {

int g_cancelGraceMs = 3000;

}  // namespace

Outcome CheckStartGCodeForSlicing()
{
    std::string unusable;
    if (ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->IsStartGCodeUsable(unusable) == 0)
        return Outcome::Message("id_message_startGCodeUnusable", unusable);
    return Outcome::Done();
}

std::optional<int> ColdStartGCodeC()
{
    const std::string text = ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->GetExtrudeTemperature();
    int tempC = 0;
    if (!ReadTemperature(text, kExtruderTempMaxC, tempC) || ExtruderHotEnoughToFeed(tempC))
        return std::nullopt;
    return tempC;
}

std::string ColdStartDetail(int tempC)
{
    return std::to_string(tempC) + " °C";
}

Outcome StoreSliceFields(const SliceFields& fields)
{
    ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    const bool stored =
        startGCode->SetStartGCodeData(static_cast<int>(fields.extruderTempC), StartGCode_ExtruderTemperature) != 0 &&
        startGCode->SetStartGCodeData(fields.printHeightMm, StartGCode_ZHeight) != 0 &&
        startGCode->SetStartGCodeData(fields.platformTempC, StartGCode_PlatformTemperature) != 0;
    if (!stored)
        return Outcome::Message("id_message_startGCodeNotSaved", startGCode->GetLastError());
    return Outcome::Done();
}

SlicePlan PlanSlice(ZELDBEntityDatabase& database, const SkeinforgeParameter& settings)
{
    SlicePlan plan;
    if (database.IsInPlatform() == 0) {
        plan.outcome = Outcome::Message("id_message_modelBeyondRange");
        return plan;
    }
    if (database.IsPrintModelOnPlatform() == 0) {
        plan.outcome = Outcome::Message("id_message_modelNotOnPlatform");
        return plan;
    }
    const ZELKCAD::PlateFiles plate = ZELKCAD::GetPlateFiles();
    if (plate.count == 0) {
        plan.nothing = true;
        plan.outcome = Outcome::Refused("no printable model");
        return plan;
    }
    std::string error;
    if (!ZELKCAD::MergePrintModels(database, plate.modelPath, error)) {
        plan.outcome = Outcome::Message("id_message_sliceFailed", error);
        return plan;
    }
    ZELKSkfParameterCmdLines* commandLines = ZELKSkfParameterCmdLines::getInstance();
    commandLines->SetSkeinforgePrameter(settings);
    plan.arguments = commandLines->GetSkeinforgeArguments();
    if (plan.arguments.empty()) {
        plan.outcome = Outcome::Message("id_message_slicerNotStarted", commandLines->GetBridgePath());
        return plan;
    }
    plan.arguments.push_back(plate.modelPath);
    plan.gcodePath = plate.gcodePath;
    plan.fingerprint = ZELKCAD::PrintModelFingerprint(database);
    return plan;
}

Outcome SliceJob::End::Failure() const
{
    if (!started)
        return Outcome::Message("id_message_slicerNotStarted", detail);
    if (exitCode == slicelines::kExitNoEngine)
        return Outcome::Message("id_message_slicerEngineMissing", detail);
    return Outcome::Message("id_message_sliceFailed",
                            detail.empty() ? "exit status " + std::to_string(exitCode) : detail);
}

void SliceJob::SetCancelGraceMs(int ms) { g_cancelGraceMs = ms; }
int SliceJob::CancelGraceMs() { return g_cancelGraceMs; }

SliceJob::SliceJob(ProgressHandler progress, EndHandler ended)
    : m_progress(std::move(progress)), m_ended(std::move(ended)), m_thread(this)
{
    m_thread.SetTechFun(&SliceJob::ThreadRoutine);
}

SliceJob::~SliceJob() { Stop(); }

Outcome SliceJob::Start(std::vector<std::string> arguments)
{
    if (m_thread.IsThreadRunning() && !m_thread.EndThread(100))
        return Outcome::Message("id_message_slicerStillEnding");
    m_arguments = std::move(arguments);
    ++m_run;
    m_cancelled = false;
    m_cancelSteps = 0;
    if (!m_thread.BeginThread())
        return Outcome::Message("id_message_slicerNotStarted", "no thread for the slicer");
    return Outcome::Done();
}

void SliceJob::Cancel()
{
    m_cancelled = true;
    m_cancelSteps = 0;
    SignalChild(false);
}

bool SliceJob::CancelAgain()
{
    if (!m_cancelled || m_cancelSteps >= 2 || !m_thread.IsThreadRunning())
        return false;
    SignalChild(++m_cancelSteps == 2);
    return m_cancelSteps < 2;
}

void SliceJob::Stop()
{
    m_cancelled = true;
    // The thread ends once its child has gone; the child is asked twice, then killed.
    for (int step = 0; step < 3; ++step) {
        if (!m_thread.IsThreadRunning())
            return;
        SignalChild(step == 2);
        if (m_thread.EndThread(step == 2 ? ZELKThreadProc::kWaitForever : static_cast<unsigned long>(g_cancelGraceMs)))
            return;
    }
}

void SliceJob::SignalChild(bool kill)
{
    std::lock_guard lock(m_childMutex);
    if (!m_child)
        return;
    if (kill)
        m_child->Kill();
    else
        m_child->Terminate();
}

unsigned long SliceJob::ThreadRoutine(void* job)
{
    static_cast<SliceJob*>(job)->RunThread();
    return 1;
}

void SliceJob::RunThread()
{
    // Both were set before the thread began.
    const unsigned run = m_run;
    End end;
    auto child = std::make_shared<ChildProcess>();
    if (!child->Start(m_arguments, end.detail)) {
        end.started = false;
        end.cancelled = m_cancelled;
        m_ended(run, end);
        return;
    }
    {
        std::lock_guard lock(m_childMutex);
        m_child = child;
    }
    if (m_cancelled)  // cancel came before the child was known
        child->Terminate();

    SliceProgress progress;
    std::string line;
    while (child->ReadLine(line)) {
        const SliceProgress::Update update = progress.Apply(line);
        if (update.setRange || update.setPosition || update.setStatus || update.completed)
            m_progress(run, update);
    }
    // The output ends when the child (and all it started) has gone; a child
    // that closed its output but lingers is ended.
    if (!child->WaitFor(2000, end.exitCode)) {
        child->Kill();
        end.exitCode = child->Wait();
    }
    {
        std::lock_guard lock(m_childMutex);
        m_child.reset();
    }
    end.completed = progress.Completed();
    end.cancelled = m_cancelled;
    end.detail = progress.LastError();
    m_ended(run, end);
}

}  // namespace zelk
