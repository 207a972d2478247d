// The print monitor: its texts come from the estimate; the strip is painted whole.
#include "ZELKPrintMonitorWnd.h"

#include <wx/dcbuffer.h>

#include "DialogUnits.h"
#include "ZELKMachineControl.h"
#include "ZELKTranslation.h"
#include "ZELKTransparentDlg.h"

namespace {

wxString Tr(const char* key) { return ZELKTranslation::GetTranslationObject()->GetString(key); }

const wxColour kTrack(70, 76, 78);
const wxColour kSent(32, 128, 214);
const wxColour kPausedBar(230, 160, 40);

}  // namespace

ZELKPrintMonitorWnd::ZELKPrintMonitorWnd(wxWindow* parent, const wxPoint& pos) : m_timer(this, TIMER_TICK)
{
    wxDialog::Create(ZELKTransparentDlg::OwnerFor(parent), IDD, wxString(), pos, wxDefaultSize,
                     wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    SetBackgroundColour(ZELKTransparentDlg::kBackground);
    SetClientSize(zelk::DluToPixels(this, wxSize(200, 34)));
    SetFont(wxFont(wxFontInfo(10).FaceName("Arial")));
    Bind(wxEVT_TIMER, &ZELKPrintMonitorWnd::OnTimer, this, TIMER_TICK);
    Bind(wxEVT_PAINT, &ZELKPrintMonitorWnd::OnPaint, this);
    m_translucent = CanSetTransparent() && SetTransparent(ZELKTransparentDlg::kAlpha);
    Refill(0);
}

void ZELKPrintMonitorWnd::Begin(zelk::PrintTimeEstimate estimate)
{
    m_estimate = std::move(estimate);
    m_begin = std::chrono::steady_clock::now();
    m_running = true;
    Refill(0);
    Show();
    m_timer.Start(kTickMs);
}

double ZELKPrintMonitorWnd::End()
{
    if (!m_running)
        return 0;
    const double took = m_estimate.ElapsedSeconds(SecondsSinceBegin());
    m_running = false;
    m_timer.Stop();
    Hide();
    return took;
}

double ZELKPrintMonitorWnd::SecondsSinceBegin() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_begin).count();
}

void ZELKPrintMonitorWnd::SetPaused(bool paused, double nowS)
{
    if (paused)
        m_estimate.Pause(nowS);
    else
        m_estimate.Resume(nowS);
    Refill(nowS);
}

void ZELKPrintMonitorWnd::Update(std::size_t sentCount, double nowS)
{
    m_estimate.Observe(sentCount, nowS);
    Refill(nowS);
}

void ZELKPrintMonitorWnd::OnTimer(wxTimerEvent&)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    const int index = control->GetPrintIndex();
    Update(index > 0 ? static_cast<std::size_t>(index) : 0, SecondsSinceBegin());
}

void ZELKPrintMonitorWnd::Translate() { Refill(m_running ? SecondsSinceBegin() : 0); }

void ZELKPrintMonitorWnd::Refill(double nowS)
{
    m_state = wxString::Format("%s  %.1f %%", Tr(IsPaused() ? "id_static_printPaused" : "id_static_printRunning"),
                               GetPercent());
    m_elapsed = Tr("id_static_printElapsed") + " " +
                wxString::FromUTF8(zelk::FormatDuration(m_estimate.ElapsedSeconds(nowS)));
    m_left = Tr("id_static_printLeft") + " " +
             wxString::FromUTF8(zelk::FormatDuration(m_estimate.RemainingSeconds(nowS)));
    Refresh(false);
}

void ZELKPrintMonitorWnd::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    const wxSize size = GetClientSize();
    dc.SetBackground(wxBrush(ZELKTransparentDlg::kBackground));
    dc.Clear();
    dc.SetFont(GetFont());
    dc.SetTextForeground(*wxWHITE);
    const int pad = FromDIP(8);
    const int lineHeight = dc.GetCharHeight();
    dc.DrawText(m_state, pad, pad / 2);
    const wxSize leftSize = dc.GetTextExtent(m_left);
    dc.DrawText(m_left, size.x - pad - leftSize.x, pad / 2);
    // The bar of the share sent.
    const wxRect track(pad, pad / 2 + lineHeight + FromDIP(4), size.x - 2 * pad, FromDIP(8));
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(kTrack));
    dc.DrawRoundedRectangle(track, 3);
    const int filled = static_cast<int>(track.width * GetPercent() / 100.0 + 0.5);
    if (filled > 0) {
        dc.SetBrush(wxBrush(IsPaused() ? kPausedBar : kSent));
        dc.DrawRoundedRectangle(wxRect(track.x, track.y, filled, track.height), 3);
    }
    dc.DrawText(m_elapsed, pad, track.GetBottom() + FromDIP(4));
}
