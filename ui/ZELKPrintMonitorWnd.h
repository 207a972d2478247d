// The print monitor: while a print runs, how much of it went to the printer,
// how long it has run and how long its moves still take.
#pragma once

#include <chrono>
#include <cstddef>

#include <wx/dialog.h>
#include <wx/timer.h>

#include "PrintTimeEstimate.h"

// A borderless translucent strip like the progress panel: a state line
// ("Printing 43.2 %" or "Paused 43.2 %"), a bar of the share sent, the
// elapsed time and the time left. Once a second it looks at the process-wide
// machine control (the next package to send, the pause); the clock and the
// estimate stand still while the print is paused. User-interface thread only.
class ZELKPrintMonitorWnd : public wxDialog {
public:
    enum { IDD = 3190, TIMER_TICK = 3191 };
    static constexpr int kTickMs = 1000;

    ZELKPrintMonitorWnd(wxWindow* parent, const wxPoint& pos);

    // A print starts now, over the list its estimate was made from (made off
    // the user-interface thread: summing a long list takes a moment). Shows
    // the panel and starts the clock.
    void Begin(zelk::PrintTimeEstimate estimate);
    // The print ended: hides the panel, stops the clock. The time it ran,
    // paused time left out (0 when none ran).
    double End();
    bool IsRunning() const { return m_running; }

    void SetPaused(bool paused) { SetPaused(paused, SecondsSinceBegin()); }
    void SetPaused(bool paused, double nowS);
    bool IsPaused() const { return m_estimate.IsPaused(); }
    // One look at the link: the next package to send at nowS (seconds since
    // Begin). The timer calls it with the machine control's index.
    void Update(std::size_t sentCount, double nowS);
    double SecondsSinceBegin() const;

    void Translate();
    wxString GetStateText() const { return m_state; }
    wxString GetElapsedText() const { return m_elapsed; }
    wxString GetLeftText() const { return m_left; }
    double GetPercent() const { return m_estimate.SentPercent(); }
    const zelk::PrintTimeEstimate& GetEstimate() const { return m_estimate; }
    bool IsTranslucent() const { return m_translucent; }

private:
    void OnTimer(wxTimerEvent& event);
    void OnPaint(wxPaintEvent& event);
    void Refill(double nowS);

    zelk::PrintTimeEstimate m_estimate;
    wxTimer m_timer;
    std::chrono::steady_clock::time_point m_begin;
    bool m_running = false;
    bool m_translucent = false;
    wxString m_state;
    wxString m_elapsed;
    wxString m_left;
};
