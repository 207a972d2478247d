// The line logic of the start G-code editor.
#include "StartGCodeLines.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include <locale.h>

#include "GCodeLimits.h"
#include "ScanNumbers.h"

namespace zelk {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

constexpr std::size_t kMaxWord = 80;

// The text trimmed, with every run of white space as one space.
std::string CollapseSpace(std::string_view text)
{
    std::string out;
    bool space = false;
    for (char c : Trim(text)) {
        if (IsSpace(c)) {
            space = true;
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

locale_t CLocale()
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return cLocale;
}

// The line's value when the whole line is the pattern with one finite number
// for "%s" (white space runs as in ScanStartGCodeWord).
bool ReadPatternNumber(std::string_view line, std::string_view pattern, double& value)
{
    const std::string word = ScanStartGCodeWord(line, pattern);
    if (word.empty())
        return false;
    char* end = nullptr;
    value = strtod_l(word.c_str(), &end, CLocale());
    if (end != word.c_str() + word.size() || !std::isfinite(value))
        return false;
    // The whole line must be the pattern around the word.
    std::string expected(pattern);
    expected.replace(expected.find("%s"), 2, word);
    return CollapseSpace(line) == CollapseSpace(expected);
}

struct CheckedLine {
    StartGCodeLineFormat format;
    const char* shape;  // the line as a person reads it
    double low;
    double high;
};

std::string FormatTemperatureLine(const char* code, double tempC)
{
    return std::string(code) + " S" + std::to_string(TruncateToInt(tempC)) + " T0";
}

}  // namespace

std::string ScanStartGCodeWord(std::string_view line, std::string_view pattern)
{
    const std::string_view text = Trim(line);
    const std::size_t marker = pattern.find("%s");
    const std::string_view prefix = pattern.substr(0, marker);
    std::size_t pos = 0;
    for (char expected : prefix) {
        if (IsSpace(expected)) {
            while (pos < text.size() && IsSpace(text[pos]))
                ++pos;
        } else {
            if (pos >= text.size() || text[pos] != expected)
                return std::string();
            ++pos;
        }
    }
    while (pos < text.size() && IsSpace(text[pos]))
        ++pos;
    std::size_t end = pos;
    while (end < text.size() && !IsSpace(text[end]) && end - pos < kMaxWord)
        ++end;
    return std::string(text.substr(pos, end - pos));
}

float StartGCodeNumber(const std::string& word)
{
    return static_cast<float>(strtod_l(word.c_str(), nullptr, CLocale()));
}

std::string FormatStartZHeightLine(double heightMM)
{
    // "%.1f" without the locale's decimal separator.
    char value[400];
    auto result = std::to_chars(value, value + sizeof value, heightMM, std::chars_format::fixed, 1);
    return std::string("G92 X-75 Y-75 Z") + std::string(value, result.ptr) + " A0 B0";
}

std::string FormatExtruderTemperatureLine(double tempC)
{
    return FormatTemperatureLine("M104", tempC);
}

std::string FormatPlatformTemperatureLine(double tempC)
{
    return FormatTemperatureLine("M109", tempC);
}

std::vector<std::string> SplitStartGCodeText(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            lines.emplace_back(line);
    }
    return lines;
}

std::string JoinStartGCodeLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

bool CheckStartGCodeLines(const std::vector<std::string>& lines, std::string& reason)
{
    static const CheckedLine kChecked[] = {
        {kExtruderTemperatureLine, "M104 S<extruder temperature> T0", 0, kMaxExtruderTempC},
        {kPlatformTemperatureLine, "M109 S<platform temperature> T0", 0, kMaxPlatformTempC},
        {kStartZHeightLine, "G92 X-75 Y-75 Z<start height> A0 B0", -kMaxCoordinateMM, kMaxCoordinateMM},
    };
    for (const CheckedLine& checked : kChecked) {
        const std::size_t index = static_cast<std::size_t>(checked.format.index);
        const std::string number = "line " + std::to_string(index + 1);
        if (index >= lines.size()) {
            reason = "only " + std::to_string(lines.size()) + " non-empty lines; " + number + " must be \"" +
                     checked.shape + "\"";
            return false;
        }
        double value = 0;
        if (!ReadPatternNumber(lines[index], checked.format.pattern, value)) {
            reason = number + " is not \"" + checked.shape + "\"";
            return false;
        }
        if (value < checked.low || value > checked.high) {
            reason = number + " \"" + lines[index].substr(0, kMaxWord) + "\" is outside " +
                     std::to_string(static_cast<int>(checked.low)) + ".." + std::to_string(static_cast<int>(checked.high));
            return false;
        }
    }
    reason.clear();
    return true;
}

}  // namespace zelk
