// The program's print workflow against the printer simulator: connect, save X3G as gcode2x3g does, print to the end.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileAliases.h"
#include "ProgramWithPrinter.h"
#include "ToolPictures.h"
#include "ZELKMachineControlWnd.h"
#include "ZELKTranslation.h"

namespace fs = std::filesystem;

namespace {

s3gsim::SimOptions FastHeating()
{
    s3gsim::SimOptions options = apptest::QuickHeating();
    // The line rate makes the print last long enough to be seen running.
    options.baudEmulation = true;
    return options;
}

// Moves in their own time (sped up) through a small command buffer, as a
// real printer takes them: a print that runs long enough to be watched.
s3gsim::SimOptions TimedMoves()
{
    s3gsim::SimOptions options;
    options.heatRateCPerS = 50.0;
    options.moveSpeedFactor = 60;
    options.bufferBytes = 512;
    return options;
}

// The program with a model whose G-code (600 moves) the slicer has written.
class PrintWithSimulator : public apptest::ProgramWithPrinter {
protected:
    explicit PrintWithSimulator(s3gsim::SimOptions options = FastHeating()) : ProgramWithPrinter(std::move(options)) {}

    void SetUp() override
    {
        ProgramWithPrinter::SetUp();
        if (!HasFatalFailure())
            WriteModelGCode(600);
    }
};

TEST_F(PrintWithSimulator, SaveX3gWritesWhatTheConverterWrites)
{
    m_saveAnswer = m_files.File("out.x3g");
    m_view->OnSaveX3g();
    EXPECT_TRUE(m_view->IsExporting());
    EXPECT_TRUE(ZELKUIOperation::GetUIOperationObject()->GetPrepareWnd()->IsShown());
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_messages.keys.empty(); }, 20000));
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_savex3gsuccessful"});
    EXPECT_FALSE(ZELKUIOperation::GetUIOperationObject()->GetPrepareWnd()->IsShown());

    const std::string reference = m_files.File("reference.x3g");
    const auto result = apptest::ConvertWithGcode2x3g(m_gcode, reference);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string saved = testsupport::ReadFile(m_saveAnswer);
    EXPECT_GT(saved.size(), 600u * 10);
    EXPECT_TRUE(saved == testsupport::ReadFile(reference));
}

// Whatever name the dialog is given for the G-code or a model, the save
// refuses it, says which file it is, and leaves the file as it was.
TEST_F(PrintWithSimulator, SaveX3gNeverWritesOverTheGCodeOrAModel)
{
    const std::string gcode = testsupport::ReadFile(m_gcode);
    const std::string model = m_files.File("part.stl");
    const std::string modelBytes = testsupport::ReadFile(model);
    std::vector<testsupport::FileAlias> names = testsupport::OtherNamesOf(m_gcode);
    for (const testsupport::FileAlias& name : testsupport::OtherNamesOf(model))
        names.push_back(name);
    for (const testsupport::FileAlias& name : names) {
        m_messages.Clear();
        m_saveAnswer = name.path;
        m_view->OnSaveX3g();
        EXPECT_FALSE(m_view->IsExporting()) << name.how;
        ASSERT_EQ(m_messages.keys, std::vector<std::string>{"id_message_savex3gfailed"}) << name.how;
        EXPECT_TRUE(m_messages.texts.front().Contains("'" + name.path + "' is the input file"))
            << name.how << ": " << m_messages.texts.front();
    }
    EXPECT_EQ(testsupport::ReadFile(m_gcode), gcode);
    EXPECT_EQ(testsupport::ReadFile(model), modelBytes);
}

TEST_F(PrintWithSimulator, PrintStreamsToTheEndAndSaysSoOnceWhileSaveIsRefused)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(COrvanelView::GetPrintPreparationFlag(), 1);
    EXPECT_TRUE(ui->GetPrepareWnd()->IsShown());
    m_view->OnStartOrStopPrint();  // ignored while preparing
    m_view->OnSaveX3g();           // refused while preparing
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_InPrintting"});

    ASSERT_TRUE(apptest::PumpUntil([] { return COrvanelView::GetPrintPreparationFlag() == 0; }, 20000));
    EXPECT_EQ(ui->GetIsStartPrintState(), 0);  // the picture offers to stop
    EXPECT_FALSE(ui->GetPrepareWnd()->IsShown());
    EXPECT_EQ(ui->GetStartPicture()->GetToolTipText(), ui->GetTranslateString("id_picToolTip_endPrint"));
    ASSERT_NE(control->IsMachinePrinting(), 0);
    m_view->OnSaveX3g();  // refused while printing, without a dialog
    EXPECT_EQ(m_messages.Count("id_message_InPrintting"), 2);
    EXPECT_TRUE(m_saveAsked.empty());

    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printComplete") > 0; }, 60000));
    apptest::Pump(1500);  // more finished replies may come; the message stays single
    EXPECT_EQ(m_messages.Count("id_message_printComplete"), 1);
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    EXPECT_EQ(control->IsMachinePrinting(), 0);
    EXPECT_EQ(control->GetPrintIndex(), control->GetPrintListSize());
    EXPECT_GT(m_sim.Stats().packets.load(), 600);
}

// A file from another slicer without its flavour mark: nothing reaches the
// printer until the user says what it is; cancelled, nothing at all. Read
// as RepRap G-code it prints, and what had no action is named.
TEST_F(PrintWithSimulator, AnUnmarkedFileFromAnotherSlicerIsAskedAboutBeforeAnythingIsSent)
{
    std::ofstream(m_gcode) << "M201 X1000 Y1000\nG28\nM83\nG0 Z0.3 F3000\nG0 X-10 Y-10\n"
                              "G1 X10 Y-10 E1 F1200\nG3 X10 Y10 R10 E1.5\nG1 X-10 E1\n";
    std::vector<std::string> asked;
    std::optional<zelk::gcode::GCodeFlavor> answer;
    const zelk::GCodeFlavorDialogFunction previous =
        zelk::SetGCodeFlavorDialogFunction([&](const std::string& leftOut) {
            asked.push_back(leftOut);
            return answer;
        });
    const int actionsBefore = m_sim.Stats().actions.load();
    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([&] { return !asked.empty() && COrvanelView::GetPrintPreparationFlag() == 0; },
                                   20000));
    EXPECT_EQ(asked.front(), "M201 \u00d71, G28 \u00d71, M83 \u00d71, G0 \u00d72, G3 \u00d71");
    EXPECT_EQ(ZELKMachineControl::GetMachineControl()->IsMachinePrinting(), 0);
    EXPECT_EQ(ZELKUIOperation::GetUIOperationObject()->GetIsStartPrintState(), 1);
    EXPECT_EQ(m_sim.Stats().actions.load(), actionsBefore) << "the cancelled print sent something";
    EXPECT_TRUE(m_messages.keys.empty());

    answer = zelk::gcode::GCodeFlavor::kRepRap;
    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printComplete") > 0; }, 20000))
        << ::testing::PrintToString(m_messages.keys) << (m_messages.texts.empty() ? wxString() : m_messages.texts.back()) << " printing " << ZELKMachineControl::GetMachineControl()->IsMachinePrinting()
        << " index " << ZELKMachineControl::GetMachineControl()->GetPrintIndex() << " of "
        << ZELKMachineControl::GetMachineControl()->GetPrintListSize();
    EXPECT_EQ(asked.size(), 2u);
    ASSERT_EQ(m_messages.Count("id_message_gcodeLeftOut"), 1);
    EXPECT_TRUE(m_messages.texts.front().Contains("left out: M201 \u00d71")) << m_messages.texts.front();
    EXPECT_GT(m_sim.Stats().actions.load(), actionsBefore + 5);
    zelk::SetGCodeFlavorDialogFunction(previous);
}

// An X3G file opened (as the file manager's "open with" does) shows its
// toolpaths and prints as it is: the printer takes the file's bytes. Saving
// it as X3G again is refused with why; an import of models gives the plate back.
TEST_F(PrintWithSimulator, AnOpenedX3gFileIsPreviewedAndPrintedAsItIs)
{
    const std::string x3g = m_files.File("opened.x3g");
    const auto converted = apptest::ConvertWithGcode2x3g(m_gcode, x3g);
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    m_view->ImportFiles({x3g});
    ASSERT_TRUE(apptest::PumpUntil([ui] { return ui->GetToolpathWnd()->IsShown(); }, 20000));
    EXPECT_TRUE(ui->GetToolpathWnd()->HasToolpaths());
    EXPECT_GT(ui->GetToolpathWnd()->Model().extrusion.SegmentCount(), 500u);

    m_view->OnSaveX3g();
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_alreadyX3g"});
    EXPECT_TRUE(m_saveAsked.empty());
    m_messages.keys.clear();

    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printComplete") > 0; }, 60000))
        << ::testing::PrintToString(m_messages.keys);
    ZELKMachineControl::GetMachineControl()->CloseCom();
    const s3gsim::SimPrinter& printer = m_sim.Stop();
    const std::string file = testsupport::ReadFile(x3g);
    EXPECT_TRUE(std::string(printer.Record().begin(), printer.Record().end()) == file)
        << "the printer took other bytes than the file's";

    // Models again: the opened file is let go, its toolpaths closed.
    m_view->ImportFiles({Cube("other.stl", 10)});
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_view->IsImporting(); }, 20000));
    EXPECT_EQ(ZELKCAD::GetOpenedPrintFile(), "");
    EXPECT_FALSE(ui->GetToolpathWnd()->IsShown());
}

// A G-code file of another slicer, opened, saves as the converter writes it.
TEST_F(PrintWithSimulator, AnOpenedGCodeFileOfAnotherSlicerSavesAsTheConverterWrites)
{
    const std::string gcode = m_files.File("other.gcode");
    std::ofstream(gcode) << ";FLAVOR:Marlin\nG28\nM104 S200\nM109 S200\nM83\nG0 Z0.3 F3000\n"
                            "G1 X10 Y0 E1 F1200\nG2 X0 Y10 I-10 J0 E2\nG1 X-10 Y0 E1\nM84\n";
    m_view->ImportFiles({gcode});
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ASSERT_TRUE(apptest::PumpUntil([ui] { return ui->GetToolpathWnd()->IsShown(); }, 20000));
    EXPECT_GT(ui->GetToolpathWnd()->Model().extrusion.SegmentCount(), 20u);  // the arc in pieces

    m_saveAnswer = m_files.File("saved.x3g");
    m_view->OnSaveX3g();
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_messages.keys.empty(); }, 20000));
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_savex3gsuccessful"});
    EXPECT_TRUE(m_messages.texts.front().Contains("G-code: reprap (;FLAVOR:Marlin)")) << m_messages.texts.front();
    const std::string reference = m_files.File("reference.x3g");
    const auto result = apptest::ConvertWithGcode2x3g(gcode, reference);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(testsupport::ReadFile(m_saveAnswer) == testsupport::ReadFile(reference));
}

// G-code without a single move is no print: nothing goes to the printer or
// into a file, and the user hears which file and why.
TEST_F(PrintWithSimulator, GCodeWithoutMovesIsNeitherPrintedNorSaved)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    std::ofstream(m_gcode) << "; sliced by hand\n(no moves)\nM104 S200 T0\n";
    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_messages.keys.empty(); }, 20000));
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_gcodeUnusable"});
    EXPECT_EQ(COrvanelView::GetPrintPreparationFlag(), 0);
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    EXPECT_FALSE(ui->GetPrepareWnd()->IsShown());
    EXPECT_EQ(ZELKMachineControl::GetMachineControl()->IsMachinePrinting(), 0);
    // Only queries went to the printer (its temperature), no print command.
    EXPECT_EQ(m_sim.Stats().actions.load(), 0) << "the print went out";

    m_saveAnswer = m_files.File("none.x3g");
    m_view->OnSaveX3g();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.keys.size() == 2; }, 20000));
    EXPECT_EQ(m_messages.keys.back(), "id_message_savex3gfailed");
    EXPECT_FALSE(fs::exists(m_saveAnswer));
}

// The printer goes away in the middle of a print: the print ends, the
// connection shows as lost, and the user is told why, once.
TEST_F(PrintWithSimulator, LostPrinterEndsThePrintAndSaysSo)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    control->SetReplyTimeoutMs(50);
    control->SetDeviceReturnTimeoutMs(100);
    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([&] { return control->GetPrintIndex() > 20; }, 20000));
    EXPECT_EQ(ui->GetIsStartPrintState(), 0);
    m_sim.Stop();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printerLost") > 0; }, 20000));
    control->SetReplyTimeoutMs(ZELKMachineControl::kDefaultReplyTimeoutMs);
    control->SetDeviceReturnTimeoutMs(ZELKMachineControl::kDefaultDeviceReturnMs);
    EXPECT_EQ(m_messages.Count("id_message_printerLost"), 1);
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    EXPECT_EQ(ui->GetSettingPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicDisconnected));
    EXPECT_EQ(control->IsMachinePrinting(), 0);
    EXPECT_EQ(control->GetMachineConnectedIsSucessed(), 0);
}

TEST_F(PrintWithSimulator, PrinterGoneWhileDrivenByHandClosesTheControlPanelAndSaysSo)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    control->SetReplyTimeoutMs(50);
    control->SetDeviceReturnTimeoutMs(100);
    // The machine control picture opens the panel while connected and idle.
    ZELKPictureCtrl* picture = ui->GetToolPicture(PICTURE_MACHINE_CONTROL);
    ui->OnPictureClicked(picture);
    ZELKMachineControlWnd* panel = ui->GetControlWnd();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->IsShown());
    EXPECT_NE(picture->GetCheckedState(), 0);

    m_sim.Stop();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printerGone") > 0; }, 20000));
    control->SetReplyTimeoutMs(ZELKMachineControl::kDefaultReplyTimeoutMs);
    control->SetDeviceReturnTimeoutMs(ZELKMachineControl::kDefaultDeviceReturnMs);
    EXPECT_FALSE(panel->IsShown());
    EXPECT_EQ(picture->GetCheckedState(), 0);
    EXPECT_EQ(m_messages.Count("id_message_printerLost"), 0) << "no print was running";
    EXPECT_EQ(ui->GetSettingPicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicDisconnected));
    EXPECT_EQ(ui->GetMachineConnectWnd()->GetStatusText(), ui->GetTranslateString("id_static_settingMachineDiscon"));
    // Without a printer the picture refuses to open the panel again.
    ui->OnPictureClicked(picture);
    EXPECT_FALSE(panel->IsShown());
    EXPECT_EQ(m_messages.Count("id_message_noConMachine"), 1);
}

TEST_F(PrintWithSimulator, ProgressPanelShowsTheExportWithItsClock)
{
    // The G-code reaches the export through a pipe, and only once the test has
    // seen the export's clock: the export lasts as long as the test needs,
    // however fast the machine translates.
    fs::remove(m_gcode);
    ASSERT_EQ(::mkfifo(m_gcode.c_str(), 0600), 0);
    std::promise<void> release;
    std::thread writer([path = m_gcode, released = release.get_future()]() mutable {
        released.wait();
        std::ofstream(path) << linktest::PrintGCode(600);  // small enough for the pipe's buffer
    });
    // A second end of the pipe, so the writer never waits for a reader that
    // does not come; it reads nothing, and goes before the export can end.
    const int keepOpen = ::open(m_gcode.c_str(), O_RDWR | O_NONBLOCK);
    auto finishWriting = [&] {
        release.set_value();
        writer.join();
        ::close(keepOpen);
    };

    m_saveAnswer = m_files.File("long.x3g");
    m_view->OnSaveX3g();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    const bool ticked = apptest::PumpUntil([&] { return ui->GetPrepareWnd()->GetTime() == "00:01"; }, 5000);
    const bool exporting = m_view->IsExporting();
    const bool shown = ui->GetPrepareWnd()->IsShown();
    const wxString action = ui->GetPrepareWnd()->GetAction();
    if (ticked) {
        ui->GetPrepareWnd()->Raise();
        apptest::Pump(50);
        EXPECT_TRUE(apptest::SaveScreenshot("progress_panel_export.png"));
    }
    finishWriting();
    ASSERT_TRUE(ticked) << "the export's clock did not reach one second";
    EXPECT_TRUE(exporting);
    EXPECT_TRUE(shown);
    EXPECT_EQ(action, ui->GetTranslateString("id_static_prepareInfoSavefile"));
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_messages.keys.empty(); }, 60000));
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_savex3gsuccessful"});
    EXPECT_FALSE(ui->GetPrepareWnd()->IsShown());
    EXPECT_GT(fs::file_size(m_saveAnswer), 600u * 10);
}

}  // namespace

class WatchedPrint : public PrintWithSimulator {
protected:
    WatchedPrint() : PrintWithSimulator(TimedMoves()) {}
    void Click(int id)
    {
        wxCommandEvent click(wxEVT_BUTTON, id);
        click.SetEventObject(m_view);
        m_view->ProcessWindowEvent(click);
    }
};

// What a user sees of a print to the simulator: the monitor's share and time
// left moving on, the temperature graph reaching the target, a pause that
// holds the print (and is saved as a picture), a resume that finishes it
// with nothing lost or sent twice, and the print's time in the message.
TEST_F(WatchedPrint, MonitorGraphPauseAndResumeThroughAPrint)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    ui->Translate();
    ASSERT_TRUE(ui->GetTemperaturePicture()->IsShown()) << "connected: the graph can be opened";
    Click(ID_PIC_TEMPERATURE);
    ZELKTemperatureWnd* graph = ui->GetTemperatureWnd();
    EXPECT_TRUE(graph->IsShown());

    // Before printing, the toolpaths of the sliced file in place of the model.
    Click(ID_PIC_TOOLPATH);
    ZELKToolpathWnd* preview = ui->GetToolpathWnd();
    ASSERT_TRUE(apptest::PumpUntil([&] { return preview->IsShown() || !m_messages.keys.empty(); }, 10000));
    ASSERT_TRUE(preview->IsShown()) << (m_messages.texts.empty() ? wxString() : m_messages.texts.back());
    EXPECT_GT(preview->Model().LayerCount(), 1u);
    ASSERT_TRUE(apptest::PumpUntil([&] { return preview->Buffers().DrawnVertexCount() > 0; }, 10000));
    apptest::SaveScreenshot("toolpath-preview-window.png", m_frame->GetScreenRect());
    Click(ID_PIC_TOOLPATH);
    EXPECT_FALSE(preview->IsShown());

    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([] { return COrvanelView::GetPrintPreparationFlag() == 0; }, 20000));
    ZELKPrintMonitorWnd* monitor = ui->GetPrintMonitorWnd();
    ASSERT_TRUE(monitor->IsShown());
    EXPECT_TRUE(ui->GetPausePicture()->IsShown());
    const double total = monitor->GetEstimate().TotalSeconds();
    EXPECT_GT(total, 60.0);

    // Heated, and a good part of the way.
    ASSERT_TRUE(apptest::PumpUntil(
        [&] {
            const zelk::TemperatureSample* last = graph->GetHistory().Latest();
            return last != nullptr && last->extruderTargetC == 220 && last->extruderC >= 218 &&
                   monitor->GetPercent() > 20;
        },
        30000));
    const double leftBefore = monitor->GetEstimate().RemainingSeconds(monitor->SecondsSinceBegin());
    EXPECT_LT(leftBefore, total);
    apptest::SaveScreenshot("print-watched-running.png", m_frame->GetScreenRect());

    Click(ID_PIC_PAUSE);
    EXPECT_TRUE(control->IsPrintPaused());
    EXPECT_EQ(ui->GetPausePicture()->GetBitmapId(), static_cast<unsigned>(zelk::kPicResume));
    ASSERT_TRUE(apptest::PumpUntil([&] { return control->IsPrinterPaused(); }, 10000));
    const int index = control->GetPrintIndex();
    // The monitor looks once a second: it comes to the paused print's place
    // (however busy the machine), then stands still with the print while
    // more temperature replies come (the connection polls every 800 ms).
    const double pausedAt = 100.0 * index / control->GetPrintListSize();
    ASSERT_TRUE(apptest::PumpUntil([&] { return std::fabs(monitor->GetPercent() - pausedAt) < 1e-9; }, 10000))
        << monitor->GetPercent() << " % shown, the print stands at " << pausedAt << " %";
    const wxString stateText = monitor->GetStateText();
    EXPECT_TRUE(stateText.StartsWith("Paused")) << stateText;
    const std::size_t samples = graph->GetHistory().Size();
    ASSERT_TRUE(apptest::PumpUntil([&] { return graph->GetHistory().Size() >= samples + 3; }, 10000));
    EXPECT_EQ(control->GetPrintIndex(), index);
    EXPECT_NEAR(monitor->GetPercent(), pausedAt, 1e-9);
    EXPECT_EQ(monitor->GetStateText(), stateText);
    apptest::SaveScreenshot("print-watched-paused.png", m_frame->GetScreenRect());

    Click(ID_PIC_PAUSE);
    EXPECT_FALSE(control->IsPrintPaused());
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printComplete") > 0; }, 60000));
    EXPECT_TRUE(m_messages.texts.back().Contains("Print time: ")) << m_messages.texts.back();
    EXPECT_FALSE(monitor->IsShown());
    EXPECT_FALSE(ui->GetPausePicture()->IsShown());
    control->CloseCom();
    const s3gsim::SimPrinter& printer = m_sim.Stop();
    EXPECT_EQ(printer.Record(), linktest::ExpectedRecord(control->GetPrintList()));
    ASSERT_EQ(printer.PauseToggles().size(), 2u);
    EXPECT_EQ(printer.PauseToggles()[0].actionsBefore, printer.PauseToggles()[1].actionsBefore);
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_CHINESE);
}

namespace {

// A profile that is no profile is kept as a copy, and the user hears so once.
TEST(ProgramProfile, OneThatIsNoProfileIsKeptAsideAndTheUserToldOnce)
{
    const std::string profile = testsupport::ProgramHome() + "morvadin.ini";
    const std::string before = testsupport::ReadFile(profile);
    const std::string garbage("\x7f" "ELF\x02\x01\x01\0\0\0garbage\xff\xfe", 20);
    std::ofstream(profile, std::ios::binary) << garbage;
    apptest::MessageCapture messages;
    CMainFrame* frame = COrvanelApp::StartMainWindow(zelk::ProgramOptions());
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(apptest::PumpUntil([&] { return messages.Count("id_message_profileBroken") > 0; }));
    EXPECT_EQ(testsupport::ReadFile(profile + ".broken"), garbage);
    EXPECT_TRUE(messages.texts.back().Contains(profile + ".broken")) << messages.texts.back();
    frame->Close(true);
    apptest::Pump(50);
    // Closing wrote the window's place into a new profile; the copy stays.
    EXPECT_EQ(testsupport::ReadFile(profile).find("garbage"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(profile + ".broken"), garbage);
    EXPECT_EQ(messages.Count("id_message_profileBroken"), 1);
    std::ofstream(profile, std::ios::binary) << before;
    fs::remove(profile + ".broken");
}

}  // namespace
