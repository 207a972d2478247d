// Machine control panel: its controls, the jog, and what each button queues for the printer.
#include "ZELKMachineControlWnd.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/choice.h>
#include <wx/statline.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "MachineControlRules.h"
#include "MachineProcedures.h"
#include "MachinePackageShortcuts.h"
#include "SliceProgress.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKTranslation.h"
#include "PanelHost.h"

namespace procedures = zelk::procedures;

namespace {

int g_measurePeriodMs = ZELKMachineControlWnd::kMeasurePeriodMs;

// The controls that move the platform, idle while the height is measured.
constexpr int kMotionButtons[] = {ZELKMachineControlWnd::ID_BUTTON_LOCK, ZELKMachineControlWnd::ID_BUTTON_UNLOCK,
                                  ZELKMachineControlWnd::ID_BUTTON_COARSE, ZELKMachineControlWnd::ID_BUTTON_FINE,
                                  ZELKMachineControlWnd::ID_BUTTON_SET_HEIGHT};

std::string Utf8(const wxTextCtrl* edit) { return edit->GetValue().utf8_string(); }

void ShowMessage(const std::string& key, const std::string& detail = std::string())
{
    if (PanelHost* host = PanelHost::Get())
        host->MessageBox_Zelk(key, detail);
}

// The slicing panel's fields follow what the start G-code now holds.
void StartGCodeChanged(UpdateTemperatureOrHeight what)
{
    if (PanelHost* host = PanelHost::Get())
        host->UpdateTemperatureHeightGCodeWnd(what);
}

// The start G-code file could not take the value: said once, with why.
void CheckStored(const zelk::Outcome& stored)
{
    if (!stored)
        ShowMessage(stored.key, stored.reason);
}

}  // namespace

void ZELKMachineControlWnd::SetMeasurePeriodMs(int ms) { g_measurePeriodMs = ms; }

ZELKMachineControlWnd::ZELKMachineControlWnd(wxWindow* parent, const wxPoint& pos)
    : m_measureTimer(this, ID_TIMER_MEASURE)
{
    // Taller than its controls by the note on what Set also changes.
    Create(parent, IDD, pos, wxSize(220, kHeightDlu));
    CreateControls();
    Bind(wxEVT_BUTTON, &ZELKMachineControlWnd::OnCommand, this);
    Bind(wxEVT_CHAR_HOOK, &ZELKMachineControlWnd::OnCharHook, this);
    Bind(wxEVT_TIMER, &ZELKMachineControlWnd::OnMeasureTimer, this, ID_TIMER_MEASURE);
    OnInitDialog();
    m_jogList->SetSelection(zelk::kContinuousJogEntry);
    m_fineList->SetSelection(2);
    const ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    SetFields(wxString::FromUTF8(startGCode->GetExtrudeTemperature()),
              wxString::FromUTF8(startGCode->GetPlateTemperature()),
              wxString::FromUTF8(startGCode->GetZAxisHeight()), true, true, true);
}

ZELKMachineControlWnd::~ZELKMachineControlWnd()
{
    m_measureTimer.Stop();
    EndJog();
}

bool ZELKMachineControlWnd::Destroy()
{
    m_measureTimer.Stop();
    EndJog();
    return ZELKTransparentDlg::Destroy();
}

bool ZELKMachineControlWnd::Show(bool show)
{
    if (!show)
        EndJog();
    return ZELKTransparentDlg::Show(show);
}

// The arrows sit as a cross for X and Y with Z beside it; lists, fields and
// buttons are as wide as their longest translation needs.
void ZELKMachineControlWnd::CreateControls()
{
    SetFont(wxFont(wxFontInfo(9)));
    wxStaticText* caption = AddStatic(ID_CAPTION, wxString(), {8, 6, 150, 18});
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25))));

    // Window ids, direction codes and places of the arrows.
    const struct {
        int id;
        int code;
        int x, y;
    } arrows[6] = {{ID_ARROW_X_MINUS, 1, 8, 51},  {ID_ARROW_X_PLUS, 0, 64, 51},  {ID_ARROW_Y_PLUS, 2, 36, 26},
                   {ID_ARROW_Y_MINUS, 3, 36, 76}, {ID_ARROW_Z_MINUS, 4, 100, 76}, {ID_ARROW_Z_PLUS, 5, 100, 26}};
    for (int i = 0; i < 6; ++i) {
        const wxRect rect = DluRect(arrows[i].x, arrows[i].y, 26, 24);
        const int side = std::min(rect.width, rect.height);
        m_arrows[i] = new ZELKStaticCtrl(this, this, arrows[i].id, rect.GetPosition(), wxSize(side, side));
        m_arrows[i]->SetArrowId(arrows[i].code);
    }

    const auto choice = [this](int id, int x, int y, int width) {
        const wxRect rect = DluRect(x, y, width, 14);
        return new wxChoice(this, id, rect.GetPosition(), wxSize(rect.width, -1));
    };
    m_jogList = choice(ID_LIST_JOG, 134, 28, 78);
    for (const char* step : {"0.1mm", "0.5mm", "1.0mm", "5.0mm", ""})
        m_jogList->Append(step);
    m_fineList = choice(ID_LIST_FINE, 148, 158, 64);
    for (const char* step : {"0.1", "0.2", "0.5", "-0.1", "-0.2", "-0.5"})
        m_fineList->Append(step);

    const auto edit = [this](int id, int x, int y, int width) {
        const wxRect rect = DluRect(x, y, width, 13);
        return new wxTextCtrl(this, id, wxString(), rect.GetPosition(), wxSize(rect.width, -1));
    };
    const auto button = [this](int id, int x, int y, int width) {
        const wxRect rect = DluRect(x, y, width, 16);
        return new wxButton(this, id, wxString(), rect.GetPosition(), rect.GetSize());
    };
    button(ID_BUTTON_LOCK, 134, 52, 78);
    button(ID_BUTTON_UNLOCK, 134, 72, 78);

    AddStatic(ID_LABEL_EXTRUDER, wxString(), {8, 113, 70, 10}, wxST_ELLIPSIZE_END);
    m_extruderEdit = edit(ID_EDIT_EXTRUDER, 80, 110, 46);
    button(ID_BUTTON_SET_EXTRUDER, 134, 109, 78);
    button(ID_BUTTON_FEED, 8, 131, 64);
    button(ID_BUTTON_STOP, 78, 131, 64);
    button(ID_BUTTON_RETRACT, 148, 131, 64);

    button(ID_BUTTON_COARSE, 8, 158, 64);
    button(ID_BUTTON_FINE, 78, 158, 64);
    button(ID_BUTTON_MEASURE, 8, 181, 58);
    m_heightEdit = edit(ID_EDIT_HEIGHT, 70, 182, 50);
    button(ID_BUTTON_SET_HEIGHT, 124, 181, 88);

    // The platform heats by the start G-code only: its row stays hidden,
    // below the panel's visible part.
    AddStatic(ID_LABEL_PLATFORM, wxString(), {8, 209, 70, 10}, wxST_ELLIPSIZE_END)->Hide();
    m_platformEdit = edit(ID_EDIT_PLATFORM, 80, 206, 46);
    m_platformEdit->Hide();
    button(ID_BUTTON_SET_PLATFORM, 134, 205, 78)->Hide();

    for (int y : {104, 152}) {
        const wxRect rect = DluRect(0, y, 220, 1);
        new wxStaticLine(this, wxID_ANY, rect.GetPosition(), wxSize(rect.width, 1));
    }
    // A temperature or height set here is stored in the start G-code: the
    // panel says so, so the next print's temperature never surprises.
    AddStatic(ID_LABEL_NEXT_PRINT, wxString(),
              {kNextPrintNoteDlu[0], kNextPrintNoteDlu[1], kNextPrintNoteDlu[2], kNextPrintNoteDlu[3]});
}

void ZELKMachineControlWnd::Translate()
{
    if (auto* note = static_cast<wxStaticText*>(FindWindow(ID_LABEL_NEXT_PRINT))) {
        note->SetLabelText(ZELKTranslation::GetTranslationObject()->GetString("id_static_controlSetsNextPrint"));
        note->Wrap(note->GetSize().x);
    }
    const std::pair<int, const char*> texts[] = {
        {ID_CAPTION, "id_static_controlCaption"},
        {ID_LABEL_EXTRUDER, "id_static_controlTemperature"},
        {ID_LABEL_PLATFORM, "id_static_controlPlatformTemperature"},
        {ID_BUTTON_LOCK, "id_button_controlLock"},
        {ID_BUTTON_UNLOCK, "id_button_controlUnLock"},
        {ID_BUTTON_SET_EXTRUDER, "id_button_controlSetTem"},
        {ID_BUTTON_SET_PLATFORM, "id_button_controlSetPlatTem"},
        {ID_BUTTON_FEED, "id_button_controlForward"},
        {ID_BUTTON_STOP, "id_button_controlAbort"},
        {ID_BUTTON_RETRACT, "id_button_controlReverse"},
        {ID_BUTTON_COARSE, "id_button_controlSketchy"},
        {ID_BUTTON_FINE, "id_button_controlPrecision"},
        {ID_BUTTON_MEASURE, "id_button_controlMeter"},
        {ID_BUTTON_SET_HEIGHT, "id_button_controlZSet"}};
    for (const auto& [id, key] : texts)
        ZELKTranslation::SetDlgItemText(this, id, key);
    m_jogList->SetString(zelk::kContinuousJogEntry,
                         ZELKTranslation::GetTranslationObject()->GetString("id_combox_controlContinue"));
    m_jogList->SetSelection(zelk::kContinuousJogEntry);
    Refresh();
}

void ZELKMachineControlWnd::SetFields(const wxString& extruderTemp, const wxString& platformTemp,
                                      const wxString& zHeight, bool extruder, bool platform, bool height)
{
    if (extruder)
        m_extruderEdit->ChangeValue(extruderTemp);
    if (platform)
        m_platformEdit->ChangeValue(platformTemp);
    if (height)
        m_heightEdit->ChangeValue(zHeight);
}

// ---------------------------------------------------------------- jog

void ZELKMachineControlWnd::JogStart(int arrowId)
{
    zelk::JogDirection direction;
    const double stepMm = zelk::JogStepMm(m_jogList->GetSelection());
    if (!zelk::JogDirectionOf(arrowId, direction) || stepMm <= 0)
        return;
    double value = 0, feed = 0;
    ZELKCAD::GetMotorMMtoStepsAndSpeed(stepMm, static_cast<ZELKCAD::MotorModel>(direction.axis), value, feed);
    const std::string line = zelk::JogLine(direction.letter, direction.sign * value, feed);
    ZELKCAD::InsertPackage(std::vector<Package>{ZELKCAD::GetPack(zelk::kOriginLine), ZELKCAD::GetPack(line)});
}

bool ZELKMachineControlWnd::IsContinuousJog() const
{
    return m_jogList->GetSelection() == zelk::kContinuousJogEntry;
}

void ZELKMachineControlWnd::JogStopContinuous() { ZELKCAD::InsertPackage(ZELKCAD::GetMoveStopPack()); }

void ZELKMachineControlWnd::EndJog()
{
    for (ZELKStaticCtrl* arrow : m_arrows)
        if (arrow != nullptr)
            arrow->EndPress();
}

// ---------------------------------------------------------------- buttons

void ZELKMachineControlWnd::OnCommand(wxCommandEvent& event)
{
    switch (event.GetId()) {
    case ID_BUTTON_LOCK:
        LockMotors();
        break;
    case ID_BUTTON_UNLOCK:
        UnlockMotors();
        break;
    case ID_BUTTON_COARSE:
        CoarseApproach();
        break;
    case ID_BUTTON_FINE:
        FineStep();
        break;
    case ID_BUTTON_MEASURE:
        StartMeasuring();
        break;
    case ID_BUTTON_SET_EXTRUDER:
        SetExtruderTemperature();
        break;
    case ID_BUTTON_SET_PLATFORM:
        SetPlatformTemperature();
        break;
    case ID_BUTTON_FEED:
        StartExtrude(1);
        break;
    case ID_BUTTON_RETRACT:
        StartExtrude(0);
        break;
    case ID_BUTTON_STOP:
        ZELKCAD::InsertStopExtrude();
        break;
    case ID_BUTTON_SET_HEIGHT:
        SetStartHeight();
        break;
    default:
        event.Skip();
    }
}

void ZELKMachineControlWnd::OnCharHook(wxKeyEvent& event)
{
    // Enter in a field does that field's button and never closes the panel.
    if (event.GetKeyCode() != WXK_RETURN && event.GetKeyCode() != WXK_NUMPAD_ENTER) {
        event.Skip();
        return;
    }
    const wxObject* target = event.GetEventObject();
    if (target != m_extruderEdit && target != m_platformEdit && target != m_heightEdit)
        target = FindFocus();
    if (target == m_extruderEdit)
        SetExtruderTemperature();
    else if (target == m_platformEdit)
        SetPlatformTemperature();
    else if (target == m_heightEdit)
        SetStartHeight();
}

void ZELKMachineControlWnd::LockMotors() { procedures::Run(procedures::LockMotors()); }

void ZELKMachineControlWnd::UnlockMotors() { procedures::Run(procedures::UnlockMotors()); }

void ZELKMachineControlWnd::CoarseApproach() { procedures::Run(procedures::CoarseApproach()); }

void ZELKMachineControlWnd::FineStep() { procedures::Run(procedures::FineStep(m_fineList->GetSelection())); }

void ZELKMachineControlWnd::SetExtruderTemperature()
{
    int tempC = 0;
    if (!zelk::ReadTemperature(Utf8(m_extruderEdit), zelk::kExtruderTempMaxC, tempC)) {
        ShowMessage("id_message_extruderTemRange");
        return;
    }
    procedures::Run(procedures::HeatExtruder(tempC));
    CheckStored(procedures::StoreExtruderTemperature(tempC));
    StartGCodeChanged(UPDATE_EXTRUDE_TEMPERATURE);
}

void ZELKMachineControlWnd::SetPlatformTemperature()
{
    int tempC = 0;
    if (!zelk::ReadTemperature(Utf8(m_platformEdit), zelk::kPlatformTempMaxC, tempC)) {
        ShowMessage("id_message_platformTemRange");
        return;
    }
    procedures::Run(procedures::HeatPlatform(tempC));
    CheckStored(procedures::StorePlatformTemperature(tempC));
    StartGCodeChanged(UPDATE_PLATFORM_TEMPERATURE);
}

// Filament moves only through a hot nozzle: the last reported temperature decides.
void ZELKMachineControlWnd::StartExtrude(int direction)
{
    if (!zelk::ExtruderHotEnoughToFeed(ZELKMachineControl::GetMachineControl()->GetReceiveBuf().extruderTemperature)) {
        ShowMessage("id_message_extruderTemNotReach");
        return;
    }
    ZELKCAD::InsertStartExtrude(direction, 6.0f, 30);
}

void ZELKMachineControlWnd::SetStartHeight()
{
    double heightMm = 0;
    if (!zelk::ReadHeight(Utf8(m_heightEdit), heightMm)) {
        // Any number is taken here (no range applies), so the refusal says
        // only that it must be one.
        ShowMessage("id_message_heightNotNumber");
        return;
    }
    CheckStored(procedures::StoreStartHeight(heightMm));
    StartGCodeChanged(UPDATE_Z_HEIGHT);
}

// ---------------------------------------------------------------- height measurement

void ZELKMachineControlWnd::StartMeasuring()
{
    EnableMotion(false);
    procedures::Run(procedures::StartMeasuring());
    m_zWatch = ZELKPositionWatch();
    m_measuring = true;
    m_measureTimer.Start(g_measurePeriodMs);
}

void ZELKMachineControlWnd::OnMeasureTimer(wxTimerEvent&)
{
    Package query;
    ZELKMachineControl::GetMachineControl()->GetInquireMachineCoordinatePackage(query);
    ZELKCAD::InsertPackage(query);
}

// Only a measurement's replies are heights: the position answered after a
// jog stop is where the jog ended, not a start height.
bool ZELKMachineControlWnd::SetMeasuredZ(double zMm)
{
    if (!m_measuring)
        return false;
    m_heightEdit->ChangeValue(wxString::Format("%.1f", zMm));
    if (!m_zWatch.OnPosition(ZELKGePoint3d(0, 0, zMm)))
        return false;
    StopMeasuring();
    return true;
}

void ZELKMachineControlWnd::StopMeasuring()
{
    m_measureTimer.Stop();
    m_measuring = false;
    EnableMotion(true);
}

void ZELKMachineControlWnd::EnableMotion(bool enable)
{
    if (!enable)
        EndJog();
    for (ZELKStaticCtrl* arrow : m_arrows) {
        arrow->Enable(enable);
        arrow->Refresh();
    }
    for (int id : kMotionButtons)
        FindWindow(id)->Enable(enable);
}
