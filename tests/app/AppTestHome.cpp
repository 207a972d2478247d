// Runs the program's window tests in a program folder of their own with a copy of the shipped files.
#include <cstdlib>
#include <filesystem>

#include <wx/debug.h>
#include <wx/image.h>

#include "AppTestSupport.h"
#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

testsupport::TempDir* g_home = nullptr;

class AppHome : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* bin = std::getenv("MORVADIN_BIN");
        ASSERT_NE(bin, nullptr);
        g_home = &m_home;
        for (const char* shipped : {"ini", "background", "skein_engines"})
            if (fs::exists(fs::path(bin) / shipped))
                fs::copy(fs::path(bin) / shipped, m_home.Path() / shipped, fs::copy_options::recursive);
        ::setenv("MORVADIN_HOME", m_home.Path().c_str(), 1);
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE_AT(file.utf8_str(), line) << func << ": " << cond << " " << msg;
        });
    }

private:
    testsupport::TempDir m_home;
};

[[maybe_unused]] const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new AppHome);

}  // namespace

bool apptest::SaveScreenshot(const std::string& name, const wxRect& area)
{
    const char* bin = std::getenv("MORVADIN_BIN");
    const fs::path folder = fs::path(bin != nullptr ? bin : ".").parent_path() / "test-artefacts" / "app";
    fs::create_directories(folder);
    const std::string path = (folder / name).string();
    if (std::system(("import -window root '" + path + "'").c_str()) != 0)
        return false;
    const wxImage screen(path, wxBITMAP_TYPE_PNG);
    return screen.IsOk() && screen.GetSubImage(area.Intersect(wxRect(screen.GetSize()))).SaveFile(path, wxBITMAP_TYPE_PNG);
}

std::string apptest::Home()
{
    return g_home != nullptr ? g_home->Path().string() + "/" : std::string();
}
