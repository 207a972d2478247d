// Keeps the slicer's start G-code file and rewrites its three managed lines.
#include "ZELKStartGCodeOperater.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "AtomicFileWriter.h"
#include "ProgramFolder.h"
#include "StartGCodeLines.h"

const char* const ZELKStartGCodeOperater::kRelativePath =
    "skein_engines/skeinforge-50/skeinforge_application/prefs/QUEN/alterations/start.gcode";

ZELKStartGCodeOperater* ZELKStartGCodeOperater::m_startGCodeOperator = nullptr;

ZELKStartGCodeOperater* ZELKStartGCodeOperater::GetStartGCodeOperaterObject()
{
    if (m_startGCodeOperator == nullptr) {
        // The user's copy, seeded from the shipped file on the first run; when
        // no copy can be made the shipped file is read and saving reports why.
        std::string error;
        std::string path = zelk::SeedUserFile(kRelativePath, error);
        if (path.empty())
            path = GetFileDirPath() + kRelativePath;
        m_startGCodeOperator = new ZELKStartGCodeOperater(path);
    }
    return m_startGCodeOperator;
}

ZELKStartGCodeOperater::ZELKStartGCodeOperater(std::string path) : m_path(std::move(path))
{
    m_loaded = GetFileData(m_path, m_lines) != 0;
}

std::string ZELKStartGCodeOperater::GetFileDirPath()
{
    return zelk::GetProgramFolder();
}

int ZELKStartGCodeOperater::GetFileData(const std::string& path, std::vector<std::string>& lines)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        m_lastError = "cannot open " + path + ": " + std::strerror(errno);
        return 0;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        m_lastError = "cannot read " + path;
        return 0;
    }
    lines = zelk::SplitStartGCodeText(text.str());
    return 1;
}

int ZELKStartGCodeOperater::SetStartGCodeData(double value, OperateStartGCodeType type)
{
    int index = -1;
    std::string line;
    switch (type) {
    case StartGCode_ZHeight:
        index = zelk::kStartZHeightLine.index;
        line = zelk::FormatStartZHeightLine(value);
        break;
    case StartGCode_ExtruderTemperature:
        index = zelk::kExtruderTemperatureLine.index;
        line = zelk::FormatExtruderTemperatureLine(value);
        break;
    case StartGCode_PlatformTemperature:
        index = zelk::kPlatformTemperatureLine.index;
        line = zelk::FormatPlatformTemperatureLine(value);
        break;
    default:
        m_lastError = "unknown start G-code value";
        return 0;
    }
    if (index >= static_cast<int>(m_lines.size())) {
        m_lastError = m_path + " has no line " + std::to_string(index + 1) + " to set";
        return 0;
    }

    std::vector<std::string> updated = m_lines;
    updated[static_cast<std::size_t>(index)] = line;
    zelk::AtomicFileWriter writer(m_path);
    if (!writer.Open() || !writer.Write(zelk::JoinStartGCodeLines(updated)) || !writer.Commit(true)) {
        m_lastError = writer.Error();
        return 0;
    }
    m_lines = std::move(updated);
    m_lastError.clear();
    return 1;
}

std::string ZELKStartGCodeOperater::LineWord(int index, std::string_view pattern) const
{
    if (index >= static_cast<int>(m_lines.size()))
        return std::string();
    return zelk::ScanStartGCodeWord(m_lines[static_cast<std::size_t>(index)], pattern);
}

std::string ZELKStartGCodeOperater::GetZAxisHeight() const
{
    return LineWord(zelk::kStartZHeightLine.index, zelk::kStartZHeightLine.pattern);
}

float ZELKStartGCodeOperater::GetExtrudeHeight() const
{
    return zelk::StartGCodeNumber(GetZAxisHeight());
}

std::string ZELKStartGCodeOperater::GetExtrudeTemperature() const
{
    return LineWord(zelk::kExtruderTemperatureLine.index, zelk::kExtruderTemperatureLine.pattern);
}

float ZELKStartGCodeOperater::GetExtrudeHeaderPrintTemperature() const
{
    return zelk::StartGCodeNumber(GetExtrudeTemperature());
}

std::string ZELKStartGCodeOperater::GetPlateTemperature() const
{
    return LineWord(zelk::kPlatformTemperatureLine.index, zelk::kPlatformTemperatureLine.pattern);
}

float ZELKStartGCodeOperater::GetPlatformPrintTemperature() const
{
    return zelk::StartGCodeNumber(GetPlateTemperature());
}

int ZELKStartGCodeOperater::IsStartGCodeUsable(std::string& reason) const
{
    if (!m_loaded) {
        reason = m_lastError;
        return 0;
    }
    if (!zelk::CheckStartGCodeLines(m_lines, reason)) {
        reason = m_path + ": " + reason;
        return 0;
    }
    return 1;
}
