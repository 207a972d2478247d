// Watching a print in the window: the monitor's share, clock and time left in
// every language, the pause picture through a print, and the end of a print
// told with its time (and on the desktop when the window is behind).
#include <wx/dcscreen.h>

#include "MachinePackages.h"
#include "S3GCommands.h"
#include "UiTestSupport.h"
#include "ZELKMachineControl.h"
#include "ZELKReceiveParser.h"

using uitest::Pump;

namespace {

// A print list of `count` moves of a minute each.
zelk::PrintTimeEstimate MinuteMoves(int count)
{
    std::vector<Package> list;
    for (int i = 0; i < count; ++i)
        list.push_back(ZELKMachineCodeBuild::GetPackage(
            zelk::s3g::kCmdQueueRelativePoint, {{3, 0}, {3, 0}, {3, 0}, {3, -10}, {3, 0}, {3, 60000000}, {1, 0x18}}));
    zelk::PrintTimeEstimate estimate;
    estimate.Start(list, 0.0);
    return estimate;
}

class PrintMonitor : public uitest::UiFixture {
protected:
    void Language(LANGUAGE language)
    {
        ZELKTranslation::GetTranslationObject()->Translate(language);
        m_ui->Translate();
    }
    void TearDown() override
    {
        ZELKMachineControl::GetMachineControl()->EndPrint();
        ZELKUIOperation::UpdatePrintPicture(1);
        uitest::UiFixture::TearDown();
    }
};

}  // namespace

TEST_F(PrintMonitor, ShowsTheShareSentTheClockAndTheTimeLeftInEveryLanguage)
{
    ZELKPrintMonitorWnd* monitor = m_ui->GetPrintMonitorWnd();
    ASSERT_NE(monitor, nullptr);
    EXPECT_FALSE(monitor->IsShown());
    m_ui->BeginPrintWatch(MinuteMoves(10));
    Pump();
    EXPECT_TRUE(monitor->IsShown());
    EXPECT_TRUE(monitor->IsRunning());

    Language(LANGUAGE_ENGLISH);
    // Half the list out in the first 30 s: 4:45 of buffered work and 5:00 unsent.
    monitor->Update(5, 30.0);
    EXPECT_EQ(monitor->GetStateText(), "Printing  50.0 %");
    EXPECT_EQ(monitor->GetElapsedText(), "Elapsed 00:30");
    EXPECT_EQ(monitor->GetLeftText(), "Time left 09:45");
    // Paused: the clock and the estimate stand, whatever the time.
    monitor->SetPaused(true, 30.0);
    monitor->Update(5, 90.0);
    EXPECT_EQ(monitor->GetStateText(), "Paused  50.0 %");
    EXPECT_EQ(monitor->GetElapsedText(), "Elapsed 00:30");
    EXPECT_EQ(monitor->GetLeftText(), "Time left 09:45");
    Pump();
    uitest::CaptureScreen(uitest::ArtefactFolder() + "/print-monitor-paused.png");
    monitor->SetPaused(false, 90.0);
    monitor->Update(10, 150.0);
    EXPECT_EQ(monitor->GetStateText(), "Printing  100.0 %");
    EXPECT_EQ(monitor->GetElapsedText(), "Elapsed 01:30");

    Language(LANGUAGE_FRENCH);
    EXPECT_TRUE(monitor->GetStateText().StartsWith(wxString::FromUTF8("Impression")));
    EXPECT_TRUE(monitor->GetLeftText().StartsWith("Reste"));
    Language(LANGUAGE_CHINESE);
    EXPECT_TRUE(monitor->GetStateText().StartsWith(wxString::FromUTF8("正在打印")));
    EXPECT_TRUE(monitor->GetElapsedText().StartsWith(wxString::FromUTF8("已用时间")));

    // The end of the print hides it.
    ZELKUIOperation::UpdatePrintPicture(1);
    EXPECT_FALSE(monitor->IsShown());
    EXPECT_FALSE(monitor->IsRunning());
}

TEST_F(PrintMonitor, PausePictureFollowsThePrintAndPausesTheLink)
{
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    ZELKBitmapStatic* pause = m_ui->GetPausePicture();
    ASSERT_NE(pause, nullptr);
    EXPECT_FALSE(pause->IsShown()) << "no print runs";
    // Without a print the picture's command does nothing.
    m_ui->TogglePrintPause();
    EXPECT_FALSE(control->IsPrintPaused());

    Language(LANGUAGE_ENGLISH);
    control->StartPrint();  // no port: the print stays at its first package
    m_ui->BeginPrintWatch(MinuteMoves(3));
    EXPECT_TRUE(pause->IsShown());
    EXPECT_EQ(pause->GetBitmapId(), 3921u);
    EXPECT_EQ(pause->GetToolTipText(), "Pause the print");

    m_ui->TogglePrintPause();
    EXPECT_TRUE(control->IsPrintPaused());
    EXPECT_TRUE(m_ui->GetPrintMonitorWnd()->IsPaused());
    EXPECT_EQ(pause->GetBitmapId(), 3922u);
    EXPECT_EQ(pause->GetToolTipText(), "Resume the print");
    Language(LANGUAGE_FRENCH);
    EXPECT_EQ(pause->GetToolTipText(), wxString::FromUTF8("Reprendre l'impression"));

    m_ui->TogglePrintPause();
    EXPECT_FALSE(control->IsPrintPaused());
    EXPECT_FALSE(m_ui->GetPrintMonitorWnd()->IsPaused());
    EXPECT_EQ(pause->GetBitmapId(), 3921u);

    // A stop while paused ends the pause with the print.
    m_ui->TogglePrintPause();
    control->EndPrint();
    EXPECT_FALSE(control->IsPrintPaused());
    ZELKUIOperation::UpdatePrintPicture(1);
    EXPECT_FALSE(pause->IsShown());
}

TEST_F(PrintMonitor, FinishedPrintSaysHowLongItTookAndNotifiesWhenTheWindowIsBehind)
{
    std::vector<std::pair<wxString, wxString>> notes;
    ZELKUIOperation::NotificationFunction previous = ZELKUIOperation::SetNotificationFunction(
        [&](const wxString& title, const wxString& text) { notes.emplace_back(title, text); });
    Language(LANGUAGE_ENGLISH);
    if (m_ui->GetIsStartPrintState() != 0)
        m_ui->ChangeIsStartPrintState();
    ZELKUIOperation::UpdatePrintPicture(0);
    m_ui->BeginPrintWatch(MinuteMoves(3));
    m_frame->Hide();  // the user is in another window
    Pump();
    RECEIVEBUF finished;
    finished.type = zelk::kReplyBuildFinished;
    m_ui->HandleReceive(finished);
    Pump();
    ZELKUIOperation::SetNotificationFunction(std::move(previous));

    ASSERT_EQ(m_capture.Messages().size(), 1u);
    EXPECT_EQ(m_capture.Messages()[0].first, "id_message_printComplete");
    EXPECT_EQ(m_capture.Messages()[0].second, "The print is complete.\nPrint time: 00:00");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].first, "Morvadin-X");
    EXPECT_EQ(notes[0].second, "The print is complete.\nPrint time: 00:00");
    EXPECT_FALSE(m_ui->GetPrintMonitorWnd()->IsShown());
}

TEST_F(PrintMonitor, TemperatureGraphBelongsToTheConnectionAndIsFedByTheReplies)
{
    ZELKBitmapStatic* picture = m_ui->GetTemperaturePicture();
    ZELKTemperatureWnd* graph = m_ui->GetTemperatureWnd();
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(graph, nullptr);
    EXPECT_FALSE(picture->IsShown()) << "no printer is connected";
    m_ui->ShowMachineConnectPicIsConnected(1);
    EXPECT_TRUE(picture->IsShown());
    Language(LANGUAGE_ENGLISH);
    EXPECT_EQ(picture->GetToolTipText(), "Temperature graph");

    // Fed while closed, so that it has its past when opened.
    RECEIVEBUF reply;
    reply.type = zelk::kReplyExtruderTemperature;
    for (int c : {30, 80, 130}) {
        reply.extruderTemperature = c;
        m_ui->HandleReceive(reply);
    }
    Pump();
    ASSERT_EQ(graph->GetHistory().Size(), 3u);
    EXPECT_EQ(graph->GetHistory().Latest()->extruderC, 130);
    EXPECT_FALSE(graph->GetHistory().Latest()->platformC.has_value()) << "the platform was never reported";
    // A platform reply gives the platform to the next sample.
    reply.type = zelk::kReplyPlatformTemperature;
    reply.platformTemperature = 45;
    m_ui->HandleReceive(reply);
    reply.type = zelk::kReplyExtruderTemperature;
    reply.extruderTemperature = 150;
    m_ui->HandleReceive(reply);
    Pump();
    ASSERT_EQ(graph->GetHistory().Size(), 4u);
    EXPECT_EQ(graph->GetHistory().Latest()->platformC.value_or(-1), 45);

    m_ui->ToggleTemperatureWnd();
    EXPECT_TRUE(graph->IsShown());
    EXPECT_EQ(picture->GetBitmapId(), 3924u);
    m_ui->ToggleTemperatureWnd();
    EXPECT_FALSE(graph->IsShown());
    EXPECT_EQ(picture->GetBitmapId(), 3923u);

    // The connection ends: the picture goes, the graph forgets.
    m_ui->ToggleTemperatureWnd();
    m_ui->ShowMachineConnectPicIsConnected(0);
    EXPECT_FALSE(picture->IsShown());
    EXPECT_FALSE(graph->IsShown());
    EXPECT_EQ(graph->GetHistory().Size(), 0u);
}
