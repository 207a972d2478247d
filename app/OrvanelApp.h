// COrvanelApp: starts the program: the frame and view, a printer named on the command line, the STL files given.
#pragma once

#include <wx/app.h>

#include "CommandLine.h"

class CMainFrame;

class COrvanelApp : public wxApp {
public:
    explicit COrvanelApp(zelk::ProgramOptions options = {});

    bool OnInit() override;
    int OnExit() override;

    CMainFrame* GetMainFrame() const { return m_frame; }

    // Builds and shows the frame, connects and loads what the options name.
    // Shared by the program and the tests that run it in their own process.
    static CMainFrame* StartMainWindow(const zelk::ProgramOptions& options);

private:
    zelk::ProgramOptions m_options;
    CMainFrame* m_frame = nullptr;
};
