// Number reads with exactly the results of the C library's "%f" and "%d" conversions.
#include "ScanNumbers.h"

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <string>

#include <locale.h>

namespace zelk {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view SkipSpace(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    return text.substr(i);
}

// The rare forms (hexadecimal, infinity, NaN, out-of-range) go through the C
// library itself, under the "C" numeric locale, so the results match it exactly.
bool ScanFloatWithCLibrary(std::string_view text, float& value)
{
    static locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    std::string copy(text);
    locale_t previous = uselocale(cLocale);
    float read = 0;
    int n = std::sscanf(copy.c_str(), "%f", &read);
    uselocale(previous);
    if (n != 1)
        return false;
    value = read;
    return true;
}

bool IsLetterStart(char c)
{
    return c == 'i' || c == 'I' || c == 'n' || c == 'N';
}

}  // namespace

bool ScanFloat(std::string_view text, float& value)
{
    std::string_view rest = SkipSpace(text);
    if (rest.empty())
        return false;
    bool negative = false;
    std::size_t i = 0;
    if (rest[0] == '+' || rest[0] == '-') {
        negative = rest[0] == '-';
        i = 1;
    }
    if (i >= rest.size())
        return false;
    const char c = rest[i];
    if (c == '+' || c == '-')
        return false;
    const bool hex = c == '0' && i + 1 < rest.size() && (rest[i + 1] == 'x' || rest[i + 1] == 'X');
    if (hex || IsLetterStart(c))
        return ScanFloatWithCLibrary(rest, value);

    float parsed = 0;
    auto [ptr, ec] = std::from_chars(rest.data() + i, rest.data() + rest.size(), parsed,
                                     std::chars_format::general);
    if (ec == std::errc::invalid_argument)
        return false;
    if (ec != std::errc())
        return ScanFloatWithCLibrary(rest, value);
    value = negative ? -parsed : parsed;
    return true;
}

bool ScanInt(std::string_view text, int& value)
{
    std::string_view rest = SkipSpace(text);
    std::size_t i = 0;
    bool negative = false;
    if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) {
        negative = rest[0] == '-';
        i = 1;
    }
    if (i >= rest.size() || rest[i] < '0' || rest[i] > '9')
        return false;
    // Accumulate the magnitude, saturating as strtol does at the range of long.
    const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1UL
                                         : static_cast<unsigned long>(LONG_MAX);
    unsigned long magnitude = 0;
    bool saturated = false;
    for (; i < rest.size() && rest[i] >= '0' && rest[i] <= '9'; ++i) {
        if (saturated)
            continue;
        const unsigned digit = static_cast<unsigned>(rest[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            saturated = true;
        } else {
            magnitude = magnitude * 10 + digit;
        }
    }
    long asLong = negative ? static_cast<long>(0UL - magnitude) : static_cast<long>(magnitude);
    // The C library stores the long into the int as the processor does: modulo 2^32.
    value = static_cast<int>(asLong);
    return true;
}

int TruncateToInt(double v)
{
    if (!(v > -2147483649.0 && v < 2147483648.0))
        return INT_MIN;
    return static_cast<int>(v);
}

}  // namespace zelk
