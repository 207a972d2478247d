// Presses a window test makes as the user would, through the control's own
// event handling (no pointer needed).
#pragma once

#include <gtest/gtest.h>

#include <wx/event.h>
#include <wx/window.h>

namespace testsupport {

// Presses the button `id` of `panel`: its handler runs as for a click.
inline void PressButton(wxWindow* panel, int id)
{
    wxWindow* button = panel->FindWindow(id);
    if (button == nullptr) {
        ADD_FAILURE() << "no button " << id << " on the panel";
        return;
    }
    wxCommandEvent click(wxEVT_BUTTON, id);
    click.SetEventObject(button);
    button->ProcessWindowEvent(click);
}

}  // namespace testsupport
