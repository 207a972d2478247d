// The coordinator's pictures and panels: clicks, refusals, what follows the frame.
#include <set>

#include <wx/uiaction.h>

#include "EntityDatabase.h"
#include "ToolPictures.h"
#include "UiTestSupport.h"
#include "ViewUi.h"
#include "WxPump.h"

using uitest::Pump;

namespace {

void Click(ZELKPictureCtrl* picture)
{
    wxMouseEvent up(wxEVT_LEFT_UP);
    up.SetEventObject(picture);
    picture->ProcessWindowEvent(up);
}

// The pictures of the edit tools, shown only while one model is selected.
constexpr PictrueCtrlStyle kEditPictures[] = {PICTURE_MOVE, PICTURE_ROTATE, PICTURE_SCALE};

class Coordinator : public uitest::UiFixture {
protected:
    ZELKPictureCtrl* Picture(PictrueCtrlStyle style) { return m_ui->GetToolPicture(style); }
    // Shows its checked picture when checked, its own one when not.
    static void ExpectLook(ZELKPictureCtrl* picture, bool checked, unsigned unchecked)
    {
        EXPECT_EQ(picture->GetCheckedState() != 0, checked);
        EXPECT_EQ(picture->GetBitmapId(), checked ? picture->GetCheckedBitmap() : unchecked);
    }
    std::vector<wxWindow*> ToolPanels()
    {
        return {m_ui->GetViewWnd(), m_ui->GetGCodeWnd(), m_ui->GetMoveWnd(), m_ui->GetRotateWnd(),
                m_ui->GetScaleWnd()};
    }
    int CheckedCount()
    {
        int checked = 0;
        for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style)
            checked += Picture(static_cast<PictrueCtrlStyle>(style))->GetCheckedState() != 0 ? 1 : 0;
        return checked;
    }
};

}  // namespace

// Each picture is the view's child (its clicks reach the view, and it goes
// with the view) and has an id no other picture has (a click runs its own
// command, not another's).
TEST_F(Coordinator, EveryPictureIsAChildOfTheViewWithAnIdOfItsOwn)
{
    std::vector<wxWindow*> pictures;
    ASSERT_EQ(m_ui->GetPictureCtrls(pictures), 1);
    ASSERT_FALSE(pictures.empty());
    std::set<int> ids;
    for (wxWindow* picture : pictures) {
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetParent(), m_view);
        EXPECT_TRUE(ids.insert(picture->GetId()).second) << "id " << picture->GetId() << " twice";
    }
}

// Without a model the column offers the view, slicing and machine control,
// unchecked and apart from each other; the edit pictures come with a
// selected model and go with it.
TEST_F(Coordinator, EditPicturesShowOnlyWhileAModelIsSelected)
{
    for (PictrueCtrlStyle style : {PICTURE_VIEW, PICTURE_GCODE, PICTURE_MACHINE_CONTROL}) {
        SCOPED_TRACE(style);
        EXPECT_TRUE(Picture(style)->IsShown());
        EXPECT_EQ(Picture(style)->GetCheckedState(), 0);
    }
    for (PictrueCtrlStyle style : kEditPictures)
        EXPECT_FALSE(Picture(style)->IsShown()) << style;

    m_ui->ShowWnd(1);  // what the 3D view says when one model is selected
    std::vector<wxRect> places;
    for (int style = PICTURE_VIEW; style <= PICTURE_GCODE; ++style) {
        ZELKPictureCtrl* picture = Picture(static_cast<PictrueCtrlStyle>(style));
        SCOPED_TRACE(style);
        EXPECT_TRUE(picture->IsShown());
        const wxRect place = picture->GetRect();
        EXPECT_TRUE(wxRect(m_view->GetClientSize()).Contains(place));
        for (const wxRect& other : places)
            EXPECT_FALSE(place.Intersects(other)) << "pictures overlap";
        places.push_back(place);
    }
    m_ui->ShowWnd(0);
    for (PictrueCtrlStyle style : kEditPictures)
        EXPECT_FALSE(Picture(style)->IsShown()) << style;
}

TEST_F(Coordinator, ViewPictureClickedTwiceShowsThenHidesTheViewPanel)
{
    ZELKPictureCtrl* view = Picture(PICTURE_VIEW);
    const unsigned unchecked = view->GetBitmapId();
    EXPECT_NE(view->GetCheckedBitmap(), unchecked);
    Click(view);
    EXPECT_TRUE(m_ui->GetViewWnd()->IsShown());
    ExpectLook(view, true, unchecked);
    EXPECT_EQ(CheckedCount(), 1);
    Click(view);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
    ExpectLook(view, false, unchecked);
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
    EXPECT_TRUE(testsupport::PumpUntil([this] { return m_ui->GetViewWnd()->IsShown(); }, 2000));
    EXPECT_EQ(view->GetCheckedState(), 1);
}

TEST_F(Coordinator, AnotherPictureTakesOverTheCheckedLook)
{
    const unsigned viewUnchecked = Picture(PICTURE_VIEW)->GetBitmapId();
    const unsigned moveUnchecked = Picture(PICTURE_MOVE)->GetBitmapId();
    Click(Picture(PICTURE_VIEW));
    Click(Picture(PICTURE_MOVE));
    ExpectLook(Picture(PICTURE_VIEW), false, viewUnchecked);
    ExpectLook(Picture(PICTURE_MOVE), true, moveUnchecked);
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
    const unsigned unchecked = Picture(PICTURE_GCODE)->GetBitmapId();
    Click(Picture(PICTURE_VIEW));
    Click(Picture(PICTURE_GCODE));
    ASSERT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_noLoadModel"});
    // The user reads the message in the current language.
    EXPECT_EQ(m_capture.Messages()[0].second, m_ui->GetTranslateString("id_message_noLoadModel"));
    EXPECT_FALSE(m_capture.Messages()[0].second.empty());
    ExpectLook(Picture(PICTURE_GCODE), false, unchecked);
    EXPECT_EQ(CheckedCount(), 0);
    EXPECT_FALSE(m_ui->GetViewWnd()->IsShown());
}

TEST_F(Coordinator, MachineControlWithoutAPrinterIsRefusedAndStaysUnchecked)
{
    const unsigned unchecked = Picture(PICTURE_MACHINE_CONTROL)->GetBitmapId();
    Click(Picture(PICTURE_MACHINE_CONTROL));
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_noConMachine"});
    ExpectLook(Picture(PICTURE_MACHINE_CONTROL), false, unchecked);
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

// A window narrower than 300 pixels leaves the top row where it is; a wider
// one lines it up along the top, one picture beside the other, with the stop
// picture hidden.
TEST_F(Coordinator, TopRowLinesUpOnlyForWindowsOfAtLeast300Pixels)
{
    ZELKBitmapStatic* start = m_ui->GetStartPicture();
    start->Move(500, 10);
    m_ui->GetStopPicture()->Show();
    m_ui->SetPictureCtrlPosition(299);
    EXPECT_EQ(start->GetPosition(), wxPoint(500, 10));
    EXPECT_TRUE(m_ui->GetStopPicture()->IsShown());

    m_ui->SetPictureCtrlPosition(300);
    EXPECT_FALSE(m_ui->GetStopPicture()->IsShown());
    std::vector<wxWindow*> pictures;
    m_ui->GetPictureCtrls(pictures);
    const int top = start->GetPosition().y;
    std::vector<wxRect> row;
    for (wxWindow* picture : pictures)
        if (dynamic_cast<ZELKPictureCtrl*>(picture) == nullptr && picture->IsShown())  // not the tool column
            row.push_back(picture->GetRect());
    ASSERT_GE(row.size(), 4u) << "import, export, settings and start";
    for (std::size_t i = 0; i < row.size(); ++i) {
        EXPECT_EQ(row[i].y, top);
        EXPECT_LE(row[i].GetRight(), 300) << "beyond the narrowest window";
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_FALSE(row[i].Intersects(row[j])) << "top row pictures overlap";
    }
}

TEST_F(Coordinator, TopRowClickSendsItsIdToTheView)
{
    std::vector<int> commands;
    m_view->Bind(wxEVT_BUTTON, [&commands](wxCommandEvent& event) { commands.push_back(event.GetId()); });
    std::vector<wxWindow*> pictures;
    m_ui->GetPictureCtrls(pictures);
    std::vector<int> clicked;
    for (wxWindow* picture : {pictures[1], pictures[9], pictures[0]}) {
        wxMouseEvent up(wxEVT_LEFT_UP);
        picture->ProcessWindowEvent(up);
        clicked.push_back(picture->GetId());
    }
    Click(m_ui->GetToolPicture(PICTURE_VIEW));  // tool pictures talk to the coordinator only
    Pump();
    EXPECT_EQ(commands, clicked);
}

// Toolpaths shown were made from the models before a change: any change of
// the models closes them, so the view shows the models as they are now.
TEST_F(Coordinator, AChangeOfTheModelsClosesTheToolpathsShown)
{
    ZELKToolpathWnd* toolpaths = m_ui->GetToolpathWnd();
    ASSERT_NE(toolpaths, nullptr);
    toolpaths->Show();
    ASSERT_TRUE(toolpaths->IsShown());
    m_ui->OnModelsChanged();
    EXPECT_FALSE(toolpaths->IsShown());
    m_ui->OnModelsChanged();  // nothing shown: nothing to do
    EXPECT_FALSE(toolpaths->IsShown());
}

// A double click is the press and release of one click, a double-click
// event and a second release: one command, so a double click on Start never
// also stops what its first click started. The next click is a click again.
TEST_F(Coordinator, ADoubleClickOnAPictureIsOneCommand)
{
    std::vector<int> commands;
    m_view->Bind(wxEVT_BUTTON, [&commands](wxCommandEvent& event) { commands.push_back(event.GetId()); });
    ZELKBitmapStatic* start = m_ui->GetStartPicture();
    ASSERT_NE(start, nullptr);
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP, wxEVT_LEFT_DCLICK, wxEVT_LEFT_UP}) {
        wxMouseEvent mouse(type);
        start->ProcessWindowEvent(mouse);
    }
    Pump();
    EXPECT_EQ(commands, std::vector<int>{start->GetId()});
    for (wxEventType type : {wxEVT_LEFT_DOWN, wxEVT_LEFT_UP}) {
        wxMouseEvent mouse(type);
        start->ProcessWindowEvent(mouse);
    }
    Pump();
    EXPECT_EQ(commands.size(), 2u);
}

// The start picture offers to stop while a print runs and to start again
// after; the settings picture shows whether a printer is connected.
TEST_F(Coordinator, StartStopAndConnectionPictures)
{
    ZELKUIOperation::UpdatePrintPicture(0);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicStop));
    ZELKUIOperation::UpdatePrintPicture(5);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicStart));

    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicDisconnected));
    m_ui->ShowMachineConnectPicIsConnected(1);
    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicConnected));
    m_ui->ShowMachineConnectPicIsConnected(0);
    EXPECT_EQ(m_ui->GetSettingPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicDisconnected));

    const int before = m_ui->GetIsStartPrintState();
    m_ui->ChangeIsStartPrintState();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), before != 0 ? 0 : 1);
    m_ui->ChangeIsStartPrintState();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), before != 0 ? 1 : 0);
}

// Every tool panel moves as far as the frame moved.
TEST_F(Coordinator, ToolPanelsFollowTheFrame)
{
    m_ui->SetWndPositon(0, 0);
    std::vector<wxPoint> before;
    for (wxWindow* panel : ToolPanels()) {
        ASSERT_NE(panel, nullptr);
        before.push_back(panel->GetPosition());
    }
    m_frame->OnFrameMove(40, 30);
    for (std::size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(ToolPanels()[i]->GetPosition(), before[i] + wxPoint(40, 30)) << "panel " << i;
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
    // Along the frame's bottom edge, within the frame.
    const wxRect frame = m_frame->GetRect();
    EXPECT_TRUE(frame.Contains(bar->GetRect()));
    EXPECT_GT(bar->GetRect().y, frame.y + frame.height / 2);
    EXPECT_GT(bar->GetRect().width, frame.width / 2);

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
