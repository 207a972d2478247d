// COrvanelView: creation with the panels and tool pictures, command dispatch, the clocks and importing models.
#include "OrvanelView.h"

#include <filesystem>
#include <memory>

#include <wx/tooltip.h>

#include "AppDialogs.h"
#include "LoadSTL.h"
#include "StlPreload.h"
#include "PrintFileChoice.h"
#include "ModelEdit.h"
#include "ProgramFolder.h"
#include "WorkflowText.h"
#include "ZELKFileLog.h"
#include "ZELKUIOperation.h"

namespace {

// The tooltips of the eleven pictures in the coordinator's order, before Translate replaces them.
const char* const kInitialTips[] = {"连接", "导入模型", "脱机文件", "视图", "生成GCode", "机器控制",
                                    "平移", "旋转", "缩放", "开始打印", "停止打印"};

}  // namespace

COrvanelView::COrvanelView(wxWindow* parent, int id)
    : ZELKOpenGLView(parent, id, wxDefaultPosition, wxDefaultSize),
      m_exportTimer(this, ID_TIMER_EXPORT),
      m_prepareTimer(this, ID_TIMER_PREPARE)
{
    Bind(wxEVT_BUTTON, &COrvanelView::OnCommand, this);
    Bind(wxEVT_TIMER, &COrvanelView::OnTimer, this);
    CreatePanels();
}

COrvanelView::~COrvanelView()
{
    m_exportTimer.Stop();
    m_prepareTimer.Stop();
    JoinWorkers();
}

void COrvanelView::JoinWorkers()
{
    // A job still running hands its result to nobody and leaves nothing running.
    m_printJob.Finish();
    m_importThread.EndThread(ZELKThreadProc::kWaitForever);
}

void COrvanelView::CreatePanels()
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->CreateViewWnd(this);
    ui->CreateLeftPictureCtrls(this);
    wxToolTip::Enable(true);
    wxToolTip::SetDelay(500);
    std::vector<wxWindow*> pictures;
    ui->GetPictureCtrls(pictures);
    if (pictures.size() == std::size(kInitialTips))
        for (std::size_t i = 0; i < pictures.size(); ++i)
            if (pictures[i] != nullptr)
                pictures[i]->SetToolTip(wxString::FromUTF8(kInitialTips[i]));
    ui->Translate();
}

void COrvanelView::OnCommand(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_PIC_IMPORT: OnImportModel(); break;
    case ID_PIC_START: OnStartOrStopPrint(); break;
    case ID_PIC_STOP: OnEndPrint(); break;
    case ID_PIC_EXPORT: OnSaveX3g(); break;
    case ID_PIC_SETTING: OnConnect(); break;
    case ID_PIC_PAUSE: ZELKUIOperation::GetUIOperationObject()->TogglePrintPause(); break;
    case ID_PIC_TEMPERATURE: ZELKUIOperation::GetUIOperationObject()->ToggleTemperatureWnd(); break;
    case ID_PIC_TOOLPATH: ZELKUIOperation::GetUIOperationObject()->ToggleToolpathWnd(); break;
    default: event.Skip(); break;
    }
}

void COrvanelView::OnConnect()
{
    ZELKUIOperation::GetUIOperationObject()->ShowMachineConnectWnd();
}

// ---------------------------------------------------------------- clocks

void COrvanelView::OnTimer(wxTimerEvent& event)
{
    OnClockTick(event.GetId());
}

void COrvanelView::OnClockTick(int timerId)
{
    int count = 0;
    if (timerId == ID_TIMER_PREPARE)
        count = ++m_prepareClock;
    else if (timerId == ID_TIMER_EXPORT)
        count = ++m_exportClock;
    else
        return;
    ZELKUIOperation::GetUIOperationObject()->SetPrepareTime(zelk::FormatPrepareClock(count));
}

// ---------------------------------------------------------------- import

std::string COrvanelView::ImportFolder()
{
    return zelk::WorkingFolder();
}

namespace {

void EmptyImportFolder(const std::string& folder)
{
    zelk::EmptyWorkingFolder(folder);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
}

}  // namespace

namespace {

// The files to print among `paths` (G-code, X3G), taken out of it.
std::vector<std::string> TakePrintFiles(std::vector<std::string>& paths)
{
    std::vector<std::string> printFiles;
    std::vector<std::string> models;
    for (const std::string& path : paths)
        (ZELKCAD::PrintFileKindOf(path) == ZELKCAD::PrintFileKind::kNone ? models : printFiles).push_back(path);
    paths.swap(models);
    return printFiles;
}

}  // namespace

void COrvanelView::OnImportModel()
{
    // A cancelled dialog leaves the working folder as it is.
    std::vector<std::string> paths = ZELKCAD::AskStlFiles();
    if (!paths.empty() && m_filesOpened)
        m_filesOpened(paths);
    const std::vector<std::string> printFiles = TakePrintFiles(paths);
    if (!paths.empty()) {
        ForgetPrintFile();
        EmptyImportFolder(ImportFolder());
        ZELKCAD::LoadSTLFiles(paths);
        Refresh(true);
        ZELKUIOperation::GetUIOperationObject()->ShowGCodeWnd(
            ZELKModelEdit::GetModelEditObject()->GetPrintModelNumber() != 0 ? 1 : 0);
    }
    if (!printFiles.empty())
        OpenPrintFile(printFiles.back());
}

void COrvanelView::ForgetPrintFile()
{
    if (ZELKCAD::GetOpenedPrintFile().empty())
        return;
    ZELKCAD::SetOpenedPrintFile(std::string());
    // Its toolpaths are no longer what would print, nor is it in the title.
    ZELKUIOperation::GetUIOperationObject()->OnModelsChanged();
}

void COrvanelView::OpenPrintFile(const std::string& path)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        ui->MessageBox_Zelk("id_message_gcodeUnusable", path + ": no such file");
        return;
    }
    ZELKCAD::SetOpenedPrintFile(std::filesystem::absolute(path, ec).string());
    // What prints changed: the title follows, and the panel shows the file's
    // toolpaths (read anew when it was open).
    ui->OnModelsChanged();
    ui->ToggleToolpathWnd();
}

void COrvanelView::ImportFiles(const std::vector<std::string>& given)
{
    std::vector<std::string> paths = given;
    if (!paths.empty() && m_filesOpened)
        m_filesOpened(paths);
    const std::vector<std::string> printFiles = TakePrintFiles(paths);
    ImportModels(paths);
    if (!printFiles.empty())
        OpenPrintFile(printFiles.back());
}

void COrvanelView::ImportModels(const std::vector<std::string>& paths)
{
    if (paths.empty() || m_importing.exchange(true))
        return;
    ForgetPrintFile();
    m_importThread.EndThread(ZELKThreadProc::kWaitForever);
    EmptyImportFolder(ImportFolder());
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    wxString names;
    for (const std::string& path : paths)
        names += (names.empty() ? "" : ", ") + wxString::FromUTF8(std::filesystem::path(path).filename().string());
    ui->ShowPrepareWnd(1);
    ui->SetPrepareAction(names);
    ui->SetPrepareTime(wxString());
    m_importThread.SetTechFun([this, paths] {
        // Held by pointer: the meshes are handed over, never copied.
        auto files = std::make_shared<std::vector<ZELKCAD::StlFileRead>>();
        for (const std::string& path : paths)
            files->push_back(ZELKCAD::ReadOrTakeStlFile(path));
        CallAfter([this, files] {
            ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
            ui->ShowPrepareWnd(0);
            ZELKCAD::AddStlModels(std::move(*files));
            // The information bar stays above the view where no window manager stacks it.
            ZELKTransparentDlg::RaiseWithoutFocus(ui->GetInfoWnd());
            ShowSelectedModelInformation();
            Refresh(true);
            ui->ShowGCodeWnd(ZELKModelEdit::GetModelEditObject()->GetPrintModelNumber() != 0 ? 1 : 0);
            m_importing = false;
        });
    });
    if (!m_importThread.BeginThread()) {
        ui->ShowPrepareWnd(0);
        m_importing = false;
        ZELKFileLog::GetObjectW()->Write("COrvanelView", __LINE__, 1, "no thread to read the imported files");
    }
}
