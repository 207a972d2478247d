// The installed program: `cmake --install` into a temporary prefix, the layout and the
// desktop files there, and the installed Morvadin-X run twice with a fresh HOME.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "ProgramProcess.h"
#include "RunProcess.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

const char* const kStartGCode = "skein_engines/skeinforge-50/skeinforge_application/prefs/QUEN/alterations/start.gcode";

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// How long to wait for the program's first frame; MORVADIN_E2E_TIMEOUT_MS overrides.
int StartTimeoutMs()
{
    const std::string value = Env("MORVADIN_E2E_TIMEOUT_MS");
    return value.empty() ? 60000 : std::stoi(value);
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every file under root with its size and change time: what "nothing was written" compares.
std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        ::lstat(entry.path().c_str(), &st);
        files[entry.path().string()] = std::to_string(st.st_size) + "/" + std::to_string(st.st_mtim.tv_sec) + "." +
                                       std::to_string(st.st_mtim.tv_nsec) + "/" + std::to_string(st.st_ctim.tv_nsec);
    }
    return files;
}

// One installation for the whole suite.
class InstalledProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_prefix = new testsupport::TempDir();
        const std::string build = fs::path(Env("MORVADIN_BIN")).parent_path().string();
        s_install = testsupport::RunProcess({"cmake", "--install", build, "--prefix", s_prefix->Path().string()});
    }
    static void TearDownTestSuite()
    {
        delete s_prefix;
        s_prefix = nullptr;
    }
    void SetUp() override { ASSERT_EQ(s_install.exitCode, 0) << s_install.out << s_install.err; }

    static fs::path Prefix() { return s_prefix->Path(); }

    static testsupport::TempDir* s_prefix;
    static testsupport::ProcessResult s_install;
};

testsupport::TempDir* InstalledProgram::s_prefix = nullptr;
testsupport::ProcessResult InstalledProgram::s_install;

TEST_F(InstalledProgram, LaysOutProgramsLibrariesAndSharedFiles)
{
    for (const char* program : {"Morvadin-X", "gcode2x3g", "s3g-sim", "s3g-print", "slicer-bridge"}) {
        const fs::path path = Prefix() / "bin" / program;
        EXPECT_TRUE(fs::exists(path)) << path;
        // The project's libraries come from the prefix, never from the build folder.
        const std::string libraries = testsupport::Shell("ldd '" + path.string() + "'");
        EXPECT_EQ(libraries.find("not found"), std::string::npos) << libraries;
        const auto line = libraries.find("libZELKFileIO.so => " + Prefix().string() + "/bin/../lib/morvadin-x/");
        EXPECT_NE(line, std::string::npos) << libraries;
        EXPECT_EQ(libraries.find(Env("MORVADIN_BIN")), std::string::npos) << libraries;
    }
    for (const char* file : {"share/morvadin-x/ini/Multi-languase/English.xml", "share/morvadin-x/background/4.bmp",
                             "share/morvadin-x/morvadin-x.svg",
                             "share/applications/morvadin-x.desktop",
                             "share/metainfo/io.github.morvadin.morvadin_x.metainfo.xml",
                             "share/icons/hicolor/scalable/apps/morvadin-x.svg", "share/man/man1/Morvadin-X.1",
                             "share/man/man1/gcode2x3g.1", "share/man/man1/s3g-sim.1", "share/man/man1/s3g-print.1",
                             "share/doc/morvadin-x/copyright"})
        EXPECT_TRUE(fs::exists(Prefix() / file)) << file;
    EXPECT_EQ(ReadAll(Prefix() / "share/morvadin-x" / kStartGCode),
              ReadAll(fs::path(Env("MORVADIN_BIN")) / kStartGCode));
    const std::string manual = ReadAll(Prefix() / "share/man/man1/gcode2x3g.1");
    EXPECT_NE(manual.find("\\-\\-start\\-gcode"), std::string::npos) << "made from the program's help";
}

TEST_F(InstalledProgram, DesktopEntryAndMetadataValidate)
{
    const std::string desktop = (Prefix() / "share/applications/morvadin-x.desktop").string();
    const testsupport::ProcessResult entry = testsupport::RunProcess({"desktop-file-validate", desktop});
    EXPECT_EQ(entry.exitCode, 0) << entry.out << entry.err;
    EXPECT_TRUE(entry.out.empty() && entry.err.empty()) << entry.out << entry.err;
    const std::string text = ReadAll(desktop);
    EXPECT_NE(text.find("\nExec=Morvadin-X %F\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nMimeType=model/stl;text/x-gcode;application/x-x3g;\n"), std::string::npos) << text;
    // The print files' own types: the database the desktop builds from them
    // knows their names.
    const fs::path mime = Prefix() / "share/mime";
    ASSERT_TRUE(fs::exists(mime / "packages/morvadin-x.xml"));
    const testsupport::ProcessResult database = testsupport::RunProcess({"update-mime-database", mime.string()});
    EXPECT_EQ(database.exitCode, 0) << database.out << database.err;
    const std::string globs = ReadAll(mime / "globs2");
    EXPECT_NE(globs.find(":application/x-x3g:*.x3g"), std::string::npos) << globs;
    EXPECT_NE(globs.find(":text/x-gcode:*.gcode"), std::string::npos) << globs;

    const testsupport::ProcessResult metadata = testsupport::RunProcess(
        {"appstreamcli", "validate", "--no-net", "--pedantic",
         (Prefix() / "share/metainfo/io.github.morvadin.morvadin_x.metainfo.xml").string()});
    EXPECT_EQ(metadata.exitCode, 0) << metadata.out << metadata.err;
    EXPECT_EQ(metadata.out.find("pedantic:"), std::string::npos) << metadata.out;
}

// The installed program with HOME set to a fresh folder and no MORVADIN_HOME.
class FreshHome {
public:
    FreshHome()
    {
        for (const char* name : {"HOME", "MORVADIN_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME",
                                 "MORVADIN_FRAME_TIMES"}) {
            const char* old = std::getenv(name);
            m_saved[name] = {old != nullptr, old != nullptr ? old : ""};
            ::unsetenv(name);
        }
        ::setenv("HOME", m_home.Path().c_str(), 1);
        ::setenv("MORVADIN_FRAME_TIMES", "1", 1);
    }
    ~FreshHome()
    {
        for (const auto& [name, value] : m_saved)
            value.first ? ::setenv(name.c_str(), value.second.c_str(), 1) : ::unsetenv(name.c_str());
    }
    const fs::path& Path() const { return m_home.Path(); }

private:
    testsupport::TempDir m_home;
    std::map<std::string, std::pair<bool, std::string>> m_saved;
};

// Starts the installed program, waits for its first frame on the screen and
// runs whileShown before ending it.
bool RunUntilShown(const fs::path& program, const std::function<void()>& whileShown = {})
{
    testsupport::ChildProcess child({program.string()});
    if (!child.Started())
        return false;
    const std::string line = child.ReadLine(StartTimeoutMs());
    if (line.rfind("frame 1 ", 0) != 0)
        return false;
    if (whileShown)
        whileShown();
    return true;
}

// The icon the window offers the desktop (_NET_WM_ICON), as xprop prints it.
std::string WindowIcon()
{
    std::string id = testsupport::Shell("timeout 10 xdotool search --sync --onlyvisible --name '^Orvanel v1.0$'");
    id = id.substr(0, id.find('\n'));
    return id.empty() ? std::string() : testsupport::Shell("xprop -id " + id + " _NET_WM_ICON");
}

TEST_F(InstalledProgram, RunsWithTheUsersOwnFoldersAndKeepsTheirChanges)
{
    FreshHome home;
    const std::map<std::string, std::string> installed = Snapshot(Prefix());
    const fs::path program = Prefix() / "bin/Morvadin-X";

    std::string icon;
    ASSERT_TRUE(RunUntilShown(program, [&icon] { icon = WindowIcon(); }));
    EXPECT_NE(icon.find("Icon (64 x 64)"), std::string::npos) << "the window shows the shipped icon: " << icon;
    const fs::path config = home.Path() / ".config/morvadin-x";
    const fs::path userStart = config / kStartGCode;
    ASSERT_TRUE(fs::exists(userStart)) << "the first run seeds the start G-code";
    const std::string shipped = ReadAll(Prefix() / "share/morvadin-x" / kStartGCode);
    EXPECT_EQ(ReadAll(userStart), shipped);
    EXPECT_TRUE(fs::is_directory(home.Path() / ".local/state/morvadin-x"));
    EXPECT_TRUE(fs::is_directory(home.Path() / ".cache/morvadin-x/PrintModel"));

    // The user edits the profile and the start G-code; the next run keeps both.
    std::ofstream(config / "morvadin.ini", std::ios::app) << "[InstallTest]\nkept=1\n";
    std::ofstream(userStart, std::ios::app) << "; edited by the user\n";
    const std::string profile = ReadAll(config / "morvadin.ini");
    const std::string edited = ReadAll(userStart);
    ASSERT_TRUE(RunUntilShown(program));
    EXPECT_EQ(ReadAll(userStart), edited);
    EXPECT_NE(ReadAll(config / "morvadin.ini").find("kept=1"), std::string::npos);

    EXPECT_EQ(Snapshot(Prefix()), installed) << "nothing is written under the prefix";
}

TEST_F(InstalledProgram, AnUnusableHomeEndsWithAMessage)
{
    FreshHome home;
    const fs::path notAFolder = home.Path() / "file";
    std::ofstream(notAFolder) << "x";
    ::setenv("HOME", notAFolder.c_str(), 1);
    // The message box would wait for a click: the program is ended (by its
    // id, when the test ends) once the line is out.
    testsupport::ChildProcess child(
        {"/bin/sh", "-c", "exec '" + (Prefix() / "bin/Morvadin-X").string() + "' 2>&1"});
    ASSERT_TRUE(child.Started());
    // The toolkit may warn first: the lines are read until the program's own.
    const std::string wanted = "cannot create the folder " + notAFolder.string();
    std::string text;
    for (std::string line = child.ReadLine(StartTimeoutMs()); !line.empty(); line = child.ReadLine(StartTimeoutMs())) {
        text += line + "\n";
        if (line.find(wanted) != std::string::npos)
            break;
    }
    EXPECT_NE(text.find(wanted), std::string::npos) << text;
}

}  // namespace
