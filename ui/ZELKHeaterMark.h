// The dot beside a heater's legend on the temperature panel.
#pragma once

#include <wx/window.h>

#include "TemperatureHistory.h"

// A filled dot in the colour of the heater's state: green at its target,
// amber while heating, blue while cooling, grey when off. Repaints only
// when the state changes.
class ZELKHeaterMark : public wxWindow {
public:
    ZELKHeaterMark(wxWindow* parent, int id, const wxPoint& pos, const wxSize& size);

    void SetState(zelk::HeaterState state);
    zelk::HeaterState GetState() const { return m_state; }

    static wxColour ColourOf(zelk::HeaterState state);

private:
    void OnPaint(wxPaintEvent& event);

    zelk::HeaterState m_state = zelk::HeaterState::NotReported;
};
