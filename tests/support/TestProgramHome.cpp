// Gives every test binary it is linked into a program folder of its own: a
// copy of the shipped languages, backgrounds and start G-code in a temporary
// folder named by MORVADIN_HOME, and wx checks that fail the test instead of
// opening a dialog nobody answers.
#include "TestProgramHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <wx/debug.h>

#include "TempDir.h"

namespace fs = std::filesystem;

namespace {

// The shipped folders the program reads at run time (what the installer
// puts beside the program).
constexpr const char* kShipped[] = {"ini", "background", "skein_engines"};

testsupport::TempDir* g_home = nullptr;

class ProgramHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        const char* bin = std::getenv("MORVADIN_BIN");
        ASSERT_NE(bin, nullptr) << "MORVADIN_BIN names the build's program folder";
        ASSERT_FALSE(m_home.Path().empty()) << "no temporary folder";
        for (const char* shipped : kShipped) {
            const fs::path from = fs::path(bin) / shipped;
            ASSERT_TRUE(fs::is_directory(from)) << from << " is missing from the build";
            fs::copy(from, m_home.Path() / shipped, fs::copy_options::recursive);
        }
        // The window tests were written against the program's own first
        // language: the profile has it chosen, whatever the machine's locale.
        std::ofstream(m_home.Path() / "morvadin.ini") << "[Multi-language]\nlanguage=0\n";
        ::setenv("MORVADIN_HOME", m_home.Path().c_str(), 1);
        g_home = &m_home;
        wxSetAssertHandler([](const wxString& file, int line, const wxString& func, const wxString& cond,
                              const wxString& msg) {
            ADD_FAILURE_AT(file.utf8_str(), line) << func << ": " << cond << " " << msg;
        });
    }
private:
    testsupport::TempDir m_home;
};

[[maybe_unused]] const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ProgramHomeEnvironment);

}  // namespace

std::string testsupport::ProgramHome()
{
    return g_home != nullptr ? g_home->Path().string() + "/" : std::string();
}
