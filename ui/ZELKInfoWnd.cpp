// Information bar: two white text lines on the translucent strip.
#include "ZELKInfoWnd.h"

#include <wx/control.h>

#include <algorithm>

#include <wx/stattext.h>

ZELKInfoWnd::ZELKInfoWnd(wxWindow* parent)
{
    SetFrameFlag(0);
    Create(parent, IDD, wxDefaultPosition, wxSize(100, 15));
    const wxFont font(wxFontInfo(10).FaceName("Arial"));
    AddStatic(ID_TEMPERATURE, wxString(), wxRect(7, 4, 271, 19))->SetFont(font);
    AddStatic(ID_MODEL_INFO, "m_123456789", wxRect(288, 5, 383, 19))->SetFont(font);
    FitLines(GetClientSize().x);
    OnInitDialog();
}

void ZELKInfoWnd::SetTemperatureLine(const wxString& text)
{
    static_cast<wxControl*>(FindWindow(ID_TEMPERATURE))->SetLabelText(text);
    Refresh();
}

void ZELKInfoWnd::SetModelInformation(const wxString& text)
{
    // A file name may hold "&": shown as it is, never as a mnemonic.
    static_cast<wxControl*>(FindWindow(ID_MODEL_INFO))->SetLabelText(text);
    Refresh();
}

wxString ZELKInfoWnd::GetTemperatureLine() const { return static_cast<wxControl*>(FindWindow(ID_TEMPERATURE))->GetLabelText(); }
wxString ZELKInfoWnd::GetModelInformation() const { return static_cast<wxControl*>(FindWindow(ID_MODEL_INFO))->GetLabelText(); }

void ZELKInfoWnd::Place(const wxPoint& pos, int width)
{
    // The window cannot be smaller than its lines, so they shrink first.
    FitLines(width);
    // Forced: the window manager may have changed the bar since it was last placed.
    SetSize(pos.x, pos.y, width, kHeight, wxSIZE_FORCE);
}

void ZELKInfoWnd::FitLines(int width)
{
    const struct {
        int id;
        wxRect dlu;
    } lines[] = {{ID_TEMPERATURE, {7, 4, 271, 19}}, {ID_MODEL_INFO, {288, 5, 383, 19}}};
    for (const auto& line : lines) {
        wxWindow* text = FindWindow(line.id);
        const wxRect rect = DluRect(line.dlu.x, line.dlu.y, line.dlu.width, line.dlu.height);
        const int lineHeight = std::min(rect.height, kHeight - rect.y);
        const int lineWidth = std::min(rect.width, width - rect.x - 2);
        text->Show(lineWidth > 0);
        if (lineWidth > 0)
            text->SetSize(rect.x, rect.y, lineWidth, lineHeight);
    }
}
