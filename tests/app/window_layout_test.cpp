// The program's window under a window manager: at the first start every picture and panel is reachable,
// and its size, position and maximised state come back at the next start.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/display.h>
#include <wx/frame.h>

#include "AppTestSupport.h"
#include "FileIni.h"
#include "MainFrame.h"
#include "OrvanelApp.h"
#include "OrvanelView.h"
#include "StlFiles.h"
#include "TempDir.h"
#include "WindowPlacement.h"
#include "ZELKInfoWnd.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

// A window manager on the test's display for the whole program, so that
// maximising and decorations behave as on a desktop. Absent: the tests that
// need it are skipped.
class WindowManager : public ::testing::Environment {
public:
    static bool Running() { return s_pid > 0; }

    void SetUp() override
    {
        const std::string ready = (m_folder.Path() / "ready").string();
        const std::string startup = "touch " + ready;
        const char* argv[] = {"openbox", "--startup", startup.c_str(), nullptr};
        pid_t pid = 0;
        if (::posix_spawnp(&pid, "openbox", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            return;
        s_pid = pid;
        if (!testsupport::PumpUntil([&] { return fs::exists(ready); }, 10000)) {
            TearDown();
            ADD_FAILURE() << "the window manager did not start";
        }
    }
    void TearDown() override
    {
        if (s_pid <= 0)
            return;
        ::kill(s_pid, SIGTERM);
        ::waitpid(s_pid, nullptr, 0);
        s_pid = 0;
    }

private:
    testsupport::TempDir m_folder;
    static inline pid_t s_pid = 0;
};

[[maybe_unused]] const auto* const g_windowManager = ::testing::AddGlobalTestEnvironment(new WindowManager);

class WindowLayout : public ::testing::Test {
protected:
    void TearDown() override { Close(); }

    CMainFrame* Start()
    {
        zelk::ProgramOptions options;
        m_frame = COrvanelApp::StartMainWindow(options);
        EXPECT_TRUE(apptest::PumpUntil([this] { return m_frame->IsShownOnScreen(); }));
        apptest::Pump(300);
        return m_frame;
    }
    void Close()
    {
        if (m_frame == nullptr)
            return;
        m_frame->Close(true);
        m_frame = nullptr;
        apptest::Pump(100);
    }
    static bool Stored(zelk::WindowPlacement& placement)
    {
        return zelk::ReadWindowPlacement(*ZELKFileIni::GetFileIniObject(), placement);
    }
    static wxRect ScreenRectOf(wxWindow* window) { return window->GetScreenRect(); }
    static void Screenshot(const std::string& name) { EXPECT_TRUE(apptest::SaveScreenshot(name)); }

    CMainFrame* m_frame = nullptr;
};

// Runs first (tests run in the order written): nothing is stored yet.
TEST_F(WindowLayout, FirstStartShowsEveryToolPictureAndPanelAboveTheInformationBar)
{
    zelk::WindowPlacement stored;
    ASSERT_FALSE(Stored(stored));
    CMainFrame* frame = Start();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    const wxRect frameRect = frame->GetScreenRect();
    const wxRect client(frame->GetView()->GetScreenPosition(), frame->GetView()->GetClientSize());
    EXPECT_GE(frameRect.width, CMainFrame::kWidth);
    EXPECT_GE(frameRect.height, CMainFrame::kHeight);
    // Within the display, as the work area allows.
    const wxRect area = wxDisplay(wxDisplay::GetFromWindow(frame)).GetClientArea();
    EXPECT_TRUE(area.Contains(frameRect)) << "frame " << frameRect.x << "," << frameRect.y << " " << frameRect.width
                                          << "x" << frameRect.height;

    ZELKInfoWnd* bar = ui->GetInfoWnd();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->IsShown());
    const int barTop = ScreenRectOf(bar).y;
    // Along the frame's bottom edge, as wide as the frame less 6 pixels each side.
    EXPECT_EQ(ScreenRectOf(bar).width, frameRect.width - 12);
    EXPECT_NEAR(ScreenRectOf(bar).GetBottom(), frameRect.GetBottom() - 5, 1);
    // The tool pictures (the edit ones shown as after a load): inside the
    // view, clear of the information bar.
    for (int id : {ID_PIC_VIEW, ID_PIC_GCODE, ID_PIC_MACHINE_CONTROL, ID_PIC_MOVE, ID_PIC_ROTATE, ID_PIC_SCALE}) {
        wxWindow* picture = wxWindow::FindWindowById(id, frame);
        ASSERT_NE(picture, nullptr) << id;
        picture->Show();
        const wxRect r = ScreenRectOf(picture);
        EXPECT_TRUE(client.Contains(r)) << "picture " << id;
        EXPECT_LT(r.GetBottom(), barTop) << "picture " << id << " under the information bar";
    }
    // The axis marker: 27 pixels from the view's left edge and 40 above its
    // bottom, its arrows reaching about 25 pixels up; neither a picture nor
    // the bar may cover it.
    const wxRect marker(client.x + 27 - 5, client.GetBottom() - 40 - 25, 30, 30);
    EXPECT_LT(marker.GetBottom(), barTop);
    for (int id : {ID_PIC_SCALE, ID_PIC_ROTATE})
        EXPECT_FALSE(marker.Intersects(ScreenRectOf(wxWindow::FindWindowById(id, frame)))) << id;

    // Each tool panel, shown where the frame puts it, lies inside the frame.
    const std::pair<PictrueCtrlStyle, wxWindow*> panels[] = {{PICTURE_VIEW, ui->GetViewWnd()},
                                                             {PICTURE_GCODE, ui->GetGCodeWnd()},
                                                             {PICTURE_MOVE, ui->GetMoveWnd()},
                                                             {PICTURE_ROTATE, ui->GetRotateWnd()},
                                                             {PICTURE_SCALE, ui->GetScaleWnd()}};
    Screenshot("first-start.png");
    for (const auto& [style, panel] : panels) {
        ASSERT_NE(panel, nullptr) << style;
        panel->Show();
        ui->SetWndPositon(frameRect.x, frameRect.y);
        apptest::Pump(50);
        EXPECT_TRUE(frameRect.Contains(ScreenRectOf(panel)))
            << "panel " << style << " at " << ScreenRectOf(panel).x << "," << ScreenRectOf(panel).y << " "
            << ScreenRectOf(panel).width << "x" << ScreenRectOf(panel).height;
        if (style == PICTURE_GCODE)
            Screenshot("first-start-slicing-panel.png");
        panel->Hide();
    }

    // The layout size is the least the window can be made.
    const wxSize minimum = frame->LayoutMinimumSize();
    frame->SetSize(400, 300);
    apptest::Pump(300);
    EXPECT_GE(frame->GetSize().x, std::min(minimum.x, area.width));
    EXPECT_GE(frame->GetSize().y, std::min(minimum.y, area.height));
}

TEST_F(WindowLayout, SizePositionAndMaximisedStateComeBackAtTheNextStart)
{
    if (!WindowManager::Running())
        GTEST_SKIP() << "no window manager (openbox) to maximise with";
    CMainFrame* frame = Start();
    frame->SetSize(40, 30, 1100, 760);
    ASSERT_TRUE(apptest::PumpUntil([frame] { return frame->GetSize() == wxSize(1100, 760); }));
    apptest::Pump(200);
    const wxRect normal = frame->GetRect();
    Close();

    zelk::WindowPlacement stored;
    ASSERT_TRUE(Stored(stored));
    EXPECT_FALSE(stored.maximized);
    EXPECT_EQ(stored.normal, (zelk::ScreenRect{normal.x, normal.y, normal.width, normal.height}));

    frame = Start();
    EXPECT_TRUE(apptest::PumpUntil([&] { return frame->GetRect() == normal; }))
        << frame->GetRect().x << "," << frame->GetRect().y << " " << frame->GetRect().width << "x"
        << frame->GetRect().height;
    frame->Maximize();
    ASSERT_TRUE(apptest::PumpUntil([frame] { return frame->IsMaximized(); }));
    apptest::Pump(300);
    Screenshot("maximised.png");
    Close();

    // Maximised is remembered together with the size to restore to.
    ASSERT_TRUE(Stored(stored));
    EXPECT_TRUE(stored.maximized);
    EXPECT_EQ(stored.normal, (zelk::ScreenRect{normal.x, normal.y, normal.width, normal.height}));

    frame = Start();
    ASSERT_TRUE(apptest::PumpUntil([frame] { return frame->IsMaximized(); }));
    apptest::Pump(300);
    frame->Maximize(false);  // (wxGTK's Restore only raises the window)
    ASSERT_TRUE(apptest::PumpUntil([frame] { return !frame->IsMaximized(); }));
    EXPECT_TRUE(apptest::PumpUntil([&] { return frame->GetRect() == normal; }))
        << frame->GetRect().x << "," << frame->GetRect().y << " " << frame->GetRect().width << "x"
        << frame->GetRect().height;
}

// The share of the pixels of `area` on the screen that are the panels' dark background.
double BackgroundShare(const wxImage& screen, const wxRect& area)
{
    const wxRect visible = area.Intersect(wxRect(screen.GetSize()));
    if (visible.IsEmpty())
        return 0;
    long dark = 0;
    for (int y = visible.y; y <= visible.GetBottom(); ++y)
        for (int x = visible.x; x <= visible.GetRight(); ++x) {
            const wxColour& b = ZELKTransparentDlg::kBackground;
            dark += std::abs(screen.GetRed(x, y) - b.Red()) + std::abs(screen.GetGreen(x, y) - b.Green()) +
                            std::abs(screen.GetBlue(x, y) - b.Blue()) <
                        24
                    ? 1
                    : 0;
        }
    return static_cast<double>(dark) / (static_cast<double>(visible.width) * visible.height);
}

// A click on the view or on any tool picture raises the main window; the
// information bar stays on top of it, as the screen shows it (it is owned by
// the main window, so the window manager keeps it above).
TEST_F(WindowLayout, TheInformationBarStaysAboveTheWindowAfterEveryClick)
{
    if (!WindowManager::Running())
        GTEST_SKIP() << "no window manager (openbox) to stack the windows";
    apptest::MessageCapture messages;  // the pictures that refuse say why without a modal box
    CMainFrame* frame = Start();
    ZELKInfoWnd* bar = ZELKUIOperation::GetUIOperationObject()->GetInfoWnd();
    ASSERT_NE(bar, nullptr);
    ASSERT_TRUE(bar->IsShown());
    const wxRect barRect = ScreenRectOf(bar);
    // The bar's own pixels are mostly its dark background; the same strip of
    // the view above it is not, so the measure tells one from the other.
    const wxRect above(barRect.x, barRect.y - barRect.height - 40, barRect.width, barRect.height);

    std::vector<std::pair<std::string, wxPoint>> clicks;
    const wxRect view = frame->GetView()->GetScreenRect();
    clicks.emplace_back("view", wxPoint(view.x + view.width / 2, view.y + view.height / 3));
    for (int id : {ID_PIC_VIEW, ID_PIC_GCODE, ID_PIC_MACHINE_CONTROL, ID_PIC_MOVE, ID_PIC_ROTATE, ID_PIC_SCALE,
                   ID_PIC_SETTING}) {
        wxWindow* picture = wxWindow::FindWindowById(id, frame);
        ASSERT_NE(picture, nullptr) << id;
        picture->Show();  // the edit pictures, as after a load
        const wxRect r = ScreenRectOf(picture);
        clicks.emplace_back("picture " + std::to_string(id), wxPoint(r.x + r.width / 2, r.y + r.height / 2));
    }
    // Another program's window takes the focus before each click, so that
    // every click activates and raises the main window again.
    auto* other = new wxFrame(nullptr, wxID_ANY, "another program", wxPoint(600, 40), wxSize(200, 100));
    other->Show();
    for (const auto& [what, at] : clicks) {
        other->Raise();
        ASSERT_TRUE(apptest::PumpUntil([other] { return other->IsActive(); })) << what;
        ASSERT_EQ(std::system(("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                               " click 1")
                                  .c_str()),
                  0);
        // The click took the focus from the other window (and the window
        // manager raised the main window).
        ASSERT_TRUE(apptest::PumpUntil([other] { return !other->IsActive(); })) << what;
        wxImage screen;
        EXPECT_TRUE(apptest::PumpUntil([&] {
            screen = testsupport::CaptureScreen(testsupport::ArtefactFolder("app") + "bar-after-click.png");
            return screen.IsOk() && BackgroundShare(screen, barRect) > 0.6;
        })) << "the information bar is hidden after a click on the " << what << ": "
            << BackgroundShare(screen, barRect);
        EXPECT_LT(BackgroundShare(screen, above), 0.3) << what;
    }
    other->Destroy();
}

}  // namespace
