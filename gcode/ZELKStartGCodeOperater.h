// Keeps the slicer's start G-code file and rewrites the three lines that
// carry the user's extruder temperature, platform temperature and start height.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum OperateStartGCodeType {
    StartGCode_ZHeight = 1,                // line 9: "G92 X-75 Y-75 Z<mm> A0 B0"
    StartGCode_ExtruderTemperature = 2,    // line 0: "M104 S<degrees> T0"
    StartGCode_PlatformTemperature = 3,    // line 1: "M109 S<degrees> T0"
};

// The managed lines are found by position among the non-empty lines of the
// file. No lock: the panels change values only while nothing translates.
class ZELKStartGCodeOperater {
public:
    // The editor of the program folder's start G-code file.
    static ZELKStartGCodeOperater* GetStartGCodeOperaterObject();

    // An editor of the file at path, read now (a missing file gives no lines).
    explicit ZELKStartGCodeOperater(std::string path);
    virtual ~ZELKStartGCodeOperater() = default;

    // Rewrites the selected line and saves the whole file, replacing it only
    // once the new content is completely written. Returns 0, with the line
    // and the file unchanged, when the file has no such line or cannot be
    // saved (GetLastError() tells why).
    int SetStartGCodeData(double value, OperateStartGCodeType type);

    std::string GetZAxisHeight() const;
    float GetExtrudeHeight() const;
    std::string GetExtrudeTemperature() const;
    float GetExtrudeHeaderPrintTemperature() const;
    std::string GetPlateTemperature() const;
    float GetPlatformPrintTemperature() const;

    const std::string& GetPath() const { return m_path; }
    const std::vector<std::string>& GetLines() const { return m_lines; }
    // True when the file could be read at construction.
    bool IsLoaded() const { return m_loaded; }
    // 1 when the file was read and its lines pass zelk::CheckStartGCodeLines,
    // so a print gets the temperatures and start height meant. Else 0, with
    // reason in one line naming the file.
    int IsStartGCodeUsable(std::string& reason) const;
    const std::string& GetLastError() const { return m_lastError; }

    // The start G-code file's place, relative to the program folder (and to
    // the user's config folder, where the edited copy lives).
    static const char* const kRelativePath;

private:
    static std::string GetFileDirPath();
    int GetFileData(const std::string& path, std::vector<std::string>& lines);
    std::string LineWord(int index, std::string_view pattern) const;

    static ZELKStartGCodeOperater* m_startGCodeOperator;

    std::string m_path;
    std::vector<std::string> m_lines;
    bool m_loaded = false;
    std::string m_lastError;
};
