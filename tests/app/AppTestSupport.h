// Shared set-up of the program's window tests: the main window in this
// process with its dialogs answered by the test, captured messages, the
// converter's X3G to compare with, and screenshots.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/gdicmn.h>
#include <wx/utils.h>

#include "AppDialogs.h"
#include "DBPrint.h"
#include "EntityDatabase.h"
#include "LoadSTL.h"
#include "MainFrame.h"
#include "OrvanelApp.h"
#include "OrvanelView.h"
#include "PrintFileChoice.h"
#include "RunProcess.h"
#include "ScreenCapture.h"
#include "StlFiles.h"
#include "TempDir.h"
#include "TestProgramHome.h"
#include "WxPump.h"
#include "ZELKMachineControl.h"
#include "ZELKUIOperation.h"

namespace apptest {

using testsupport::PumpUntil;

// Runs the event loop for `ms` milliseconds, whatever happens.
inline void Pump(int ms = 100)
{
    PumpUntil([] { return false; }, ms);
}

// The part `area` of the screen (the whole screen when none is given),
// saved under test-artefacts/app/`name` for a person to look at; false when
// it could not be taken.
inline bool SaveScreenshot(const std::string& name, const wxRect& area)
{
    return testsupport::SaveScreenArea(testsupport::ArtefactFolder("app") + name, area);
}
inline bool SaveScreenshot(const std::string& name)
{
    return testsupport::CaptureScreen(testsupport::ArtefactFolder("app") + name).IsOk();
}

// The converter run on `gcode` with the start G-code of the test's program
// folder, writing `x3g`: what the program's own X3G of that G-code must equal.
inline testsupport::ProcessResult ConvertWithGcode2x3g(const std::string& gcode, const std::string& x3g)
{
    return testsupport::RunProcess(
        {std::string(std::getenv("MORVADIN_BIN")) + "/gcode2x3g", "--start-gcode",
         testsupport::ProgramHome() +
             "skein_engines/skeinforge-50/skeinforge_application/prefs/QUEN/alterations/start.gcode",
         gcode, x3g});
}

// Keys and texts shown through MessageBox_Zelk while it lives.
class MessageCapture {
public:
    MessageCapture()
    {
        m_previous = ZELKUIOperation::SetMessageBoxFunction(
            [this](const std::string& key, const wxString& text) {
                keys.push_back(key);
                texts.push_back(text);
            });
    }
    ~MessageCapture() { ZELKUIOperation::SetMessageBoxFunction(std::move(m_previous)); }
    int Count(const std::string& key) const { return static_cast<int>(std::count(keys.begin(), keys.end(), key)); }
    void Clear()
    {
        keys.clear();
        texts.clear();
    }
    std::vector<std::string> keys;
    std::vector<wxString> texts;

private:
    ZELKUIOperation::MessageBoxFunction m_previous;
};

// Questions asked through AskYesNo_Zelk while it lives: their keys, each
// answered with `answer`.
class QuestionCapture {
public:
    QuestionCapture()
    {
        m_previous = ZELKUIOperation::SetQuestionBoxFunction([this](const std::string& key, const wxString&) {
            keys.push_back(key);
            return answer;
        });
    }
    ~QuestionCapture() { ZELKUIOperation::SetQuestionBoxFunction(std::move(m_previous)); }
    std::vector<std::string> keys;
    bool answer = true;

private:
    ZELKUIOperation::QuestionBoxFunction m_previous;
};

// The program's main window started in this process as the command line
// starts it, closed after the test with the printer connection and print
// state reset. The test answers the dialogs: questions get m_questions.answer
// (yes unless the test says otherwise), the STL dialog gives
// m_stlAnswer (none: cancelled), the X3G save dialog m_saveAnswer (empty:
// cancelled) and records where it opened as "folder|name".
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previousStl = ZELKCAD::SetStlFileDialogFunction([this] { return m_stlAnswer; });
        m_previousSave = zelk::SetSaveX3gDialogFunction([this](const std::string& folder, const std::string& name) {
            m_saveAsked.push_back(folder + "|" + name);
            return m_saveAnswer;
        });
    }
    void TearDown() override
    {
        if (m_frame != nullptr) {
            m_frame->Close(true);
            m_frame = nullptr;
            m_view = nullptr;
            Pump(50);
        }
        ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
        control->CloseCom();
        control->RemoveOperatePackList();
        ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
        if (ui->GetIsStartPrintState() == 0)
            ui->ChangeIsStartPrintState();
        ZELKCAD::SetOpenedPrintFile(std::string());
        ZELKCAD::SetStlFileDialogFunction(std::move(m_previousStl));
        zelk::SetSaveX3gDialogFunction(std::move(m_previousSave));
    }

    // Starts the main window with `options` and waits until the models
    // named are on the plate and, when a port is named, the printer answered.
    COrvanelView* Start(const zelk::ProgramOptions& options)
    {
        const std::size_t expected = options.stlFiles.size();
        const bool connect = !options.port.empty();
        m_frame = COrvanelApp::StartMainWindow(options);
        m_view = m_frame->GetView();
        // The import starts after the first frame: wait for its models, not only for no import running.
        EXPECT_TRUE(PumpUntil([this, expected, connect] {
            return !m_view->IsImporting() && Models().size() >= expected &&
                   (!connect || ZELKMachineControl::GetMachineControl()->GetMachineConnectedIsSucessed() != 0);
        })) << "the program did not come up with its models" << (connect ? " and the printer" : "");
        return m_view;
    }
    COrvanelView* Start(std::vector<std::string> stlFiles = {})
    {
        zelk::ProgramOptions options;
        options.stlFiles = std::move(stlFiles);
        return Start(options);
    }

    // A binary STL file in the test's folder: a cube of `side` mm standing
    // on the origin, stretched to `width` mm along x when given.
    std::string Cube(const std::string& name, float side, float width = 0)
    {
        auto facets = stltest::Cube(side);
        if (width > 0)
            for (auto& f : facets)
                for (auto& v : f.v)
                    v[0] = v[0] > 0 ? width : 0;
        const std::string path = m_files.File(name);
        std::ofstream(path, std::ios::binary) << stltest::Binary(facets);
        return path;
    }
    static std::vector<ZELKDBPrint*> Models()
    {
        std::vector<ZELKDBEntity*> entities;
        ZELDBEntityDatabase::GetInterFace()->FindEntity(kEntityPrint, entities);
        std::vector<ZELKDBPrint*> models;
        for (ZELKDBEntity* e : entities)
            models.push_back(static_cast<ZELKDBPrint*>(e));
        return models;
    }
    static std::string ImportFolder() { return COrvanelView::ImportFolder(); }

    MessageCapture m_messages;
    QuestionCapture m_questions;
    testsupport::TempDir m_files;
    CMainFrame* m_frame = nullptr;
    COrvanelView* m_view = nullptr;
    std::vector<std::string> m_stlAnswer;
    std::string m_saveAnswer;
    std::vector<std::string> m_saveAsked;

private:
    ZELKCAD::StlFileDialogFunction m_previousStl;
    zelk::SaveX3gDialogFunction m_previousSave;
};

}  // namespace apptest
