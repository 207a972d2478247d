// Progress panel: translucent like the other panels, with flicker-free texts.
#include "ZELKPrepareWnd.h"

#include <wx/stattext.h>

#include "DialogUnits.h"
#include "ZELKStatic.h"
#include "ZELKTransparentDlg.h"
#include "ZELKTranslation.h"

ZELKPrepareWnd::ZELKPrepareWnd(wxWindow* parent, const wxPoint& pos)
{
    wxDialog::Create(ZELKTransparentDlg::OwnerFor(parent), IDD, wxString(), pos, wxDefaultSize,
                     wxBORDER_NONE | wxFRAME_NO_TASKBAR | wxFRAME_FLOAT_ON_PARENT);
    SetBackgroundColour(ZELKTransparentDlg::kBackground);
    SetClientSize(zelk::DluToPixels(this, wxSize(236, 55)));
    auto dlu = [this](int x, int y, int w, int h) { return zelk::DluToPixels(this, x, y, w, h); };
    const wxFont font(wxFontInfo(10).FaceName("Arial"));
    const struct {
        int id;
        const char* text;
        wxRect rect;
    } labels[] = {{ID_ACTION_LABEL, "动作:", dlu(3, 7, 45, 13)}, {ID_TIME_LABEL, "持续时间:", dlu(3, 26, 45, 13)}};
    for (const auto& label : labels) {
        auto* text = new wxStaticText(this, label.id, wxString::FromUTF8(label.text), label.rect.GetPosition(),
                                      label.rect.GetSize(), wxALIGN_RIGHT | wxST_NO_AUTORESIZE);
        text->SetForegroundColour(*wxWHITE);
        text->SetFont(font);
    }
    const wxRect action = dlu(62, 7, 83, 13);
    const wxRect time = dlu(62, 26, 64, 13);
    m_action = new ZELKStatic(this, ID_ACTION, action.GetPosition(), action.GetSize());
    m_time = new ZELKStatic(this, ID_TIME, time.GetPosition(), time.GetSize());
    m_time->SetText("00:00");
    m_action->SetText(wxString::FromUTF8("模型切片中..."));
    m_translucent = CanSetTransparent() && SetTransparent(ZELKTransparentDlg::kAlpha);
}

void ZELKPrepareWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_ACTION_LABEL, "id_static_prepareAction");
    ZELKTranslation::SetDlgItemText(this, ID_TIME_LABEL, "id_static_prepareTimeConsumption");
    m_action->SetText(ZELKTranslation::GetTranslationObject()->GetString(
        m_mode == MODE_PREPARE_PRINT ? "id_static_prepareInfoPreparePrint" : "id_static_prepareInfoSavefile"));
}

void ZELKPrepareWnd::SetAction(const wxString& text) { m_action->SetText(text); }
void ZELKPrepareWnd::SetTime(const wxString& text) { m_time->SetText(text); }
wxString ZELKPrepareWnd::GetAction() const { return m_action->GetText(); }
wxString ZELKPrepareWnd::GetTime() const { return m_time->GetText(); }
