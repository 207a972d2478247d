// The temperature panel: the extruder's (and, when the printer reports it,
// the platform's) temperature over the last minutes against its target.
//
// Wiring into the program (the coordinator owns the panels):
//  - Create it once, hidden, like the other panels:
//        m_temperatureWnd = new ZELKTemperatureWnd(view, pos);   // keep as wxWeakRef
//    and show it from its tool picture while a printer is connected.
//  - Feed it on the user-interface thread. The temperature replies arrive on
//    a thread of the machine link (ZELKUIOperation::HandleReceive); build the
//    sample there and hand it over in the same CallAfter as the other
//    window updates, in reply order:
//        zelk::TemperatureSample s;
//        s.timeS = std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
//        s.extruderC = reply.extruderTemperature;  s.extruderTargetC = <target last sent, 0 when off>;
//        s.platformC = <platform reading, or leave empty when not reported>;  s.platformTargetC = ...;
//        wxTheApp->CallAfter([s] { if (auto* w = ...GetTemperatureWnd()) w->AddSample(s); });
//    One sample per extruder reply is enough; fill the platform from its
//    latest reply. Samples may come at any rate (the history caps itself);
//    samples whose time goes backwards are refused.
//  - Feed it also while it is hidden, so the graph has its past when opened.
//  - Call Translate() from ZELKUIOperation::Translate() with the other panels.
//  - Call Clear() when the printer is disconnected or lost.
#pragma once

#include <wx/string.h>

#include "TemperatureHistory.h"
#include "ZELKTransparentDlg.h"

class ZELKHeaterMark;
class ZELKTemperatureGraph;

// A caption, the graph, and one legend row per heater: the current reading
// and target ("Extruder 187 / 220 °C", in the heater's line colour), a dot
// and the state's text ("At temperature", "Heating", "Cooling", "Off"). The
// platform's row shows only while the printer reports the platform.
// Everything repaints only when a sample arrives, the history is cleared,
// the size changes, or a translation changes a text.
class ZELKTemperatureWnd : public ZELKTransparentDlg {
public:
    enum { IDD = 3180 };
    enum ControlId {
        ID_CAPTION = 3181, ID_GRAPH = 3182, ID_LEGEND_EXTRUDER = 3183, ID_MARK_EXTRUDER = 3184,
        ID_STATE_EXTRUDER = 3185, ID_LEGEND_PLATFORM = 3186, ID_MARK_PLATFORM = 3187, ID_STATE_PLATFORM = 3188
    };
    static constexpr int kWidthDlu = 220;
    static constexpr int kHeightDlu = 140;

    ZELKTemperatureWnd(wxWindow* parent, const wxPoint& pos,
                       double windowS = zelk::TemperatureHistory::kDefaultWindowS,
                       std::size_t maxSamples = zelk::TemperatureHistory::kDefaultMaxSamples);

    // Adds a sample (user-interface thread); a stored one updates the legend
    // and repaints the graph once.
    zelk::SampleVerdict AddSample(const zelk::TemperatureSample& sample);
    // Forgets every sample.
    void Clear();
    // Texts in the current language.
    void Translate();

    const zelk::TemperatureHistory& GetHistory() const { return m_history; }
    ZELKTemperatureGraph* GetGraph() const { return m_graph; }
    ZELKHeaterMark* GetMark(zelk::Heater heater) const;

private:
    struct Row {
        wxWindow* legend = nullptr;
        ZELKHeaterMark* mark = nullptr;
        wxWindow* state = nullptr;
        const char* nameKey = "";
    };

    void CreateControls();
    void UpdateLegend();
    void UpdateRow(const Row& row, zelk::Heater heater);
    const Row& RowOf(zelk::Heater heater) const;

    zelk::TemperatureHistory m_history;
    ZELKTemperatureGraph* m_graph = nullptr;
    Row m_extruder;
    Row m_platform;
};
