// The coordinator's part in watching a print: the print monitor, the pause
// picture, the temperature graph, and telling the user when a print ends
// while the window is behind.
#include <algorithm>
#include <chrono>

#include <wx/app.h>
#include <wx/log.h>
#include <wx/notifmsg.h>
#include <wx/toplevel.h>

#include "ToolPictures.h"
#include "ZELKMachineControl.h"
#include "ZELKUIOperation.h"

namespace {

ZELKUIOperation::NotificationFunction& NotificationHook()
{
    // A desktop notification; none when the desktop has no notification
    // service (the failure is not the user's concern: the message box follows).
    static ZELKUIOperation::NotificationFunction hook = [](const wxString& title, const wxString& text) {
        wxLogNull quiet;
        wxNotificationMessage note(title, text, wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr);
        note.Show(wxNotificationMessage::Timeout_Auto);
    };
    return hook;
}

// Where the pictures and panels sit over the view: the monitor right of the
// top row of pictures, the temperature graph under it, the toolpath panel
// where the tool panels open.
const wxPoint kMonitorOffset(510, 10);
const wxPoint kTemperatureOffset(510, 75);
const wxPoint kToolpathOffset(85, 180);
const wxPoint kPausePicture(290, 10);
const wxPoint kTemperaturePicture(360, 10);

}  // namespace

void ZELKUIOperation::CreatePrintWatch(wxWindow* parent)
{
    if (parent == nullptr)
        return;
    if (!m_printMonitorWnd)
        m_printMonitorWnd = new ZELKPrintMonitorWnd(parent, wxDefaultPosition);
    CreateTopPicture(m_temperaturePic, parent, kTemperaturePicture, ID_PIC_TEMPERATURE, zelk::kPicTemperature, false);
    if (!m_temperatureWnd) {
        m_temperatureWnd = new ZELKTemperatureWnd(parent, wxDefaultPosition);
        FollowPanel(m_temperatureWnd, m_temperaturePic, zelk::kPicTemperature);
    }
    CreateTopPicture(m_pausePic, parent, kPausePicture, ID_PIC_PAUSE, zelk::kPicPause, false);
}

void ZELKUIOperation::BeginPrintWatch(const zelk::PrintTimeEstimate& estimate)
{
    if (!m_printMonitorWnd)
        return;
    PlaceWatchPanels();
    m_printMonitorWnd->Begin(estimate);
    m_printMonitorWnd->Translate();
    ShowPausePicture(false);
}

void ZELKUIOperation::EndPrintWatch()
{
    if (m_printMonitorWnd && m_printMonitorWnd->IsRunning())
        m_lastPrintSeconds = m_printMonitorWnd->End();
    if (m_pausePic)
        m_pausePic->Hide();
}

void ZELKUIOperation::ShowPausePicture(bool paused)
{
    if (!m_pausePic)
        return;
    m_pausePic->SetBitmapId(paused ? zelk::kPicResume : zelk::kPicPause);
    m_pausePic->SetToolTip(GetTranslateString(paused ? "id_picToolTip_resumePrint" : "id_picToolTip_pausePrint"));
    m_pausePic->Show();
}

void ZELKUIOperation::TogglePrintPause()
{
    if (m_machineControl->IsMachinePrinting() == 0)
        return;
    const bool pause = !m_machineControl->IsPrintPaused();
    if (pause)
        m_machineControl->PausePrint();
    else
        m_machineControl->ResumePrint();
    if (m_printMonitorWnd)
        m_printMonitorWnd->SetPaused(pause);
    ShowPausePicture(pause);
}

void ZELKUIOperation::NotifyPrintEnded(const wxString& text)
{
    wxWindow* top = wxTheApp != nullptr ? wxTheApp->GetTopWindow() : nullptr;
    auto* frame = wxDynamicCast(top, wxTopLevelWindow);
    if (frame != nullptr && frame->IsActive())
        return;  // the message box in front says it
    const NotificationFunction hook = NotificationHook();
    if (hook)
        hook(frame != nullptr ? frame->GetTitle() : wxString("Morvadin-X"), text);
}

ZELKUIOperation::NotificationFunction ZELKUIOperation::SetNotificationFunction(NotificationFunction function)
{
    NotificationFunction previous = std::move(NotificationHook());
    NotificationHook() = std::move(function);
    return previous;
}

void ZELKUIOperation::ShowPrintComplete()
{
    // The box is modal on the user-interface thread; a second finished reply
    // while it is open belongs to the same print and opens no second box.
    if (m_printCompleteShowing)
        return;
    m_printCompleteShowing = true;
    std::string took;
    if (m_lastPrintSeconds > 0)
        took = GetTranslateString("id_message_printTime").ToStdString(wxConvUTF8) + " " +
               zelk::FormatDuration(m_lastPrintSeconds);
    m_lastPrintSeconds = 0;
    wxString text = GetTranslateString("id_message_printComplete");
    if (!took.empty())
        text += "\n" + wxString::FromUTF8(took);
    NotifyPrintEnded(text);
    MessageBox_Zelk("id_message_printComplete", took);
    m_printCompleteShowing = false;
}

void ZELKUIOperation::ToggleTemperatureWnd()
{
    if (!m_temperatureWnd || !m_temperaturePic)
        return;
    PlaceWatchPanels();
    m_temperatureWnd->Show(!m_temperatureWnd->IsShown());  // the picture follows (ZELKUIToolpath.cpp)
}

void ZELKUIOperation::AddTemperatureSample(int extruderC, int platformC)
{
    if (platformC >= 0)
        m_lastPlatformC = platformC;
    if (!m_temperatureWnd || extruderC < 0)
        return;
    zelk::TemperatureSample sample;
    sample.timeS = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    sample.extruderC = extruderC;
    sample.extruderTargetC = std::max(0, m_machineControl->GetExtruderTargetC());
    if (m_lastPlatformC >= 0)
        sample.platformC = m_lastPlatformC;
    sample.platformTargetC = std::max(0, m_machineControl->GetPlatformTargetC());
    m_temperatureWnd->AddSample(sample);
}

void ZELKUIOperation::PlaceWatchPanels(wxPoint view)
{
    if (view == wxDefaultPosition) {
        if (!m_viewParent)
            return;
        view = m_viewParent->ClientToScreen(wxPoint(0, 0));
    }
    const std::pair<wxWindow*, wxPoint> panels[] = {
        {m_printMonitorWnd, kMonitorOffset}, {m_temperatureWnd, kTemperatureOffset}, {m_toolpathWnd, kToolpathOffset}};
    for (const auto& [panel, offset] : panels)
        if (panel != nullptr)
            panel->Move(view + offset);
}
