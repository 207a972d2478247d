// Screenshots of the main frame with the tool column, the view panel and the
// information bar, in Chinese and in English, saved for people to look at.
#include <thread>

#include <wx/image.h>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "ZELKReceiveParser.h"
#include "../model_store/ModelFixtures.h"
#include "UiTestSupport.h"

using uitest::Pump;

namespace {

class Screenshot : public uitest::UiFixture {
protected:
    void ShowScene()
    {
        m_ui->SetPictureCtrlPosition(m_frame->GetRect().width);
        m_ui->ShowWnd(PICTURE_VIEW, PICTURE_CHECKED);
        m_ui->GetToolPicture(PICTURE_VIEW)->SetCheckedState(1);
        m_ui->ShowWnd(1);
        m_ui->SetInfoWndPosition(m_frame->GetRect(), 0);
        RECEIVEBUF reply;
        reply.type = 8;
        reply.extruderTemperature = 212;
        std::thread reader([this, reply] { m_ui->HandleReceive(reply); });
        reader.join();
        m_ui->ShowModelInformation(m_ui->GetTranslateString("id_infor_modelName") + "calibration_cube.stl   " +
                                   m_ui->GetTranslateString("id_infor_modelSize") + "20.0 x 20.0 x 20.0");
        for (int i = 0; i < 10; ++i) {
            Pump();
            wxMilliSleep(20);
        }
    }

    // The frame's part of the screen, saved under `name`.
    wxImage Capture(const std::string& name)
    {
        const wxImage screen = uitest::CaptureScreen(uitest::ArtefactFolder() + "screen-" + name);
        EXPECT_TRUE(screen.IsOk());
        if (!screen.IsOk())
            return wxImage(m_frame->GetSize());
        const wxImage frame = screen.GetSubImage(m_frame->GetRect());
        EXPECT_TRUE(frame.SaveFile(uitest::ArtefactFolder() + name, wxBITMAP_TYPE_PNG));
        return frame;
    }

    // Pixels of the panels' dark background inside `area` of the shot.
    static int DarkPixels(const wxImage& image, const wxRect& area)
    {
        int count = 0;
        const wxRect inside = area.Intersect(wxRect(image.GetSize()));
        EXPECT_EQ(inside, area) << "outside the frame";
        for (int y = inside.y; y < inside.GetBottom(); y += 2)
            for (int x = inside.x; x < inside.GetRight(); x += 2)
                count += (image.GetRed(x, y) < 60 && image.GetGreen(x, y) < 60) ? 1 : 0;
        return count;
    }
};

}  // namespace

TEST_F(Screenshot, FrameWithViewPanelAndInformationBarInChineseAndEnglish)
{
    ShowScene();
    const wxImage chinese = Capture("frame-chinese.png");
    // Screen rectangles in the frame's picture.
    const auto inFrame = [this](wxRect rect) {
        rect.Offset(-m_frame->GetPosition());
        return rect;
    };
    const wxRect panel = inFrame(m_ui->GetViewWnd()->GetRect());
    const wxRect bar = inFrame(m_ui->GetInfoWnd()->GetRect());
    // The panel and the bar are on the screen, over the view's lighter background.
    EXPECT_GT(DarkPixels(chinese, panel), panel.width * panel.height / 8);
    EXPECT_GT(DarkPixels(chinese, bar), bar.width * bar.height / 8);
    EXPECT_EQ(DarkPixels(chinese, wxRect(600, 300, 100, 100)), 0);

    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    ShowScene();
    const wxImage english = Capture("frame-english.png");
    EXPECT_TRUE(m_ui->GetInfoWnd()->GetTemperatureLine().StartsWith("Temperature - extruder: 212"));
    // The texts changed where the panel shows them.
    int changed = 0;
    for (int y = panel.y; y < panel.GetBottom(); ++y)
        for (int x = panel.x; x < panel.GetRight(); ++x)
            changed += chinese.GetRed(x, y) != english.GetRed(x, y) ? 1 : 0;
    EXPECT_GT(changed, 100);

    // French has the longest texts; its picture shows whether they fit.
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_FRENCH);
    ShowScene();
    Capture("frame-french.png");
    EXPECT_TRUE(m_ui->GetInfoWnd()->GetTemperatureLine().StartsWith(wxString::FromUTF8("Température - buse : 212")));
}

// The slicing panel in the three languages, so people can see that every
// text fits its place.
TEST_F(Screenshot, SlicingPanelInEveryLanguage)
{
    const std::pair<LANGUAGE, const char*> languages[] = {
        {LANGUAGE_CHINESE, "chinese"}, {LANGUAGE_ENGLISH, "english"}, {LANGUAGE_FRENCH, "french"}};
    wxImage previous;
    for (const auto& [language, name] : languages) {
        if (ZELKTranslation::GetTranslationObject()->GetLanguage() != language)
            ZELKTranslation::GetTranslationObject()->Translate(language);
        m_ui->ShowWnd(PICTURE_GCODE, PICTURE_CHECKED);
        ZELKGCodeWnd* panel = m_ui->GetGCodeWnd();
        panel->Raise();
        for (int i = 0; i < 10; ++i) {
            Pump();
            wxMilliSleep(20);
        }
        const wxImage frame = Capture(std::string("slicing-panel-") + name + ".png");
        wxRect rect = panel->GetRect();
        rect.Offset(-m_frame->GetPosition());
        EXPECT_GT(DarkPixels(frame, rect), rect.width * rect.height / 8) << name;
        const wxImage shot = frame.GetSubImage(rect.Intersect(wxRect(frame.GetSize())));
        if (previous.IsOk() && previous.GetSize() == shot.GetSize()) {
            int changed = 0;
            for (int y = 0; y < shot.GetHeight(); ++y)
                for (int x = 0; x < shot.GetWidth(); ++x)
                    changed += shot.GetRed(x, y) != previous.GetRed(x, y) ? 1 : 0;
            EXPECT_GT(changed, 100) << name << ": the texts did not change";
        }
        previous = shot;
    }
}

// The move, rotate and scale panels for a selected model, in English.
TEST_F(Screenshot, EditPanelsForASelectedModel)
{
    auto* model = new ZELKDBPrint(modeltest::Box({-10, -10, 0}, {10, 10, 20}));
    model->SetPlatformMinMaxPoint(ZELKGePoint3d(-75, -75, 0), ZELKGePoint3d(75, 75, 150));
    int id = 0;
    ZELDBEntityDatabase::GetInterFace()->Add(model, id);
    ZELDBEntityDatabase::GetInterFace()->AddSelect(id);
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    m_ui->ShowWnd(1);
    for (const auto& [style, name] : {std::pair{PICTURE_MOVE, "move"}, std::pair{PICTURE_ROTATE, "rotate"},
                                      std::pair{PICTURE_SCALE, "scale"}}) {
        m_ui->OnPictureClicked(m_ui->GetToolPicture(style));
        for (int i = 0; i < 10; ++i) {
            Pump();
            wxMilliSleep(20);
        }
        const wxImage frame = Capture(std::string("edit-panel-") + name + ".png");
        wxRect rect = m_ui->GetMoveWnd()->GetRect();
        rect.Offset(-m_frame->GetPosition());
        EXPECT_GT(DarkPixels(frame, rect), rect.width * rect.height / 8) << name;
    }
    ZELDBEntityDatabase::GetInterFace()->RemoveAll();
}
