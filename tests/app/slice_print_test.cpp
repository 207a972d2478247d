// From STL file to printed part inside the program: the slicing panel runs the slicer bridge and the real
// engine, then the print goes to the printer simulator, and a model changed after slicing is asked about.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <wx/gauge.h>

#include "ModelEdit.h"
#include "ProgramWithPrinter.h"
#include "WxInput.h"
#include "X3gWriter.h"
#include "ZELKStatic.h"

namespace fs = std::filesystem;

namespace {

// The real engine behind a gate: it slices, then waits until the test opens
// the named pipe, so the test sees the run while the engine part is going.
const char* const kGatedEngine = R"(#!/bin/sh
prusa-slicer "$@"
status=$?
if [ -n "$GATE" ]; then read go < "$GATE"; fi
exit $status
)";

// The program with its slicing panel open; the engine is the gated one and
// questions are answered with m_answer.
class SliceAndPrint : public apptest::ProgramWithPrinter {
protected:
    SliceAndPrint() : ProgramWithPrinter(apptest::QuickHeating()) {}

    void SetUp() override
    {
        m_previousQuestion = ZELKUIOperation::SetQuestionBoxFunction([this](const std::string& key, const wxString&) {
            m_questions.push_back(key);
            return m_answer;
        });
        const std::string engine = m_files.File("engine.sh");
        std::ofstream(engine) << kGatedEngine;
        ::chmod(engine.c_str(), 0755);
        m_gate = m_files.File("gate");
        ASSERT_EQ(::mkfifo(m_gate.c_str(), 0600), 0);
        ::setenv("MORVADIN_SLICER_ENGINE", engine.c_str(), 1);
        ::setenv("GATE", m_gate.c_str(), 1);
        ProgramWithPrinter::SetUp();
        if (HasFatalFailure())
            return;
        ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
        ui->OnPictureClicked(ui->GetToolPicture(PICTURE_GCODE));
        m_panel = ui->GetGCodeWnd();
        ASSERT_TRUE(m_panel->IsShown());
    }
    void TearDown() override
    {
        if (m_panel != nullptr && m_panel->IsSlicing())
            Press(ZELKGCodeWnd::ID_BUTTON_CANCEL);
        ProgramWithPrinter::TearDown();
        ZELKUIOperation::SetQuestionBoxFunction(std::move(m_previousQuestion));
        ::unsetenv("MORVADIN_SLICER_ENGINE");
        ::unsetenv("GATE");
    }

    void Press(int id) { testsupport::PressButton(m_panel, id); }
    int Gauge() const { return dynamic_cast<wxGauge*>(m_panel->FindWindow(ZELKGCodeWnd::ID_PROGRESS))->GetValue(); }
    wxString Status() const
    {
        return dynamic_cast<ZELKStatic*>(m_panel->FindWindow(ZELKGCodeWnd::ID_STATUS))->GetText();
    }

    // Slices with the panel's settings; the gate opens once the bar has moved.
    void Slice()
    {
        const std::size_t messages = m_messages.keys.size();
        const bool existed = fs::exists(m_gcode);
        const std::string before = existed ? testsupport::ReadFile(m_gcode) : std::string();
        Press(ZELKGCodeWnd::ID_BUTTON_START);
        ASSERT_TRUE(m_panel->IsSlicing());
        ASSERT_TRUE(apptest::PumpUntil([this] { return Gauge() > 0; }, 60000)) << Status();
        // The stage line in the window's language (Chinese here).
        EXPECT_TRUE(Status().StartsWith(wxString::FromUTF8("轮廓（第 "))) << Status();
        // While the engine works, an earlier G-code file stays as it was.
        EXPECT_EQ(fs::exists(m_gcode), existed);
        EXPECT_TRUE(!existed || testsupport::ReadFile(m_gcode) == before);
        std::ofstream(m_gate) << "go\n";
        ASSERT_TRUE(apptest::PumpUntil([this] { return !m_panel->IsSlicing(); }, 60000));
        ASSERT_EQ(m_messages.keys.size(), messages + 1);
        EXPECT_EQ(m_messages.keys.back(), "id_message_GCodeComplete");
        ASSERT_TRUE(fs::exists(m_gcode));
    }

    ZELKGCodeWnd* m_panel = nullptr;
    std::string m_gate;
    std::vector<std::string> m_questions;
    bool m_answer = false;
    ZELKUIOperation::QuestionBoxFunction m_previousQuestion;
};

TEST_F(SliceAndPrint, SlicedModelPrintsToTheSimulatorAsTheConverterWritesIt)
{
    Slice();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    m_view->OnStartOrStopPrint();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_printComplete") > 0; }, 120000));
    EXPECT_TRUE(m_questions.empty());
    const std::vector<Package> printList = control->GetPrintList().ToVector();
    ASSERT_GT(printList.size(), 1000u);
    const s3gsim::SimPrinter& printer = m_sim.Stop();
    EXPECT_TRUE(printer.Record() == linktest::ExpectedRecord(printList)) << "the printer did not get the print list";

    // The converter turns the same G-code into the X3G of that same list.
    const std::string reference = m_files.File("reference.x3g");
    const auto result = apptest::ConvertWithGcode2x3g(m_gcode, reference);
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::string ours = m_files.File("ours.x3g");
    ASSERT_TRUE(zelk::WriteX3gFile(printList, ours));
    EXPECT_TRUE(testsupport::ReadFile(ours) == testsupport::ReadFile(reference))
        << "the print differs from the converter's X3G";
}

TEST_F(SliceAndPrint, CancelInTheMiddleLeavesNoGCodeAndThePanelIdle)
{
    Press(ZELKGCodeWnd::ID_BUTTON_START);
    ASSERT_TRUE(apptest::PumpUntil([this] { return Gauge() > 0; }, 60000)) << Status();
    Press(ZELKGCodeWnd::ID_BUTTON_CANCEL);
    ASSERT_TRUE(apptest::PumpUntil([this] { return !m_panel->IsSlicing(); }, 10000));
    EXPECT_TRUE(m_panel->FindWindow(ZELKGCodeWnd::ID_BUTTON_START)->IsEnabled());
    EXPECT_FALSE(m_panel->FindWindow(ZELKGCodeWnd::ID_BUTTON_CANCEL)->IsShown());
    EXPECT_EQ(Gauge(), 0);
    for (const auto& entry : fs::directory_iterator(COrvanelView::ImportFolder()))
        EXPECT_EQ(entry.path().extension(), ".stl") << entry.path() << " was left behind";
    EXPECT_TRUE(m_messages.keys.empty());
}

TEST_F(SliceAndPrint, ModelsChangedAfterSlicingAreAskedAbout)
{
    Slice();
    // Unchanged: saved without a question.
    m_saveAnswer = m_files.File("first.x3g");
    m_view->OnSaveX3g();
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_savex3gsuccessful") == 1; }, 60000));
    EXPECT_TRUE(m_questions.empty());

    ZELDBEntityDatabase::GetInterFace()->SelectALL();
    ASSERT_NE(ZELKModelEdit::GetModelEditObject()->ModelEdit(EDIT_MOVE, 12.0, AXIS_X), 0);
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ui->ShowWnd(PICTURE_GCODE, PICTURE_UNCHECKED);

    // Yes: the slicing panel opens and nothing is saved or printed.
    m_answer = true;
    m_view->OnSaveX3g();
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(m_questions, (std::vector<std::string>(2, "id_message_modelsChangedSliceAgain")));
    EXPECT_EQ(m_saveAsked.size(), 1u);
    EXPECT_TRUE(m_panel->IsShown());
    EXPECT_EQ(ZELKMachineControl::GetMachineControl()->IsMachinePrinting(), 0);
    EXPECT_EQ(COrvanelView::GetPrintPreparationFlag(), 0);

    // No: the old G-code is used, because the user said so.
    m_answer = false;
    m_saveAnswer = m_files.File("second.x3g");
    m_view->OnSaveX3g();
    EXPECT_EQ(m_saveAsked.size(), 2u);
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_savex3gsuccessful") == 2; }, 60000));

    // Sliced again: no more question.
    Slice();
    m_saveAnswer = m_files.File("third.x3g");
    m_view->OnSaveX3g();
    EXPECT_EQ(m_questions.size(), 3u);
    ASSERT_TRUE(apptest::PumpUntil([this] { return m_messages.Count("id_message_savex3gsuccessful") == 3; }, 60000));
    EXPECT_NE(testsupport::ReadFile(m_files.File("third.x3g")), testsupport::ReadFile(m_files.File("first.x3g")));
}

}  // namespace
