// Slicing panel: its controls, the settings, and the slicer run on the panel's worker thread.
#include "ZELKGCodeWnd.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/statline.h>
#include <wx/textctrl.h>

#include "ChildProcess.h"
#include "EntityDatabase.h"
#include "ModelFilePaths.h"
#include "PrintModelFile.h"
#include "SlicedGCode.h"
#include "ZELKSkfParameterCmdLines.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKStatic.h"
#include "ZELKTranslation.h"
#include "ZELKUIOperation.h"

namespace {

// What the panel shows for a slicer that ended with this exit code.
constexpr int kExitEngineMissing = 3;

int g_cancelGraceMs = 3000;

wxString Text(const std::string& key) { return ZELKTranslation::GetTranslationObject()->GetString(key); }

}  // namespace

void ZELKGCodeWnd::SetCancelGraceMs(int ms) { g_cancelGraceMs = ms; }

ZELKGCodeWnd::ZELKGCodeWnd(wxWindow* parent, const wxPoint& pos) : m_worker(this), m_cancelTimer(this)
{
    m_worker.SetTechFun(&ZELKGCodeWnd::SlicerJob);
    Create(parent, IDD, pos, wxSize(220, 240));
    CreateControls();
    Bind(wxEVT_BUTTON, &ZELKGCodeWnd::OnCommand, this);
    Bind(wxEVT_CHECKBOX, &ZELKGCodeWnd::OnCommand, this);
    Bind(wxEVT_CHAR_HOOK, &ZELKGCodeWnd::OnCharHook, this);
    Bind(wxEVT_TIMER, &ZELKGCodeWnd::OnCancelTimer, this, m_cancelTimer.GetId());
    OnInitDialog();
    SetDefaults();
    ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    SetFields(wxString::FromUTF8(startGCode->GetExtrudeTemperature()),
              wxString::FromUTF8(startGCode->GetPlateTemperature()),
              wxString::FromUTF8(startGCode->GetZAxisHeight()), true, true, true);
    SetButtons(State::Idle);
}

ZELKGCodeWnd::~ZELKGCodeWnd() { StopJob(); }

bool ZELKGCodeWnd::Destroy()
{
    StopJob();
    return ZELKTransparentDlg::Destroy();
}

// Controls keep their places on the panel; widths reach to the next control,
// because GTK's lists, fields and texts need more room than the panel's units give.
void ZELKGCodeWnd::CreateControls()
{
    SetFont(wxFont(wxFontInfo(9)));
    const struct {
        int id;
        wxRect dlu;
        bool shown;
    } labels[] = {{ID_LABEL_FILL, {8, 17, 46, 10}, true},        {ID_LABEL_LAYER, {8, 43, 46, 10}, true},
                  {ID_LABEL_SHELLS, {8, 69, 46, 10}, true},      {ID_LABEL_SPEED, {8, 95, 46, 10}, true},
                  {ID_LABEL_RAFT, {136, 15, 44, 10}, true},      {ID_LABEL_SUPPORT, {136, 41, 55, 10}, true},
                  {ID_LABEL_FULL_SUPPORT, {136, 64, 55, 10}, true}, {ID_LABEL_HEIGHT, {7, 115, 70, 10}, true},
                  {ID_LABEL_EXTRUDER, {8, 137, 69, 10}, true},   {ID_LABEL_PLATFORM, {8, 158, 69, 10}, false},
                  {ID_LABEL_PROGRESS, {6, 202, 42, 10}, true}};
    for (const auto& label : labels)
        AddStatic(label.id, wxString(), label.dlu, wxST_ELLIPSIZE_END)->Show(label.shown);

    const auto choice = [this](int id, int x, int y) {
        const wxRect rect = DluRect(x, y, 76, 12);
        return new wxChoice(this, id, rect.GetPosition(), wxSize(rect.width, -1));
    };
    m_fillList = choice(ID_LIST_FILL, 55, 16);
    m_layerList = choice(ID_LIST_LAYER, 55, 40);
    m_layerList->Append("0.2");
    m_layerList->Append("0.3");
    m_shellsList = choice(ID_LIST_SHELLS, 55, 64);
    m_speedList = choice(ID_LIST_SPEED, 55, 89);

    const auto check = [this](int id, int x, int y) {
        const wxRect rect = DluRect(x, y, 8, 8);
        auto* box = new wxCheckBox(this, id, wxString(), rect.GetPosition());
        box->SetBackgroundColour(kBackground);
        return box;
    };
    m_raftCheck = check(ID_CHECK_RAFT, 181, 15);
    m_supportCheck = check(ID_CHECK_SUPPORT, 192, 42);
    m_fullSupportCheck = check(ID_CHECK_FULL_SUPPORT, 192, 64);

    const auto edit = [this](int id, int x, int y) {
        const wxRect rect = DluRect(x, y, 46, 12);
        return new wxTextCtrl(this, id, wxString(), rect.GetPosition(), wxSize(rect.width, -1));
    };
    m_heightEdit = edit(ID_EDIT_HEIGHT, 78, 112);
    m_extruderEdit = edit(ID_EDIT_EXTRUDER, 78, 135);
    m_platformEdit = edit(ID_EDIT_PLATFORM, 78, 158);
    m_platformEdit->Hide();

    for (int y : {106, 178}) {
        const wxRect rect = DluRect(0, y, 221, 1);
        new wxStaticLine(this, wxID_ANY, rect.GetPosition(), wxSize(rect.width, 1));
    }
    const wxRect status = DluRect(7, 184, 205, 11);
    m_status = new ZELKStatic(this, ID_STATUS, status.GetPosition(), status.GetSize());
    const wxRect progress = DluRect(49, 199, 164, 15);
    m_progress = new wxGauge(this, ID_PROGRESS, 100, progress.GetPosition(), progress.GetSize());

    const auto button = [this](int id, int x, int y, int width, int height) {
        const wxRect rect = DluRect(x, y, width, height);
        return new wxButton(this, id, wxString(), rect.GetPosition(), rect.GetSize());
    };
    button(ID_BUTTON_RESET, 153, 86, 54, 16);
    button(ID_BUTTON_SET, 153, 155, 54, 16);
    m_cancelButton = button(ID_BUTTON_CANCEL, 26, 216, 90, 18);
    m_startButton = button(ID_BUTTON_START, 124, 216, 90, 18);
    m_startButton->SetDefault();
}

// ---------------------------------------------------------------- texts and settings

void ZELKGCodeWnd::Translate()
{
    const std::pair<int, const char*> texts[] = {
        {ID_LABEL_RAFT, "id_static_gcodeIsRaft"},           {ID_LABEL_FILL, "id_static_gcodeInfill"},
        {ID_LABEL_LAYER, "id_static_gcodeLayerheight"},     {ID_LABEL_SHELLS, "id_static_gcodeShells"},
        {ID_LABEL_SPEED, "id_static_gcodeFeedrate"},        {ID_LABEL_SUPPORT, "id_static_gcodeSupport"},
        {ID_LABEL_FULL_SUPPORT, "id_static_gcodeFullSupport"}, {ID_LABEL_HEIGHT, "id_static_gcodePrintHeight"},
        {ID_LABEL_PROGRESS, "id_static_gcodeProgress"},     {ID_BUTTON_RESET, "id_button_gcodeReset"},
        {ID_BUTTON_SET, "id_button_gcodeModefySet"},        {ID_BUTTON_CANCEL, "id_button_gcodeCancleGcode"},
        {ID_BUTTON_START, "id_button_gcodeGcode"}};
    for (const auto& [id, key] : texts)
        ZELKTranslation::SetDlgItemText(this, id, key);
    const wxString degrees = wxString::FromUTF8("(℃):");
    FindWindow(ID_LABEL_EXTRUDER)->SetLabel(Text("id_static_gcodePrintTemperature") + degrees);
    FindWindow(ID_LABEL_PLATFORM)->SetLabel(Text("id_static_gcodePlatformTemperature") + degrees);

    const std::pair<wxChoice*, std::vector<const char*>> lists[] = {
        {m_fillList,
         {"id_combox_gcodeFill_Hollow", "id_combox_gcodeFill_Low", "id_combox_gcodeFill_Medium",
          "id_combox_gcodeFill_High", "id_combox_gcodeFill_Solid"}},
        {m_shellsList, {"id_combox_gcodeShells_Thin", "id_combox_gcodeShells_Normal", "id_combox_gcodeShells_Thick"}},
        {m_speedList,
         {"id_combox_gcodeSpeed_Slow", "id_combox_gcodeSpeed_Standard", "id_combox_gcodeSpeed_Fast"}}};
    for (const auto& [list, keys] : lists) {
        list->Clear();
        for (const char* key : keys)
            list->Append(Text(key));
    }
    SetDefaults();
    Refresh();
}

void ZELKGCodeWnd::SetDefaults()
{
    m_layerList->SetSelection(0);
    if (m_fillList->GetCount() > 2)
        m_fillList->SetSelection(2);
    if (m_speedList->GetCount() > 1)
        m_speedList->SetSelection(1);
    if (m_shellsList->GetCount() > 1)
        m_shellsList->SetSelection(1);
    m_raftCheck->SetValue(true);
    m_supportCheck->SetValue(false);
    m_fullSupportCheck->SetValue(false);
}

SkeinforgeParameter ZELKGCodeWnd::GetSettings() const
{
    return zelk::MakeSkeinforgeParameter(m_fillList->GetSelection(), m_layerList->GetSelection(),
                                         m_shellsList->GetSelection(), m_speedList->GetSelection(),
                                         m_raftCheck->GetValue(), m_supportCheck->GetValue(),
                                         m_fullSupportCheck->GetValue());
}

void ZELKGCodeWnd::SetFields(const wxString& extruderTemp, const wxString& platformTemp, const wxString& printHeight,
                             bool extruder, bool platform, bool height)
{
    if (extruder)
        m_extruderEdit->ChangeValue(extruderTemp);
    if (platform)
        m_platformEdit->ChangeValue(platformTemp);
    if (height)
        m_heightEdit->ChangeValue(printHeight);
}

int ZELKGCodeWnd::ApplyFields()
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    zelk::SliceFields fields;
    if (!zelk::ReadSliceFields(m_heightEdit->GetValue().utf8_string(), m_extruderEdit->GetValue().utf8_string(),
                               m_platformEdit->GetValue().utf8_string(), fields)) {
        ui->MessageBox_Zelk("id_message_temperatureHeightRange_Tessaron");
        return 0;
    }
    ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    // The extruder takes whole degrees.
    const bool stored =
        startGCode->SetStartGCodeData(static_cast<int>(fields.extruderTempC), StartGCode_ExtruderTemperature) != 0 &&
        startGCode->SetStartGCodeData(fields.printHeightMm, StartGCode_ZHeight) != 0 &&
        startGCode->SetStartGCodeData(fields.platformTempC, StartGCode_PlatformTemperature) != 0;
    ui->UpdateTemperatureHeightControlWnd(UPDATE_ALL);
    if (!stored) {
        ShowFailure("id_message_startGCodeNotSaved", startGCode->GetLastError());
        return 0;
    }
    return 1;
}

// ---------------------------------------------------------------- commands

void ZELKGCodeWnd::OnCommand(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_BUTTON_RESET:
        SetDefaults();
        break;
    case ID_BUTTON_SET:
        ApplyFields();
        break;
    case ID_BUTTON_START:
        StartSlicing();
        break;
    case ID_BUTTON_CANCEL:
        CancelSlicing();
        break;
    case ID_CHECK_SUPPORT:
        if (m_supportCheck->GetValue())
            m_fullSupportCheck->SetValue(false);
        break;
    case ID_CHECK_FULL_SUPPORT:
        if (m_fullSupportCheck->GetValue())
            m_supportCheck->SetValue(false);
        break;
    default:
        event.Skip();
    }
}

void ZELKGCodeWnd::OnCharHook(wxKeyEvent& event)
{
    // Enter never closes the panel nor starts slicing; in a field it applies the fields.
    if (event.GetKeyCode() != WXK_RETURN && event.GetKeyCode() != WXK_NUMPAD_ENTER) {
        event.Skip();
        return;
    }
    const wxWindow* focus = FindFocus();
    if (focus == m_heightEdit || focus == m_extruderEdit || focus == m_platformEdit)
        ApplyFields();
}

void ZELKGCodeWnd::StartSlicing()
{
    if (m_state != State::Idle)
        return;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    // Without the lines that carry the temperatures and the start height, the
    // print would not heat: nothing is sliced for it.
    std::string unusable;
    if (ZELKStartGCodeOperater::GetStartGCodeOperaterObject()->IsStartGCodeUsable(unusable) == 0) {
        ui->MessageBox_Zelk("id_message_startGCodeUnusable", unusable);
        return;
    }
    if (ApplyFields() == 0)
        return;
    ZELDBEntityDatabase* database = ZELDBEntityDatabase::GetInterFace();
    if (database->IsInPlatform() == 0) {
        ui->MessageBox_Zelk("id_message_modelBeyondRange");
        return;
    }
    if (database->IsPrintModelOnPlatform() == 0) {
        ui->MessageBox_Zelk("id_message_modelNotOnPlatform");
        return;
    }
    std::string modelPath;
    int count = 0;
    ZELKCAD::GetPrintModelPathAndCount(modelPath, count);
    if (count == 0)
        return;
    std::string error;
    if (!ZELKCAD::MergePrintModels(*database, modelPath, error)) {
        ShowFailure("id_message_sliceFailed", error);
        return;
    }
    ZELKSkfParameterCmdLines* commandLines = ZELKSkfParameterCmdLines::getInstance();
    commandLines->SetSkeinforgePrameter(GetSettings());
    m_commandLine = commandLines->GetSkeinforgeCmdLiens();
    if (m_commandLine.empty()) {
        ShowFailure("id_message_slicerNotStarted", commandLines->GetBridgePath());
        return;
    }
    m_commandLine += ' ' + zelk::QuoteArgument(modelPath);
    m_gcodePath = zelk::GCodePathForModel(modelPath);
    m_fingerprint = ZELKCAD::PrintModelFingerprint(*database);

    if (m_worker.IsThreadRunning() && !m_worker.EndThread(100))
        return;  // the last run's worker is still reaping its child
    ResetProgressDisplay();
    ++m_job;
    m_cancelled = false;
    SetButtons(State::Slicing);
    if (!m_worker.BeginThread()) {
        SetButtons(State::Idle);
        ShowFailure("id_message_slicerNotStarted", "no thread for the slicer");
    }
}

void ZELKGCodeWnd::CancelSlicing()
{
    if (m_state == State::Slicing) {
        m_cancelled = true;
        SignalChild(false);
        SetButtons(State::Finishing);
        m_cancelSteps = 0;
        m_cancelTimer.Start(g_cancelGraceMs);
    }
    ResetProgressDisplay();
}

void ZELKGCodeWnd::SignalChild(bool kill)
{
    std::lock_guard lock(m_childMutex);
    if (!m_child)
        return;
    if (kill)
        m_child->Kill();
    else
        m_child->Terminate();
}

void ZELKGCodeWnd::OnCancelTimer(wxTimerEvent&)
{
    // Still running after a cancel: ask again (the slicer bridge then kills
    // its engine), and at last kill the run's whole process group.
    if (m_state != State::Finishing || !m_cancelled || m_cancelSteps >= 2) {
        m_cancelTimer.Stop();
        return;
    }
    SignalChild(++m_cancelSteps == 2);
}

void ZELKGCodeWnd::ResetProgressDisplay()
{
    m_progress->SetRange(100);
    m_progress->SetValue(0);
    m_status->SetText(wxString());
    Refresh();
}

void ZELKGCodeWnd::SetButtons(State state)
{
    m_state = state;
    m_startButton->Enable(state == State::Idle);
    m_cancelButton->Show(state == State::Slicing);
}

void ZELKGCodeWnd::ShowFailure(const std::string& key, const std::string& detail)
{
    ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk(key, detail);
}

// ---------------------------------------------------------------- the slicer run

unsigned long ZELKGCodeWnd::SlicerJob(void* panel)
{
    auto* self = static_cast<ZELKGCodeWnd*>(panel);
    // Both were set on the user-interface thread before the thread began.
    self->RunJob(self->m_job, self->m_commandLine);
    return 1;
}

void ZELKGCodeWnd::RunJob(unsigned job, const std::string& commandLine)
{
    JobEnd end;
    std::vector<std::string> argv;
    auto child = std::make_shared<zelk::ChildProcess>();
    if (!zelk::SplitCommandLine(commandLine, argv, end.detail) || !child->Start(argv, end.detail)) {
        end.started = false;
        CallAfter([this, job, end] { OnJobEnded(job, end); });
        return;
    }
    {
        std::lock_guard lock(m_childMutex);
        m_child = child;
    }
    if (m_cancelled)  // cancel came before the child was known
        child->Terminate();

    zelk::SliceProgress progress;
    std::string line;
    while (child->ReadLine(line)) {
        const zelk::SliceProgress::Update update = progress.Apply(line);
        if (update.setRange || update.setPosition || update.setStatus || update.completed)
            CallAfter([this, job, update] { OnJobUpdate(job, update); });
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
    end.detail = progress.LastError();
    CallAfter([this, job, end] { OnJobEnded(job, end); });
}

void ZELKGCodeWnd::OnJobUpdate(unsigned job, const zelk::SliceProgress::Update& update)
{
    if (m_destroying || job != m_job || m_state != State::Slicing)
        return;
    if (update.setRange)
        m_progress->SetRange(std::max(update.rangeMax, 1));
    if (update.setPosition)
        m_progress->SetValue(std::min(update.position, m_progress->GetRange()));
    if (update.setStatus)
        m_status->SetText(wxString::FromUTF8(update.status));
    if (!update.completed)
        return;
    ZELKCAD::RecordSlicedGCode(m_gcodePath, m_fingerprint);
    m_status->SetText(Text("id_message_GCodeComplete"));
    SetButtons(State::Finishing);
    ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_GCodeComplete");
    ResetProgressDisplay();
}

void ZELKGCodeWnd::OnJobEnded(unsigned job, const JobEnd& end)
{
    if (m_destroying || job != m_job)
        return;
    const bool failed = m_state == State::Slicing && !end.completed && !m_cancelled;
    m_cancelTimer.Stop();
    SetButtons(State::Idle);
    if (!failed)
        return;
    ResetProgressDisplay();
    if (!end.started)
        ShowFailure("id_message_slicerNotStarted", end.detail);
    else if (end.exitCode == kExitEngineMissing)
        ShowFailure("id_message_slicerEngineMissing", end.detail);
    else
        ShowFailure("id_message_sliceFailed",
                    end.detail.empty() ? "exit status " + std::to_string(end.exitCode) : end.detail);
}

void ZELKGCodeWnd::StopJob()
{
    m_destroying = true;
    m_cancelled = true;
    m_cancelTimer.Stop();
    // The worker ends once its child has gone; the child is asked twice, then killed.
    for (int step = 0; step < 3; ++step) {
        if (!m_worker.IsThreadRunning())
            return;
        SignalChild(step == 2);
        if (m_worker.EndThread(step == 2 ? ZELKThreadProc::kWaitForever : static_cast<unsigned long>(g_cancelGraceMs)))
            return;
    }
}
