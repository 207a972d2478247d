// ARCHITECTURE.md stays a true map of the code, and the user interface keeps
// its shape: every source file has its row and every row its file; no folder
// of the program's upper layers has an include circle; no widget includes the
// coordinator or another panel.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = MORVADIN_SOURCE_DIR;

// Top-level folders that hold no program source.
const std::set<std::string> kNotSource = {"tests", "build", "resources", "packaging", "docs", "scripts", "cmake"};

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsSource(const fs::path& path)
{
    return path.extension() == ".h" || path.extension() == ".cpp";
}

// The source folders at the top of the tree.
std::vector<std::string> SourceFolders()
{
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(kRoot)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory() || name.front() == '.' || kNotSource.count(name) != 0)
            continue;
        for (const auto& file : fs::recursive_directory_iterator(entry.path()))
            if (file.is_regular_file() && IsSource(file.path())) {
                folders.push_back(name);
                break;
            }
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

// Every source file, as its path from the root ("ui/ZELKGCodeWnd.cpp").
std::set<std::string> SourceFiles()
{
    std::set<std::string> files;
    for (const std::string& folder : SourceFolders())
        for (const auto& file : fs::recursive_directory_iterator(kRoot / folder))
            if (file.is_regular_file() && IsSource(file.path()))
                files.insert(fs::relative(file.path(), kRoot).generic_string());
    return files;
}

// The files the map's rows name: "| `ui/ZELKGCodeWnd` | .h .cpp | ... |".
std::set<std::string> MappedFiles(const std::string& map)
{
    std::set<std::string> files;
    const std::regex row(R"re(^\| `([^`]+)` \| ((?:\.(?:h|cpp) ?)+) \|)re");
    std::istringstream lines(map);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, row))
            continue;
        std::istringstream extensions(match[2].str());
        for (std::string extension; extensions >> extension;)
            files.insert(match[1].str() + extension);
    }
    return files;
}

std::vector<std::string> QuotedIncludes(const fs::path& file)
{
    std::vector<std::string> includes;
    const std::regex include(R"re(^\s*#\s*include\s+"([^"]+)")re");
    std::istringstream lines(ReadText(file));
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, include))
            includes.push_back(fs::path(match[1].str()).filename().string());
    }
    return includes;
}

// A circle among the modules (a header with its source) of one folder,
// written "A -> B -> A"; empty when there is none.
std::string IncludeCircle(const std::string& folder)
{
    std::map<std::string, std::set<std::string>> uses;
    std::set<std::string> headers;
    for (const auto& file : fs::directory_iterator(kRoot / folder))
        if (file.path().extension() == ".h")
            headers.insert(file.path().stem().string());
    for (const auto& file : fs::directory_iterator(kRoot / folder)) {
        if (!IsSource(file.path()))
            continue;
        const std::string module = file.path().stem().string();
        uses[module];
        for (const std::string& include : QuotedIncludes(file.path())) {
            const std::string used = fs::path(include).stem().string();
            if (used != module && headers.count(used) != 0)
                uses[module].insert(used);
        }
    }
    std::map<std::string, int> state;  // 1 on the path, 2 done
    std::vector<std::string> path;
    std::string circle;
    std::function<bool(const std::string&)> visit = [&](const std::string& module) {
        state[module] = 1;
        path.push_back(module);
        for (const std::string& next : uses[module]) {
            if (state[next] == 1) {
                const auto start = std::find(path.begin(), path.end(), next);
                for (auto it = start; it != path.end(); ++it)
                    circle += *it + " -> ";
                circle += next;
                return true;
            }
            if (state[next] == 0 && visit(next))
                return true;
        }
        path.pop_back();
        state[module] = 2;
        return false;
    };
    for (const auto& [module, used] : uses)
        if (state[module] == 0 && visit(module))
            break;
    return circle;
}

}  // namespace

TEST(ArchitectureMap, EverySourceFileHasItsRowAndEveryRowItsFile)
{
    const std::string map = ReadText(kRoot / "ARCHITECTURE.md");
    ASSERT_FALSE(map.empty()) << "no ARCHITECTURE.md at " << kRoot;
    const std::set<std::string> sources = SourceFiles();
    const std::set<std::string> mapped = MappedFiles(map);
    ASSERT_GT(sources.size(), 100u);
    for (const std::string& file : sources)
        EXPECT_TRUE(mapped.count(file) != 0) << file << " is not in ARCHITECTURE.md";
    for (const std::string& file : mapped)
        EXPECT_TRUE(sources.count(file) != 0) << "ARCHITECTURE.md names " << file << ", which is not there";
}

TEST(ArchitectureMap, EverySourceFolderIsInTheFolderTable)
{
    const std::string map = ReadText(kRoot / "ARCHITECTURE.md");
    for (const std::string& folder : SourceFolders())
        EXPECT_NE(map.find("| `" + folder + "/` |"), std::string::npos) << folder << "/ has no row";
}

TEST(UiShape, TheUpperFoldersHaveNoIncludeCircle)
{
    for (const char* folder : {"ui", "workflow", "app", "machine_link", "gcode", "s3g"})
        EXPECT_EQ(IncludeCircle(folder), "") << "in " << folder << "/";
}

// Widgets report to PanelHost; the coordinator alone decides which panel
// follows, so only its own files include it, and no panel includes another.
TEST(UiShape, NoWidgetIncludesTheCoordinatorOrAnotherPanel)
{
    const std::regex panel(R"(ZELK\w+Wnd)");
    for (const auto& file : fs::directory_iterator(kRoot / "ui")) {
        if (!IsSource(file.path()))
            continue;
        const std::string module = file.path().stem().string();
        if (module.rfind("ZELKUI", 0) == 0)
            continue;  // the coordinator's own files
        for (const std::string& include : QuotedIncludes(file.path())) {
            const std::string used = fs::path(include).stem().string();
            EXPECT_NE(used, "ZELKUIOperation") << file.path().filename() << " includes the coordinator";
            if (std::regex_match(module, panel) && used != module && std::regex_match(used, panel))
                ADD_FAILURE() << file.path().filename() << " includes the panel " << include;
        }
    }
}
