// The line logic of the start G-code editor.
#include "StartGCodeLines.h"

#include <charconv>
#include <cstdlib>

#include <locale.h>

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
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return static_cast<float>(strtod_l(word.c_str(), nullptr, cLocale));
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

}  // namespace zelk
