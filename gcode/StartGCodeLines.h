// The line logic of the start G-code editor: reading and writing the three
// managed lines of the slicer's start G-code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// The index of the line each value lives on, and its pattern around the word.
struct StartGCodeLineFormat {
    int index;
    std::string_view pattern;  // contains one "%s"
};

inline constexpr StartGCodeLineFormat kStartZHeightLine{9, "G92 X-75 Y-75 Z%s A0 B0"};
inline constexpr StartGCodeLineFormat kExtruderTemperatureLine{0, "M104 S%s T0"};
inline constexpr StartGCodeLineFormat kPlatformTemperatureLine{1, "M109 S%s T0"};

// As swscanf(trimmed line, pattern, word): the text before "%s" must match
// (a space in the pattern matches any run of white space, also none); the
// word is then up to 80 characters of non-white space. Empty when the line
// does not start with the expected text. What follows the word is not checked.
std::string ScanStartGCodeWord(std::string_view line, std::string_view pattern);

// The word as a number, like atof: the longest numeric prefix, 0 when none.
float StartGCodeNumber(const std::string& word);

// "G92 X-75 Y-75 Z<value %.1f> A0 B0".
std::string FormatStartZHeightLine(double heightMM);
// "M104 S<truncated value> T0" and "M109 S<truncated value> T0".
std::string FormatExtruderTemperatureLine(double tempC);
std::string FormatPlatformTemperatureLine(double tempC);

// The non-empty lines of a text, as stored by the editor: lines end at "\n",
// a "\r" before it is dropped (text-mode reading); nothing else is trimmed.
std::vector<std::string> SplitStartGCodeText(std::string_view text);

// The lines joined for saving, each followed by "\n".
std::string JoinStartGCodeLines(const std::vector<std::string>& lines);

// True when the translator can take its values from the lines (the
// non-empty lines of a start G-code): line 0 is "M104 S<t> T0", line 1
// "M109 S<t> T0" and line 9 "G92 X-75 Y-75 Z<h> A0 B0", each value a whole
// finite number within the translator's ranges (GCodeLimits.h). Otherwise
// false, with reason saying in one line which line is wrong and how.
bool CheckStartGCodeLines(const std::vector<std::string>& lines, std::string& reason);

}  // namespace zelk
