// COrvanelView's print workflow: the start, stop and export pictures command
// the print job (PrintJob.h) and show what came of it.
#include "OrvanelView.h"

#include "AppDialogs.h"
#include "PrintTimeEstimate.h"
#include "ZELKMachineControl.h"
#include "ZELKUIOperation.h"

namespace {

void ShowRefusal(const zelk::Outcome& outcome)
{
    ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk(outcome.key, outcome.reason);
}

// G-code sliced from models that have changed since: the user chooses between
// slicing again (the slicing panel opens) and using it as it is.
bool UseGCodeOrSliceAgain(const zelk::PrintSource& source)
{
    if (!source.stale)
        return true;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (!ui->AskYesNo_Zelk("id_message_modelsChangedSliceAgain"))
        return true;
    ui->ShowSlicingPanel();
    return false;
}

// A source is used when it was found, the user wants it as it is, and the
// start G-code can print it; every refusal is said.
bool Usable(const zelk::PrintSource& source)
{
    if (!source.outcome) {
        ShowRefusal(source.outcome);
        return false;
    }
    if (!UseGCodeOrSliceAgain(source))
        return false;
    if (const zelk::Outcome usable = zelk::CheckStartGCodeFor(source.path); !usable) {
        ShowRefusal(usable);
        return false;
    }
    return true;
}

}  // namespace

void COrvanelView::OnStartOrStopPrint()
{
    zelk::RunState& state = zelk::RunState::Program();
    // Exporting translates with the same translator, so a start waits for it too.
    if (state.CurrentJob() != zelk::RunState::Job::kNone)
        return;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (state.IsPrinting()) {
        // One click, or the second of a double click, never ends a print alone.
        if (!ui->AskYesNo_Zelk("id_message_confirmStopPrint"))
            return;
        state.EndPrinting();
        ZELKUIOperation::UpdatePrintPicture(1);
        EndPrintSequence();
        ui->UpdatePrintToolTipText(ui->GetTranslateString("id_picToolTip_startPrint"));
        return;
    }
    if (ZELKMachineControl::GetMachineControl()->GetMachineConnectedIsSucessed() == 0) {
        ui->MessageBox_Zelk("id_message_noConMachine");
        return;
    }
    const zelk::PrintSource source = zelk::ChoosePrintSource();
    if (!Usable(source))
        return;
    if (const std::optional<int> coldC = zelk::ColdStartC(source.path);
        coldC && !ui->AskYesNo_Zelk("id_message_coldExtruder", zelk::ColdStartDetail(*coldC)))
        return;
    m_prepareClock = 0;
    ui->PrepareStartPrintWnd();
    m_prepareTimer.Start(1000);
    m_printJob.StartPrint(source.path, [this](const zelk::PrintJob::Result& result) {
        CallAfter([this, result] { OnPrintPrepared(result); });
    });
}

void COrvanelView::AskJobFlavor(const zelk::PrintJob::Result& result, wxTimer& clock)
{
    // Another slicer's file without its mark: nothing is sent or written
    // until the user says what it is.
    const std::optional<zelk::gcode::GCodeFlavor> chosen = zelk::AskGCodeFlavor(result.leftOutSummary);
    if (!chosen) {
        ZELKUIOperation::GetUIOperationObject()->ShowPrepareWnd(0);
        clock.Stop();
    }
    m_printJob.ChooseFlavor(chosen);
}

void COrvanelView::EndJobDisplay(wxTimer& clock)
{
    ZELKUIOperation::GetUIOperationObject()->ShowPrepareWnd(0);
    clock.Stop();
    m_printJob.Finish();
}

void COrvanelView::OnPrintPrepared(const zelk::PrintJob::Result& result)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (result.kind == zelk::PrintJob::Result::kAskFlavor) {
        AskJobFlavor(result, m_prepareTimer);
        return;
    }
    if (result.kind == zelk::PrintJob::Result::kFailed) {
        // Nothing to print: the printer gets nothing and the picture still offers to start.
        EndJobDisplay(m_prepareTimer);
        ui->MessageBox_Zelk("id_message_gcodeUnusable", result.detail);
        return;
    }
    ZELKUIOperation::UpdatePrintPicture(0);
    // A print that ended before this ran (a printer lost at once) has none.
    if (ZELKMachineControl::GetMachineControl()->IsMachinePrinting() != 0)
        ui->BeginPrintWatch(*result.estimate);
    ui->UpdatePrintToolTipText(ui->GetTranslateString("id_picToolTip_endPrint"));
    ui->ShowControlWnd(0);
    EndJobDisplay(m_prepareTimer);
    // Nothing is left out unseen; the print goes on meanwhile.
    if (!result.detail.empty())
        ui->MessageBox_Zelk("id_message_gcodeLeftOut", result.detail);
}

void COrvanelView::OnEndPrint()
{
    if (zelk::RunState::Program().IsPrinting() &&
        !ZELKUIOperation::GetUIOperationObject()->AskYesNo_Zelk("id_message_confirmStopPrint"))
        return;
    EndPrintSequence();
}

void COrvanelView::EndPrintSequence()
{
    m_printJob.StopPrint();
}

void COrvanelView::OnSaveX3g()
{
    zelk::RunState& state = zelk::RunState::Program();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (ZELKMachineControl::GetMachineControl()->IsMachinePrinting() != 0 || state.IsPreparingPrint()) {
        ui->MessageBox_Zelk("id_message_InPrintting");
        return;
    }
    if (state.IsExporting())
        return;
    const zelk::PrintSource source = zelk::ChooseExportSource();
    if (!Usable(source))
        return;
    const std::string target = zelk::AskSaveX3gPath(source.dialogStart.folder, source.dialogStart.fileName);
    if (target.empty())
        return;
    if (const zelk::Outcome allowed = zelk::CheckExportTarget(target, source.path); !allowed) {
        ShowRefusal(allowed);
        return;
    }
    ui->PrepareSaveZLKWnd();
    m_exportClock = 0;
    m_exportTimer.Start(1000);
    m_printJob.StartExport(source.path, target, [this](const zelk::PrintJob::Result& result) {
        CallAfter([this, result] { OnExported(result); });
    });
}

void COrvanelView::OnExported(const zelk::PrintJob::Result& result)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    if (result.kind == zelk::PrintJob::Result::kAskFlavor) {
        AskJobFlavor(result, m_exportTimer);
        return;
    }
    EndJobDisplay(m_exportTimer);
    if (result.kind == zelk::PrintJob::Result::kDone)
        ui->MessageBox_Zelk("id_message_savex3gsuccessful", result.detail);
    else
        ui->MessageBox_Zelk("id_message_savex3gfailed", result.detail);
}
