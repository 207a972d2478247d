// Drawing of the temperature graph.
#include "ZELKTemperatureGraph.h"

#include <algorithm>
#include <memory>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>

using zelk::GraphMapping;
using zelk::Heater;
using zelk::HeaterState;
using zelk::TemperatureSample;

const wxColour ZELKTemperatureGraph::kExtruderColour(255, 96, 48);
const wxColour ZELKTemperatureGraph::kPlatformColour(70, 150, 255);
const wxColour ZELKTemperatureGraph::kPlotBackground(24, 28, 27);
const wxColour ZELKTemperatureGraph::kAtTargetColour(60, 200, 90);

namespace {

const wxColour kGridColour(62, 70, 68);
const wxColour kFrameColour(110, 118, 116);
const wxColour kTextColour(200, 204, 202);

wxFont LabelFont() { return wxFont(wxFontInfo(8)); }

// Device-independent pixels that need not be whole.
double Dip(const wxWindow* window, double value) { return window->FromDIP(100) * value / 100.0; }

// The widest vertical label the axis may need, for the left margin.
const wxString kWidestValue = "000";

}  // namespace

ZELKTemperatureGraph::ZELKTemperatureGraph(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                                           const zelk::TemperatureHistory& history)
    : m_history(history)
{
    // Everything is painted here, through a buffer: no background erase, no flicker.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Create(parent, id, pos, size, wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE);
    SetBackgroundColour(kPlotBackground);
    Bind(wxEVT_PAINT, &ZELKTemperatureGraph::OnPaint, this);
    Bind(wxEVT_SIZE, &ZELKTemperatureGraph::OnSize, this);
}

void ZELKTemperatureGraph::SetMinutesUnit(const wxString& unit)
{
    if (unit == m_minutesUnit)
        return;
    m_minutesUnit = unit;
    Invalidate();
}

void ZELKTemperatureGraph::Invalidate()
{
    ++m_invalidates;
    Refresh(false);
}

void ZELKTemperatureGraph::OnSize(wxSizeEvent& event)
{
    Invalidate();
    event.Skip();
}

void ZELKTemperatureGraph::OnPaint(wxPaintEvent&)
{
    wxAutoBufferedPaintDC dc(this);
    ++m_paints;
    std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::CreateFromUnknownDC(dc));
    if (gc)
        Draw(*gc, GetClientSize());
}

wxBitmap ZELKTemperatureGraph::RenderBitmap() const
{
    const wxSize size = GetClientSize();
    wxBitmap bitmap(std::max(size.x, 1), std::max(size.y, 1), 24);
    wxMemoryDC dc(bitmap);
    {
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
        if (gc)
            Draw(*gc, size);
    }
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

GraphMapping ZELKTemperatureGraph::MappingFor(wxGraphicsContext& gc, const wxSize& size) const
{
    gc.SetFont(LabelFont(), kTextColour);
    double valueWidth = 0, textHeight = 0;
    gc.GetTextExtent(kWidestValue, &valueWidth, &textHeight);
    const double gap = FromDIP(4);

    GraphMapping map;
    map.left = valueWidth + 2 * gap;
    map.top = textHeight + gap;
    map.width = std::max(1.0, size.x - map.left - 2 * gap);
    map.height = std::max(1.0, size.y - map.top - textHeight - 2 * gap);
    map.spanS = m_history.WindowS();
    const TemperatureSample* latest = m_history.Latest();
    map.endS = latest != nullptr ? latest->timeS : 0.0;
    map.range = m_history.Range(map.endS - map.spanS, map.endS);
    return map;
}

void ZELKTemperatureGraph::Draw(wxGraphicsContext& gc, const wxSize& size) const
{
    const GraphMapping map = MappingFor(gc, size);
    const double right = map.left + map.width;
    const double bottom = map.top + map.height;
    double textWidth = 0, textHeight = 0;

    gc.SetBrush(wxBrush(kPlotBackground));
    gc.SetPen(*wxTRANSPARENT_PEN);
    gc.DrawRectangle(0, 0, size.x, size.y);

    // Degrees: grid lines and labels, the unit at the top of the label column.
    gc.SetFont(LabelFont(), kTextColour);
    const wxString degrees = wxString::FromUTF8("\u00B0C");
    gc.GetTextExtent(degrees, &textWidth, &textHeight);
    const double labelRight = map.left - FromDIP(4);
    gc.DrawText(degrees, labelRight - textWidth, 0);
    const double unitBottom = textHeight;
    const int maxValueTicks = std::max(4, static_cast<int>(map.height / (textHeight * 1.5)));
    for (double value : zelk::ValueTicks(map.range.minC, map.range.maxC, maxValueTicks)) {
        const double y = map.Y(value);
        gc.SetPen(wxPen(kGridColour, 1));
        gc.StrokeLine(map.left, y, right, y);
        const wxString label = wxString::Format("%.0f", value);
        gc.GetTextExtent(label, &textWidth, &textHeight);
        if (y - textHeight / 2 >= unitBottom)
            gc.DrawText(label, labelRight - textWidth, y - textHeight / 2);
    }

    // Minutes: a grid line and tick for each, labels where they fit, the
    // unit at the right end of the label row.
    gc.GetTextExtent(m_minutesUnit, &textWidth, &textHeight);
    const double unitLeft = right - textWidth;
    gc.DrawText(m_minutesUnit, unitLeft, bottom + FromDIP(3));
    for (const zelk::MinuteTick& tick : zelk::MinuteTicks(map.spanS, map.width, FromDIP(26))) {
        const double x = map.X(map.endS - 60.0 * tick.minutesAgo);
        gc.SetPen(wxPen(kGridColour, 1));
        gc.StrokeLine(x, map.top, x, bottom);
        gc.SetPen(wxPen(kFrameColour, 1));
        gc.StrokeLine(x, bottom, x, bottom + FromDIP(3));
        if (!tick.labelled || tick.minutesAgo == 0)
            continue;
        const wxString label = wxString::Format("-%d", tick.minutesAgo);
        double labelWidth = 0, labelHeight = 0;
        gc.GetTextExtent(label, &labelWidth, &labelHeight);
        if (x + labelWidth / 2 + FromDIP(4) <= unitLeft)
            gc.DrawText(label, x - labelWidth / 2, bottom + FromDIP(3));
    }

    gc.Clip(map.left, map.top, map.width, map.height);
    DrawHeater(gc, map, Heater::Platform, kPlatformColour);
    DrawHeater(gc, map, Heater::Extruder, kExtruderColour);
    gc.ResetClip();

    gc.SetPen(wxPen(kFrameColour, 1));
    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    gc.DrawRectangle(map.left, map.top, map.width, map.height);
}

// Tolerance band, target (dashed) and reading (solid) of one heater; runs of
// samples without a reading or with the heater off break the lines.
void ZELKTemperatureGraph::DrawHeater(wxGraphicsContext& gc, const GraphMapping& map, Heater heater,
                                      const wxColour& colour) const
{
    const auto& samples = m_history.Samples();
    if (samples.empty())
        return;
    const TemperatureSample& latest = samples.back();
    const double latestTarget = zelk::TargetOf(latest, heater);
    const zelk::HeaterStatus status = m_history.Status(heater);
    if (status.state == HeaterState::AtTarget) {
        // The stretch the heater has held its target, as a green band of the tolerance.
        const wxColour& c = kAtTargetColour;
        gc.SetBrush(wxBrush(wxColour(c.Red(), c.Green(), c.Blue(), 80)));
        gc.SetPen(*wxTRANSPARENT_PEN);
        // Never thinner than a few pixels, so it shows on a wide range too.
        const double half = std::max(map.Y(latestTarget) - map.Y(latestTarget + zelk::kAtTargetToleranceC),
                                     Dip(this, 3.0));
        const double left = std::max(map.left, map.X(status.sinceS));
        gc.DrawRectangle(left, map.Y(latestTarget) - half, map.X(latest.timeS) - left, 2 * half);
    }

    wxGraphicsPath target = gc.CreatePath();
    wxGraphicsPath reading = gc.CreatePath();
    bool inTarget = false, inReading = false;
    const TemperatureSample* previous = nullptr;
    for (const TemperatureSample& s : samples) {
        const std::optional<double> c = zelk::ReadingOf(s, heater);
        const double x = map.X(s.timeS);
        if (c) {
            if (inReading)
                reading.AddLineToPoint(x, map.Y(*c));
            else
                reading.MoveToPoint(x, map.Y(*c));
        }
        inReading = c.has_value();
        // A target holds from its sample until the next one: a step line.
        if (previous != nullptr && inTarget)
            target.AddLineToPoint(x, map.Y(zelk::TargetOf(*previous, heater)));
        const double t = zelk::TargetOf(s, heater);
        if (c && t > 0) {
            if (inTarget)
                target.AddLineToPoint(x, map.Y(t));
            else
                target.MoveToPoint(x, map.Y(t));
            inTarget = true;
        } else {
            inTarget = false;
        }
        previous = &s;
    }

    gc.SetBrush(*wxTRANSPARENT_BRUSH);
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(colour).Width(Dip(this, 1.5)).Style(wxPENSTYLE_LONG_DASH)));
    gc.StrokePath(target);
    gc.SetPen(gc.CreatePen(wxGraphicsPenInfo(colour).Width(Dip(this, 2.0)).Join(wxJOIN_ROUND)));
    gc.StrokePath(reading);

    // The latest reading as a dot at the right edge.
    if (const std::optional<double> c = zelk::ReadingOf(latest, heater)) {
        const double r = FromDIP(3);
        gc.SetPen(*wxTRANSPARENT_PEN);
        gc.SetBrush(wxBrush(colour));
        gc.DrawEllipse(map.X(latest.timeS) - r, map.Y(*c) - r, 2 * r, 2 * r);
    }
}
