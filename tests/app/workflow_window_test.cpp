// The program's window and print workflow in this process: start-up with models, import, print, save X3G, clocks.
#include <filesystem>
#include <fstream>

#include <wx/choice.h>
#include <wx/combobox.h>

#include "AppTestSupport.h"
#include "FileDrop.h"
#include "FileIni.h"
#include "MainMenu.h"
#include "MachinePackages.h"
#include "SimThread.h"
#include "WxInput.h"
#include "ZELKMachineConnectWnd.h"
#include "ZELKTranslation.h"

namespace fs = std::filesystem;

namespace {

// The program's window started without a printer.
using Workflow = apptest::MainWindowTest;

// The title names what would print: the models loaded, or the print file
// opened; never a folder.
TEST_F(Workflow, TheTitleNamesTheModelsOrThePrintFileOpened)
{
    Start({Cube("cube20.stl", 20), Cube("bar.stl", 10, 40)});
    EXPECT_EQ(m_frame->GetTitle(), wxString::FromUTF8("cube20.stl, bar.stl \u2014 Orvanel v1.0"));
    const std::string gcode = m_files.File("part.gcode");
    std::ofstream(gcode) << "G1 X1 Y1 Z0.3 F3000 E0.1\nG1 X5 Y1 Z0.3 F3000 E0.5\n";
    m_view->OpenPrintFile(gcode);
    EXPECT_EQ(m_frame->GetTitle(), wxString::FromUTF8("part.gcode \u2014 Orvanel v1.0"));
}

TEST_F(Workflow, TheFrameIsTheProgramsWindow)
{
    Start();
    EXPECT_EQ(m_frame->GetTitle(), "Orvanel v1.0");
    // The described width, and tall enough for the whole tool column (the
    // described 420 rows hide half of it).
    EXPECT_EQ(m_frame->GetSize().x, 1000);
    EXPECT_GE(m_frame->GetSize().y, m_frame->LayoutMinimumSize().y);
    // The menu bar: File, Edit, View, Printer, Help.
    ASSERT_NE(m_frame->GetMenuBar(), nullptr);
    EXPECT_EQ(m_frame->GetMenuBar()->GetMenuCount(), 5u);
    EXPECT_TRUE(m_frame->GetView()->IsShown());
    // The tool pictures are the view's children and send it their commands.
    for (int id : {100, 107, 109, 110})
        EXPECT_NE(m_frame->GetView()->FindWindow(id), nullptr) << id;
    // The view follows the frame when it grows.
    m_frame->SetSize(1200, 700);
    apptest::Pump(100);
    EXPECT_GT(m_frame->GetView()->GetSize().x, 1100);
    EXPECT_GT(m_frame->GetView()->GetSize().y, 550);
}

TEST_F(Workflow, ModelsOnTheCommandLineArePlacedSideBySideAndTheImportFolderIsEmptied)
{
    fs::create_directories(ImportFolder() + "sub/deeper");
    std::ofstream(ImportFolder() + "old.stl") << "x";
    std::ofstream(ImportFolder() + "old.gcode") << "x";
    std::ofstream(ImportFolder() + "notes.txt") << "the user's";
    std::ofstream(ImportFolder() + "sub/deeper/old.gcode") << "x";
    Start({Cube("cube20.stl", 20), Cube("bar.stl", 15, 40)});

    const auto models = Models();
    ASSERT_EQ(models.size(), 2u);
    ZELKGePoint3d a0, a1, b0, b1;
    models[0]->GetMinMaxPoint(a0, a1);
    models[1]->GetMinMaxPoint(b0, b1);
    EXPECT_NEAR(a0.x, -10, 1e-5);
    EXPECT_NEAR(a0.y, -10, 1e-5);
    EXPECT_NEAR(a0.z, 0, 1e-5);
    EXPECT_NEAR(b0.x, a1.x + 2, 1e-5);  // 2 mm beyond the first on +X
    EXPECT_NEAR(b1.x - b0.x, 40, 1e-5);
    EXPECT_NEAR(b0.z, 0, 1e-5);

    // The model and G-code files the program writes there went; what it
    // never writes (other files, sub-folders and their content) stays.
    EXPECT_FALSE(fs::exists(ImportFolder() + "old.stl"));
    EXPECT_FALSE(fs::exists(ImportFolder() + "old.gcode"));
    EXPECT_TRUE(fs::exists(ImportFolder() + "notes.txt"));
    EXPECT_TRUE(fs::exists(ImportFolder() + "sub/deeper/old.gcode"));
    // The last one is selected and named in the information bar.
    EXPECT_NE(ZELKUIOperation::GetUIOperationObject()->GetInfoWnd()->GetModelInformation().Find("bar.stl"),
              wxNOT_FOUND);
}

TEST_F(Workflow, CancelledImportKeepsTheFolderThenAChosenImportEmptiesIt)
{
    COrvanelView* view = Start();
    fs::create_directories(ImportFolder());
    std::ofstream(ImportFolder() + "part.gcode") << "G1";
    ASSERT_TRUE(fs::exists(ImportFolder() + "part.gcode"));
    view->OnImportModel();  // cancelled
    EXPECT_TRUE(fs::exists(ImportFolder() + "part.gcode"));
    EXPECT_TRUE(Models().empty());

    m_stlAnswer = {Cube("a.stl", 10), Cube("b.stl", 10), Cube("c.stl", 10)};
    view->OnImportModel();
    EXPECT_FALSE(fs::exists(ImportFolder() + "part.gcode"));
    EXPECT_EQ(Models().size(), 3u);
    EXPECT_EQ(ZELDBEntityDatabase::GetInterFace()->GetSelectCount(), 1);
    EXPECT_EQ(ZELDBEntityDatabase::GetInterFace()->GetSelectEntity().begin()->second, Models()[2]);
}

TEST_F(Workflow, StartPrintRefusalsComeInTheirOrder)
{
    COrvanelView* view = Start();
    view->OnStartOrStopPrint();  // no printer and no model: the printer is named first
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_noConMachine"});
    EXPECT_EQ(COrvanelView::GetPrintPreparationFlag(), 0);
    EXPECT_EQ(ZELKUIOperation::GetUIOperationObject()->GetIsStartPrintState(), 1);
}

TEST_F(Workflow, SaveX3gRefusalsAndCancel)
{
    COrvanelView* view = Start();
    view->OnSaveX3g();
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_noLoadModel"});
    m_stlAnswer = {Cube("part.stl", 10)};
    view->OnImportModel();
    view->OnSaveX3g();  // not sliced yet
    EXPECT_EQ(m_messages.keys.back(), "id_message_noGenerateGCode");
    EXPECT_TRUE(m_saveAsked.empty());

    std::ofstream(ImportFolder() + "part.gcode") << linktest::PrintGCode(5);
    view->OnSaveX3g();  // cancelled: nothing runs
    ASSERT_EQ(m_saveAsked.size(), 1u);
    // Beside the model's own file, not in the program's working folder.
    EXPECT_EQ(m_saveAsked[0], m_files.Path().string() + "/|part.x3g");
    EXPECT_FALSE(view->IsExporting());
    EXPECT_EQ(m_messages.keys.size(), 2u);
}

TEST_F(Workflow, StopPictureRunsTheEndPrintSequence)
{
    COrvanelView* view = Start();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    control->AddOperationPackage(zelk::IsFinishedPackage());  // dropped by the sequence
    ui->ChangeIsStartPrintState();                            // offers to stop
    // A click alone does not end a print: the user is asked, and No keeps it.
    m_questions.answer = false;
    view->OnStartOrStopPrint();
    EXPECT_EQ(m_questions.keys, std::vector<std::string>{"id_message_confirmStopPrint"});
    EXPECT_EQ(ui->GetIsStartPrintState(), 0);
    EXPECT_EQ(control->GetOperatePackList().size(), 1u);
    m_questions.answer = true;
    view->OnStartOrStopPrint();
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    // Stopped, Z home, and both heaters off.
    Package stop, home, extruderOff, platformOff;
    ASSERT_NE(control->GetEndPrintPackage(stop), 0);
    control->GCodeParser("G162 Z F600", home);
    control->GCodeParser("M104 S0 T0", extruderOff);
    control->GCodeParser("M109 S0 T0", platformOff);
    EXPECT_EQ(control->GetOperatePackList(), (std::vector<Package>{stop, home, extruderOff, platformOff}));
    EXPECT_EQ(ui->GetStartPicture()->GetToolTipText(), ui->GetTranslateString("id_picToolTip_startPrint"));

    // The stop picture ends a print without touching the start/stop state;
    // with no print running it asks nothing.
    control->RemoveOperatePackList();
    m_questions.keys.clear();
    view->OnEndPrint();
    EXPECT_TRUE(m_questions.keys.empty());
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    EXPECT_EQ(control->GetOperatePackList().size(), 4u);
}

TEST_F(Workflow, ClocksShowMinutesAndSecondsRestartingAfterAnHour)
{
    COrvanelView* view = Start();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->PrepareStartPrintWnd();
    std::vector<std::pair<int, wxString>> seen;
    for (int second = 1; second <= 7201; ++second) {
        view->OnClockTick(COrvanelView::ID_TIMER_PREPARE);
        if (second == 59 || second == 61 || second == 3600 || second == 3601 || second == 7201)
            seen.emplace_back(second, ui->GetPrepareWnd()->GetTime());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, wxString>>{
                        {59, "00:59"}, {61, "01:01"}, {3600, "60:00"}, {3601, "00:01"}, {7201, "60:01"}}));
    // Timer 1 keeps its own count; other timers change nothing.
    view->OnClockTick(COrvanelView::ID_TIMER_EXPORT);
    EXPECT_EQ(ui->GetPrepareWnd()->GetTime(), "00:01");
    view->OnClockTick(3);
    EXPECT_EQ(view->GetPrepareClock(), 7201);
    EXPECT_EQ(view->GetExportClock(), 1);
    ui->ShowPrepareWnd(0);
}

}  // namespace

namespace {

TEST_F(Workflow, TheConnectionPanelSaysWhyAPortFailsAndConnectsToATypedPseudoTerminal)
{
    Start();
    apptest::MessageCapture messages;
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineConnectWnd* panel = ui->GetMachineConnectWnd();
    ASSERT_NE(panel, nullptr);
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();

    // The connect picture opens the panel; the on-board ports are not offered.
    ui->ShowMachineConnectWnd();
    ASSERT_TRUE(panel->IsShown());
    auto* ports = static_cast<wxComboBox*>(panel->FindWindow(ZELKMachineConnectWnd::ID_PORT_LIST));
    for (unsigned i = 0; i < ports->GetCount(); ++i)
        EXPECT_FALSE(ports->GetString(i).StartsWith("/dev/ttyS")) << ports->GetString(i);

    const auto click = [panel](int id) { testsupport::PressButton(panel, id); };
    // Nothing chosen, then a device that is not there: each says why, and
    // nothing polls a port that is not open.
    ports->SetValue("");
    click(ZELKMachineConnectWnd::ID_BUTTON_CONNECT);
    EXPECT_EQ(messages.Count("id_message_noSelectPort"), 1);
    ports->SetValue("/dev/no-such-printer");
    click(ZELKMachineConnectWnd::ID_BUTTON_CONNECT);
    EXPECT_EQ(messages.Count("id_message_portNotFound"), 1);
    EXPECT_EQ(control->IsComOpened(), 0);
    EXPECT_FALSE(panel->IsWaitingForReply());

    // A pseudo-terminal typed in: the printer answers, the status turns to
    // connected, the picture follows and the panel closes.
    s3gsim::SimOptions options;
    linktest::SimThread sim(options);
    ASSERT_TRUE(sim.Ok());
    ports->SetValue(wxString::FromUTF8(sim.DevicePath()));
    click(ZELKMachineConnectWnd::ID_BUTTON_CONNECT);
    ASSERT_TRUE(apptest::PumpUntil([control] { return control->GetMachineConnectedIsSucessed() != 0; }));
    ASSERT_TRUE(apptest::PumpUntil([panel] { return !panel->IsShown(); }));
    EXPECT_EQ(panel->GetStatusText(), ui->GetTranslateString("id_static_settingMachineCon"));

    // The machine control panel opens while connected; the connection panel
    // takes its place (one pop-up on the tool side), framed and captioned.
    ZELKPictureCtrl* controlPicture = ui->GetToolPicture(PICTURE_MACHINE_CONTROL);
    ui->OnPictureClicked(controlPicture);
    ASSERT_TRUE(ui->GetControlWnd()->IsShown());
    ui->ShowMachineConnectWnd();
    EXPECT_FALSE(ui->GetControlWnd()->IsShown());
    EXPECT_EQ(controlPicture->GetCheckedState(), 0);
    EXPECT_EQ(panel->GetPosition(), ui->GetViewWnd()->GetPosition());
    EXPECT_EQ(panel->GetFrameFlag(), 1);
    EXPECT_EQ(panel->FindWindow(ZELKMachineConnectWnd::ID_CAPTION)->GetLabel(),
              ui->GetTranslateString("id_dialog_settingCaption"));
    EXPECT_EQ(ports->GetValue(), wxString::FromUTF8(sim.DevicePath())) << "the panel names the port it connected to";
    // Connected again (the printer answers anew): the panel it closed comes
    // back with its picture checked.
    click(ZELKMachineConnectWnd::ID_BUTTON_CONNECT);
    ASSERT_TRUE(apptest::PumpUntil([panel] { return !panel->IsShown(); }));
    EXPECT_TRUE(ui->GetControlWnd()->IsShown());
    EXPECT_NE(controlPicture->GetCheckedState(), 0);

    ui->ShowMachineConnectWnd();
    // Disconnect closes the port a moment later, without blocking the window.
    click(ZELKMachineConnectWnd::ID_BUTTON_DISCONNECT);
    EXPECT_NE(control->IsComOpened(), 0) << "closed before the worker could send the stop";
    ASSERT_TRUE(apptest::PumpUntil([control] { return control->IsComOpened() == 0; }));
    EXPECT_EQ(panel->GetStatusText(), ui->GetTranslateString("id_static_settingMachineDiscon"));
    EXPECT_EQ(messages.keys.size(), 2u);
}

TEST_F(Workflow, ChoosingALanguageInTheConnectionPanelTranslatesEveryWindowAtOnce)
{
    Start();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineConnectWnd* panel = ui->GetMachineConnectWnd();
    ASSERT_NE(panel, nullptr);
    auto* languages = static_cast<wxChoice*>(panel->FindWindow(ZELKMachineConnectWnd::ID_LANGUAGE_LIST));
    auto* backgrounds = static_cast<wxChoice*>(panel->FindWindow(ZELKMachineConnectWnd::ID_BACKGROUND_LIST));
    ASSERT_EQ(languages->GetCount(), 3u) << "Chinese, English, French";
    const int before = languages->GetSelection();
    backgrounds->SetSelection(2);

    const auto choose = [panel, languages](int language) {
        languages->SetSelection(language);
        wxCommandEvent event(wxEVT_CHOICE, ZELKMachineConnectWnd::ID_LANGUAGE_LIST);
        event.SetInt(language);
        event.SetEventObject(languages);
        panel->ProcessWindowEvent(event);
    };
    // Every text of the panel fits its control, in each language.
    const auto fits = [panel](const char* language) {
        panel->Show();
        apptest::Pump(50);
        EXPECT_TRUE(apptest::SaveScreenshot(std::string("connection-panel-") + language + ".png",
                                            panel->GetScreenRect()));
        for (wxWindow* child : panel->GetChildren()) {
            if (!child->IsShown() || child->GetId() == ZELKMachineConnectWnd::ID_PORT_LIST ||
                child->GetId() == ZELKMachineConnectWnd::ID_STATUS)
                continue;
            EXPECT_LE(child->GetBestSize().x, child->GetSize().x)
                << language << ": \"" << child->GetLabel() << "\" is cut off (" << child->GetBestSize().x << " > "
                << child->GetSize().x << ")";
        }
        panel->Hide();
    };
    fits("Chinese");
    choose(LANGUAGE_ENGLISH);
    fits("English");
    choose(LANGUAGE_FRENCH);
    fits("French");
    EXPECT_EQ(ZELKTranslation::GetTranslationObject()->GetLanguage(), LANGUAGE_FRENCH);
    EXPECT_EQ(panel->FindWindow(ZELKMachineConnectWnd::ID_BUTTON_CONNECT)->GetLabel(), "Connecter");
    EXPECT_EQ(languages->GetString(2), wxString::FromUTF8("Français"));
    // The other windows changed too, and the lists kept their choices.
    EXPECT_EQ(ui->GetGCodeWnd()->FindWindow(ZELKGCodeWnd::ID_BUTTON_START)->GetLabel(),
              ui->GetTranslateString("id_button_gcodeGcode"));
    EXPECT_EQ(languages->GetSelection(), LANGUAGE_FRENCH);
    EXPECT_EQ(backgrounds->GetSelection(), 2);
    choose(before);
    EXPECT_EQ(ZELKTranslation::GetTranslationObject()->GetLanguage(), before);
}

}  // namespace

// The menu bar runs what the keys and pictures run: select all, remove, undo
// and redo against the model database; the Print item waits while a job runs.
TEST_F(Workflow, MenuCommandsEditTheModelsAndUndoRedoThem)
{
    Start({Cube("a.stl", 10), Cube("b.stl", 12)});
    ASSERT_EQ(Models().size(), 2u);
    m_frame->ProcessCommand(wxID_SELECTALL);
    EXPECT_EQ(ZELDBEntityDatabase::GetInterFace()->GetSelectCount(), 2);
    m_frame->ProcessCommand(wxID_DELETE);
    EXPECT_TRUE(Models().empty());
    m_frame->ProcessCommand(wxID_UNDO);
    EXPECT_EQ(Models().size(), 2u);
    m_frame->ProcessCommand(wxID_REDO);
    EXPECT_TRUE(Models().empty());
    m_frame->ProcessCommand(wxID_UNDO);
    ASSERT_EQ(Models().size(), 2u);

    // Undo is offered only when there is something to undo.
    wxUpdateUIEvent update(wxID_REDO);
    update.SetEventObject(m_frame);
    m_frame->ProcessWindowEvent(update);
    EXPECT_TRUE(update.GetEnabled());
}

// What the user opened is offered again, newest first, also after a restart
// (the profile keeps it); a file gone since is said and dropped from the list.
TEST_F(Workflow, RecentFilesAreKeptInTheProfile)
{
    const std::string first = Cube("first.stl", 10);
    const std::string second = Cube("second.stl", 10);
    Start({first});
    m_view->ImportFiles({second});
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_view->IsImporting() && Models().size() == 2; }));
    MainMenu* menu = m_frame->GetMainMenu();
    ASSERT_GE(menu->RecentFiles().size(), 2u);
    EXPECT_EQ(menu->RecentFiles()[0], second);
    EXPECT_EQ(menu->RecentFiles()[1], first);

    wxFrame other(nullptr, wxID_ANY, "other");
    MainMenu elsewhere(other, *m_view, *ZELKFileIni::GetFileIniObject());
    elsewhere.Install();
    EXPECT_EQ(elsewhere.RecentFiles()[0], second);

    std::filesystem::remove(first);
    m_frame->ProcessCommand(wxID_FILE1 + 1);
    EXPECT_EQ(m_messages.Count("id_message_gcodeUnusable"), 1);
    EXPECT_EQ(menu->RecentFiles()[0], second);
    for (const std::string& path : menu->RecentFiles())
        EXPECT_NE(path, first);
}

// Files dropped on the window open as an import opens them; others are named.
TEST_F(Workflow, DroppedFilesOpenAndOthersAreNamed)
{
    Start();
    const std::string model = Cube("dropped.stl", 15);
    const std::string notes = m_files.File("notes.txt");
    std::ofstream(notes) << "not a model";
    FileDrop drop(*m_view);
    wxArrayString names;
    names.Add(wxString::FromUTF8(model));
    names.Add(wxString::FromUTF8(notes));
    EXPECT_TRUE(drop.OnDropFiles(10, 10, names));
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_view->IsImporting() && Models().size() == 1; }));
    EXPECT_EQ(m_messages.keys, std::vector<std::string>{"id_message_dropUnknown"});
    EXPECT_TRUE(m_messages.texts.front().Contains("notes.txt"));

    wxArrayString nothingToOpen;
    nothingToOpen.Add(wxString::FromUTF8(notes));
    EXPECT_FALSE(drop.OnDropFiles(10, 10, nothingToOpen));
}

// The menus follow the language at once.
TEST_F(Workflow, TheMenusFollowTheLanguage)
{
    Start();
    ZELKTranslation* translation = ZELKTranslation::GetTranslationObject();
    const int before = translation->GetLanguage();
    translation->Translate(LANGUAGE_FRENCH);
    EXPECT_EQ(m_frame->GetMenuBar()->GetMenuLabelText(0), "Fichier");
    translation->Translate(LANGUAGE_ENGLISH);
    EXPECT_EQ(m_frame->GetMenuBar()->GetMenuLabelText(0), "File");
    translation->Translate(static_cast<LANGUAGE>(before));
}
