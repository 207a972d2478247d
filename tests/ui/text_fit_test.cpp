// Every text of every panel fits its control in each of the three languages:
// the text is measured in the control's own font, not guessed. The same cases
// run on a display scaled x2 (text_fit_scaled.cpp sets the scale).
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/combobox.h>
#include <wx/dcclient.h>
#include <wx/stattext.h>

#include "UiTestSupport.h"
#include "ZELKStatic.h"

namespace {

// The width the text needs in the font `window` draws it with.
int TextWidth(wxWindow* window, const wxString& text)
{
    wxClientDC dc(window);
    dc.SetFont(window->GetFont());
    wxCoord width = 0, height = 0;
    dc.GetMultiLineTextExtent(text, &width, &height);
    return width;
}

// One line per control whose text is cut: the panel, the text, the width it
// needs and the width it has.
void CollectCutTexts(const wxString& panel, wxWindow* window, std::vector<std::string>& cut)
{
    for (wxWindow* child : window->GetChildren()) {
        CollectCutTexts(panel, child, cut);
        int need = 0;
        wxString text;
        if (auto* label = dynamic_cast<wxStaticText*>(child)) {
            text = label->GetLabel();
            need = TextWidth(label, text);
        } else if (auto* drawn = dynamic_cast<ZELKStatic*>(child)) {
            text = drawn->GetText();
            need = TextWidth(drawn, text);
        } else if (auto* button = dynamic_cast<wxButton*>(child)) {
            // GTK's own measure of the label with a button's padding, without
            // the default width a button otherwise keeps at least.
            text = button->GetLabel();
            auto* probe = new wxButton(button->GetParent(), wxID_ANY, text, wxDefaultPosition, wxDefaultSize,
                                       wxBU_EXACTFIT);
            probe->SetFont(button->GetFont());
            need = probe->GetBestSize().x;
            probe->Destroy();
        } else if (dynamic_cast<wxCheckBox*>(child) != nullptr) {
            // The label beside the box's indicator.
            text = child->GetLabel();
            child->InvalidateBestSize();
            need = child->GetBestSize().x;
        } else if (auto* list = dynamic_cast<wxChoice*>(child)) {
            // The widest entry beside the drop-down arrow (the list's best
            // width measures exactly that).
            for (unsigned i = 0; i < list->GetCount(); ++i)
                if (TextWidth(list, list->GetString(i)) > TextWidth(list, text))
                    text = list->GetString(i);
            list->InvalidateBestSize();
            need = list->GetBestSize().x;
        }
        if (text.empty())
            continue;
        const int have = child->GetSize().x;
        if (need > have)
            cut.push_back((panel + ": \"" + text + "\" needs " + std::to_string(need) + " px, has " +
                           std::to_string(have))
                              .utf8_string());
    }
}

// One line per pair of shown controls of one panel that cover each other.
void CollectOverlaps(const wxString& panel, wxWindow* window, std::vector<std::string>& overlaps)
{
    std::vector<wxWindow*> shown;
    for (wxWindow* child : window->GetChildren())
        if (child->IsShown())
            shown.push_back(child);
    const auto name = [](wxWindow* w) {
        return w->GetLabel().empty() ? wxString(w->GetClassInfo()->GetClassName()) : w->GetLabel();
    };
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            if (shown[i]->GetRect().Intersects(shown[j]->GetRect()))
                overlaps.push_back((panel + ": " + name(shown[i]) + " and " + name(shown[j])).utf8_string());
}

// A rectangle of the windows' logical pixels on the screen's own.
wxRect ScreenPixels(const wxRect& r, double scale)
{
    const auto px = [scale](int v) { return static_cast<int>(v * scale); };
    return wxRect(px(r.x), px(r.y), px(r.width), px(r.height));
}

class TextFit : public uitest::UiFixture {};

TEST_F(TextFit, EveryPanelTextFitsInEveryLanguage)
{
    const std::pair<const char*, wxWindow*> panels[] = {
        {"view", m_ui->GetViewWnd()},
        {"slicing", m_ui->GetGCodeWnd()},
        {"machine control", m_ui->GetControlWnd()},
        {"connection", m_ui->GetMachineConnectWnd()},
        {"move", m_ui->GetMoveWnd()},
        {"rotate", m_ui->GetRotateWnd()},
        {"scale", m_ui->GetScaleWnd()},
        {"temperature", m_ui->GetTemperatureWnd()},
        {"print monitor", m_ui->GetPrintMonitorWnd()},
        {"toolpath", m_ui->GetToolpathWnd()},
        {"progress", m_ui->GetPrepareWnd()},
    };
    for (LANGUAGE language : {LANGUAGE_CHINESE, LANGUAGE_ENGLISH, LANGUAGE_FRENCH}) {
        ZELKTranslation::GetTranslationObject()->Translate(language);
        std::vector<std::string> cut;
        for (const auto& [name, panel] : panels) {
            ASSERT_NE(panel, nullptr) << name;
            CollectCutTexts(wxString::FromUTF8(name), panel, cut);
            CollectOverlaps(wxString::FromUTF8(name), panel, cut);
        }
        std::string list;
        for (const std::string& line : cut)
            list += "\n  " + line;
        EXPECT_TRUE(cut.empty()) << "language " << language << ", scale " << m_frame->GetDPIScaleFactor() << ":"
                                 << list;
        // For people to look at: the slicing panel in this language.
        wxWindow* slicing = m_ui->GetGCodeWnd();
        slicing->Show();
        uitest::Pump();
        testsupport::SaveScreenArea(testsupport::ArtefactFolder("text-fit") + "slicing-" +
                                        std::to_string(language) + "-x" +
                                        std::to_string(static_cast<int>(m_frame->GetDPIScaleFactor())) + ".png",
                                    ScreenPixels(slicing->GetScreenRect(), slicing->GetContentScaleFactor()));
        slicing->Hide();
    }
}

}  // namespace
