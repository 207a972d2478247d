// Number reads with exactly the results of the C library's "%f" and "%d"
// conversions, without the cost of a formatted read per word.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zelk {

// As sscanf(text, "%f", &value): leading white space is skipped and the
// longest number prefix is converted to single precision. Returns false (value
// unchanged) when no number can be read. Always uses '.' as decimal point.
bool ScanFloat(std::string_view text, float& value);

// As sscanf(text, "%d", &value), including the C library's handling of
// values beyond the range of long and int.
bool ScanInt(std::string_view text, int& value);

// As sscanf(word, "<letter>%f"): the word must start with the letter.
inline bool ScanLetterFloat(std::string_view word, char letter, float& value)
{
    return !word.empty() && word.front() == letter && ScanFloat(word.substr(1), value);
}

// As sscanf(word, "<letter>%d").
inline bool ScanLetterInt(std::string_view word, char letter, int& value)
{
    return !word.empty() && word.front() == letter && ScanInt(word.substr(1), value);
}

// Truncation toward zero of a double to int, defined for every input: values
// outside the int range and NaN give INT_MIN, as the processor's conversion does.
inline int TruncateToInt(double v)
{
    if (!(v > -2147483649.0 && v < 2147483648.0))
        return INT_MIN;
    return static_cast<int>(v);
}

// True when `exact` lies exactly halfway between its nearest float
// `rounded` and the float next to it on its side: a tie, which a conversion
// from the decimal digits breaks by them (not by rounding the double), so a
// fast reader must leave such a number to the exact one.
inline bool IsFloatTie(double exact, float rounded)
{
    const double back = rounded;
    if (back == exact)
        return false;
    // The neighbouring float on the side of the exact value: one step of the
    // bit pattern, up in magnitude when the exact value lies further from zero.
    std::uint32_t bits = 0;
    std::memcpy(&bits, &rounded, sizeof bits);
    const bool furtherFromZero = (exact > back) == (rounded > 0);
    bits = furtherFromZero ? bits + 1 : bits - 1;
    float other = 0;
    std::memcpy(&other, &bits, sizeof other);
    return (back + static_cast<double>(other)) * 0.5 == exact;
}

}  // namespace zelk
