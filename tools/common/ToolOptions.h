// Numbers on the tools' command lines: read whole, finite and within the
// range an option allows, or refused with one line that says what is expected.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tooloptions {

// The values an option takes, both ends included unless lowExclusive.
struct Range {
    double low = 0;
    double high = 0;
    bool lowExclusive = false;  // "more than low": a positive number is {0, high, true}
};

// A decimal number written whole: an optional sign, digits with at most one
// point, an optional exponent. No spaces, no "nan" or "inf", no hexadecimal,
// nothing after it; a value too large for a double (1e999) or too small to be
// told from zero (1e-999) is refused as well. -0 reads as 0.
std::optional<double> ReadDecimal(std::string_view text);
// ReadDecimal within range.
std::optional<double> ReadDecimal(std::string_view text, const Range& range);

// A whole number in decimal digits alone (no sign, point or exponent) within
// [low, high].
std::optional<long long> ReadWhole(std::string_view text, long long low, long long high);

// Seconds from lowMs to highMs milliseconds, as whole milliseconds (a part
// of one rounded up).
std::optional<int> ReadSecondsAsMs(std::string_view text, int lowMs, int highMs);

// "OPTION needs EXPECTED, not 'TEXT'": one line, whatever the text holds.
std::string Refusal(std::string_view option, std::string_view expected, std::string_view text);

// A number for a message: "0.013", "3600", "1000000".
std::string Shown(double value);

}  // namespace tooloptions
