// The drawn graph of the temperature panel: the heaters' readings and targets
// over the history's window.
#pragma once

#include <wx/bitmap.h>
#include <wx/window.h>

#include "TemperatureGraphScale.h"
#include "TemperatureHistory.h"

class wxGraphicsContext;

// Draws the history it is given (owned by the panel) with a graphics
// context, double-buffered. It repaints on a size change and when told
// (Invalidate); it never polls the history.
//
// The plot's right edge is the latest sample, its left edge the history's
// window before it; minute ticks below, a few round degrees on the left.
// Each heater's reading is a solid line and its target a dashed line of the
// same colour (drawn only while the heater is on); once the heater is at
// its target, the band of the tolerance is green over the time it has held it.
class ZELKTemperatureGraph : public wxWindow {
public:
    static const wxColour kExtruderColour;
    static const wxColour kPlatformColour;
    static const wxColour kPlotBackground;
    static const wxColour kAtTargetColour;

    ZELKTemperatureGraph(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size,
                         const zelk::TemperatureHistory& history);

    // The translated unit written under the time axis (e.g. "min").
    void SetMinutesUnit(const wxString& unit);
    // The history changed: repaint once.
    void Invalidate();

    // Draws the whole graph at `size` pixels.
    void Draw(wxGraphicsContext& gc, const wxSize& size) const;
    // The graph as drawn at the window's size, for checks and pictures.
    wxBitmap RenderBitmap() const;
    // The mapping Draw uses at `size`.
    zelk::GraphMapping MappingFor(wxGraphicsContext& gc, const wxSize& size) const;

    // Paint events handled, and repaints asked for (Invalidate, size, unit).
    int GetPaintCount() const { return m_paints; }
    int GetInvalidateCount() const { return m_invalidates; }

private:
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void DrawHeater(wxGraphicsContext& gc, const zelk::GraphMapping& map, zelk::Heater heater,
                    const wxColour& colour) const;

    const zelk::TemperatureHistory& m_history;
    wxString m_minutesUnit;
    int m_paints = 0;
    int m_invalidates = 0;
};
