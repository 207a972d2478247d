// Numbers on the tools' command lines.
#include "ToolOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace tooloptions {
namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The length of the run of digits at text[pos].
std::size_t Digits(std::string_view text, std::size_t pos)
{
    std::size_t n = 0;
    while (pos + n < text.size() && IsDigit(text[pos + n]))
        ++n;
    return n;
}

// Whether text is [+-] digits [. digits] [e [+-] digits], with a digit on one
// side of the point at least.
bool IsDecimal(std::string_view text)
{
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        ++pos;
    const std::size_t whole = Digits(text, pos);
    pos += whole;
    std::size_t fraction = 0;
    if (pos < text.size() && text[pos] == '.') {
        fraction = Digits(text, pos + 1);
        pos += 1 + fraction;
    }
    if (whole + fraction == 0)
        return false;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            ++pos;
        const std::size_t exponent = Digits(text, pos);
        if (exponent == 0)
            return false;
        pos += exponent;
    }
    return pos == text.size();
}

bool HasNonZeroDigit(std::string_view mantissa)
{
    for (char c : mantissa) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

}  // namespace

std::optional<double> ReadDecimal(std::string_view text)
{
    if (!IsDecimal(text))
        return std::nullopt;
    // from_chars takes no '+' and reads the same in every locale.
    std::string_view digits = text;
    if (digits.front() == '+')
        digits.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return std::nullopt;
    // A number written with a nonzero digit that reads as 0 was too small to hold.
    if (value == 0 && HasNonZeroDigit(digits))
        return std::nullopt;
    return value == 0 ? 0.0 : value;  // -0 is 0
}

std::optional<double> ReadDecimal(std::string_view text, const Range& range)
{
    const std::optional<double> value = ReadDecimal(text);
    if (!value)
        return std::nullopt;
    const bool aboveLow = range.lowExclusive ? *value > range.low : *value >= range.low;
    if (!aboveLow || !(*value <= range.high))
        return std::nullopt;
    return value;
}

std::optional<long long> ReadWhole(std::string_view text, long long low, long long high)
{
    if (text.empty() || Digits(text, 0) != text.size())
        return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::optional<int> ReadSecondsAsMs(std::string_view text, int lowMs, int highMs)
{
    const std::optional<double> seconds = ReadDecimal(text);
    if (!seconds)
        return std::nullopt;
    // Decimal seconds are not exact in binary (0.013 s is 12.99999... ms):
    // a hair's breadth is allowed at both ends, and a part of a millisecond
    // is rounded up, so that no wait is shorter than asked.
    constexpr double kHairMs = 1e-6;
    const double ms = *seconds * 1000.0;
    if (ms < lowMs - kHairMs || ms > highMs + kHairMs)
        return std::nullopt;
    return static_cast<int>(std::min<double>(highMs, std::max<double>(lowMs, std::ceil(ms - kHairMs))));
}

std::string Refusal(std::string_view option, std::string_view expected, std::string_view text)
{
    // The text goes into one line: control characters are shown as '?', and a
    // very long one is cut.
    constexpr std::size_t kShownChars = 40;
    std::string shown;
    for (char c : text.substr(0, kShownChars))
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    if (text.size() > kShownChars)
        shown += "...";
    return std::string(option) + " needs " + std::string(expected) + ", not '" + shown + "'";
}

std::string Shown(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

}  // namespace tooloptions
