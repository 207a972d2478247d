// The real program Morvadin-X started as its own process under the display: options, start-up with models, a printer.
#include <cstdio>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include <wx/image.h>

#include "ProgramProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

std::string Bin()
{
    const char* bin = std::getenv("MORVADIN_BIN");
    return bin != nullptr ? bin : "";
}

std::string Artefacts()
{
    const fs::path folder = fs::path(Bin()).parent_path() / "test-artefacts" / "e2e";
    fs::create_directories(folder);
    return folder.string() + "/";
}

// A binary STL box of the given size standing at the origin.
void WriteBox(const std::string& path, float x, float y, float z)
{
    const float c[8][3] = {{0, 0, 0}, {x, 0, 0}, {x, y, 0}, {0, y, 0}, {0, 0, z}, {x, 0, z}, {x, y, z}, {0, y, z}};
    const int quads[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    std::string out(80, '\0');
    const std::uint32_t count = 12;
    out.append(reinterpret_cast<const char*>(&count), 4);
    for (const auto& q : quads) {
        const int tris[2][3] = {{q[0], q[1], q[2]}, {q[0], q[2], q[3]}};
        for (const auto& t : tris) {
            const float normal[3] = {0, 0, 0};
            out.append(reinterpret_cast<const char*>(normal), 12);
            for (int k = 0; k < 3; ++k)
                out.append(reinterpret_cast<const char*>(c[t[k]]), 12);
            out.append(2, '\0');
        }
    }
    std::ofstream(path, std::ios::binary) << out;
}

// The id of the shown window with exactly this title, waiting up to timeoutS; empty when none.
// A visible window whose title matches the regular expression `title`.
std::string FindWindow(const std::string& title, int timeoutS)
{
    std::string id = testsupport::Shell("timeout " + std::to_string(timeoutS) +
                                        " xdotool search --sync --onlyvisible --name '" + title + "' 2>/dev/null");
    if (const auto end = id.find('\n'); end != std::string::npos)
        id = id.substr(0, end);
    return id;
}

// The window's rectangle on the screen, as xdotool reports it.
wxRect WindowRect(const std::string& window)
{
    const std::string geometry = testsupport::Shell("xdotool getwindowgeometry " + window);
    wxRect r;
    const auto position = geometry.find("Position: ");
    const auto size = geometry.find("Geometry: ");
    if (position == std::string::npos || size == std::string::npos ||
        std::sscanf(geometry.c_str() + position, "Position: %d,%d", &r.x, &r.y) != 2 ||
        std::sscanf(geometry.c_str() + size, "Geometry: %dx%d", &r.width, &r.height) != 2)
        ADD_FAILURE() << geometry;
    return r;
}

// The screen, saved under `name`; with `window`, the part it covers.
wxImage Screenshot(const std::string& name, const wxRect& window = wxRect())
{
    const std::string path = Artefacts() + name;
    if (std::system(("import -window root '" + path + "'").c_str()) != 0)
        return wxImage();
    const wxImage screen(path, wxBITMAP_TYPE_PNG);
    return window.IsEmpty() || !screen.IsOk() ? screen : screen.GetSubImage(window);
}

// Pixels in the rectangle brighter than `level` in all three channels.
int BrightPixels(const wxImage& image, const wxRect& rect, int level)
{
    int n = 0;
    for (int y = rect.y; y < rect.GetBottom(); ++y)
        for (int x = rect.x; x < rect.GetRight(); ++x)
            if (image.GetRed(x, y) > level && image.GetGreen(x, y) > level && image.GetBlue(x, y) > level)
                ++n;
    return n;
}

// Pixels of the models' light cyan and green (the platform is pink, the background grey).
int ModelPixels(const wxImage& image, const wxRect& rect)
{
    int n = 0;
    for (int y = rect.y; y < rect.GetBottom(); ++y)
        for (int x = rect.x; x < rect.GetRight(); ++x)
            if (image.GetGreen(x, y) > image.GetRed(x, y) + 40)
                ++n;
    return n;
}

// A frame's line comes before its buffers are swapped, so the screen may
// still show the frame before it: the model pixels of `plate` on screenshots
// taken until `shows` holds of them or timeoutMs passed; the last count.
template <typename Shows>
int ModelPixelsOnScreen(const std::string& name, const wxRect& frame, const wxRect& plate, Shows shows, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const wxImage shot = Screenshot(name, frame);
        const int pixels = shot.IsOk() ? ModelPixels(shot, plate) : -1;
        if (shows(pixels) || std::chrono::steady_clock::now() >= deadline)
            return pixels;
    }
}

// Reads the program's frame lines (MORVADIN_FRAME_TIMES) until a frame
// draws `models` models; false when none did within timeoutMs.
bool WaitForFrameWith(testsupport::ChildProcess& program, int models, int timeoutMs)
{
    const std::string wanted = "models=" + std::to_string(models);
    for (;;) {
        const std::string line = program.ReadLine(timeoutMs);
        if (line.empty())
            return false;
        if (line.rfind("frame ", 0) == 0 && line.compare(line.size() - std::min(line.size(), wanted.size()),
                                                         std::string::npos, wanted) == 0)
            return true;
    }
}

class Program : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(Bin().empty()) << "MORVADIN_BIN names the program folder";
        for (const char* shipped : {"ini", "background", "skein_engines"})
            if (fs::exists(fs::path(Bin()) / shipped))
                fs::copy(fs::path(Bin()) / shipped, m_home.Path() / shipped, fs::copy_options::recursive);
        ::setenv("MORVADIN_HOME", m_home.Path().c_str(), 1);
    }
    void TearDown() override { ::unsetenv("MORVADIN_HOME"); }

    testsupport::TempDir m_home;
};

TEST_F(Program, HelpAndBadOptions)
{
    const auto help = testsupport::RunProcess({Bin() + "/Morvadin-X", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("--port DEVICE"), std::string::npos);
    const auto bad = testsupport::RunProcess({Bin() + "/Morvadin-X", "--no-such-option"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--no-such-option"), std::string::npos);
}

// A display that is named but not there is one line on the terminal, not
// the toolkit's assertions.
TEST_F(Program, ADisplayThatIsNotThereIsOneLine)
{
    // A display number no X server here listens on.
    int number = 87;
    while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)))
        ++number;
    const auto run = testsupport::RunProcess({"/usr/bin/env", "DISPLAY=:" + std::to_string(number), "GDK_BACKEND=",
                                              "WAYLAND_DISPLAY=", Bin() + "/Morvadin-X"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "Morvadin-X: cannot open the display :" + std::to_string(number) +
                           " (no X server answers there): start the program from the desktop, or set DISPLAY to a "
                           "running display\n");
}

TEST_F(Program, StartsWithTheModelsGivenAndEmptiesTheImportFolder)
{
    const fs::path import = m_home.Path() / "PrintModel";
    fs::create_directories(import / "sub");
    std::ofstream(import / "old.stl") << "x";
    std::ofstream(import / "sub" / "old.gcode") << "x";
    WriteBox(m_home.File("cube.stl"), 20, 20, 20);
    WriteBox(m_home.File("bar.stl"), 40, 15, 15);

    ::setenv("MORVADIN_FRAME_TIMES", "1", 1);
    testsupport::ChildProcess program({Bin() + "/Morvadin-X", m_home.File("cube.stl"), m_home.File("bar.stl")});
    ::unsetenv("MORVADIN_FRAME_TIMES");
    ASSERT_TRUE(program.Started());
    const std::string window = FindWindow("Orvanel v1.0", 20);
    ASSERT_FALSE(window.empty());
    // The described width; tall enough for the whole tool column.
    const wxRect frame = WindowRect(window);
    EXPECT_EQ(frame.width, 1000);
    EXPECT_GE(frame.height, 660);

    // Both models drawn: the import, which empties the folder first, is done.
    ASSERT_TRUE(WaitForFrameWith(program, 2, 20000)) << "no frame drew both models";
    // The title is set as the models come in, before the frame that draws
    // them (read decoded: a title beyond ASCII escapes xdotool's patterns).
    EXPECT_EQ(testsupport::Shell("xdotool getwindowname " + window), "cube.stl, bar.stl \u2014 Orvanel v1.0\n");
    // What the program writes there goes; what it never writes stays.
    EXPECT_FALSE(fs::exists(import / "old.stl"));
    EXPECT_TRUE(fs::exists(import / "sub" / "old.gcode"));

    // The middle of the platform, where the models stand.
    const wxRect plate(330, frame.height * 6 / 10, 340, frame.height / 4);
    const int modelPixelsBefore =
        ModelPixelsOnScreen("main_window_two_models.png", frame, plate, [](int n) { return n > 500; }, 5000);
    EXPECT_GT(modelPixelsBefore, 500);
    const wxImage shot = Screenshot("main_window_two_models.png", frame);
    ASSERT_TRUE(shot.IsOk());
    // The information bar along the bottom names the selected model in white.
    EXPECT_GT(BrightPixels(shot, wxRect(300, frame.height - 32, 600, 25), 200), 40);
    EXPECT_TRUE(program.Running());

    // Keys from the keyboard reach the view once it was clicked: Ctrl+A and
    // Delete remove both models.
    testsupport::Shell("xdotool mousemove --window " + window + " 800 200 click 1");
    testsupport::Shell("xdotool key ctrl+a Delete");
    ASSERT_TRUE(WaitForFrameWith(program, 0, 10000)) << "no frame came without the models";
    EXPECT_LT(ModelPixelsOnScreen(
                  "after_ctrl_a_delete.png", frame, plate,
                  [modelPixelsBefore](int n) { return n >= 0 && n < modelPixelsBefore / 20; }, 5000),
              modelPixelsBefore / 20);
    // Ctrl+Z (the Edit menu's accelerator) brings them back.
    testsupport::Shell("xdotool key ctrl+z");
    ASSERT_TRUE(WaitForFrameWith(program, 2, 10000)) << "the undo brought no model back";
    testsupport::Shell("xdotool key ctrl+a Delete");
    ASSERT_TRUE(WaitForFrameWith(program, 0, 10000));

    // Print (Ctrl+P) without a printer: a message box of the program opens.
    testsupport::Shell("xdotool key ctrl+p");
    EXPECT_FALSE(FindWindow("^Orvanel$", 10).empty());
    Screenshot("start_print_without_printer.png");
}

// Files dragged from a file manager and dropped on the view open as if
// imported: the drop speaks the X drag-and-drop protocol from a client of its own.
TEST_F(Program, FilesDroppedFromAnotherProgramOpen)
{
    WriteBox(m_home.File("dropped box.stl"), 20, 20, 20);
    std::ofstream(m_home.File("notes.txt")) << "not a model\n";
    ::setenv("MORVADIN_FRAME_TIMES", "1", 1);
    testsupport::ChildProcess program({Bin() + "/Morvadin-X"});
    ::unsetenv("MORVADIN_FRAME_TIMES");
    ASSERT_TRUE(program.Started());
    const std::string window = FindWindow("Orvanel v1.0", 20);
    ASSERT_FALSE(window.empty());
    ASSERT_TRUE(WaitForFrameWith(program, 0, 20000)) << "no first frame";
    const wxRect frame = WindowRect(window);
    const wxPoint drop(frame.x + frame.width / 2, frame.y + frame.height / 3);

    const auto dropped = testsupport::RunProcess({Bin() + "/xdnd-drop", window, std::to_string(drop.x),
                                                  std::to_string(drop.y), m_home.File("dropped box.stl")});
    EXPECT_EQ(dropped.exitCode, 0) << dropped.err;
    ASSERT_TRUE(WaitForFrameWith(program, 1, 20000)) << "no frame drew the dropped model";
    EXPECT_EQ(testsupport::Shell("xdotool getwindowname " + window), "dropped box.stl \u2014 Orvanel v1.0\n");

    // A file that is no model is refused with a message that names it; the
    // model stays.
    const auto refused = testsupport::RunProcess({Bin() + "/xdnd-drop", window, std::to_string(drop.x),
                                                  std::to_string(drop.y), m_home.File("notes.txt")});
    EXPECT_EQ(refused.exitCode, 1) << refused.out << refused.err;
    EXPECT_EQ(refused.out, "finished, refused\n") << refused.err;
    EXPECT_FALSE(FindWindow("^Orvanel$", 10).empty()) << "no message about the text file";
    Screenshot("dropped_text_file_message.png");
    EXPECT_TRUE(program.Running());
}

TEST_F(Program, ConnectsToThePrinterNamedOnTheCommandLine)
{
    testsupport::ChildProcess sim({Bin() + "/s3g-sim"});
    ASSERT_TRUE(sim.Started());
    const std::string device = sim.ReadLine(5000);
    ASSERT_FALSE(device.empty());

    testsupport::ChildProcess program({Bin() + "/Morvadin-X", "--port", device});
    const std::string window = FindWindow("Orvanel v1.0$", 20);
    ASSERT_FALSE(window.empty());
    // The connect picture turns from grey to green once the printer answers.
    const wxRect frame = WindowRect(window);
    bool green = false;
    for (int i = 0; i < 30 && !green; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const wxImage shot = Screenshot("connected.png", frame);
        ASSERT_TRUE(shot.IsOk());
        int greenPixels = 0;
        for (int y = 10; y < 54; ++y)
            for (int x = 150; x < 194; ++x)
                if (shot.GetGreen(x, y) > shot.GetRed(x, y) + 60 && shot.GetGreen(x, y) > shot.GetBlue(x, y) + 60)
                    ++greenPixels;
        green = greenPixels > 100;
    }
    EXPECT_TRUE(green);
    EXPECT_TRUE(program.Running());
}

// A Wayland desktop, as a headless compositor with XWayland: the program goes
// through XWayland by itself and draws its view with the model given; with
// the native backend asked for, or without XWayland, it says why no window
// can open instead of failing without a word.
TEST_F(Program, OnAWaylandDesktopItDrawsThroughXWayland)
{
    if (::access("/usr/bin/weston", X_OK) != 0 || ::access("/usr/bin/Xwayland", X_OK) != 0)
        GTEST_SKIP() << "weston and Xwayland are not installed";
    testsupport::TempDir runtime;
    fs::permissions(runtime.Path(), fs::perms::owner_all, fs::perm_options::replace);
    const std::string session = "XDG_RUNTIME_DIR='" + runtime.Path().string() + "' ";
    const std::string socket = "morvadin-" + std::to_string(::getpid());
    testsupport::ChildProcess weston({"/bin/sh", "-c",
                                      session + "exec /usr/bin/weston --backend=headless-backend.so --socket=" +
                                          socket + " --xwayland --width=1024 --height=768 2>&1"});
    // Its log names the X display XWayland serves.
    std::string number;
    while (number.empty()) {
        const std::string line = weston.ReadLine(20000);
        if (line.empty())
            break;
        const std::size_t at = line.find("xserver listening on display :");
        if (at != std::string::npos)
            number = line.substr(at + 30);
    }
    ASSERT_FALSE(number.empty()) << "weston did not start XWayland";
    WriteBox(m_home.File("cube.stl"), 20, 20, 20);
    const std::string wayland = session + "WAYLAND_DISPLAY=" + socket + " MORVADIN_FRAME_TIMES=1 ";

    {
        testsupport::ChildProcess program({"/bin/sh", "-c",
                                           wayland + "DISPLAY=:" + number + " GDK_BACKEND= exec '" + Bin() +
                                               "/Morvadin-X' '" + m_home.File("cube.stl") + "'"});
        bool modelDrawn = false;
        while (!modelDrawn) {
            const std::string line = program.ReadLine(30000);
            if (line.empty())
                break;
            modelDrawn = line.rfind("frame ", 0) == 0 && line.find("models=1") != std::string::npos;
        }
        EXPECT_TRUE(modelDrawn) << "no frame with the model came";
        EXPECT_TRUE(program.Running());
    }
    {
        // The native backend chosen by the user: the OpenGL canvas allows
        // X11 only, so no window could open; the terminal hears why.
        const auto result = testsupport::RunProcess({"/usr/bin/env", "DISPLAY=:" + number, "GDK_BACKEND=wayland",
                                                     "XDG_RUNTIME_DIR=" + runtime.Path().string(),
                                                     "WAYLAND_DISPLAY=" + socket, Bin() + "/Morvadin-X"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("GDK_BACKEND=wayland leaves out X11"), std::string::npos) << result.err;
    }
    {
        // No XWayland: no window can open, not even a message box; the
        // terminal hears why and the program ends.
        const auto result = testsupport::RunProcess(
            {"/usr/bin/env", "-u", "DISPLAY", "XDG_RUNTIME_DIR=" + runtime.Path().string(), "WAYLAND_DISPLAY=" + socket,
             Bin() + "/Morvadin-X"});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("runs no XWayland"), std::string::npos) << result.err;
    }
}

TEST_F(Program, ADisplayWithoutOpenGLIsNamedInsteadOfABlankWindow)
{
    // A display of the test's own whose X server has no GLX.
    testsupport::ChildProcess xvfb({"/usr/bin/Xvfb", "-displayfd", "1", "-extension", "GLX", "-nolisten", "tcp",
                                    "-screen", "0", "1024x768x24"});
    const std::string number = xvfb.ReadLine(10000);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    const std::string display = "DISPLAY=:" + number + " ";

    testsupport::ChildProcess program(
        {"/bin/sh", "-c", display + "GDK_BACKEND= exec '" + Bin() + "/Morvadin-X' 2>&1"});
    const std::string said = program.ReadLine(20000);
    EXPECT_NE(said.find("no OpenGL"), std::string::npos) << said;
    // The message box says so; the main window never opens.
    const std::string box =
        testsupport::Shell(display + "timeout 10 xdotool search --sync --onlyvisible --name '.+' 2>/dev/null");
    ASSERT_FALSE(box.empty());
    EXPECT_EQ(testsupport::Shell(display + "xdotool search --onlyvisible --name '^Orvanel v1.0$' 2>/dev/null"), "");
    std::ifstream log(m_home.Path() / "morvadin.log");
    const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find("no 3D view: the display offers no OpenGL"), std::string::npos) << logged;

    // Closing the box ends the program.
    testsupport::Shell(display + "xdotool windowfocus --sync " + box.substr(0, box.find('\n')) + " key Return");
    EXPECT_TRUE(program.EndsWithin(std::chrono::seconds(10)));
}

}  // namespace
