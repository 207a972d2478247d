// The print workflow's small rules that need no window.
#include "WorkflowText.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace zelk {

namespace {

std::string Trim(const std::string& text)
{
    const char* space = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(space);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(space) - first + 1);
}

std::string WithoutExtension(const std::string& path)
{
    return path.size() >= 4 ? path.substr(0, path.size() - 4) : std::string();
}

}  // namespace

std::string FormatPrepareClock(int seconds)
{
    if (seconds > 3600)
        seconds -= 3600;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string GCodePathForModel(const std::string& modelPath)
{
    return WithoutExtension(Trim(modelPath)) + ".gcode";
}

ExportDialogStart ExportDialogStartForModel(const std::string& modelPath)
{
    const std::string path = Trim(modelPath);
    const std::size_t slash = path.find_last_of('/');
    ExportDialogStart start;
    start.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    start.fileName = WithoutExtension(slash == std::string::npos ? path : path.substr(slash + 1));
    return start;
}

EmptyFolderResult EmptyFolderKeepingSubfolders(const std::string& folder)
{
    EmptyFolderResult result;
    std::error_code ec;
    std::filesystem::recursive_directory_iterator it(folder, std::filesystem::directory_options::skip_permission_denied, ec);
    if (ec)
        return result;
    for (const std::filesystem::recursive_directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::error_code entryError;
        // Links are removed themselves, never followed into.
        if (it->is_directory(entryError) && !it->is_symlink(entryError))
            continue;
        if (std::filesystem::remove(it->path(), entryError))
            ++result.deleted;
        else
            ++result.failed;
    }
    return result;
}

}  // namespace zelk
