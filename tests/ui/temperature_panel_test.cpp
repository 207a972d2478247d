// The temperature panel on real windows: the legend and state marks along a
// heating curve in three languages, the platform's row, when the graph
// repaints, what the graph draws where, and a picture of the panel.
#include <cmath>
#include <memory>

#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/image.h>
#include <wx/stattext.h>

#include "WxPump.h"
#include "ZELKHeaterMark.h"
#include "ZELKTemperatureGraph.h"
#include "ZELKTemperatureWnd.h"
#include "UiTestSupport.h"

using uitest::Pump;
using zelk::Heater;
using zelk::HeaterState;
using zelk::TemperatureSample;
using Panel = ZELKTemperatureWnd;

namespace {

// A steady printer from fromS to toS, once a second: the extruder at
// extruderC for its target, the platform reported only when platformC >= 0.
void FeedSteady(ZELKTemperatureWnd& panel, int fromS, int toS, double extruderC, double extruderTargetC,
                double platformC = -1)
{
    for (int t = fromS; t <= toS; ++t) {
        TemperatureSample s;
        s.timeS = t;
        s.extruderC = extruderC;
        s.extruderTargetC = extruderTargetC;
        if (platformC >= 0)
            s.platformC = platformC;
        panel.AddSample(s);
    }
}

// A printer heating up: the platform towards 60 °C from the start, the
// extruder towards 220 °C from the first minute, each reported once a
// second with a little sensor noise.
TemperatureSample Heating(double t)
{
    TemperatureSample s;
    s.timeS = 1000 + t;
    const double noise = 0.4 * std::sin(t * 1.7);
    s.platformC = 60 - 38 * std::exp(-t / 80) + noise / 2;
    s.platformTargetC = 60;
    s.extruderTargetC = t >= 60 ? 220 : 0;
    s.extruderC = t >= 60 ? 220 - 196 * std::exp(-(t - 60) / 45) + noise : 24 + noise;
    return s;
}

struct Language {
    LANGUAGE language;
    const char* name;
    const char* extruder;
    const char* platform;
    const char* heating;
    const char* atTemperature;
    const char* off;
};

const Language kLanguages[] = {
    {LANGUAGE_CHINESE, "chinese", "\u6324\u51FA\u5934", "\u5E73\u53F0", "\u52A0\u70ED\u4E2D",
     "\u5DF2\u8FBE\u5230\u6E29\u5EA6", "\u5173\u95ED"},
    {LANGUAGE_ENGLISH, "english", "Extruder", "Platform", "Heating", "At temperature", "Off"},
    {LANGUAGE_FRENCH, "french", "Buse", "Plateau", "Chauffe", "\u00C0 temp\u00E9rature", "\u00C9teint"},
};

// The lines are smoothed, so their edges blend into the background: a
// colour is told by which channel leads, not by its exact value.
bool IsExtruderColour(const wxColour& c) { return c.Red() >= 120 && c.Red() - c.Green() >= 50 && c.Red() - c.Blue() >= 80; }
bool IsPlatformColour(const wxColour& c) { return c.Blue() >= 120 && c.Blue() - c.Red() >= 70; }
bool IsGreenish(const wxColour& c) { return c.Green() >= c.Red() + 20 && c.Green() >= c.Blue() + 10; }

bool Near(const wxColour& a, const wxColour& b, int tolerance)
{
    return std::abs(a.Red() - b.Red()) <= tolerance && std::abs(a.Green() - b.Green()) <= tolerance &&
           std::abs(a.Blue() - b.Blue()) <= tolerance;
}

wxColour Pixel(const wxImage& image, int x, int y)
{
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

using ColourTest = bool (*)(const wxColour&);

// Whether a pixel near (x, y), up to `reach` pixels above or below, passes the test.
bool ColourNear(const wxImage& image, int x, int y, ColourTest test, int reach = 3)
{
    for (int dy = -reach; dy <= reach; ++dy)
        if (y + dy >= 0 && y + dy < image.GetHeight() && test(Pixel(image, x, y + dy)))
            return true;
    return false;
}

int CountColour(const wxImage& image, ColourTest test)
{
    int n = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            n += test(Pixel(image, x, y)) ? 1 : 0;
    return n;
}

class TemperaturePanel : public uitest::UiFixture {
protected:
    void SetUp() override
    {
        UiFixture::SetUp();
        m_panel = new Panel(m_view, m_frame->GetScreenPosition() + wxPoint(85, 180));
        m_panel->Translate();
        m_panel->Show();
        ASSERT_TRUE(testsupport::PumpUntil([&] { return m_panel->IsShownOnScreen(); }, 5000));
        Pump();
    }
    void TearDown() override
    {
        m_panel->Destroy();
        UiFixture::TearDown();
    }

    void SetLanguage(LANGUAGE language)
    {
        ZELKTranslation::GetTranslationObject()->Translate(language);
        m_panel->Translate();
    }
    wxString Label(int id) const { return m_panel->FindWindow(id)->GetLabel(); }
    bool Shown(int id) const { return m_panel->FindWindow(id)->IsShown(); }
    void Feed(double fromS, double toS)
    {
        for (double t = fromS; t <= toS; t += 1)
            ASSERT_EQ(m_panel->AddSample(Heating(t)), zelk::SampleVerdict::Stored) << t;
    }
    // The graph drawn off screen, and the mapping it used.
    wxImage Render(zelk::GraphMapping& map) const
    {
        ZELKTemperatureGraph* graph = m_panel->GetGraph();
        wxBitmap scratch(graph->GetClientSize());
        wxMemoryDC dc(scratch);
        std::unique_ptr<wxGraphicsContext> gc(wxGraphicsContext::Create(dc));
        map = graph->MappingFor(*gc, graph->GetClientSize());
        gc.reset();
        dc.SelectObject(wxNullBitmap);
        return graph->RenderBitmap().ConvertToImage();
    }

    Panel* m_panel = nullptr;
};

// ---------------------------------------------------------------- legend and marks

TEST_F(TemperaturePanel, LegendAndMarksFollowAHeatingCurveInEveryLanguage)
{
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        m_panel->Clear();
        SetLanguage(language.language);
        const wxString extruder = wxString::FromUTF8(language.extruder);
        const wxString platform = wxString::FromUTF8(language.platform);
        EXPECT_EQ(Label(Panel::ID_LEGEND_EXTRUDER), extruder) << "no sample yet: the name alone";
        EXPECT_FALSE(Shown(Panel::ID_STATE_EXTRUDER));
        EXPECT_FALSE(Shown(Panel::ID_LEGEND_PLATFORM));

        // The first minute: extruder off, platform heating.
        Feed(0, 30);
        EXPECT_EQ(Label(Panel::ID_LEGEND_EXTRUDER), extruder + wxString::FromUTF8(" 24 \u00B0C"));
        EXPECT_EQ(Label(Panel::ID_STATE_EXTRUDER), wxString::FromUTF8(language.off));
        EXPECT_EQ(m_panel->GetMark(Heater::Extruder)->GetState(), HeaterState::Off);
        EXPECT_TRUE(Shown(Panel::ID_LEGEND_PLATFORM));
        EXPECT_EQ(Label(Panel::ID_LEGEND_PLATFORM), platform + wxString::FromUTF8(" 34 / 60 \u00B0C"));
        EXPECT_EQ(Label(Panel::ID_STATE_PLATFORM), wxString::FromUTF8(language.heating));

        // Half way up: 220 - 196 e^(-40/45) = 139.4, with the noise 139.6.
        Feed(31, 100);
        EXPECT_EQ(Label(Panel::ID_LEGEND_EXTRUDER), extruder + wxString::FromUTF8(" 140 / 220 \u00B0C"));
        EXPECT_EQ(Label(Panel::ID_STATE_EXTRUDER), wxString::FromUTF8(language.heating));
        EXPECT_EQ(m_panel->GetMark(Heater::Extruder)->GetState(), HeaterState::Heating);
        EXPECT_TRUE(Shown(Panel::ID_MARK_EXTRUDER));

        // Five minutes on both are there.
        Feed(101, 360);
        EXPECT_EQ(Label(Panel::ID_LEGEND_EXTRUDER), extruder + wxString::FromUTF8(" 220 / 220 \u00B0C"));
        EXPECT_EQ(Label(Panel::ID_STATE_EXTRUDER), wxString::FromUTF8(language.atTemperature));
        EXPECT_EQ(Label(Panel::ID_STATE_PLATFORM), wxString::FromUTF8(language.atTemperature));
        EXPECT_EQ(m_panel->GetMark(Heater::Extruder)->GetState(), HeaterState::AtTarget);
        EXPECT_EQ(m_panel->GetMark(Heater::Platform)->GetState(), HeaterState::AtTarget);
        EXPECT_EQ(ZELKHeaterMark::ColourOf(HeaterState::AtTarget), ZELKTemperatureGraph::kAtTargetColour);

        // A reading that is no temperature changes nothing.
        TemperatureSample broken = Heating(361);
        broken.extruderC = std::nan("");
        EXPECT_EQ(m_panel->AddSample(broken), zelk::SampleVerdict::RefusedReading);
        EXPECT_EQ(m_panel->GetHistory().Latest()->timeS, Heating(360).timeS);
        EXPECT_EQ(Label(Panel::ID_STATE_EXTRUDER), wxString::FromUTF8(language.atTemperature));
    }
}

TEST_F(TemperaturePanel, PlatformRowShowsOnlyWhileThePlatformIsReported)
{
    SetLanguage(LANGUAGE_ENGLISH);
    TemperatureSample s = Heating(0);
    s.platformC.reset();
    m_panel->AddSample(s);
    Pump();
    for (int id : {Panel::ID_LEGEND_PLATFORM, Panel::ID_MARK_PLATFORM, Panel::ID_STATE_PLATFORM})
        EXPECT_FALSE(Shown(id)) << id;
    EXPECT_TRUE(Shown(Panel::ID_LEGEND_EXTRUDER));

    m_panel->AddSample(Heating(1));
    for (int id : {Panel::ID_LEGEND_PLATFORM, Panel::ID_MARK_PLATFORM, Panel::ID_STATE_PLATFORM})
        EXPECT_TRUE(Shown(id)) << id;
    EXPECT_EQ(Label(Panel::ID_STATE_PLATFORM), "Heating");

    m_panel->Clear();
    EXPECT_TRUE(m_panel->GetHistory().Empty());
    EXPECT_FALSE(Shown(Panel::ID_LEGEND_PLATFORM));
    EXPECT_EQ(Label(Panel::ID_LEGEND_EXTRUDER), "Extruder");
}

// Every text fits its control in each language, and nothing leaves the panel.
TEST_F(TemperaturePanel, EveryTextFitsInChineseEnglishAndFrench)
{
    Feed(0, 360);
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SetLanguage(language.language);
        for (wxWindow* child : m_panel->GetChildren()) {
            if (!child->IsShown())
                continue;
            if (auto* text = dynamic_cast<wxStaticText*>(child)) {
                wxClientDC dc(text);
                dc.SetFont(text->GetFont());
                EXPECT_LE(dc.GetTextExtent(text->GetLabel()).x, text->GetSize().x) << text->GetLabel();
            }
            EXPECT_TRUE(wxRect(m_panel->GetClientSize()).Contains(child->GetRect())) << child->GetId();
        }
    }
}

// ---------------------------------------------------------------- repaints

TEST_F(TemperaturePanel, GraphRepaintsOnlyForASampleAClearOrANewText)
{
    ZELKTemperatureGraph* graph = m_panel->GetGraph();
    SetLanguage(LANGUAGE_CHINESE);
    Pump();
    const int idle = graph->GetInvalidateCount();
    Pump(20);
    EXPECT_EQ(graph->GetInvalidateCount(), idle) << "nothing happened, nothing repaints";

    const int paints = graph->GetPaintCount();
    m_panel->AddSample(Heating(0));
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 1);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return graph->GetPaintCount() > paints; }, 5000)) << "a frame drawn";

    TemperatureSample late = Heating(-5);
    EXPECT_EQ(m_panel->AddSample(late), zelk::SampleVerdict::RefusedTime);
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 1) << "a refused sample draws nothing";

    m_panel->Translate();
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 1) << "the same language again";
    SetLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 2) << "the time axis' unit changed";
    SetLanguage(LANGUAGE_FRENCH);
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 2) << "French writes the unit as English does";

    m_panel->Clear();
    EXPECT_EQ(graph->GetInvalidateCount(), idle + 3);
    graph->SetSize(graph->GetSize() - wxSize(10, 10));
    Pump();
    EXPECT_GT(graph->GetInvalidateCount(), idle + 3) << "a new size";
}

// ---------------------------------------------------------------- drawing

TEST_F(TemperaturePanel, EachHeaterIsDrawnInItsColourAtItsTemperature)
{
    // Extruder steady at 200 for eight minutes (target 210, so not there), no platform.
    FeedSteady(*m_panel, 0, 480, 200, 210);
    zelk::GraphMapping map;
    wxImage image = Render(map);
    ASSERT_TRUE(image.IsOk());
    const auto x = [&](double t) { return static_cast<int>(std::lround(map.X(t))); };
    const auto y = [&](double c) { return static_cast<int>(std::lround(map.Y(c))); };
    const int xBefore = x(-50);  // before the first sample
    EXPECT_TRUE(ColourNear(image, x(470), y(200), IsExtruderColour));
    EXPECT_FALSE(ColourNear(image, xBefore, y(200), IsExtruderColour)) << "nothing before the first sample";
    EXPECT_FALSE(ColourNear(image, x(470), y(205), IsExtruderColour, 1)) << "nothing between reading and target";
    EXPECT_EQ(CountColour(image, IsPlatformColour), 0) << "no platform, no blue";

    // The target is dashed: along its row the colour comes and goes.
    int on = 0, changes = 0;
    bool previous = false;
    for (int px = x(0) + 2; px < x(460); ++px) {
        const bool hit = ColourNear(image, px, y(210), IsExtruderColour, 1);
        on += hit ? 1 : 0;
        changes += hit != previous ? 1 : 0;
        previous = hit;
    }
    EXPECT_GT(on, (x(460) - x(0)) / 3);
    EXPECT_GE(changes, 6) << "a dashed line, not a solid one";
    // Not at target: no green band around the target.
    EXPECT_FALSE(IsGreenish(Pixel(image, x(470), y(212.5))));

    // The extruder reaches its target: its tolerance band is green over the
    // time it has held it, and only there.
    FeedSteady(*m_panel, 481, 500, 210, 210);
    ASSERT_EQ(m_panel->GetHistory().State(Heater::Extruder), HeaterState::AtTarget);
    image = Render(map);
    const wxColour band = Pixel(image, x(495), y(212.5));
    EXPECT_TRUE(IsGreenish(band)) << band.GetAsString();
    EXPECT_GT(band.Green(), ZELKTemperatureGraph::kPlotBackground.Green() + 20) << band.GetAsString();
    EXPECT_FALSE(IsGreenish(Pixel(image, x(470), y(212.5)))) << "before the target was reached";

    // The platform appears in blue at its reading, only where it is reported.
    FeedSteady(*m_panel, 501, 520, 210, 210, 60);
    image = Render(map);
    EXPECT_TRUE(ColourNear(image, x(515), y(60), IsPlatformColour));
    EXPECT_FALSE(ColourNear(image, x(490), y(60), IsPlatformColour)) << "no blue where the platform was not reported";
}

// ---------------------------------------------------------------- picture

// Seven minutes of a printer heating up, as the screen shows the panel:
// "temperature-graph.png" in English, and one picture per language.
TEST_F(TemperaturePanel, PictureOfAHeatingPrinter)
{
    Feed(0, 420);
    for (const Language& language : kLanguages) {
        SCOPED_TRACE(language.name);
        SetLanguage(language.language);
        m_panel->Raise();
        const int paints = m_panel->GetGraph()->GetPaintCount();
        m_panel->Refresh();
        m_panel->Update();
        ASSERT_TRUE(testsupport::PumpUntil([&] { return m_panel->GetGraph()->GetPaintCount() > paints; }, 5000));
        // The legend's marks paint after the graph: the screen is taken
        // again until the extruder's dot is on it (or the wait ends).
        const wxRect dot = m_panel->GetMark(Heater::Extruder)->GetRect();
        wxImage panel;
        const auto dotShown = [&] {
            Pump();
            const wxImage screen = uitest::CaptureScreen(uitest::ArtefactFolder() + "screen-temperature.png");
            if (!screen.IsOk())
                return false;
            panel = screen.GetSubImage(m_panel->GetScreenRect().Intersect(wxRect(screen.GetSize())));
            return Near(Pixel(panel, dot.x + dot.width / 2, dot.y + dot.height / 2),
                        ZELKTemperatureGraph::kAtTargetColour, 30);
        };
        testsupport::PumpUntil(dotShown, 5000);
        ASSERT_TRUE(panel.IsOk());
        const std::string name = std::string("temperature-graph-") + language.name + ".png";
        EXPECT_TRUE(panel.SaveFile(uitest::ArtefactFolder() + name, wxBITMAP_TYPE_PNG));
        if (language.language == LANGUAGE_ENGLISH) {
            EXPECT_TRUE(panel.SaveFile(uitest::ArtefactFolder() + "temperature-graph.png", wxBITMAP_TYPE_PNG));
        }
        // On screen: both lines, and the extruder's state dot in green.
        EXPECT_GT(CountColour(panel, IsExtruderColour), 100);
        EXPECT_GT(CountColour(panel, IsPlatformColour), 100);
        EXPECT_TRUE(Near(Pixel(panel, dot.x + dot.width / 2, dot.y + dot.height / 2),
                         ZELKTemperatureGraph::kAtTargetColour, 30));
    }
}

}  // namespace
