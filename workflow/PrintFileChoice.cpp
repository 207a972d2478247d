// Which file a print, an X3G export and the toolpath preview use.
#include "PrintFileChoice.h"

#include <filesystem>

#include <algorithm>
#include <cctype>

#include "ModelEdit.h"
#include "ModelFilePaths.h"

namespace ZELKCAD {

namespace {

std::string& Opened()
{
    static std::string path;
    return path;
}

bool EndsWith(const std::string& lower, const std::string& end)
{
    return lower.size() > end.size() && lower.compare(lower.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

PrintFileKind PrintFileKindOf(const std::string& path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    if (EndsWith(lower, ".x3g"))
        return PrintFileKind::kX3g;
    if (EndsWith(lower, ".gcode") || EndsWith(lower, ".gco") || EndsWith(lower, ".g"))
        return PrintFileKind::kGCode;
    return PrintFileKind::kNone;
}

const std::string& GetOpenedPrintFile()
{
    return Opened();
}

std::vector<std::string> OpenableFiles(const std::vector<std::string>& files, std::vector<std::string>& refused)
{
    std::vector<std::string> openable;
    for (const std::string& path : files) {
        std::string extension = std::filesystem::path(path).extension().string();
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        (extension == ".stl" || PrintFileKindOf(path) != PrintFileKind::kNone ? openable : refused).push_back(path);
    }
    return openable;
}

void SetOpenedPrintFile(const std::string& path)
{
    Opened() = path;
}

PlateFiles GetPlateFiles()
{
    PlateFiles files;
    ZELKModelEdit::GetModelEditObject()->GetPrintModelPathAndCount(files.modelPath, files.count);
    if (files.count == 0)
        files.modelPath.clear();
    else
        files.gcodePath = zelk::GCodePathForModel(files.modelPath);
    return files;
}

std::string GetPrintFilePath()
{
    if (!Opened().empty())
        return Opened();
    return GetPlateFiles().gcodePath;
}

}  // namespace ZELKCAD
