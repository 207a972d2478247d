// Panels, custom controls and language switching on real windows.
#include <wx/button.h>
#include <wx/image.h>

#include "ZELKStatic.h"
#include "UiTestSupport.h"
#include "WxInput.h"

using testsupport::PressButton;
using uitest::Pump;

namespace {

wxString Label(wxWindow* window, int id) { return window->FindWindow(id)->GetLabel(); }
wxString Utf8(const char* text) { return wxString::FromUTF8(text); }

class Panels : public uitest::UiFixture {};

std::vector<std::string> g_viewCalls;
void RecordTop() { g_viewCalls.push_back("top"); }
void RecordBack() { g_viewCalls.push_back("back"); }
void RecordRight() { g_viewCalls.push_back("right"); }
void RecordStandard() { g_viewCalls.push_back("standard"); }

}  // namespace

TEST_F(Panels, SwitchingLanguageRetranslatesPanelsAndTooltips)
{
    ZELKViewWnd* view = m_ui->GetViewWnd();
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_CAPTION), Utf8("视图:"));
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_SIDE), Utf8("右视图"));
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_SCALE)->GetToolTipText(), Utf8("缩放"));
    EXPECT_EQ(m_ui->GetSettingPicture()->GetToolTipText(), Utf8("设置"));

    m_ui->ShowModelInformation("cube.stl");
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_CAPTION), "View:");
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_TOP), "Top");
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_SIDE), "Side");
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_FRONT), "Front");
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_RESET), "Reset");
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_VIEW)->GetToolTipText(), "View");
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_MACHINE_CONTROL)->GetToolTipText(), "Machine control");
    EXPECT_EQ(m_ui->GetStartPicture()->GetToolTipText(), "Start print");
    EXPECT_EQ(Label(m_ui->GetPrepareWnd(), ZELKPrepareWnd::ID_TIME_LABEL), "Elapsed:");
    EXPECT_TRUE(m_ui->GetInfoWnd()->GetModelInformation().empty());

    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_FRENCH);
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_RESET), Utf8("Réinitialiser"));
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_ROTATE)->GetToolTipText(), "Pivoter");

    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_CHINESE);
    EXPECT_EQ(ZELKTranslation::GetTranslationObject()->GetBuiltInCount(), 190u);
    EXPECT_EQ(Label(view, ZELKViewWnd::ID_BUTTON_TOP), Utf8("顶视图"));
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_MOVE)->GetToolTipText(), Utf8("平移"));
}

TEST_F(Panels, StartStopTooltipFollowsThePrintState)
{
    if (m_ui->GetIsStartPrintState() != 0)
        m_ui->ChangeIsStartPrintState();
    m_ui->UpdatePicCtrlsToolTip();
    EXPECT_EQ(m_ui->GetStartPicture()->GetToolTipText(), Utf8("停止打印"));
    m_ui->ChangeIsStartPrintState();
    m_ui->UpdatePicCtrlsToolTip();
    EXPECT_EQ(m_ui->GetStartPicture()->GetToolTipText(), Utf8("开始打印"));
}

TEST_F(Panels, ProgressPanelKeepsItsModeAcrossLanguages)
{
    m_ui->PrepareStartPrintWnd();
    ZELKPrepareWnd* progress = m_ui->GetPrepareWnd();
    EXPECT_TRUE(progress->IsShown());
    EXPECT_EQ(progress->GetPosition(), wxPoint(400, 300));
    EXPECT_EQ(progress->GetMode(), ZELKPrepareWnd::MODE_PREPARE_PRINT);
    EXPECT_EQ(progress->GetAction(), Utf8("打印准备中..."));
    m_ui->SetPrepareTime("01:07");
    EXPECT_EQ(progress->GetTime(), "01:07");

    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    EXPECT_EQ(progress->GetAction(), "Preparing print...");
    EXPECT_EQ(Label(progress, ZELKPrepareWnd::ID_ACTION_LABEL), "Action:");

    m_ui->PrepareSaveZLKWnd();
    EXPECT_EQ(progress->GetTime(), "00:00");
    EXPECT_EQ(progress->GetAction(), "Saving file...");
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_CHINESE);
    EXPECT_EQ(progress->GetAction(), Utf8("保存文件中..."));
    m_ui->ShowPrepareWnd(0);
    EXPECT_FALSE(progress->IsShown());
}

TEST_F(Panels, ViewButtonsRunTheirViewCommands)
{
    const ZELKViewCommands saved = ZELKViewWnd::GetViewCommands();
    ZELKViewWnd::SetViewCommands({RecordTop, RecordBack, RecordRight, RecordStandard});
    g_viewCalls.clear();
    ZELKViewWnd* view = m_ui->GetViewWnd();
    for (int id : {ZELKViewWnd::ID_BUTTON_SIDE, ZELKViewWnd::ID_BUTTON_FRONT, ZELKViewWnd::ID_BUTTON_TOP,
                   ZELKViewWnd::ID_BUTTON_RESET})
        PressButton(view, id);
    ZELKViewWnd::SetViewCommands(saved);
    EXPECT_EQ(g_viewCalls, (std::vector<std::string>{"back", "right", "top", "standard"}));
}

TEST_F(Panels, ViewPanelLayout)
{
    ZELKViewWnd* view = m_ui->GetViewWnd();
    // Created at (85, 160), then kept with the frame.
    EXPECT_EQ(view->GetPosition(), m_frame->GetPosition() + wxPoint(85, 180));
    EXPECT_EQ(view->GetClientSize(), view->FromDIP(wxSize(330, 380)));
    EXPECT_EQ(view->FindWindow(ZELKViewWnd::ID_BUTTON_FRONT)->GetPosition(),
              view->FromDIP(wxPoint(120, 184)));
    // The close box sits in the top right corner of the panel, where it is
    // drawn; on the wider connection panel too.
    EXPECT_EQ(view->CloseBox(), wxRect(view->FromDIP(ZELKTransparentDlg::kCloseBox.GetPosition()),
                                       view->FromDIP(ZELKTransparentDlg::kCloseBox.GetSize())));
    for (const ZELKTransparentDlg* panel : {static_cast<ZELKTransparentDlg*>(view),
                                            static_cast<ZELKTransparentDlg*>(m_ui->GetMachineConnectWnd())}) {
        const wxRect box = panel->CloseBox();
        EXPECT_LT(panel->GetClientSize().x - box.GetRight(), view->FromDIP(10));
        EXPECT_GT(panel->GetClientSize().x, box.GetRight());
        EXPECT_EQ(box.GetSize(), view->FromDIP(ZELKTransparentDlg::kCloseBox.GetSize()));
    }
    EXPECT_EQ(view->GetFrameFlag(), 1);
    EXPECT_EQ(m_ui->GetInfoWnd()->GetFrameFlag(), 0);
    EXPECT_EQ(m_ui->GetInfoWnd()->GetSize().y, 30);
}

TEST_F(Panels, CloseBoxHoverRepaintsOncePerChangeAndClickHidesThePanel)
{
    m_ui->GetToolPicture(PICTURE_VIEW)->SetCheckedState(1);
    m_ui->ShowWnd(PICTURE_VIEW, PICTURE_CHECKED);
    ZELKViewWnd* view = m_ui->GetViewWnd();
    auto move = [view](int x, int y) {
        wxMouseEvent motion(wxEVT_MOTION);
        motion.SetPosition(wxPoint(x, y));
        view->ProcessWindowEvent(motion);
    };
    const int before = view->GetHoverRepaintCount();
    move(100, 100);
    EXPECT_EQ(view->GetHover(), 0);
    move(310, 15);
    move(312, 16);
    EXPECT_EQ(view->GetHover(), 1);
    move(200, 15);
    EXPECT_EQ(view->GetHover(), 0);
    EXPECT_EQ(view->GetHoverRepaintCount() - before, 2);

    wxMouseEvent outside(wxEVT_LEFT_DOWN);
    outside.SetPosition(wxPoint(100, 100));
    view->ProcessWindowEvent(outside);
    EXPECT_TRUE(view->IsShown());
    wxMouseEvent inside(wxEVT_LEFT_DOWN);
    inside.SetPosition(wxPoint(310, 15));
    view->ProcessWindowEvent(inside);
    EXPECT_FALSE(view->IsShown());
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_VIEW)->GetCheckedState(), 0);
    EXPECT_EQ(m_ui->GetToolPicture(PICTURE_VIEW)->GetBitmapId(), 3903u);
}

TEST_F(Panels, InformationBarHasNoCloseBox)
{
    ZELKInfoWnd* bar = m_ui->GetInfoWnd();
    m_ui->SetInfoWndPosition(m_frame->GetRect(), 0);
    wxMouseEvent motion(wxEVT_MOTION);
    motion.SetPosition(wxPoint(310, 15));
    bar->ProcessWindowEvent(motion);
    EXPECT_EQ(bar->GetHover(), 0);
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetPosition(wxPoint(310, 15));
    bar->ProcessWindowEvent(click);
    EXPECT_TRUE(bar->IsShown());
}

TEST_F(Panels, FlickerFreeTextIsDrawnOnThePanelBackground)
{
    auto* text = new ZELKStatic(m_view, 2600, wxPoint(300, 300), wxSize(120, 20));
    text->SetText("12:34");
    text->Show();
    text->Update();
    Pump();
    EXPECT_EQ(text->GetText(), "12:34");
    text->SetLabel("56:07");
    EXPECT_EQ(text->GetLabel(), "56:07");
    Pump();
    wxMilliSleep(50);
    Pump();
    // On the screen: background colour where there is no text, white glyphs.
    const wxImage screen = uitest::CaptureScreen(uitest::ArtefactFolder() + "static-text.png");
    ASSERT_TRUE(screen.IsOk());
    const wxImage image = screen.GetSubImage(text->GetScreenRect());
    EXPECT_EQ(wxColour(image.GetRed(110, 15), image.GetGreen(110, 15), image.GetBlue(110, 15)),
              wxColour(37, 43, 42));
    int bright = 0;
    for (int x = 0; x < 40; ++x)
        for (int y = 0; y < 16; ++y)
            bright += image.GetRed(x, y) > 200 ? 1 : 0;
    EXPECT_GT(bright, 10);
}

// File names may hold "&": the bar shows it as it is, not as a mnemonic.
TEST_F(Panels, InformationBarShowsAmpersandsAsTheyAre)
{
    m_ui->ShowModelInformation(wxString::FromUTF8("模型名称:gear & shaft.stl"));
    EXPECT_EQ(m_ui->GetInfoWnd()->GetModelInformation(), wxString::FromUTF8("模型名称:gear & shaft.stl"));
    m_ui->ShowMachineExtrudeTemperature("R&D 210");
    EXPECT_EQ(m_ui->GetInfoWnd()->GetTemperatureLine(), "R&D 210");
}
