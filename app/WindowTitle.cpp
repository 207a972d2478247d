// The main window's title.
#include "WindowTitle.h"

#include <filesystem>

namespace zelk {

namespace {

std::string FileName(const std::string& path)
{
    const std::string name = std::filesystem::path(path).filename().string();
    return name.empty() ? path : name;
}

}  // namespace

std::string WindowTitle(const std::vector<std::string>& modelPaths, const std::string& openedPrintFile)
{
    std::string names;
    if (!openedPrintFile.empty()) {
        names = FileName(openedPrintFile);
    } else {
        for (std::size_t i = 0; i < modelPaths.size() && i < kTitleNames; ++i)
            names += (i == 0 ? "" : ", ") + FileName(modelPaths[i]);
        if (modelPaths.size() > kTitleNames)
            names += " +" + std::to_string(modelPaths.size() - kTitleNames);
    }
    return names.empty() ? kProgramTitle : names + " \u2014 " + kProgramTitle;
}

}  // namespace zelk
