// COrvanelApp: starts the program.
#include "OrvanelApp.h"

#include <cstdio>

#include <wx/image.h>

#include "MainFrame.h"
#include "OrvanelView.h"
#include "ViewUi.h"
#include "ZELKMachineControl.h"

COrvanelApp::COrvanelApp(zelk::ProgramOptions options) : m_options(std::move(options)) {}

bool COrvanelApp::OnInit()
{
    SetAppName("Morvadin-X");
    SetAppDisplayName("Orvanel");
    wxInitAllImageHandlers();
    m_document.OnNewDocument();
    m_frame = StartMainWindow(m_options);
    return m_frame != nullptr;
}

int COrvanelApp::OnExit()
{
    ZELKMachineControl::GetMachineControl()->CloseCom();
    return wxApp::OnExit();
}

CMainFrame* COrvanelApp::StartMainWindow(const zelk::ProgramOptions& options)
{
    auto* frame = new CMainFrame();
    frame->Show();
    frame->PlaceInformationBar();
    COrvanelView* view = frame->GetView();
    if (!options.port.empty()) {
        std::string reason;
        if (!view->GetConnection().Connect(options.port, reason)) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            if (ZELKViewUi* ui = ZELKCAD::GetViewUi())
                ui->ShowMessageText(wxString::FromUTF8(reason));
        }
    }
    // After the first frame is on screen, so the window answers while the files load.
    if (!options.stlFiles.empty())
        view->CallAfter([view, files = options.stlFiles] { view->ImportFiles(files); });
    return frame;
}
