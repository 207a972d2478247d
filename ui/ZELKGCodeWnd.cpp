// Slicing panel: its controls, the settings, and the slicer run on the panel's worker thread.
#include "ZELKGCodeWnd.h"

#include <algorithm>
#include <initializer_list>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/statline.h>
#include <wx/textctrl.h>

#include "EntityDatabase.h"
#include "SlicedGCode.h"
#include "WorkflowText.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKStatic.h"
#include "ZELKTranslation.h"
#include "PanelHost.h"

namespace {

wxString Text(const std::string& key) { return ZELKTranslation::GetTranslationObject()->GetString(key); }

}  // namespace

void ZELKGCodeWnd::SetCancelGraceMs(int ms) { zelk::SliceJob::SetCancelGraceMs(ms); }

ZELKGCodeWnd::ZELKGCodeWnd(wxWindow* parent, const wxPoint& pos)
    : m_cancelTimer(this),
      m_job([this](unsigned run, const zelk::SliceProgress::Update& update) {
                CallAfter([this, run, update] { OnJobUpdate(run, update); });
            },
            [this](unsigned run, const zelk::SliceJob::End& end) {
                CallAfter([this, run, end] { OnJobEnded(run, end); });
            })
{
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
        auto* line = new wxStaticLine(this, wxID_ANY, rect.GetPosition(), wxSize(rect.width, 1));
        if (m_listsLine == nullptr)
            m_listsLine = line;
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
    FitToTexts();
    Refresh();
}

namespace {

int TextWidth(const wxWindow* window, const wxString& text)
{
    int width = 0, height = 0;
    window->GetTextExtent(text, &width, &height);
    return width;
}

}  // namespace

// Places the columns after the texts of the language, measured in the
// controls' own fonts: each label column as wide as its widest text, each
// list as wide as its widest entry, the check boxes in one column, and the
// panel wider when the texts need it. Nothing moves left of or above its
// place in the panel's units.
void ZELKGCodeWnd::FitToTexts()
{
    const int gap = FromDIP(4);
    const auto place = [](wxWindow* window, int x, int width) {
        window->SetSize(x, window->GetPosition().y, width, window->GetSize().y);
    };
    const auto labelsWidth = [this](std::initializer_list<int> ids, int atLeast) {
        int width = atLeast;
        for (int id : ids)
            width = std::max(width, TextWidth(FindWindow(id), FindWindow(id)->GetLabel()));
        return width;
    };

    // Left: the four labels and their lists.
    const int labelX = DluRect(8, 0, 0, 0).x;
    const int labelWidth = labelsWidth({ID_LABEL_FILL, ID_LABEL_LAYER, ID_LABEL_SHELLS, ID_LABEL_SPEED},
                                       DluRect(0, 0, 46, 0).width);
    for (int id : {ID_LABEL_FILL, ID_LABEL_LAYER, ID_LABEL_SHELLS, ID_LABEL_SPEED})
        place(FindWindow(id), labelX, labelWidth);
    const int listX = std::max(DluRect(55, 0, 0, 0).x, labelX + labelWidth + gap);
    int listWidth = DluRect(0, 0, 76, 0).width;
    for (wxChoice* list : {m_fillList, m_layerList, m_shellsList, m_speedList}) {
        list->InvalidateBestSize();
        listWidth = std::max(listWidth, list->GetBestSize().x);
    }
    for (wxChoice* list : {m_fillList, m_layerList, m_shellsList, m_speedList})
        place(list, listX, listWidth);

    // Right: the three labels and their boxes in one column.
    const int rightX = std::max(DluRect(136, 0, 0, 0).x, listX + listWidth + 2 * gap);
    const int rightWidth = labelsWidth({ID_LABEL_RAFT, ID_LABEL_SUPPORT, ID_LABEL_FULL_SUPPORT}, 0);
    for (int id : {ID_LABEL_RAFT, ID_LABEL_SUPPORT, ID_LABEL_FULL_SUPPORT})
        place(FindWindow(id), rightX, rightWidth);
    const int checkX = std::max(DluRect(181, 0, 0, 0).x, rightX + rightWidth + gap);
    int right = 0;
    for (wxCheckBox* box : {m_raftCheck, m_supportCheck, m_fullSupportCheck}) {
        box->Move(checkX, box->GetPosition().y);
        right = std::max(right, checkX + box->GetBestSize().x);
    }

    // Below: the fields after the longest of their labels, then the buttons.
    const int fieldLabelWidth =
        labelsWidth({ID_LABEL_HEIGHT, ID_LABEL_EXTRUDER, ID_LABEL_PLATFORM}, DluRect(0, 0, 69, 0).width);
    for (int id : {ID_LABEL_HEIGHT, ID_LABEL_EXTRUDER, ID_LABEL_PLATFORM})
        place(FindWindow(id), FindWindow(id)->GetPosition().x, fieldLabelWidth);
    const int fieldX = std::max(DluRect(78, 0, 0, 0).x, labelX + fieldLabelWidth + gap);
    for (wxTextCtrl* field : {m_heightEdit, m_extruderEdit, m_platformEdit})
        place(field, fieldX, field->GetSize().x);
    const int buttonX = std::max(DluRect(153, 0, 0, 0).x, fieldX + m_heightEdit->GetSize().x + 2 * gap);
    for (int id : {ID_BUTTON_RESET, ID_BUTTON_SET}) {
        wxWindow* button = FindWindow(id);
        button->Move(buttonX, button->GetPosition().y);
        right = std::max(right, buttonX + button->GetSize().x);
    }
    const int progressLabelWidth = labelsWidth({ID_LABEL_PROGRESS}, DluRect(0, 0, 42, 0).width);
    place(FindWindow(ID_LABEL_PROGRESS), FindWindow(ID_LABEL_PROGRESS)->GetPosition().x, progressLabelWidth);
    const int gaugeX = std::max(DluRect(49, 0, 0, 0).x,
                                FindWindow(ID_LABEL_PROGRESS)->GetPosition().x + progressLabelWidth + gap);
    place(m_progress, gaugeX, DluRect(49, 0, 164, 0).GetRight() + 1 - gaugeX);

    // The line under the lists runs between the last list and the fields
    // below, however tall the lists are drawn.
    const int listsBottom = m_speedList->GetRect().GetBottom();
    const wxRect line = DluRect(0, 106, 221, 1);
    m_listsLine->Move(line.x, line.y > listsBottom ? line.y : (listsBottom + 1 + m_heightEdit->GetPosition().y) / 2);

    // The panel grows (never shrinks below its units) to hold what is right-most.
    const int width = std::max(DluRect(0, 0, 221, 0).width, right + 2 * gap);
    if (width != GetClientSize().x) {
        SetClientSize(width, GetClientSize().y);
        Refresh();
    }
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
    PanelHost* host = PanelHost::Get();
    zelk::SliceFields fields;
    if (!zelk::ReadSliceFields(m_heightEdit->GetValue().utf8_string(), m_extruderEdit->GetValue().utf8_string(),
                               m_platformEdit->GetValue().utf8_string(), fields)) {
        ShowFailure(zelk::Outcome::Message("id_message_temperatureHeightRange_Tessaron"));
        return 0;
    }
    const zelk::Outcome stored = zelk::StoreSliceFields(fields);
    if (host != nullptr)
        host->UpdateTemperatureHeightControlWnd(UPDATE_ALL);
    if (!stored) {
        ShowFailure(stored);
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
    if (const zelk::Outcome usable = zelk::CheckStartGCodeForSlicing(); !usable) {
        ShowFailure(usable);
        return;
    }
    if (ApplyFields() == 0)
        return;
    // G-code for a nozzle too cold to extrude is asked about first.
    if (const std::optional<int> coldC = zelk::ColdStartGCodeC()) {
        PanelHost* host = PanelHost::Get();
        if (host == nullptr || !host->AskYesNo_Zelk("id_message_coldExtruder", zelk::ColdStartDetail(*coldC)))
            return;
    }
    zelk::SlicePlan plan = zelk::PlanSlice(*ZELDBEntityDatabase::GetInterFace(), GetSettings());
    if (plan.nothing)
        return;
    if (!plan.outcome) {
        ShowFailure(plan.outcome);
        return;
    }
    ResetProgressDisplay();
    SetButtons(State::Slicing);
    if (const zelk::Outcome started = m_job.Start(std::move(plan.arguments)); !started) {
        SetButtons(State::Idle);
        ShowFailure(started);
        return;
    }
    m_gcodePath = plan.gcodePath;
    m_fingerprint = plan.fingerprint;
}

void ZELKGCodeWnd::CancelSlicing()
{
    if (m_state == State::Slicing) {
        m_job.Cancel();
        SetButtons(State::Finishing);
        m_cancelTimer.Start(zelk::SliceJob::CancelGraceMs());
    }
    ResetProgressDisplay();
}

void ZELKGCodeWnd::OnCancelTimer(wxTimerEvent&)
{
    // Still running after a cancel: the job takes its next step, until none is left.
    if (m_state != State::Finishing || !m_job.CancelAgain())
        m_cancelTimer.Stop();
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

void ZELKGCodeWnd::ShowFailure(const zelk::Outcome& outcome)
{
    if (PanelHost* host = PanelHost::Get())
        host->MessageBox_Zelk(outcome.key, outcome.reason);
}

// ---------------------------------------------------------------- the slicer run

void ZELKGCodeWnd::OnJobUpdate(unsigned run, const zelk::SliceProgress::Update& update)
{
    if (m_destroying || run != m_job.Run() || m_state != State::Slicing)
        return;
    if (update.setRange)
        m_progress->SetRange(std::max(update.rangeMax, 1));
    if (update.setPosition)
        m_progress->SetValue(std::min(update.position, m_progress->GetRange()));
    if (update.setStatus) {
        const std::string pattern = Text(update.statusKey).utf8_string();
        m_status->SetText(wxString::FromUTF8(
            zelk::FillPattern(pattern, {std::to_string(update.layer), std::to_string(update.total)})));
    }
    if (!update.completed)
        return;
    ZELKCAD::RecordSlicedGCode(m_gcodePath, m_fingerprint);
    m_status->SetText(Text("id_message_GCodeComplete"));
    SetButtons(State::Finishing);
    ShowFailure(zelk::Outcome::Message("id_message_GCodeComplete"));
    ResetProgressDisplay();
}

void ZELKGCodeWnd::OnJobEnded(unsigned run, const zelk::SliceJob::End& end)
{
    if (m_destroying || run != m_job.Run())
        return;
    const bool failed = m_state == State::Slicing && !end.completed && !end.cancelled;
    m_cancelTimer.Stop();
    SetButtons(State::Idle);
    if (!failed)
        return;
    ResetProgressDisplay();
    ShowFailure(end.Failure());
}

void ZELKGCodeWnd::StopJob()
{
    m_destroying = true;
    m_cancelTimer.Stop();
    m_job.Stop();
}
