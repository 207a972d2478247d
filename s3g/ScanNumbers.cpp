// Number reads with exactly the results of the C library's "%f" and "%d" conversions.
#include "ScanNumbers.h"

#include <charconv>
#include <cstdint>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
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

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Plain decimals of up to fifteen digits ("-12.345", "1800.000",
// "12345.67891"), which is nearly every number in sliced G-code. The digits
// and the power of ten are exact doubles, so their quotient is the correctly
// rounded double; rounding that to float gives the correctly rounded float
// unless the double lies exactly halfway between two floats (only there can
// two roundings differ from one). Returns false for that case and for
// anything else (exponents, long digit runs): the full conversion decides.
#if defined(__GNUC__)
__attribute__((always_inline))
#endif
inline bool ScanShortDecimal(const char* p, const char* end, float& value)
{
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    uint64_t mantissa = 0;
    const char* start = p;
    while (p < end && IsDigit(*p))
        mantissa = mantissa * 10 + static_cast<uint64_t>(*p++ - '0');
    int digits = static_cast<int>(p - start);
    int decimals = 0;
    if (p < end && *p == '.') {
        const char* fraction = ++p;
        while (p < end && IsDigit(*p))
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p++ - '0');
        decimals = static_cast<int>(p - fraction);
        digits += decimals;
    }
    // At most fifteen digits: the mantissa is exact and cannot have wrapped.
    if (digits == 0 || digits > 15)
        return false;
    if (p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'))
        return false;  // an exponent or a hexadecimal number
    const double exact = static_cast<double>(mantissa) / kPow10[decimals];
    const float rounded = static_cast<float>(exact);
    if (IsFloatTie(exact, rounded))
        return false;
    value = rounded;
    return true;
}

}  // namespace

bool ScanFloat(std::string_view text, float& value)
{
    // The common case first: an unsigned or negative plain decimal.
    if (!text.empty()) {
        const bool negative = text[0] == '-';
        const char* begin = text.data() + (negative ? 1 : 0);
        const char* end = text.data() + text.size();
        float parsed = 0;
        if (begin < end && IsDigit(*begin) && ScanShortDecimal(begin, end, parsed)) {
            value = negative ? -parsed : parsed;
            return true;
        }
    }
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
    if (ScanShortDecimal(rest.data() + i, rest.data() + rest.size(), parsed)) {
        value = negative ? -parsed : parsed;
        return true;
    }
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

}  // namespace zelk
