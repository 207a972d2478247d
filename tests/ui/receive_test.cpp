// Printer replies reach the windows through the user-interface thread, in order.
#include <thread>

#include <wx/textctrl.h>

#include "ZELKMachineControl.h"
#include "ZELKPositionWatch.h"
#include "ZELKReceiveParser.h"
#include "UiTestSupport.h"

using uitest::Pump;

namespace {

RECEIVEBUF Reply(int type, int extruderC = 0, int platformC = 0, float zMm = 0.0f)
{
    RECEIVEBUF reply;
    reply.type = type;
    reply.extruderTemperature = extruderC;
    reply.platformTemperature = platformC;
    reply.z = zMm;
    return reply;
}

// Delivers the replies from a thread of its own, as the serial reader does.
void FromReaderThread(ZELKUIOperation* ui, const std::vector<RECEIVEBUF>& replies)
{
    std::thread reader([ui, replies] {
        for (const RECEIVEBUF& reply : replies)
            ui->HandleReceive(reply);
    });
    reader.join();
}

class Receive : public uitest::UiFixture {};

}  // namespace

TEST(PositionWatch, StopsAfterMoreThanThreeUnchangedReplies)
{
    ZELKPositionWatch watch;
    EXPECT_FALSE(watch.OnPosition({0, 0, 5.0}));  // moved from the start point
    EXPECT_FALSE(watch.OnPosition({0, 0, 5.0}));
    EXPECT_FALSE(watch.OnPosition({0, 0, 5.0}));
    EXPECT_FALSE(watch.OnPosition({0, 0, 5.0}));
    EXPECT_EQ(watch.GetUnchangedCount(), 3);
    EXPECT_TRUE(watch.OnPosition({0, 0, 5.0}));
    EXPECT_TRUE(watch.OnPosition({0, 0, 5.0}));  // and on every further one
    EXPECT_FALSE(watch.OnPosition({0, 0, 4.9}));
    EXPECT_EQ(watch.GetUnchangedCount(), 0);
    EXPECT_DOUBLE_EQ(watch.GetCurrentPoint().z, 4.9);
}

TEST(PositionWatch, FirstReplyAtTheStartPointCountsAsUnchanged)
{
    ZELKPositionWatch watch;
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(watch.OnPosition({0, 0, 0}));
    EXPECT_TRUE(watch.OnPosition({0, 0, 0}));
}

TEST_F(Receive, TemperatureRepliesWriteTheInformationBarInOrder)
{
    FromReaderThread(m_ui, {Reply(4, 187), Reply(4, 203)});
    EXPECT_TRUE(m_ui->GetInfoWnd()->GetTemperatureLine().empty()) << "a window changed off the UI thread";
    Pump();
    EXPECT_EQ(m_ui->GetInfoWnd()->GetTemperatureLine(), wxString::FromUTF8("温度—挤出头:203"));

    FromReaderThread(m_ui, {Reply(8, 205, 60)});
    Pump();
    EXPECT_EQ(m_ui->GetInfoWnd()->GetTemperatureLine(), wxString::FromUTF8("温度—挤出头:205℃"));
}

TEST_F(Receive, OtherReplyTypesChangeNothing)
{
    m_ui->ShowMachineExtrudeTemperature("before");
    const int state = m_ui->GetIsStartPrintState();
    FromReaderThread(m_ui, {Reply(0), Reply(1, 99), Reply(2, 99), Reply(3, 99), Reply(6, 99), Reply(9, 99)});
    Pump();
    EXPECT_EQ(m_ui->GetInfoWnd()->GetTemperatureLine(), "before");
    EXPECT_EQ(m_ui->GetIsStartPrintState(), state);
    EXPECT_TRUE(m_capture.Messages().empty());
}

TEST_F(Receive, PositionRepliesEndTheHeightMeasurementOnceThePlatformStopped)
{
    ZELKMachineControlWnd* panel = m_ui->GetControlWnd();
    ASSERT_NE(panel, nullptr);
    auto* height = static_cast<wxTextCtrl*>(panel->FindWindow(ZELKMachineControlWnd::ID_EDIT_HEIGHT));
    height->ChangeValue("140.0");
    // Not measuring: a position (the one a jog's stop reads back) is no height.
    FromReaderThread(m_ui, {Reply(5, 0, 0, 3.25f)});
    Pump();
    EXPECT_EQ(height->GetValue(), "140.0");

    wxCommandEvent measure(wxEVT_BUTTON, ZELKMachineControlWnd::ID_BUTTON_MEASURE);
    panel->ProcessWindowEvent(measure);
    ASSERT_TRUE(panel->IsMeasuring());
    FromReaderThread(m_ui, {Reply(5, 0, 0, 11.0f), Reply(5, 0, 0, 12.5f), Reply(5, 0, 0, 12.5f),
                            Reply(5, 0, 0, 12.5f), Reply(5, 0, 0, 12.5f)});
    EXPECT_EQ(height->GetValue(), "140.0") << "a window changed off the UI thread";
    Pump();
    EXPECT_EQ(height->GetValue(), "12.5");
    EXPECT_TRUE(panel->IsMeasuring()) << "three unchanged replies are not yet enough";
    FromReaderThread(m_ui, {Reply(5, 0, 0, 12.5f)});
    Pump();
    EXPECT_FALSE(panel->IsMeasuring());
    EXPECT_TRUE(panel->FindWindow(ZELKMachineControlWnd::ID_BUTTON_COARSE)->IsEnabled());
    ZELKMachineControl::GetMachineControl()->RemoveOperatePackList();
}

TEST_F(Receive, FinishedPrintFlipsThePictureAndTellsTheUserOnce)
{
    // A print is running: the picture offers to stop it.
    if (m_ui->GetIsStartPrintState() != 0)
        m_ui->ChangeIsStartPrintState();
    ZELKUIOperation::UpdatePrintPicture(0);
    m_ui->UpdatePrintToolTipText(m_ui->GetTranslateString("id_picToolTip_endPrint"));

    FromReaderThread(m_ui, {Reply(7)});
    // Until the user-interface thread has shown it, a click still finds the print running.
    EXPECT_EQ(m_ui->GetIsStartPrintState(), 0) << "the state changed off the UI thread";
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3917u) << "a window changed off the UI thread";
    Pump();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), 1);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3916u);
    EXPECT_EQ(m_ui->GetStartPicture()->GetToolTipText(), wxString::FromUTF8("开始打印"));
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_printComplete"});
}

// The user stopped the print (the picture offers to start) just before the
// printer reported the end: the report leaves it offering to start, not inverted.
TEST_F(Receive, FinishedAfterAStopKeepsThePictureOfferingToStart)
{
    if (m_ui->GetIsStartPrintState() == 0)
        m_ui->ChangeIsStartPrintState();
    ZELKUIOperation::UpdatePrintPicture(1);
    FromReaderThread(m_ui, {Reply(7)});
    Pump();
    EXPECT_EQ(m_ui->GetIsStartPrintState(), 1);
    EXPECT_EQ(m_ui->GetStartPicture()->GetBitmapId(), 3916u);
}

// The reader hands the message over and goes on; the box waits for the user
// on the user-interface thread while later replies are still shown.
TEST_F(Receive, ReaderNeverWaitsForTheMessageBox)
{
    if (m_ui->GetIsStartPrintState() != 0)
        m_ui->ChangeIsStartPrintState();
    std::vector<std::string> shown;
    int nestedTemperatureUpdates = 0;
    ZELKUIOperation::MessageBoxFunction previous = ZELKUIOperation::SetMessageBoxFunction(
        [&](const std::string& key, const wxString&) {
            shown.push_back(key);
            // While the user has not answered, the reader delivers another reply.
            FromReaderThread(m_ui, {Reply(4, 150)});
            Pump();
            if (m_ui->GetInfoWnd()->GetTemperatureLine().EndsWith("150"))
                ++nestedTemperatureUpdates;
        });
    FromReaderThread(m_ui, {Reply(7), Reply(4, 140)});
    Pump();
    ZELKUIOperation::SetMessageBoxFunction(std::move(previous));
    EXPECT_EQ(shown, std::vector<std::string>{"id_message_printComplete"});
    EXPECT_EQ(nestedTemperatureUpdates, 1);
}

TEST_F(Receive, RepliesFromTheMachineControlCallback)
{
    // The callback gets the reply record; an empty one changes nothing.
    m_ui->ShowMachineExtrudeTemperature("idle");
    std::thread reader([] { ZELKUIOperation::OnCommReceive(RECEIVEBUF{}); });
    reader.join();
    Pump();
    EXPECT_EQ(m_ui->GetInfoWnd()->GetTemperatureLine(), "idle");
}
