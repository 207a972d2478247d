// Toolpath preview panel: the layer slider, its line, the travel box, and the view's draw override.
#include "ZELKToolpathWnd.h"

#include <algorithm>

#include <wx/checkbox.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "ToolpathPanelText.h"
#include "ViewCommands.h"
#include "ZELKTranslation.h"
#include "ZelkOpenGL.h"

ZELKToolpathWnd::ZELKToolpathWnd(wxWindow* parent, const wxPoint& pos)
{
    // Travel hidden at first: between parts it stacks into curtains that hide the print.
    m_style.showTravel = false;
    Create(parent, IDD, pos, wxSize(220, 86));
    CreateControls();
    Bind(wxEVT_SLIDER, &ZELKToolpathWnd::OnSlider, this, ID_SLIDER_LAYER);
    Bind(wxEVT_CHECKBOX, &ZELKToolpathWnd::OnCheckTravel, this, ID_CHECK_TRAVEL);
    OnInitDialog();
    Translate();
}

ZELKToolpathWnd::~ZELKToolpathWnd()
{
    Detach();
}

bool ZELKToolpathWnd::Destroy()
{
    Detach();
    return ZELKTransparentDlg::Destroy();
}

void ZELKToolpathWnd::CreateControls()
{
    SetFont(wxFont(wxFontInfo(9)));
    wxStaticText* caption = AddStatic(ID_CAPTION, wxString(), {8, 6, 150, 18});
    caption->SetFont(wxFont(wxFontInfo(wxSize(0, 25))));
    // GTK's slider takes the height it needs.
    const wxRect slider = DluRect(8, 26, 204, 15);
    m_slider = new wxSlider(this, ID_SLIDER_LAYER, 0, 0, 1, slider.GetPosition(), wxSize(slider.width, -1),
                            wxSL_HORIZONTAL);
    m_layerText = AddStatic(ID_LAYER_TEXT, wxString(), {8, 52, 204, 10}, wxST_ELLIPSIZE_END);
    const wxRect check = DluRect(8, 66, 204, 12);
    m_travelCheck = new wxCheckBox(this, ID_CHECK_TRAVEL, wxString(), check.GetPosition(), wxSize(check.width, -1));
    m_travelCheck->SetForegroundColour(*wxWHITE);
    m_travelCheck->SetValue(m_style.showTravel);
    m_slider->Enable(false);
}

void ZELKToolpathWnd::Translate()
{
    ZELKTranslation::SetDlgItemText(this, ID_CAPTION, "id_static_toolpathCaption");
    ZELKTranslation::SetDlgItemText(this, ID_CHECK_TRAVEL, "id_check_toolpathTravel");
    UpdateLayerText();
    Refresh();
}

bool ZELKToolpathWnd::LoadGCode(const std::string& path, std::string& reason)
{
    return SetToolpaths(zelk::ReadToolpath(path), reason);
}

bool ZELKToolpathWnd::SetToolpaths(zelk::ToolpathModel model, std::string& reason)
{
    if (!model.IsUsable()) {
        reason = model.reason;
        return false;
    }
    reason.clear();
    m_model = std::move(model);
    m_buffers.SetModel(&m_model);
    const int top = static_cast<int>(m_model.LayerCount()) - 1;
    m_slider->SetRange(0, std::max(top, 1));
    m_slider->Enable(top > 0);
    SetLayer(static_cast<std::size_t>(top));
    return true;
}

void ZELKToolpathWnd::SetLayer(std::size_t layer)
{
    const std::size_t count = m_model.LayerCount();
    m_layer = count == 0 ? 0 : std::min(layer, count - 1);
    m_slider->SetValue(static_cast<int>(m_layer));
    LayerChanged();
}

void ZELKToolpathWnd::LayerChanged()
{
    UpdateLayerText();
    if (m_layerObserver)
        m_layerObserver(m_layer);
    Redraw();
}

void ZELKToolpathWnd::UpdateLayerText()
{
    const ZELKTranslation* translation = ZELKTranslation::GetTranslationObject();
    wxString text;
    if (m_model.LayerCount() == 0) {
        text = translation->GetString("id_static_toolpathNone");
    } else {
        const std::string pattern = translation->GetString("id_static_toolpathLayer").utf8_string();
        text = wxString::FromUTF8(
            zelk::LayerLabelText(pattern, m_layer, m_model.LayerCount(), m_model.layerZ[m_layer]));
    }
    m_layerText->SetLabel(text);
}

void ZELKToolpathWnd::ShowTravel(bool show)
{
    m_style.showTravel = show;
    m_travelCheck->SetValue(show);
    Redraw();
}

void ZELKToolpathWnd::OnSlider(wxCommandEvent&)
{
    m_layer = static_cast<std::size_t>(std::max(0, m_slider->GetValue()));
    if (m_model.LayerCount() > 0)
        m_layer = std::min(m_layer, m_model.LayerCount() - 1);
    LayerChanged();
}

void ZELKToolpathWnd::OnCheckTravel(wxCommandEvent&)
{
    ShowTravel(m_travelCheck->GetValue());
}

bool ZELKToolpathWnd::Show(bool show)
{
    if (show)
        Attach();
    else
        Detach();
    return ZELKTransparentDlg::Show(show);
}

void ZELKToolpathWnd::SetRenderer(CZelkOpenGL* renderer)
{
    const bool attached = IsAttached();
    Detach();
    m_renderer = renderer;
    if (attached)
        Attach();
}

void ZELKToolpathWnd::Attach()
{
    CZelkOpenGL* target = m_renderer != nullptr ? m_renderer : ZELKCAD::GetCurrentRenderer();
    if (target == nullptr || target == m_attached)
        return;
    Detach();
    m_attached = target;
    m_attached->SetEntityDrawOverride([this] { m_buffers.Draw(m_layer, m_style); });
    Redraw();
}

void ZELKToolpathWnd::Detach()
{
    if (m_attached == nullptr)
        return;
    // The current renderer goes with its view (which forgets it first): a
    // renderer no longer recorded is not touched.
    CZelkOpenGL* attached = m_attached;
    m_attached = nullptr;
    if (attached == m_renderer || attached == ZELKCAD::GetCurrentRenderer()) {
        attached->SetEntityDrawOverride({});
        RequestRedraw();
    }
}

void ZELKToolpathWnd::Redraw()
{
    if (IsAttached())
        RequestRedraw();
}

void ZELKToolpathWnd::RequestRedraw()
{
    if (m_redraw)
        m_redraw();
    else
        ZELKCAD::ViewInvalidate();
}
