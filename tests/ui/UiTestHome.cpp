// Runs the window tests in a program folder of their own, with a copy of the
// shipped language files and start G-code, so what they choose is not stored in the build's files.
#include <cstdlib>
#include <filesystem>

#include <wx/debug.h>

#include "TempDir.h"
#include "UiTestSupport.h"

namespace fs = std::filesystem;

namespace {

class UiHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* bin = std::getenv("MORVADIN_BIN");
        ASSERT_NE(bin, nullptr);
        fs::create_directories(m_home.Path() / "ini");
        fs::copy(fs::path(bin) / "ini/Multi-languase", m_home.Path() / "ini/Multi-languase");
        // The slicing panel reads and writes the start G-code.
        fs::copy(fs::path(bin) / "skein_engines", m_home.Path() / "skein_engines", fs::copy_options::recursive);
        ::setenv("MORVADIN_HOME", m_home.Path().c_str(), 1);
        // A failed wx check fails the test instead of opening a dialog nobody answers.
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE_AT(file.utf8_str(), line) << func << ": " << cond << " " << msg;
        });
    }

private:
    testsupport::TempDir m_home;
};

[[maybe_unused]] const auto* const g_home = ::testing::AddGlobalTestEnvironment(new UiHome);

}  // namespace

wxImage uitest::CaptureScreen(const std::string& path)
{
    const std::string command = "import -window root '" + path + "'";
    if (std::system(command.c_str()) != 0)
        return wxImage();
    return wxImage(path, wxBITMAP_TYPE_PNG);
}

std::string uitest::ArtefactFolder()
{
    const char* bin = std::getenv("MORVADIN_BIN");
    const fs::path folder = fs::path(bin != nullptr ? bin : ".").parent_path() / "test-artefacts" / "ui";
    fs::create_directories(folder);
    return folder.string() + "/";
}
