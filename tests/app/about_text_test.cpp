// The About box's licence text against the package's copyright file: the
// same libraries with the same licences, the GPL version the package claims,
// and the version CMake builds.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "AboutText.h"

namespace {

std::string ReadFile(const char* path)
{
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The copyright file's paragraphs, split at empty lines, each as its lines.
std::vector<std::vector<std::string>> Paragraphs(const std::string& text)
{
    std::vector<std::vector<std::string>> paragraphs(1);
    for (const std::string& line : Lines(text)) {
        if (line.find_first_not_of(" \t") == std::string::npos) {
            if (!paragraphs.back().empty())
                paragraphs.emplace_back();
        } else {
            paragraphs.back().push_back(line);
        }
    }
    if (paragraphs.back().empty())
        paragraphs.pop_back();
    return paragraphs;
}

// The value of a field in a paragraph: its first line only; empty when absent.
std::string Field(const std::vector<std::string>& paragraph, const std::string& name)
{
    for (const std::string& line : paragraph)
        if (line.rfind(name + ":", 0) == 0) {
            const std::size_t start = line.find_first_not_of(" \t", name.size() + 1);
            return start == std::string::npos ? std::string() : line.substr(start);
        }
    return {};
}

// The libraries the copyright file lists in its header's comment, one line
// each: " name [packages]: licence".
std::vector<zelk::ThirdPartyLicence> ListedLibraries(const std::vector<std::string>& header)
{
    static const std::regex entry(R"(^ (\S.*) \[[a-z0-9.+ -]+\]: (\S.*)$)");
    std::vector<zelk::ThirdPartyLicence> listed;
    bool inComment = false;
    for (const std::string& line : header) {
        if (line.empty() || line[0] != ' ') {
            inComment = line.rfind("Comment:", 0) == 0;
            continue;
        }
        std::smatch m;
        if (inComment && std::regex_match(line, m, entry))
            listed.push_back({m[1].str(), m[2].str()});
    }
    return listed;
}

class AboutText : public ::testing::Test {
protected:
    void SetUp() override
    {
        copyright = ReadFile(MORVADIN_COPYRIGHT_FILE);
        ASSERT_FALSE(copyright.empty()) << "cannot read " << MORVADIN_COPYRIGHT_FILE;
        paragraphs = Paragraphs(copyright);
        ASSERT_GE(paragraphs.size(), 2u);
        listed = ListedLibraries(paragraphs.front());
        about = zelk::AboutLicenceText();
    }

    std::string copyright;
    std::vector<std::vector<std::string>> paragraphs;
    std::vector<zelk::ThirdPartyLicence> listed;
    std::string about;
};

TEST_F(AboutText, NamesTheProgramWithTheVersionCMakeBuilds)
{
    const std::vector<std::string> lines = Lines(about);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), std::string("Morvadin-X ") + MORVADIN_EXPECTED_VERSION);
}

TEST_F(AboutText, SaysGplVersion3OrLaterAsThePackageAndTheMetadataDo)
{
    EXPECT_NE(about.find("free software under the GNU General Public License, version 3 or later"),
              std::string::npos)
        << about;

    // The project's own files, in the copyright file: every file, GPL-3+.
    bool ownFiles = false;
    for (const auto& paragraph : paragraphs)
        if (Field(paragraph, "Files") == "*") {
            ownFiles = true;
            EXPECT_EQ(Field(paragraph, "License"), "GPL-3+");
        }
    EXPECT_TRUE(ownFiles) << "no 'Files: *' paragraph in the copyright file";
    EXPECT_EQ(Field(paragraphs.front(), "Format"),
              "https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");

    const std::string metainfo = ReadFile(MORVADIN_METAINFO_FILE);
    EXPECT_NE(metainfo.find("<project_license>GPL-3.0-or-later</project_license>"), std::string::npos);
}

TEST_F(AboutText, ListsTheLibrariesOfTheCopyrightFileWithTheirLicences)
{
    // The libraries the shipped program is known to use are in the file, so
    // a file whose list cannot be read does not pass with nothing to compare.
    for (const char* known : {"wxWidgets 3.2", "GTK 3", "Mesa GLU", "spdlog", "fmt", "pugixml", "SimpleIni"}) {
        bool found = false;
        for (const auto& library : listed)
            found = found || library.name == known;
        EXPECT_TRUE(found) << known << " is not listed in the copyright file";
    }
    bool engine = false;
    for (const auto& library : listed)
        engine = engine || library.name.rfind("PrusaSlicer", 0) == 0;
    EXPECT_TRUE(engine) << "the slicing engine is not listed in the copyright file";

    // Each listed library has its own line in the About text, its licence
    // beside it...
    const std::vector<std::string> lines = Lines(about);
    for (const auto& library : listed) {
        const std::string line = library.name + ": " + library.licence;
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
            << "the About text lacks \"" << line << "\"\n"
            << about;
    }
    // ...and the About text names no library the file does not list.
    const auto& shown = zelk::ThirdPartyLicences();
    EXPECT_EQ(shown.size(), listed.size());
    for (const auto& library : shown) {
        bool found = false;
        for (const auto& entry : listed)
            found = found || (entry.name == library.name && entry.licence == library.licence);
        EXPECT_TRUE(found) << "the copyright file does not list \"" << library.name << ": " << library.licence
                           << "\"";
        EXPECT_NE(about.find(library.name + ": " + library.licence + "\n"), std::string::npos);
    }
}

}  // namespace
