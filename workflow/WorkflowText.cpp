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

std::string FillPattern(const std::string& pattern, const std::vector<std::string>& values)
{
    std::string text;
    text.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const std::size_t index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < values.size()) {
            text += values[index];
            ++i;
        } else {
            text += pattern[i];
        }
    }
    return text;
}

std::string FormatPrepareClock(int seconds)
{
    if (seconds > 3600)
        seconds -= 3600;
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d", seconds / 60, seconds % 60);
    return text;
}

ExportDialogStart ExportDialogStartForModel(const std::string& modelPath)
{
    const std::string path = Trim(modelPath);
    const std::size_t slash = path.find_last_of('/');
    ExportDialogStart start;
    start.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    start.fileName = WithoutExtension(slash == std::string::npos ? path : path.substr(slash + 1)) + ".x3g";
    return start;
}

std::string WithX3gExtension(const std::string& path)
{
    const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 without a slash
    if (path.size() == nameStart || path.find('.', nameStart) != std::string::npos)
        return path;
    return path + ".x3g";
}

EmptyFolderResult EmptyWorkingFolder(const std::string& folder)
{
    EmptyFolderResult result;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return result;
    for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            break;
        std::error_code entryError;
        const std::filesystem::path& path = it->path();
        const bool written = path.extension() == ".stl" || path.extension() == ".gcode";
        if (!written || it->is_symlink(entryError) || !it->is_regular_file(entryError))
            continue;
        if (std::filesystem::remove(path, entryError))
            ++result.deleted;
        else
            ++result.failed;
    }
    return result;
}

}  // namespace zelk
