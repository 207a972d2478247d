// View panel: caption, direction pictures and the standard-view buttons.
#include "ZELKViewWnd.h"

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ToolPictures.h"
#include "ViewCommands.h"
#include "ZELKTranslation.h"

namespace {
ZELKViewCommands g_viewCommands{ZELKCAD::TopView, ZELKCAD::BackView, ZELKCAD::RightView, ZELKCAD::StandardView};
}

void ZELKViewWnd::SetViewCommands(const ZELKViewCommands& commands) { g_viewCommands = commands; }
const ZELKViewCommands& ZELKViewWnd::GetViewCommands() { return g_viewCommands; }

ZELKViewWnd::ZELKViewWnd(wxWindow* parent, const wxPoint& pos)
{
    Create(parent, IDD, pos, wxSize(220, 234));
    wxStaticText* caption = AddStatic(ID_CAPTION, wxString::FromUTF8("视图:"), wxRect(2, 2, 100, 21));
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25)).Weight(900).Family(wxFONTFAMILY_ROMAN)
                                .FaceName(wxString::FromUTF8("宋体"))));

    const struct {
        int id;
        unsigned bitmap;
        wxRect dlu;
    } pictures[] = {{ID_PIC_TOP, zelk::kPicViewTop, {20, 34, 29, 25}},
                    {ID_PIC_SIDE, zelk::kPicViewSide, {20, 73, 29, 25}},
                    {ID_PIC_FRONT, zelk::kPicViewFront, {20, 113, 29, 25}}};
    for (const auto& picture : pictures) {
        const wxRect rect = DluRect(picture.dlu.x, picture.dlu.y, picture.dlu.width, picture.dlu.height);
        new wxStaticBitmap(this, picture.id, zelk::LoadToolPicture(picture.bitmap), rect.GetPosition(),
                           rect.GetSize());
    }
    const struct {
        int id;
        wxRect dlu;
    } buttons[] = {{ID_BUTTON_TOP, {79, 40, 61, 14}},
                   {ID_BUTTON_SIDE, {79, 77, 61, 14}},
                   {ID_BUTTON_FRONT, {80, 113, 61, 14}},
                   {ID_BUTTON_RESET, {80, 150, 61, 14}}};
    for (const auto& button : buttons) {
        const wxRect rect = DluRect(button.dlu.x, button.dlu.y, button.dlu.width, button.dlu.height);
        new wxButton(this, button.id, wxString(), rect.GetPosition(), rect.GetSize());
    }
    Bind(wxEVT_BUTTON, &ZELKViewWnd::OnButton, this, ID_BUTTON_TOP, ID_BUTTON_RESET);
    Bind(wxEVT_CHAR_HOOK, &ZELKViewWnd::OnCharHook, this);
    OnInitDialog();
}

void ZELKViewWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_static_viewCaption");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_TOP, "id_button_viewTop");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_SIDE, "id_button_viewSide");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_FRONT, "id_button_viewFront");
    ZELKTranslation::SetDlgItemText(this, ID_BUTTON_RESET, "id_button_viewReset");
    Refresh();
}

void ZELKViewWnd::OnButton(wxCommandEvent& event)
{
    void (*command)() = nullptr;
    switch (event.GetId()) {
    case ID_BUTTON_TOP:
        command = g_viewCommands.top;
        break;
    case ID_BUTTON_SIDE:
        command = g_viewCommands.back;
        break;
    case ID_BUTTON_FRONT:
        command = g_viewCommands.right;
        break;
    case ID_BUTTON_RESET:
        command = g_viewCommands.standard;
        break;
    default:
        return;
    }
    if (command != nullptr)
        command();
    // The 3D view repaints with the new direction.
    ZELKCAD::ViewInvalidate();
    if (event.GetId() == ID_BUTTON_SIDE)
        Refresh();
}

void ZELKViewWnd::OnCharHook(wxKeyEvent& event)
{
    // Enter must not close the panel.
    if (event.GetKeyCode() == WXK_RETURN || event.GetKeyCode() == WXK_NUMPAD_ENTER)
        return;
    event.Skip();
}
