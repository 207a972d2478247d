// COrvanelApp: starts the program.
#include "OrvanelApp.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <wx/image.h>
#include <wx/msgdlg.h>

#include "MainFrame.h"
#include "OrvanelView.h"
#include "EntityDatabase.h"
#include "FileIni.h"
#include "GlContext.h"
#include "ZELKFileLog.h"
#include "ProgramFolder.h"
#include "ZELKStartGCodeOperater.h"
#include "ViewUi.h"
#include "ZelkOpenGL.h"
#include "ZELKMachineControl.h"
#include "ZELKTranslation.h"
#include "ZELKUIOperation.h"

namespace {

// Close to the process start: set while the program's libraries initialise.
const auto g_processStart = std::chrono::steady_clock::now();

// With MORVADIN_FRAME_TIMES set, every rendered frame prints one line
// "frame N MS models=M" (milliseconds since start) for start-up measurements.
void ReportFrameTimes(CZelkOpenGL* renderer)
{
    const char* wanted = std::getenv("MORVADIN_FRAME_TIMES");
    if (renderer == nullptr || wanted == nullptr || *wanted == '\0')
        return;
    renderer->SetFrameObserver([count = 0]() mutable {
        const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - g_processStart);
        std::printf("frame %d %.1f models=%d\n", ++count, ms.count(),
                    ZELDBEntityDatabase::GetInterFace()->GetCount(kEntityPrint));
        std::fflush(stdout);
    });
}

}  // namespace

COrvanelApp::COrvanelApp(zelk::ProgramOptions options) : m_options(std::move(options)) {}

bool COrvanelApp::OnInit()
{
    SetAppName("Morvadin-X");
    SetAppDisplayName("Orvanel");
    wxInitAllImageHandlers();
    // The user's folders (profile, log, working files) and the user's copy of
    // the start G-code come first: without them nothing could be kept.
    std::string folderProblem;
    if (!zelk::PrepareUserFolders(folderProblem) ||
        zelk::SeedUserFile(ZELKStartGCodeOperater::kRelativePath, folderProblem).empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n", folderProblem.c_str());
        wxMessageBox(folderProblem, GetAppDisplayName(), wxOK | wxICON_ERROR);
        return false;
    }
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
    // Without OpenGL the view would stay blank: say why and end.
    const std::string displayProblem = ZELKGlContext::DisplayProblem();
    if (!displayProblem.empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n", displayProblem.c_str());
        ZELKFileLog::GetObjectW()->Write("COrvanelApp", __LINE__, 1, "no 3D view: " + displayProblem);
        ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_openGLUnavailable", displayProblem);
        return nullptr;
    }
    auto* frame = new CMainFrame();
    ReportFrameTimes(frame->GetView()->GetRenderer());
    const bool maximized = frame->PlaceAtStart();
    frame->Show();
    if (maximized)
        frame->Maximize();
    frame->PlaceInformationBar();
    COrvanelView* view = frame->GetView();
    if (!options.port.empty()) {
        std::string key, detail;
        ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
        ZELKMachineConnectWnd* connection = ui->GetMachineConnectWnd();
        if (connection != nullptr && !connection->Connect(options.port, key, detail)) {
            std::fprintf(stderr, "%s: %s\n", options.port.c_str(), detail.c_str());
            view->CallAfter([key, detail] { ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk(key, detail); });
        }
    }
    // A profile that is no profile: a copy is kept before anything replaces
    // it, and the user hears once where.
    const std::string profileProblem = ZELKFileIni::GetFileIniObject()->SetAsideIfBroken();
    if (!profileProblem.empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n", profileProblem.c_str());
        view->CallAfter([profileProblem] {
            ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_profileBroken", profileProblem);
        });
    }
    // A language file that could not be read: the built-in texts stand in,
    // and the user hears once why.
    const std::string languageProblem = ZELKTranslation::GetTranslationObject()->TakeLanguageFileProblem();
    if (!languageProblem.empty())
        view->CallAfter([languageProblem] {
            ZELKUIOperation::GetUIOperationObject()->MessageBox_Zelk("id_message_languageFileProblem",
                                                                   languageProblem);
        });
    // After the first frame is on screen, so the window answers while the files load.
    if (!options.stlFiles.empty())
        view->CallAfter([view, files = options.stlFiles] { view->ImportFiles(files); });
    return frame;
}
