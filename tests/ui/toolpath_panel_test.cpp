// The toolpath panel on real windows: loading a file, the layer slider and line, the travel box, the view's override.
#include <string>
#include <vector>

#include <wx/checkbox.h>
#include <wx/slider.h>
#include <wx/stattext.h>

#include "EntityDatabase.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "ViewCommands.h"
#include "ZELKToolpathWnd.h"
#include "ZelkOpenGL.h"

namespace {

class ToolpathPanel : public uitest::UiFixture {
protected:
    void SetUp() override
    {
        uitest::UiFixture::SetUp();
        m_panel = new ZELKToolpathWnd(m_view, wxPoint(85, 180));
        m_panel->SetRedrawFunction([this] { ++m_redraws; });
        m_panel->SetLayerObserver([this](std::size_t layer) { m_observed.push_back(layer); });
        // Three layers at 0.3, 0.5 and 0.7 mm.
        std::string text;
        double e = 0;
        for (const char* z : {"0.3", "0.5", "0.7"}) {
            text += std::string("G1 X0 Y0 Z") + z + " F4800 E" + std::to_string(e) + "\n";
            e += 1;
            text += std::string("G1 X20 Y0 Z") + z + " F1800 E" + std::to_string(e) + "\n";
        }
        m_path = m_dir.File("part.gcode");
        testsupport::WriteFile(m_path, text);
    }
    void TearDown() override
    {
        m_panel->Destroy();
        ZELKCAD::SetCurrentRenderer(nullptr);
        uitest::UiFixture::TearDown();
    }

    wxSlider* Slider() const { return static_cast<wxSlider*>(m_panel->FindWindow(ZELKToolpathWnd::ID_SLIDER_LAYER)); }
    wxString LayerLine() const { return m_panel->FindWindow(ZELKToolpathWnd::ID_LAYER_TEXT)->GetLabel(); }
    void Slide(int position)
    {
        Slider()->SetValue(position);
        wxCommandEvent moved(wxEVT_SLIDER, ZELKToolpathWnd::ID_SLIDER_LAYER);
        moved.SetEventObject(Slider());
        moved.SetInt(position);
        Slider()->ProcessWindowEvent(moved);
    }
    void English()
    {
        ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
        m_panel->Translate();
    }
    void Load()
    {
        std::string reason = "untouched";
        ASSERT_TRUE(m_panel->LoadGCode(m_path, reason)) << reason;
        EXPECT_EQ(reason, "");
    }

    testsupport::TempDir m_dir;
    std::string m_path;
    ZELKToolpathWnd* m_panel = nullptr;
    int m_redraws = 0;
    std::vector<std::size_t> m_observed;
    ZELDBEntityDatabase m_database;
    CZelkOpenGL m_renderer{&m_database};
};

TEST_F(ToolpathPanel, ALoadedFileShowsItsTopLayerAndTheSliderReachesEveryLayer)
{
    English();
    EXPECT_EQ(LayerLine(), "No toolpaths to show");
    EXPECT_FALSE(Slider()->IsEnabled());
    Load();
    EXPECT_TRUE(m_panel->HasToolpaths());
    EXPECT_EQ(Slider()->GetMin(), 0);
    EXPECT_EQ(Slider()->GetMax(), 2);
    EXPECT_EQ(Slider()->GetValue(), 2);
    EXPECT_TRUE(Slider()->IsEnabled());
    EXPECT_EQ(m_panel->GetLayer(), 2u);
    EXPECT_EQ(LayerLine(), "Layer 3 of 3 (0.70 mm)");
    EXPECT_EQ(m_panel->FindWindow(ZELKToolpathWnd::ID_CHECK_TRAVEL)->GetLabel(), "Show travel moves");
    EXPECT_EQ(m_panel->FindWindow(ZELKToolpathWnd::ID_CAPTION)->GetLabel(), "Toolpaths:");

    Slide(0);
    EXPECT_EQ(m_panel->GetLayer(), 0u);
    EXPECT_EQ(LayerLine(), "Layer 1 of 3 (0.30 mm)");
    ASSERT_FALSE(m_observed.empty());
    EXPECT_EQ(m_observed.back(), 0u);

    m_panel->SetLayer(99);
    EXPECT_EQ(m_panel->GetLayer(), 2u);
    EXPECT_EQ(Slider()->GetValue(), 2);
    EXPECT_EQ(m_observed.back(), 2u);
}

TEST_F(ToolpathPanel, ChineseLayerLineComesFromTheBuiltInTable)
{
    Load();
    m_panel->SetLayer(1);
    EXPECT_EQ(LayerLine(), wxString::FromUTF8("第 2 层，共 3 层（0.50 mm）"));
}

TEST_F(ToolpathPanel, ShownItDrawsInPlaceOfTheModelsAndHiddenTheyComeBack)
{
    ZELKCAD::SetCurrentRenderer(&m_renderer);
    Load();
    EXPECT_EQ(m_redraws, 0) << "nothing to redraw while hidden";
    m_panel->Show();
    EXPECT_TRUE(m_panel->IsAttached());
    EXPECT_TRUE(m_renderer.HasEntityDrawOverride());
    const int shownRedraws = m_redraws;
    EXPECT_GT(shownRedraws, 0);

    Slide(1);
    EXPECT_GT(m_redraws, shownRedraws) << "a slider change asks the view to redraw";

    m_panel->Hide();
    EXPECT_FALSE(m_renderer.HasEntityDrawOverride());
    EXPECT_FALSE(m_panel->IsAttached());

    // The close box hides it too.
    m_panel->Show();
    EXPECT_TRUE(m_renderer.HasEntityDrawOverride());
    m_panel->OnOK();
    EXPECT_FALSE(m_panel->IsShown());
    EXPECT_FALSE(m_renderer.HasEntityDrawOverride());
}

TEST_F(ToolpathPanel, AGivenRendererIsUsedAndLeftAsItWasWhenThePanelGoes)
{
    CZelkOpenGL other(&m_database);
    ZELKCAD::SetCurrentRenderer(&m_renderer);
    m_panel->SetRenderer(&other);
    m_panel->Show();
    EXPECT_TRUE(other.HasEntityDrawOverride());
    EXPECT_FALSE(m_renderer.HasEntityDrawOverride());
    m_panel->Destroy();
    EXPECT_FALSE(other.HasEntityDrawOverride());
    m_panel = new ZELKToolpathWnd(m_view, wxPoint(85, 180));
}

TEST_F(ToolpathPanel, ARendererForgottenWithItsViewIsNotTouched)
{
    ZELKCAD::SetCurrentRenderer(&m_renderer);
    m_panel->Show();
    ASSERT_TRUE(m_renderer.HasEntityDrawOverride());
    // The view forgets its renderer before deleting it.
    ZELKCAD::SetCurrentRenderer(nullptr);
    m_panel->Hide();
    EXPECT_FALSE(m_panel->IsAttached());
    EXPECT_TRUE(m_renderer.HasEntityDrawOverride());
    m_renderer.SetEntityDrawOverride({});
}

TEST_F(ToolpathPanel, AFileThatCannotBeReadKeepsTheToolpathsShown)
{
    Load();
    m_panel->SetLayer(1);
    std::string reason;
    EXPECT_FALSE(m_panel->LoadGCode(m_dir.File("missing.gcode"), reason));
    EXPECT_NE(reason.find("missing.gcode"), std::string::npos) << reason;
    testsupport::WriteFile(m_dir.File("still.gcode"), "M104 S220\nG92 E0\n");
    EXPECT_FALSE(m_panel->LoadGCode(m_dir.File("still.gcode"), reason));
    EXPECT_NE(reason.find("no move"), std::string::npos) << reason;
    EXPECT_EQ(m_panel->Model().LayerCount(), 3u);
    EXPECT_EQ(m_panel->GetLayer(), 1u);
    EXPECT_EQ(Slider()->GetMax(), 2);
}

TEST_F(ToolpathPanel, TheTravelBoxShowsAndHidesTravel)
{
    ZELKCAD::SetCurrentRenderer(&m_renderer);
    Load();
    m_panel->Show();
    auto* box = static_cast<wxCheckBox*>(m_panel->FindWindow(ZELKToolpathWnd::ID_CHECK_TRAVEL));
    EXPECT_FALSE(box->GetValue());
    EXPECT_FALSE(m_panel->IsTravelShown());
    const int before = m_redraws;
    box->SetValue(true);
    wxCommandEvent click(wxEVT_CHECKBOX, ZELKToolpathWnd::ID_CHECK_TRAVEL);
    click.SetEventObject(box);
    click.SetInt(1);
    box->ProcessWindowEvent(click);
    EXPECT_TRUE(m_panel->IsTravelShown());
    EXPECT_GT(m_redraws, before);
    m_panel->ShowTravel(false);
    EXPECT_FALSE(box->GetValue());
}

// The controls fit the panel one under the other at GTK's sizes; the picture
// is saved for people to look at.
TEST_F(ToolpathPanel, ControlsFitThePanelWithoutOverlapping)
{
    English();
    Load();
    m_panel->Show();
    for (int i = 0; i < 5; ++i)
        uitest::Pump();
    const wxRect client(m_panel->GetClientSize());
    const int ids[] = {ZELKToolpathWnd::ID_CAPTION, ZELKToolpathWnd::ID_SLIDER_LAYER, ZELKToolpathWnd::ID_LAYER_TEXT,
                       ZELKToolpathWnd::ID_CHECK_TRAVEL};
    std::vector<wxRect> rects;
    for (int id : ids) {
        const wxRect rect = m_panel->FindWindow(id)->GetRect();
        EXPECT_TRUE(client.Contains(rect)) << id << " at " << rect.x << "," << rect.y << " " << rect.width << "x"
                                           << rect.height << " outside " << client.width << "x" << client.height;
        for (const wxRect& before : rects)
            EXPECT_FALSE(before.Intersects(rect)) << id << " overlaps the control above it";
        rects.push_back(rect);
    }
    const wxImage screen = uitest::CaptureScreen(uitest::ArtefactFolder() + "screen-toolpath-panel.png");
    ASSERT_TRUE(screen.IsOk());
    const wxRect panel(m_panel->GetScreenPosition(), m_panel->GetSize());
    EXPECT_TRUE(screen.GetSubImage(panel.Intersect(wxRect(screen.GetSize())))
                    .SaveFile(uitest::ArtefactFolder() + "toolpath-panel.png", wxBITMAP_TYPE_PNG));
}

}  // namespace
