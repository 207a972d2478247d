// Pieces of G-code text shared by the rewrite and the start G-code reading: lines, their code part, numbers.
#pragma once

#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

namespace bridge::gcodelines {

// Splits text into lines (without "\n" or a "\r" before it).
template <class Visit> inline bool ForEachLine(std::string_view text, Visit&& visit)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* lineEnd = nl != nullptr ? nl : end;
        const char* stop = lineEnd;
        if (stop > p && stop[-1] == '\r')
            --stop;
        if (!visit(std::string_view(p, static_cast<std::size_t>(stop - p))))
            return false;
        p = lineEnd + 1;
    }
    return true;
}

inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The line without its comment and surrounding blanks.
inline std::string_view CodePart(std::string_view line)
{
    const std::size_t semicolon = line.find(';');
    if (semicolon != std::string_view::npos)
        line = line.substr(0, semicolon);
    while (!line.empty() && IsBlank(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && IsBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

inline char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline bool ParseNumber(std::string_view text, double& value)
{
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    // Far beyond any machine, and kept so that the output units fit 64 bits.
    return ec == std::errc() && end == text.data() + text.size() && std::fabs(value) < 1e9;
}

}  // namespace bridge::gcodelines
