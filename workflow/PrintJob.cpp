// Which file a print or export takes, and the job that prepares or writes it.
#include "PrintJob.h"

#include <filesystem>

#include "DBEntity.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "SliceJob.h"
#include "MachineProcedures.h"
#include "PrintFileChoice.h"
#include "PrintModelFile.h"
#include "PrintTimeEstimate.h"
#include "SameFile.h"
#include "SlicedGCode.h"
#include "X3gReader.h"
#include "ZELKFileLog.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace zelk {

namespace {

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// The files the loaded models were read from.
std::vector<std::string> ModelFilePaths()
{
    std::vector<ZELKDBEntity*> models;
    ZELDBEntityDatabase::GetInterFace()->FindEntity(kEntityPrint, models);
    std::vector<std::string> paths;
    for (const ZELKDBEntity* model : models)
        paths.emplace_back(model->GetName());
    return paths;
}

// The plate's G-code: refused without models or before slicing.
PrintSource PlateSource()
{
    PrintSource source;
    const ZELKCAD::PlateFiles plate = ZELKCAD::GetPlateFiles();
    if (plate.count == 0) {
        source.outcome = Outcome::Message("id_message_noLoadModel");
        return source;
    }
    // The save dialog opens beside the first model's own file (the slicer's
    // model file lives in the program's working folder, which goes).
    const std::vector<std::string> models = ModelFilePaths();
    source.dialogStart = ExportDialogStartForModel(models.empty() ? plate.modelPath : models.front());
    source.path = plate.gcodePath;
    if (!FileExists(source.path)) {
        source.outcome = Outcome::Message("id_message_noGenerateGCode");
        return source;
    }
    source.stale =
        ZELKCAD::GetSlicedGCodeState(source.path, ZELKCAD::PrintModelFingerprint()) == ZELKCAD::GCODE_STALE;
    return source;
}

// Lines the translator left out for an unreadable or insane number go to the log.
void LogSkippedLines(const GCodeFileOutcome& outcome, const std::string& path)
{
    if (outcome.skippedLineCount > 0)
        ZELKFileLog::GetObjectW()->Write("PrintJob", __LINE__, 1,
                                         std::to_string(outcome.skippedLineCount) + " G-code lines skipped in " +
                                             path + ": a number was unreadable or out of range");
}

// The print list of a file: an X3G file as it is, G-code translated (read
// as `flavor`, or by its own mark); what came of it.
GCodeFileOutcome LoadPrintList(ZELKMachineControl& control, const std::string& path,
                               std::optional<gcode::GCodeFlavor> flavor)
{
    if (ZELKCAD::PrintFileKindOf(path) != ZELKCAD::PrintFileKind::kX3g) {
        control.SetGCodeFlavor(flavor);
        control.GCodeParser(path.c_str());
        control.SetGCodeFlavor(std::nullopt);
        return control.GetTranslator().LastFileOutcome();
    }
    GCodeFileOutcome outcome;
    PrintList packages;
    outcome.read = ReadX3gFile(path, packages, outcome.reason);
    for (std::size_t i = 0; i < packages.size(); ++i) {
        const std::span<const unsigned char> payload = packages.Payload(i);
        const int command = payload.empty() ? 0 : payload[0];
        outcome.moveCount += command == 155 || command == 142 || command == 139 ? 1 : 0;
    }
    if (outcome.read && outcome.moveCount == 0)
        outcome.reason = path + ": no move in the file";
    control.SetPrintList(std::move(packages));
    return outcome;
}

// What the user is told of a translation: the flavour it was read as when
// not the printer's own, and the commands left out; empty when neither.
std::string LeftOutDetail(const GCodeFileOutcome& outcome)
{
    std::string detail;
    if (outcome.flavor != gcode::GCodeFlavor::kPrinter)
        detail = std::string("G-code: ") + gcode::FlavorName(outcome.flavor) +
                 (outcome.flavorMark.empty() ? std::string() : " (" + outcome.flavorMark + ")");
    if (!outcome.leftOut.Empty())
        detail += (detail.empty() ? "" : "\n") + outcome.LeftOutLine();
    return detail;
}

}  // namespace

PrintSource ChoosePrintSource()
{
    const std::string opened = ZELKCAD::GetOpenedPrintFile();
    if (opened.empty())
        return PlateSource();
    PrintSource source;
    source.path = opened;
    if (!FileExists(opened))
        source.outcome = Outcome::Message("id_message_gcodeUnusable", opened + ": no such file");
    return source;
}

PrintSource ChooseExportSource()
{
    const std::string opened = ZELKCAD::GetOpenedPrintFile();
    if (opened.empty())
        return PlateSource();
    PrintSource source;
    if (ZELKCAD::PrintFileKindOf(opened) == ZELKCAD::PrintFileKind::kX3g) {
        source.outcome = Outcome::Message("id_message_alreadyX3g", opened);
        return source;
    }
    source.path = opened;
    source.dialogStart = ExportDialogStartForModel(opened);
    if (!FileExists(opened))
        source.outcome = Outcome::Message("id_message_gcodeUnusable", opened + ": no such file");
    return source;
}

Outcome CheckStartGCodeFor(const std::string& path)
{
    if (ZELKCAD::PrintFileKindOf(path) == ZELKCAD::PrintFileKind::kX3g)
        return Outcome::Done();
    std::string reason;
    if (ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->IsStartGCodeUsable(reason) != 0)
        return Outcome::Done();
    return Outcome::Message("id_message_startGCodeUnusable", reason);
}

std::optional<int> ColdStartC(const std::string& path)
{
    if (ZELKCAD::PrintFileKindOf(path) == ZELKCAD::PrintFileKind::kX3g)
        return std::nullopt;
    return ColdStartGCodeC();
}

Outcome CheckExportTarget(const std::string& target, const std::string& source)
{
    std::vector<std::string> inputs = {source, ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->GetPath()};
    for (const std::string& model : ModelFilePaths())
        inputs.push_back(model);
    if (const std::string refusal = WritesOverInput(target, inputs); !refusal.empty())
        return Outcome::Message("id_message_savex3gfailed", refusal);
    return Outcome::Done();
}

PrintJob::PrintJob(ZELKMachineControl& control, RunState& state)
    : m_control(control), m_state(state), m_thread(this)
{
    m_thread.SetTechFun(&PrintJob::ThreadRoutine);
}

PrintJob::~PrintJob() { m_thread.EndThread(ZELKThreadProc::kWaitForever); }

bool PrintJob::StartPrint(const std::string& path, Handler done)
{
    // Taken here rather than on the thread, so that a second click can never
    // slip in before the thread has started.
    if (!m_state.TryBeginJob(RunState::Job::kPreparingPrint))
        return false;
    m_kind = Kind::kPrint;
    m_source = path;
    m_done = std::move(done);
    Begin(std::nullopt);
    return true;
}

bool PrintJob::StartExport(const std::string& source, const std::string& target, Handler done)
{
    if (!m_state.TryBeginJob(RunState::Job::kExporting))
        return false;
    m_kind = Kind::kExport;
    m_source = source;
    m_target = target;
    m_done = std::move(done);
    Begin(std::nullopt);
    return true;
}

void PrintJob::ChooseFlavor(std::optional<gcode::GCodeFlavor> flavor)
{
    if (!flavor) {
        Finish();
        return;
    }
    Begin(flavor);
}

void PrintJob::Finish()
{
    m_thread.EndThread(ZELKThreadProc::kWaitForever);
    m_state.EndJob();
}

void PrintJob::StopPrint()
{
    procedures::StopPrint(m_control);
}

void PrintJob::Begin(std::optional<gcode::GCodeFlavor> flavor)
{
    // The last run of this job has handed its result over and returns.
    m_thread.EndThread(ZELKThreadProc::kWaitForever);
    m_flavor = flavor;
    if (!m_thread.BeginThread()) {
        Result failed;
        failed.kind = Result::kFailed;
        failed.detail = "no thread for the job";
        m_done(failed);
    }
}

unsigned long PrintJob::ThreadRoutine(void* job)
{
    auto* self = static_cast<PrintJob*>(job);
    if (self->m_kind == Kind::kPrint)
        self->RunPrint();
    else
        self->RunExport();
    return 1;
}

bool PrintJob::AskedForFlavor(const GCodeFileOutcome& outcome)
{
    // Another slicer's file without its mark: nothing is sent or written
    // until the user says what it is.
    if (!outcome.read || !outcome.LooksForeign() || m_flavor)
        return false;
    Result result;
    result.kind = Result::kAskFlavor;
    result.leftOutSummary = outcome.leftOut.Summary();
    m_done(result);
    return true;
}

void PrintJob::RunPrint()
{
    const GCodeFileOutcome outcome = LoadPrintList(m_control, m_source, m_flavor);
    LogSkippedLines(outcome, m_source);
    if (AskedForFlavor(outcome))
        return;
    Result result;
    if (!outcome.IsUsable()) {
        // Nothing to print: the printer gets nothing.
        result.kind = Result::kFailed;
        result.detail = outcome.reason;
        m_done(result);
        return;
    }
    // The time the moves take, summed here while the list is still the
    // preparation's own (the monitor's clock starts with the print).
    result.estimate = std::make_shared<PrintTimeEstimate>();
    result.estimate->Start(m_control.GetPrintList(), 0.0);
    // Printing before the first package goes out, so the printer's finished
    // report always comes after.
    m_state.SetPrinting(true);
    m_control.StartPrint();
    result.detail = LeftOutDetail(outcome);
    m_done(result);
}

void PrintJob::RunExport()
{
    // Translated as it is written, in a stream; a file that looks foreign is
    // turned down before anything is written, and asked about.
    bool askFlavor = false;
    m_control.SetGCodeFlavor(m_flavor);
    const Outcome saved = m_control.SaveX3gFromGCode(m_source, m_target, [&](const GCodeFileOutcome& translated) {
        askFlavor = translated.read && translated.LooksForeign() && !m_flavor;
        return !askFlavor;
    });
    m_control.SetGCodeFlavor(std::nullopt);
    const GCodeFileOutcome& outcome = m_control.GetLastX3gTranslation();
    LogSkippedLines(outcome, m_source);
    if (askFlavor && AskedForFlavor(outcome))
        return;
    Result result;
    result.kind = saved ? Result::kDone : Result::kFailed;
    result.detail = saved ? LeftOutDetail(outcome) : saved.reason;
    m_done(result);
}

}  // namespace zelk
