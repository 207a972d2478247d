// The coordinator's pictures and panels: clicks, refusals, layout and the frame.
#include <wx/uiaction.h>

#include "EntityDatabase.h"
#include "ToolPictures.h"
#include "UiTestSupport.h"
#include "ViewUi.h"

using uitest::Pump;

namespace {

void Click(ZELKPictureCtrl* picture)
{
    wxMouseEvent up(wxEVT_LEFT_UP);
    up.SetEventObject(picture);
    picture->ProcessWindowEvent(up);
}

class Coordinator : public uitest::UiFixture {
protected:
    ZELKPictureCtrl* Picture(PictrueCtrlStyle style) { return m_ui->GetToolPicture(style); }
    int CheckedCount()
    {
        int checked = 0;
        for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
            checked += Picture(static_cast<PictrueCtrlStyle>(style))->GetCheckedState() != 0 ? 1 : 0;
        return checked;
    }
};

}  // namespace

TEST_F(Coordinator, PictureListHasTheElevenPicturesInOrder)
{
    std::vector<wxWindow*> pictures(3, nullptr);
    ASSERT_EQ(m_ui->GetPictureCtrls(pictures), 1);
    std::vector<int> ids;
    for (wxWindow* picture : pictures) {
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetParent(), m_view);
        ids.push_back(picture->GetId());
    }
    EXPECT_EQ(ids, (std::vector<int>{110, 100, 109, 101, 106, 105, 102, 103, 104, 107, 108}));
}

TEST_F(Coordinator, ToolColumnAtItsPlacesWithMoveRotateScaleHidden)
{
    const struct {
        PictrueCtrlStyle style;
        int id;
        int y;
        bool shown;
        unsigned bitmap;
    } expected[] = {{PICTURE_VIEW, 101, 160, true, 3903},    {PICTURE_GCODE, 106, 240, true, 3911},
                    {PICTURE_MACHINE_CONTROL, 105, 320, true, 3913}, {PICTURE_MOVE, 102, 400, false, 3905},
                    {PICTURE_ROTATE, 103, 480, false, 3907}, {PICTURE_SCALE, 104, 560, false, 3909}};
    for (const auto& row : expected) {
        ZELKPictureCtrl* picture = Picture(row.style);
        SCOPED_TRACE(row.id);
        EXPECT_EQ(picture->GetId(), row.id);
        EXPECT_EQ(picture->GetPosition(), wxPoint(10, row.y));
        EXPECT_EQ(picture->IsShown(), row.shown);
        EXPECT_EQ(picture->GetBitmapId(), row.bitmap);
        EXPECT_EQ(picture->GetCheckedBitmap(), row.bitmap + 1);
        EXPECT_EQ(picture->GetCheckedState(), 0);
    }
}

TEST_F(Coordinator, ViewPictureClickedTwiceShowsThenHidesTheViewPanel)
{
    ZELKPictureCtrl* view = Picture(PICTURE_VIEW);
    Click(view);
    EXPECT_TRUE(m_ui->GetViewWnd()->IsShown());
    EXPECT_EQ(view->GetCheckedState(), 1);
    EXPECT_EQ(view->GetBitmapId(), 3904u);
    EXPECT_EQ(CheckedCount(), 1);
    Click(view);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
    EXPECT_EQ(view->GetBitmapId(), 3903u);
    EXPECT_EQ(CheckedCount(), 0);
    EXPECT_TRUE(m_capture.Messages().empty());
}

// A real click of the pointer on the picture, through the window system.
TEST_F(Coordinator, PointerClickOnTheViewPictureShowsThePanel)
{
    ZELKPictureCtrl* view = Picture(PICTURE_VIEW);
    wxUIActionSimulator pointer;
    pointer.MouseMove(view->GetScreenRect().GetPosition() + wxPoint(24, 24));
    Pump();
    pointer.MouseClick();
    for (int i = 0; i < 50 && !m_ui->GetViewWnd()->IsShown(); ++i) {
        wxMilliSleep(10);
        Pump(1);
    }
    EXPECT_TRUE(m_ui->GetViewWnd()->IsShown());
    EXPECT_EQ(view->GetCheckedState(), 1);
}

TEST_F(Coordinator, AnotherPictureTakesOverTheCheckedLook)
{
    Click(Picture(PICTURE_VIEW));
    Click(Picture(PICTURE_MOVE));
    EXPECT_EQ(Picture(PICTURE_VIEW)->GetCheckedState(), 0);
    EXPECT_EQ(Picture(PICTURE_VIEW)->GetBitmapId(), 3903u);
    EXPECT_EQ(Picture(PICTURE_MOVE)->GetCheckedState(), 1);
    EXPECT_EQ(CheckedCount(), 1);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
    EXPECT_EQ(m_ui->GetModelEditState(), MODEL_EDIT_MOVE);
    Click(Picture(PICTURE_SCALE));
    EXPECT_EQ(m_ui->GetModelEditState(), MODEL_EDIT_SCALE);
    EXPECT_EQ(CheckedCount(), 1);
}

TEST_F(Coordinator, SlicingWithoutAModelIsRefusedAndStaysUnchecked)
{
    ASSERT_EQ(ZELDBEntityDatabase::GetInterFace()->GetCount(), 0);
    Click(Picture(PICTURE_VIEW));
    Click(Picture(PICTURE_GCODE));
    ASSERT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_noLoadModel"});
    EXPECT_EQ(m_capture.Messages()[0].second, wxString::FromUTF8("未导入模型"));
    EXPECT_EQ(Picture(PICTURE_GCODE)->GetCheckedState(), 0);
    EXPECT_EQ(Picture(PICTURE_GCODE)->GetBitmapId(), 3911u);
    EXPECT_EQ(CheckedCount(), 0);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
}

TEST_F(Coordinator, MachineControlWithoutAPrinterIsRefusedAndStaysUnchecked)
{
    Click(Picture(PICTURE_MACHINE_CONTROL));
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_noConMachine"});
    EXPECT_EQ(Picture(PICTURE_MACHINE_CONTROL)->GetCheckedState(), 0);
    EXPECT_EQ(Picture(PICTURE_MACHINE_CONTROL)->GetBitmapId(), 3913u);
}

TEST_F(Coordinator, ViewMessagesWithoutAKeyGoThroughTheSameMessageFunction)
{
    // What the 3D view reports (files that could not be loaded) reaches the
    // user the same way as the keyed messages, so it can be captured too.
    ZELKViewUi* viewUi = ZELKCAD::GetViewUi();
    ASSERT_EQ(viewUi, static_cast<ZELKViewUi*>(m_ui));
    viewUi->ShowMessageText("a.stl: not an STL file");
    ASSERT_EQ(m_capture.Messages().size(), 1u);
    EXPECT_EQ(m_capture.Messages()[0].first, "");
    EXPECT_EQ(m_capture.Messages()[0].second, "a.stl: not an STL file");
}

TEST_F(Coordinator, CheckedStateOverloadsShowOnlyForChecked)
{
    m_ui->ShowWnd(PICTURE_VIEW, PICTURE_CHECKED);
    EXPECT_TRUE(m_ui->GetViewWnd()->IsShown());
    m_ui->ShowWnd(PICTURE_VIEW, PICTURE_UNCHECKED);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
    m_ui->ShowWnd(PICTURE_VIEW, PICTURE_CHECKED, 0);
    EXPECT_TRUE(m_ui->GetViewWnd()->IsShown());
    m_ui->ShowWnd(PICTURE_VIEW, static_cast<PictrueCtrlCheckedState>(7), 0);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
    // No model: the refusal without unchecking.
    Picture(PICTURE_GCODE)->SetCheckedState(1);
    m_ui->ShowWnd(PICTURE_GCODE, PICTURE_CHECKED, 0);
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_noLoadModel"});
    EXPECT_EQ(Picture(PICTURE_GCODE)->GetCheckedState(), 1);
}

TEST_F(Coordinator, TopRowMovesOnlyForWindowsOfAtLeast300Pixels)
{
    ZELKBitmapStatic* start = m_ui->GetStartPicture();
    start->Move(500, 10);
    m_ui->GetStopPicture()->Show();
    m_ui->SetPictureCtrlPosition(299);
    EXPECT_EQ(start->GetPosition(), wxPoint(500, 10));
    EXPECT_TRUE(m_ui->GetStopPicture()->IsShown());

    m_ui->SetPictureCtrlPosition(300);
    std::vector<wxWindow*> pictures;
    m_ui->GetPictureCtrls(pictures);
    EXPECT_EQ(pictures[1]->GetPosition(), wxPoint(10, 10));   // import
    EXPECT_EQ(pictures[2]->GetPosition(), wxPoint(80, 10));   // export
    EXPECT_EQ(pictures[0]->GetPosition(), wxPoint(150, 10));  // settings
    EXPECT_EQ(start->GetPosition(), wxPoint(220, 10));
    EXPECT_EQ(m_ui->GetStopPicture()->GetPosition(), wxPoint(290, 10));
    EXPECT_FALSE(m_ui->GetStopPicture()->IsShown());
}

TEST_F(Coordinator, TopRowClickSendsItsIdToTheView)
{
    std::vector<int> commands;
    m_view->Bind(wxEVT_BUTTON, [&commands](wxCommandEvent& event) { commands.push_back(event.GetId()); });
    std::vector<wxWindow*> pictures;
    m_ui->GetPictureCtrls(pictures);
    for (wxWindow* picture : {pictures[1], pictures[9], pictures[0]}) {
        wxMouseEvent up(wxEVT_LEFT_UP);
        picture->ProcessWindowEvent(up);
    }
    Click(m_ui->GetToolPicture(PICTURE_VIEW));  // tool pictures talk to the coordinator only
    Pump();
    EXPECT_EQ(commands, (std::vector<int>{100, 107, 110}));
}

TEST_F(Coordinator, StartStopAndConnectionPictures)
{
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3916u);
    ZELKUIOperation::UpdatePrintPicture(0);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3917u);
    ZELKUIOperation::UpdatePrintPicture(5);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3916u);

    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), 3919u);
    m_ui->ShowMachineConnectPicIsConnected(1);
    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), 3920u);
    m_ui->ShowMachineConnectPicIsConnected(0);
    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), 3919u);

    const int before = m_ui->GetIsStartPrintState();
    m_ui->ChangeIsStartPrintState();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), before != 0 ? 0 : 1);
    m_ui->ChangeIsStartPrintState();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), before != 0 ? 1 : 0);
}

TEST_F(Coordinator, ToolPanelsFollowTheFrame)
{
    m_frame->OnFrameMove(40, 30);
    EXPECT_EQ(m_ui->GetViewWnd()->GetPosition(), wxPoint(125, 210));
    m_ui->SetWndPositon(0, 0);
    EXPECT_EQ(m_ui->GetViewWnd()->GetPosition(), wxPoint(85, 180));
}

TEST_F(Coordinator, InformationBarFollowsOnlyAfterTheFirstMaximise)
{
    ZELKInfoWnd* bar = m_ui->GetInfoWnd();
    bar->Hide();
    m_frame->OnFrameSize(FRAME_SIZE_RESTORED);
    m_frame->OnFrameMove(20, 20);
    EXPECT_FALSE(bar->IsShown());
    EXPECT_EQ(m_frame->GetInfoBarFlag(), 0);

    m_frame->OnFrameSize(FRAME_SIZE_MAXIMIZED);
    EXPECT_EQ(m_frame->GetInfoBarFlag(), 1);
    EXPECT_TRUE(bar->IsShown());
    const wxRect frame = m_frame->GetRect();
    EXPECT_EQ(bar->GetRect(), wxRect(frame.x + 6, frame.GetBottom() + 1 - 35, frame.width - 12, 30));

    m_frame->OnFrameSize(FRAME_SIZE_MINIMIZED);
    EXPECT_FALSE(bar->IsShown());
    m_frame->OnFrameSize(FRAME_SIZE_RESTORED);
    EXPECT_TRUE(bar->IsShown());
}

TEST_F(Coordinator, DeleteMemoryKeepsOnlyTheProgressPanel)
{
    m_ui->DeleteMemory();
    Pump();
    EXPECT_EQ(m_ui->GetViewWnd(), nullptr);
    EXPECT_EQ(m_ui->GetInfoWnd(), nullptr);
    EXPECT_NE(m_ui->GetPrepareWnd(), nullptr);
    // Operations on panels that are gone do nothing.
    m_ui->ShowWnd(PICTURE_VIEW, 1, 0);
    m_ui->ShowModelInformation("x");
    m_ui->SetInfoWndPosition(m_frame->GetRect(), 0);
    m_ui->Translate();
}
