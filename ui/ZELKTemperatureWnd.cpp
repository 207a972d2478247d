// Temperature panel: its controls, the feed of samples and the legend.
#include "ZELKTemperatureWnd.h"

#include <algorithm>

#include <wx/stattext.h>

#include "TemperatureGraphScale.h"
#include "ZELKHeaterMark.h"
#include "ZELKTemperatureGraph.h"
#include "ZELKTranslation.h"

using zelk::Heater;
using zelk::HeaterState;

namespace {

wxString Text(const std::string& key) { return ZELKTranslation::GetTranslationObject()->GetString(key); }

// Changes a label only when it differs, so an unchanged text costs no repaint.
void SetLabelIfChanged(wxWindow* window, const wxString& label)
{
    if (window->GetLabel() != label)
        window->SetLabel(label);
}

}  // namespace

ZELKTemperatureWnd::ZELKTemperatureWnd(wxWindow* parent, const wxPoint& pos, double windowS, std::size_t maxSamples)
    : m_history(windowS, maxSamples)
{
    Create(parent, IDD, pos, wxSize(kWidthDlu, kHeightDlu));
    CreateControls();
    OnInitDialog();
}

// The graph fills the width under the caption; the two legend rows sit
// below it: reading and target, the state's dot, the state's text.
void ZELKTemperatureWnd::CreateControls()
{
    SetFont(wxFont(wxFontInfo(9)));
    wxStaticText* caption = AddStatic(ID_CAPTION, wxString(), {8, 6, 150, 18});
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25))));

    const wxRect graph = DluRect(6, 26, 208, 82);
    m_graph = new ZELKTemperatureGraph(this, ID_GRAPH, graph.GetPosition(), graph.GetSize(), m_history);

    const auto row = [this](int y, int legendId, int markId, int stateId, const wxColour& colour, const char* key) {
        Row r;
        wxStaticText* legend = AddStatic(legendId, wxString(), {8, y, 124, 10}, wxST_ELLIPSIZE_END);
        legend->SetForegroundColour(colour);
        r.legend = legend;
        const wxRect dot = DluRect(136, y + 2, 6, 6);
        const int side = std::min(dot.width, dot.height);
        r.mark = new ZELKHeaterMark(this, markId, dot.GetPosition(), wxSize(side, side));
        r.state = AddStatic(stateId, wxString(), {146, y, 68, 10}, wxST_ELLIPSIZE_END);
        r.nameKey = key;
        return r;
    };
    m_extruder = row(112, ID_LEGEND_EXTRUDER, ID_MARK_EXTRUDER, ID_STATE_EXTRUDER,
                     ZELKTemperatureGraph::kExtruderColour, "id_static_temperatureExtruder");
    m_platform = row(125, ID_LEGEND_PLATFORM, ID_MARK_PLATFORM, ID_STATE_PLATFORM,
                     ZELKTemperatureGraph::kPlatformColour, "id_static_temperaturePlatform");
}

zelk::SampleVerdict ZELKTemperatureWnd::AddSample(const zelk::TemperatureSample& sample)
{
    const zelk::SampleVerdict verdict = m_history.Add(sample);
    if (verdict == zelk::SampleVerdict::Stored || verdict == zelk::SampleVerdict::StoredWithoutPlatform) {
        UpdateLegend();
        m_graph->Invalidate();
    }
    return verdict;
}

void ZELKTemperatureWnd::Clear()
{
    m_history.Clear();
    UpdateLegend();
    m_graph->Invalidate();
}

void ZELKTemperatureWnd::Translate()
{
    SetLabelIfChanged(FindWindow(ID_CAPTION), Text("id_static_temperatureGraph"));
    m_graph->SetMinutesUnit(Text("id_static_temperatureMinutes"));
    UpdateLegend();
}

ZELKHeaterMark* ZELKTemperatureWnd::GetMark(Heater heater) const { return RowOf(heater).mark; }

const ZELKTemperatureWnd::Row& ZELKTemperatureWnd::RowOf(Heater heater) const
{
    return heater == Heater::Extruder ? m_extruder : m_platform;
}

void ZELKTemperatureWnd::UpdateLegend()
{
    UpdateRow(m_extruder, Heater::Extruder);
    UpdateRow(m_platform, Heater::Platform);
}

// Without a sample the extruder's row shows its name alone; the platform's
// row is hidden while the platform is not reported.
void ZELKTemperatureWnd::UpdateRow(const Row& row, Heater heater)
{
    const zelk::TemperatureSample* latest = m_history.Latest();
    const std::optional<double> reading = latest ? zelk::ReadingOf(*latest, heater) : std::nullopt;
    const bool shown = reading.has_value() || heater == Heater::Extruder;
    const HeaterState state = m_history.State(heater);
    const std::string name = Text(row.nameKey).utf8_string();

    SetLabelIfChanged(row.legend, reading ? wxString::FromUTF8(zelk::LegendText(name, *reading,
                                                                                 zelk::TargetOf(*latest, heater)))
                                          : wxString::FromUTF8(name));
    const char* stateKey = zelk::StateTextKey(state);
    SetLabelIfChanged(row.state, *stateKey != '\0' ? Text(stateKey) : wxString());
    row.mark->SetState(state);
    row.legend->Show(shown);
    row.mark->Show(shown && state != HeaterState::NotReported);
    row.state->Show(shown && state != HeaterState::NotReported);
}
