// The slicing panel on real windows: settings, fields, and slicer runs through the real slicer bridge
// with a stand-in engine the test holds at will.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/textctrl.h>

#include "DBPrint.h"
#include "EntityDatabase.h"
#include "ModelEdit.h"
#include "PrintModelFile.h"
#include "ProgramFolder.h"
#include "WorkflowText.h"
#include "SlicedGCode.h"
#include "TempDir.h"
#include "UiTestSupport.h"
#include "WxInput.h"
#include "WxPump.h"
#include "ZELKStartGCodeOperater.h"
#include "ZELKStatic.h"
#include "../model_store/ModelFixtures.h"

namespace fs = std::filesystem;
using testsupport::PressButton;
using uitest::Pump;

namespace {

template <typename T>
T* Control(wxWindow* panel, int id)
{
    return dynamic_cast<T*>(panel->FindWindow(id));
}

void Click(wxWindow* panel, int id)
{
    auto* box = Control<wxCheckBox>(panel, id);
    box->SetValue(!box->GetValue());
    wxCommandEvent click(wxEVT_CHECKBOX, id);
    click.SetEventObject(box);
    click.SetInt(box->GetValue() ? 1 : 0);
    box->ProcessWindowEvent(click);
}

bool PumpUntil(const std::function<bool()>& done) { return testsupport::PumpUntil(done, 20000); }

// A stand-in for the slicing engine: it reports two stages, then waits at a
// gate (a named pipe the test opens when it wants the run to go on), then
// writes a two-layer G-code file where it was told to.
const char* const kStubEngine = R"(#!/bin/sh
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --output|-o) out="$2"; shift ;;
    --output=*) out="${1#--output=}" ;;
  esac
  shift
done
if [ -n "$STUB_DEAF" ]; then trap '' TERM; fi
echo $$ > "$STUB_DIR/engine.pid"
echo "10 => Processing triangulated mesh"
echo "20 => Generating perimeters"
if [ -n "$STUB_GATE" ]; then read go < "$STUB_GATE"; fi
if [ -n "$STUB_FAIL" ]; then echo "$STUB_FAIL" >&2; exit 1; fi
printf ';LAYER_CHANGE\n;Z:0.2\nG1 Z0.2 F7800\nG1 X1 Y1\nG1 X10 Y1 E1.5 F1800\n;LAYER_CHANGE\n;Z:0.4\nG1 Z0.4 F7800\nG1 X1 Y1 E3 F1800\n' > "$out"
echo "90 => Exporting G-code to $out"
)";

class SlicingPanel : public uitest::UiFixture {
protected:
    void SetUp() override
    {
        uitest::UiFixture::SetUp();
        m_panel = m_ui->GetGCodeWnd();
        ASSERT_NE(m_panel, nullptr);
        const std::string engine = m_stub.File("engine.sh");
        std::ofstream(engine) << kStubEngine;
        ::chmod(engine.c_str(), 0755);
        ::setenv("MORVADIN_SLICER_ENGINE", engine.c_str(), 1);
        ::setenv("STUB_DIR", m_stub.Path().c_str(), 1);
        ::unsetenv("STUB_GATE");
        ::unsetenv("STUB_FAIL");
        ::unsetenv("STUB_DEAF");
    }
    void TearDown() override
    {
        if (m_panel->IsSlicing())
            PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_CANCEL);
        PumpUntil([this] { return !m_panel->IsSlicing(); });
        ZELDBEntityDatabase::GetInterFace()->RemoveAll();
        // What a run wrote beside the model file is not the next test's.
        zelk::EmptyWorkingFolder(zelk::WorkingFolder());
        ::unsetenv("MORVADIN_SLICER_ENGINE");
        uitest::UiFixture::TearDown();
    }

    // A 20 x 20 x 10 box standing on the platform at (x, y).
    ZELKDBPrint* AddModel(double x = 0, double y = 0, double z = 0)
    {
        auto* model = new ZELKDBPrint(modeltest::Box({x - 10, y - 10, z}, {x + 10, y + 10, z + 10}));
        model->SetName("part.stl");
        model->SetPlatformMinMaxPoint(ZELKGePoint3d(-75, -75, 0), ZELKGePoint3d(75, 75, 150));
        int id = 0;
        ZELDBEntityDatabase::GetInterFace()->Add(model, id);
        return model;
    }

    std::string ModelGCode() const
    {
        std::string path;
        int count = 0;
        ZELKModelEdit::GetModelEditObject()->GetPrintModelPathAndCount(path, count);
        return path.substr(0, path.size() - 4) + ".gcode";
    }

    // Names in the model file's folder other than the model file itself.
    std::vector<std::string> LeftBeside() const
    {
        std::vector<std::string> names;
        const fs::path folder = fs::path(ModelGCode()).parent_path();
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() != ".stl")
                names.push_back(entry.path().filename().string());
        return names;
    }

    pid_t EnginePid() const
    {
        std::ifstream in(m_stub.File("engine.pid"));
        pid_t pid = 0;
        in >> pid;
        return pid;
    }

    int Gauge() const { return Control<wxGauge>(m_panel, ZELKGCodeWnd::ID_PROGRESS)->GetValue(); }
    wxString Status() const { return Control<ZELKStatic>(m_panel, ZELKGCodeWnd::ID_STATUS)->GetText(); }
    bool StartEnabled() const { return m_panel->FindWindow(ZELKGCodeWnd::ID_BUTTON_START)->IsEnabled(); }
    bool CancelShown() const { return m_panel->FindWindow(ZELKGCodeWnd::ID_BUTTON_CANCEL)->IsShown(); }

    ZELKGCodeWnd* m_panel = nullptr;
    testsupport::TempDir m_stub;
};

TEST_F(SlicingPanel, StartsHiddenWithTheDefaultsAndTheStartGCodeValues)
{
    EXPECT_FALSE(m_panel->IsShown());
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_LAYER)->GetSelection(), 0);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_FILL)->GetSelection(), 2);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_SPEED)->GetSelection(), 1);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_SHELLS)->GetSelection(), 1);
    EXPECT_TRUE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_RAFT)->GetValue());
    EXPECT_FALSE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_SUPPORT)->GetValue());
    EXPECT_FALSE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_FULL_SUPPORT)->GetValue());
    EXPECT_FALSE(m_panel->FindWindow(ZELKGCodeWnd::ID_EDIT_PLATFORM)->IsShown());
    EXPECT_FALSE(CancelShown());
    EXPECT_TRUE(StartEnabled());
    EXPECT_EQ(Control<wxGauge>(m_panel, ZELKGCodeWnd::ID_PROGRESS)->GetRange(), 100);

    const ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    ASSERT_FALSE(startGCode->GetZAxisHeight().empty()) << "the start G-code was not found";
    EXPECT_EQ(Control<wxTextCtrl>(m_panel, ZELKGCodeWnd::ID_EDIT_HEIGHT)->GetValue().utf8_string(),
              startGCode->GetZAxisHeight());
    EXPECT_EQ(Control<wxTextCtrl>(m_panel, ZELKGCodeWnd::ID_EDIT_EXTRUDER)->GetValue().utf8_string(),
              startGCode->GetExtrudeTemperature());

    const SkeinforgeParameter p = m_panel->GetSettings();
    EXPECT_EQ(p.layerHeight, "0.2");
    EXPECT_EQ(p.infill, "0.30");
    EXPECT_EQ(p.speed, "60");
    EXPECT_EQ(p.shells, "1");
    EXPECT_EQ(p.raft, 1);
    EXPECT_EQ(p.support, 0);
}

TEST_F(SlicingPanel, LanguageSwitchRetranslatesAndRestoresTheDefaults)
{
    Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_FILL)->SetSelection(4);
    Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_LAYER)->SetSelection(1);
    Click(m_panel, ZELKGCodeWnd::ID_CHECK_RAFT);
    ZELKTranslation::GetTranslationObject()->Translate(LANGUAGE_ENGLISH);
    auto* fill = Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_FILL);
    ASSERT_EQ(fill->GetCount(), 5u);
    EXPECT_EQ(fill->GetString(0), "Hollow (0%)");
    EXPECT_EQ(fill->GetSelection(), 2);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_LAYER)->GetSelection(), 0);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_LAYER)->GetCount(), 2u);
    EXPECT_EQ(Control<wxChoice>(m_panel, ZELKGCodeWnd::ID_LIST_SHELLS)->GetCount(), 3u);
    EXPECT_TRUE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_RAFT)->GetValue());
    EXPECT_EQ(m_panel->FindWindow(ZELKGCodeWnd::ID_LABEL_RAFT)->GetLabel(), "Raft:");
    EXPECT_EQ(m_panel->FindWindow(ZELKGCodeWnd::ID_LABEL_EXTRUDER)->GetLabel(),
              wxString::FromUTF8("Extruder temp.(℃):"));
    EXPECT_EQ(m_panel->FindWindow(ZELKGCodeWnd::ID_BUTTON_START)->GetLabel(),
              m_ui->GetTranslateString("id_button_gcodeGcode"));
}

TEST_F(SlicingPanel, SupportAndFullSupportExcludeEachOther)
{
    Click(m_panel, ZELKGCodeWnd::ID_CHECK_SUPPORT);
    EXPECT_EQ(m_panel->GetSettings().support, 1);
    Click(m_panel, ZELKGCodeWnd::ID_CHECK_FULL_SUPPORT);
    EXPECT_FALSE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_SUPPORT)->GetValue());
    EXPECT_EQ(m_panel->GetSettings().support, 2);
    Click(m_panel, ZELKGCodeWnd::ID_CHECK_SUPPORT);
    EXPECT_FALSE(Control<wxCheckBox>(m_panel, ZELKGCodeWnd::ID_CHECK_FULL_SUPPORT)->GetValue());
    EXPECT_EQ(m_panel->GetSettings().support, 1);
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_RESET);
    EXPECT_EQ(m_panel->GetSettings().support, 0);
}

TEST_F(SlicingPanel, FieldsAreCheckedBeforeTheyAreStoredAndEnterAppliesThem)
{
    ZELKStartGCodeOperater* startGCode = ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    const std::string height = startGCode->GetZAxisHeight();
    auto* heightEdit = Control<wxTextCtrl>(m_panel, ZELKGCodeWnd::ID_EDIT_HEIGHT);
    auto* extruderEdit = Control<wxTextCtrl>(m_panel, ZELKGCodeWnd::ID_EDIT_EXTRUDER);
    for (const char* bad : {"137.9", "148.1", "", "high"}) {
        heightEdit->ChangeValue(bad);
        EXPECT_EQ(m_panel->ApplyFields(), 0) << bad;
    }
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>(4, "id_message_temperatureHeightRange_Tessaron"));
    EXPECT_EQ(startGCode->GetZAxisHeight(), height) << "a refused field was stored";

    heightEdit->ChangeValue("145");
    extruderEdit->ChangeValue("210");
    m_panel->Show();
    heightEdit->SetFocus();
    Pump();
    wxKeyEvent enter(wxEVT_CHAR_HOOK);
    enter.m_keyCode = WXK_RETURN;
    enter.SetEventObject(heightEdit);
    m_panel->ProcessWindowEvent(enter);
    EXPECT_TRUE(m_panel->IsShown());
    EXPECT_EQ(startGCode->GetExtrudeHeaderPrintTemperature(), 210.0f);
    EXPECT_FLOAT_EQ(startGCode->GetExtrudeHeight(), 145.0f);
    EXPECT_EQ(m_capture.Messages().size(), 4u);
    // Put back what the other tests expect.
    heightEdit->ChangeValue(wxString::FromUTF8(height));
    extruderEdit->ChangeValue("220");
    EXPECT_EQ(m_panel->ApplyFields(), 1);
}

TEST_F(SlicingPanel, ModelsOffThePlatformOrOutsideAreNotSliced)
{
    AddModel(0, 0, 5);
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_modelNotOnPlatform"});
    ZELDBEntityDatabase::GetInterFace()->RemoveAll();
    AddModel(70, 0, 0);
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    EXPECT_EQ(m_capture.Keys().back(), "id_message_modelBeyondRange");
    EXPECT_FALSE(m_panel->IsSlicing());
    // Cancel while idle only resets the display.
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_CANCEL);
    EXPECT_EQ(Gauge(), 0);
    EXPECT_TRUE(StartEnabled());
    EXPECT_EQ(m_capture.Keys().size(), 2u);
}

TEST_F(SlicingPanel, BarMovesWhileTheEngineWorksAndCompletionIsReportedOnce)
{
    const std::string gate = m_stub.File("gate");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    ::setenv("STUB_GATE", gate.c_str(), 1);
    AddModel();
    const std::string gcode = ModelGCode();
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    EXPECT_TRUE(m_panel->IsSlicing());
    EXPECT_FALSE(StartEnabled());
    EXPECT_TRUE(CancelShown());
    // The engine is held at its gate: the bar has moved from its stages alone.
    ASSERT_TRUE(PumpUntil([this] { return Gauge() > 0; })) << Status();
    EXPECT_TRUE(Status().StartsWith(wxString::FromUTF8("轮廓（第 "))) << Status();  // the stage, in Chinese here
    EXPECT_FALSE(fs::exists(gcode));
    std::ofstream(gate) << "go\n";

    ASSERT_TRUE(PumpUntil([this] { return !m_panel->IsSlicing(); }));
    EXPECT_EQ(m_capture.Keys(), std::vector<std::string>{"id_message_GCodeComplete"});
    EXPECT_TRUE(StartEnabled());
    EXPECT_FALSE(CancelShown());
    EXPECT_EQ(Gauge(), 0);
    EXPECT_EQ(Status(), "");
    ASSERT_TRUE(fs::exists(gcode));
    EXPECT_EQ(LeftBeside(), std::vector<std::string>{fs::path(gcode).filename().string()});
    EXPECT_EQ(ZELKCAD::GetSlicedGCodeState(gcode, ZELKCAD::PrintModelFingerprint()), ZELKCAD::GCODE_CURRENT);
}

TEST_F(SlicingPanel, CancelEndsTheEngineAndLeavesNoGCode)
{
    const std::string gate = m_stub.File("gate");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    ::setenv("STUB_GATE", gate.c_str(), 1);  // never opened: the engine waits until it is ended
    AddModel();
    const std::string gcode = ModelGCode();
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    ASSERT_TRUE(PumpUntil([this] { return Gauge() > 0 && EnginePid() > 0; }));
    const pid_t engine = EnginePid();
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_CANCEL);
    EXPECT_FALSE(CancelShown());
    EXPECT_EQ(Gauge(), 0);
    ASSERT_TRUE(PumpUntil([this] { return StartEnabled(); }));
    EXPECT_FALSE(m_panel->IsSlicing());
    EXPECT_TRUE(PumpUntil([engine] { return ::kill(engine, 0) != 0; })) << "the engine outlived the cancel";
    EXPECT_TRUE(LeftBeside().empty()) << LeftBeside().front();
    EXPECT_TRUE(m_capture.Keys().empty());  // a cancel is no failure
}

TEST_F(SlicingPanel, AnEngineThatIgnoresTheCancelIsEndedAllTheSame)
{
    const std::string gate = m_stub.File("gate");
    ASSERT_EQ(::mkfifo(gate.c_str(), 0600), 0);
    ::setenv("STUB_GATE", gate.c_str(), 1);
    ::setenv("STUB_DEAF", "1", 1);
    ZELKGCodeWnd::SetCancelGraceMs(20);
    AddModel();
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    ASSERT_TRUE(PumpUntil([this] { return Gauge() > 0 && EnginePid() > 0; }));
    const pid_t engine = EnginePid();
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_CANCEL);
    const bool ended = PumpUntil([this] { return StartEnabled(); });
    ZELKGCodeWnd::SetCancelGraceMs(3000);
    ASSERT_TRUE(ended) << "the run outlived the cancel";
    EXPECT_TRUE(PumpUntil([engine] { return ::kill(engine, 0) != 0; }));
    EXPECT_TRUE(LeftBeside().empty());
}

TEST_F(SlicingPanel, AFailedRunReturnsToIdleAndSaysWhy)
{
    AddModel();
    ::setenv("STUB_FAIL", "part.stl: Loading of a model file failed.", 1);
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    ASSERT_TRUE(PumpUntil([this] { return !m_panel->IsSlicing(); }));
    ASSERT_EQ(m_capture.Messages().size(), 1u);
    const wxString text = m_capture.Messages().front().second;
    EXPECT_TRUE(text.StartsWith(m_ui->GetTranslateString("id_message_sliceFailed"))) << text;
    EXPECT_NE(text.Find("Loading of a model file failed"), wxNOT_FOUND) << text;
    EXPECT_TRUE(StartEnabled());
    EXPECT_FALSE(CancelShown());
    EXPECT_TRUE(LeftBeside().empty());

    ::unsetenv("STUB_FAIL");
    ::setenv("MORVADIN_SLICER_ENGINE", m_stub.File("no-such-engine").c_str(), 1);
    PressButton(m_panel, ZELKGCodeWnd::ID_BUTTON_START);
    ASSERT_TRUE(PumpUntil([this] { return !m_panel->IsSlicing(); }));
    ASSERT_EQ(m_capture.Messages().size(), 2u);
    EXPECT_TRUE(m_capture.Messages().back().second.StartsWith(
        m_ui->GetTranslateString("id_message_slicerEngineMissing")))
        << m_capture.Messages().back().second;
}

}  // namespace

// The toolpath picture opens the preview of the G-code sliced for the loaded
// models, or says why it cannot; its picture follows the panel, and a tool
// picture gives the view back to the models.
TEST_F(SlicingPanel, ToolpathPictureOpensThePreviewOfTheSlicedGCodeOrSaysWhyNot)
{
    ZELKToolpathWnd* preview = m_ui->GetToolpathWnd();
    ZELKBitmapStatic* picture = m_ui->GetToolpathPicture();
    ASSERT_NE(preview, nullptr);
    ASSERT_NE(picture, nullptr);
    m_ui->ToggleToolpathWnd();
    AddModel();
    m_ui->ToggleToolpathWnd();
    fs::create_directories(fs::path(ModelGCode()).parent_path());
    std::ofstream(ModelGCode()) << "; sliced by hand\n(no moves)\n";
    m_ui->ToggleToolpathWnd();  // read on a worker: the answer comes after
    EXPECT_TRUE(m_ui->IsReadingToolpaths());
    ASSERT_TRUE(PumpUntil([this] { return !m_ui->IsReadingToolpaths(); }));
    EXPECT_EQ(m_capture.Keys(), (std::vector<std::string>{"id_message_noLoadModel", "id_message_noGenerateGCode",
                                                          "id_message_gcodeUnusable"}));
    EXPECT_FALSE(preview->IsShown());

    std::ofstream(ModelGCode()) << "G92 X0 Y0 Z0.2 A0 B0\nG1 X10 Y0 Z0.2 F600 E1\nG1 X10 Y10 Z0.2 F600 E2\n"
                                   "G1 X0 Y10 Z0.4 F600 E3\n";
    m_ui->ToggleToolpathWnd();
    m_ui->ToggleToolpathWnd();  // a second click while reading changes nothing
    ASSERT_TRUE(PumpUntil([&] { return preview->IsShown(); }));
    EXPECT_FALSE(m_ui->IsReadingToolpaths());
    EXPECT_EQ(preview->Model().LayerCount(), 2u);
    EXPECT_EQ(picture->GetBitmapId(), 3926u);
    EXPECT_EQ(m_capture.Keys().size(), 3u);

    m_ui->OnPictureClicked(m_ui->GetToolPicture(PICTURE_MOVE));
    EXPECT_FALSE(preview->IsShown());
    EXPECT_EQ(picture->GetBitmapId(), 3925u);
    m_ui->UpdatePicCtrlToUnChecked();
    m_ui->HideModelEditWnd();
}
