// COrvanelView's print workflow: start and stop a print, the end-print sequence, saving X3G, and their workers.
#include "OrvanelView.h"

#include <filesystem>
#include <memory>

#include "AppDialogs.h"
#include "DBEntity.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "PrintFileChoice.h"
#include "PrintModelFile.h"
#include "PrintTimeEstimate.h"
#include "SameFile.h"
#include "SlicedGCode.h"
#include "WorkflowText.h"
#include "X3gReader.h"
#include "ZELKFileLog.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKUIOperation.h"

namespace {

// The model file's G-code, or empty when nothing is loaded.
std::string ModelGCodePath(int& count)
{
    std::string modelPath;
    ZELKModelEdit::GetModelEditObject()->GetPrintModelPathAndCount(modelPath, count);
    return count == 0 ? std::string() : zelk::GCodePathForModel(modelPath);
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

bool FileExists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

// G-code sliced from models that have changed since: the user chooses between
// slicing again (the slicing panel opens) and using it as it is.
bool UseGCodeOrSliceAgain(const std::string& gcodePath)
{
    if (ZELKCAD::GetSlicedGCodeState(gcodePath, ZELKCAD::PrintModelFingerprint()) != ZELKCAD::GCODE_STALE)
        return true;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (!ui->AskYesNo_Zelk("id_message_modelsChangedSliceAgain"))
        return true;
    ui->ShowSlicingPanel();
    return false;
}

// Without the start G-code's temperature and height lines a print would run
// cold: refused with the reason.
bool StartGCodeUsable()
{
    std::string reason;
    if (ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->IsStartGCodeUsable(reason) != 0)
        return true;
    ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_startGCodeUnusable", reason);
    return false;
}

// Lines the translator left out for an unreadable or insane number go to the log.
void LogSkippedLines(const zelk::GCodeFileOutcome& outcome, const std::string& path)
{
    if (outcome.skippedLineCount > 0)
        ZELKFileLog::GetObjectW()->Write("COrvanelView", __LINE__, 1,
                                         std::to_string(outcome.skippedLineCount) + " G-code lines skipped in " +
                                             path + ": a number was unreadable or out of range");
}

// The print list of a file: an X3G file as it is, G-code translated (read
// as `flavor`, or by its own mark); what came of it.
zelk::GCodeFileOutcome LoadPrintList(ZELKMachineControl& control, const std::string& path,
                                     std::optional<zelk::gcode::GCodeFlavor> flavor)
{
    if (ZELKCAD::PrintFileKindOf(path) != ZELKCAD::PrintFileKind::kX3g) {
        control.SetGCodeFlavor(flavor);
        control.GCodeParser(path.c_str());
        control.SetGCodeFlavor(std::nullopt);
        return control.GetTranslator().LastFileOutcome();
    }
    zelk::GCodeFileOutcome outcome;
    std::vector<Package> packages;
    outcome.read = zelk::ReadX3gFile(path, packages, outcome.reason);
    for (const Package& p : packages) {
        const int command = p.PayloadSize() > 0 ? p.Payload()[0] : 0;
        outcome.moveCount += command == 155 || command == 142 || command == 139 ? 1 : 0;
    }
    if (outcome.read && outcome.moveCount == 0)
        outcome.reason = path + ": no move in the file";
    control.SetPrintList(std::move(packages));
    return outcome;
}

// What the user is told of a translation: the flavour it was read as when
// not the printer's own, and the commands left out; empty when neither.
std::string LeftOutDetail(const zelk::GCodeFileOutcome& outcome)
{
    std::string detail;
    if (outcome.flavor != zelk::gcode::GCodeFlavor::kPrinter)
        detail = std::string("G-code: ") + zelk::gcode::FlavorName(outcome.flavor) +
                 (outcome.flavorMark.empty() ? std::string() : " (" + outcome.flavorMark + ")");
    if (!outcome.leftOut.Empty())
        detail += (detail.empty() ? "" : "\n") + outcome.LeftOutLine();
    return detail;
}

}  // namespace

void COrvanelView::OnStartOrStopPrint()
{
    // Exporting translates with the same translator, so a start waits for it too.
    if (s_printPreparation.load() != 0 || m_exporting.load())
        return;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    if (ui->GetIsStartPrintState() == 0) {
        ui->ChangeIsStartPrintState();
        ZELKUIOperation::UpdatePrintPicture(ui->GetIsStartPrintState());
        EndPrintSequence();
        ui->UpdatePrintToolTipText(ui->GetTranslateString("id_picToolTip_startPrint"));
        return;
    }
    if (control->GetMachineConnectedIsSucessed() == 0) {
        ui->MessageBox_Zelk("id_message_noConMachine");
        return;
    }
    std::string gcodePath = ZELKCAD::GetOpenedPrintFile();
    if (!gcodePath.empty()) {
        // A G-code or X3G file opened to print; X3G carries its own
        // temperatures, G-code takes the start G-code's.
        if (!FileExists(gcodePath)) {
            ui->MessageBox_Zelk("id_message_gcodeUnusable", gcodePath + ": no such file");
            return;
        }
        if (ZELKCAD::PrintFileKindOf(gcodePath) != ZELKCAD::PrintFileKind::kX3g && !StartGCodeUsable())
            return;
    } else {
        int count = 0;
        gcodePath = ModelGCodePath(count);
        if (count == 0) {
            ui->MessageBox_Zelk("id_message_noLoadModel");
            return;
        }
        if (!FileExists(gcodePath)) {
            ui->MessageBox_Zelk("id_message_noGenerateGCode");
            return;
        }
        if (!UseGCodeOrSliceAgain(gcodePath) || !StartGCodeUsable())
            return;
    }
    m_gcodePath = gcodePath;
    m_prepareClock = 0;
    ui->PrepareStartPrintWnd();
    m_prepareTimer.Start(1000);
    // Set here rather than in the worker, so that a second click can never
    // slip in before the worker has started.
    s_printPreparation = 1;
    if (m_prepareThread.joinable())
        m_prepareThread.join();
    m_prepareThread = std::thread([this] { RunPrintPreparation(std::nullopt); });
}

void COrvanelView::RunPrintPreparation(std::optional<zelk::gcode::GCodeFlavor> flavor)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    const zelk::GCodeFileOutcome outcome = LoadPrintList(*control, m_gcodePath, flavor);
    LogSkippedLines(outcome, m_gcodePath);
    if (outcome.read && outcome.LooksForeign() && !flavor) {
        // Another slicer's file without its mark: nothing is sent until the
        // user says what it is.
        CallAfter([this, leftOut = outcome.leftOut.Summary()] {
            const std::optional<zelk::gcode::GCodeFlavor> chosen = zelk::AskGCodeFlavor(leftOut);
            if (m_prepareThread.joinable())
                m_prepareThread.join();
            if (!chosen) {
                ZELKUIOperation::GetUIOperationObject()->ShowPrepareWnd(0);
                m_prepareTimer.Stop();
                s_printPreparation = 0;
                return;
            }
            m_prepareThread = std::thread([this, f = *chosen] { RunPrintPreparation(f); });
        });
        return;
    }
    if (!outcome.IsUsable()) {
        // Nothing to print: the printer gets nothing and the picture still offers to start.
        CallAfter([this, reason = outcome.reason] {
            ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
            ui->ShowPrepareWnd(0);
            m_prepareTimer.Stop();
            s_printPreparation = 0;
            ui->MessageBox_Zelk("id_message_gcodeUnusable", reason);
        });
        return;
    }
    // The time the moves take, summed here while the list is still the
    // preparation's own (the monitor's clock starts with the print).
    auto estimate = std::make_shared<zelk::PrintTimeEstimate>();
    estimate->Start(control->GetPrintList(), 0.0);
    // The picture offers to stop before the first package goes out, so the
    // printer's finished report always comes after this flip.
    ui->ChangeIsStartPrintState();
    const int state = ui->GetIsStartPrintState();
    control->StartPrint();
    CallAfter([this, state, estimate, leftOut = LeftOutDetail(outcome)] {
        ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
        ZELKUIOperation::UpdatePrintPicture(state);
        // A print that ended before this ran (a printer lost at once) has none.
        if (state == 0 && ZELKMachineControl::GetMachineControl()->IsMachinePrinting() != 0)
            ui->BeginPrintWatch(*estimate);
        ui->UpdatePrintToolTipText(ui->GetTranslateString("id_picToolTip_endPrint"));
        ui->ShowPrepareWnd(0);
        ui->ShowControlWnd(0);
        m_prepareTimer.Stop();
        s_printPreparation = 0;
        // Nothing is left out unseen; the print goes on meanwhile.
        if (!leftOut.empty())
            ui->MessageBox_Zelk("id_message_gcodeLeftOut", leftOut);
    });
}

void COrvanelView::OnEndPrint()
{
    EndPrintSequence();
}

void COrvanelView::EndPrintSequence()
{
    ZELKMachineControl::GetMachineControl()->StopPrintAndHomeZ();
}

void COrvanelView::OnSaveX3g()
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    if (control->IsMachinePrinting() != 0 || s_printPreparation.load() != 0) {
        ui->MessageBox_Zelk("id_message_InPrintting");
        return;
    }
    if (m_exporting.load())
        return;
    const std::string opened = ZELKCAD::GetOpenedPrintFile();
    std::string source;
    zelk::ExportDialogStart start;
    if (!opened.empty()) {
        if (ZELKCAD::PrintFileKindOf(opened) == ZELKCAD::PrintFileKind::kX3g) {
            ui->MessageBox_Zelk("id_message_alreadyX3g", opened);
            return;
        }
        source = opened;
        start = zelk::ExportDialogStartForModel(opened);
        if (!FileExists(source)) {
            ui->MessageBox_Zelk("id_message_gcodeUnusable", source + ": no such file");
            return;
        }
        if (!StartGCodeUsable())
            return;
    } else {
        std::string modelPath;
        int count = 0;
        ZELKModelEdit::GetModelEditObject()->GetPrintModelPathAndCount(modelPath, count);
        if (count == 0) {
            ui->MessageBox_Zelk("id_message_noLoadModel");
            return;
        }
        start = zelk::ExportDialogStartForModel(modelPath);
        source = zelk::GCodePathForModel(modelPath);
        if (!FileExists(source)) {
            ui->MessageBox_Zelk("id_message_noGenerateGCode");
            return;
        }
        if (!UseGCodeOrSliceAgain(source) || !StartGCodeUsable())
            return;
    }
    const std::string target = zelk::AskSaveX3gPath(start.folder, start.fileName);
    if (target.empty())
        return;
    // The G-code, the start G-code and the models stay as they are, whatever
    // name the dialog was given for one of them.
    std::vector<std::string> inputs = {source, ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->GetPath()};
    for (const std::string& model : ModelFilePaths())
        inputs.push_back(model);
    if (const std::string refusal = zelk::WritesOverInput(target, inputs); !refusal.empty()) {
        ui->MessageBox_Zelk("id_message_savex3gfailed", refusal);
        return;
    }
    m_exportSource = source;
    m_exportTarget = target;
    ui->PrepareSaveZLKWnd();
    m_exportClock = 0;
    m_exportTimer.Start(1000);
    m_exporting = true;
    if (m_exportThread.joinable())
        m_exportThread.join();
    m_exportThread = std::thread([this, source, target] { RunExport(source, target, std::nullopt); });
}

void COrvanelView::RunExport(std::string source, std::string target, std::optional<zelk::gcode::GCodeFlavor> flavor)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    // Translated first, so a file that looks foreign is asked about before
    // anything is written.
    control->SetGCodeFlavor(flavor);
    control->GCodeParser(source.c_str());
    control->SetGCodeFlavor(std::nullopt);
    const zelk::GCodeFileOutcome outcome = control->GetTranslator().LastFileOutcome();
    LogSkippedLines(outcome, source);
    if (outcome.read && outcome.LooksForeign() && !flavor) {
        CallAfter([this, source, target, leftOut = outcome.leftOut.Summary()] {
            const std::optional<zelk::gcode::GCodeFlavor> chosen = zelk::AskGCodeFlavor(leftOut);
            if (m_exportThread.joinable())
                m_exportThread.join();
            if (!chosen) {
                ZELKUIOperation::GetUIOperationObject()->ShowPrepareWnd(0);
                m_exportTimer.Stop();
                m_exporting = false;
                return;
            }
            m_exportThread = std::thread([this, source, target, f = *chosen] { RunExport(source, target, f); });
        });
        return;
    }
    const int saved = outcome.IsUsable() ? control->SaveX3gFile(target.c_str()) : 0;
    const std::string error = outcome.IsUsable() ? control->GetSaveX3gError() : outcome.reason;
    CallAfter([this, saved, error, leftOut = LeftOutDetail(outcome)] {
        ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
        ui->ShowPrepareWnd(0);
        m_exportTimer.Stop();
        m_exporting = false;
        if (saved != 0)
            ui->MessageBox_Zelk("id_message_savex3gsuccessful", leftOut);
        else
            ui->MessageBox_Zelk("id_message_savex3gfailed", error);
    });
}
