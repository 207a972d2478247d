// One line of G-code as any slicer writes it, read into its command and words.
#include "GCodeLine.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "GCodeWords.h"

namespace zelk::gcode {

namespace {

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// Exact powers of ten: a mantissa of up to 15 digits divided by one of
// them is the correctly rounded value.
constexpr double kPowersOfTen[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kFastDigits = 15;
// Command and line numbers beyond this are no command a firmware knows.
constexpr double kMaxCode = 1e9;

// A number at `at`: an optional sign, digits, a point, more digits. G-code
// numbers have no exponent: the E of "X10E5" is the next word. Moves `at`
// past it; false when there is none.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
bool ReadNumberDigitByDigit(std::string_view text, std::size_t& at, double& value);

// The common case first: at most 15 digits in all, so that none is dropped
// and the division is exact, with the result ReadNumberDigitByDigit gives.
inline bool ReadNumber(std::string_view text, std::size_t& at, double& value)
{
    const char* const begin = text.data() + at;
    const char* const end = text.data() + text.size();
    const char* p = begin;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '+' || *p == '-'))
        ++p;
    const char* const first = p;
    unsigned long long mantissa = 0;
    while (p < end && static_cast<unsigned>(*p - '0') <= 9)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
    int fraction = 0;
    if (p < end && *p == '.') {
        const char* const fractionBegin = ++p;
        while (p < end && static_cast<unsigned>(*p - '0') <= 9)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
        fraction = static_cast<int>(p - fractionBegin);
    }
    const std::ptrdiff_t chars = p - first;  // digits and the point
    if (chars > kFastDigits || (p < end && *p == '.'))
        return ReadNumberDigitByDigit(text, at, value);
    if (chars == 0 || (chars == 1 && *first == '.'))
        return false;  // no digit at all
    value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    if (negative)
        value = -value;
    at += static_cast<std::size_t>(p - begin);
    return true;
}

bool ReadNumberDigitByDigit(std::string_view text, std::size_t& at, double& value)
{
    std::size_t i = at;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t mantissa = 0;
    int digits = 0, fraction = 0;
    bool point = false, exact = true;
    const std::size_t begin = i;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            // Leading zeros hold no digit; past 15 digits, or 22 decimals,
            // the division would no longer be exact.
            if (!exact || (mantissa != 0 && digits == kFastDigits) || (point && fraction == 22)) {
                exact = false;
                continue;
            }
            mantissa = mantissa * 10 + static_cast<unsigned>(c - '0');
            digits += mantissa != 0 ? 1 : 0;
            fraction += point ? 1 : 0;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (i == begin || (i == begin + 1 && point))
        return false;  // no digit at all
    if (exact) {
        value = static_cast<double>(mantissa) / kPowersOfTen[fraction];
    } else {
        // More digits than the fast way holds: read them all.
        const char* first = text.data() + begin;
        const auto [stop, ec] = std::from_chars(first, text.data() + i, value, std::chars_format::fixed);
        if (ec != std::errc() || stop != text.data() + i || !std::isfinite(value))
            return false;
    }
    if (negative)
        value = -value;
    at = i;
    return true;
}

// The common line in one pass, as the long way below reads it: a command
// ("G1", "M104", "T0": its letter and up to nine digits) and words of an
// upper-case letter and a number each, spaces between them. False for any
// other line (a comment, a checksum, a line number, lower case, a word
// without a number or without a space after it, M117's text, ...), which is
// then read the long way; what was written to line by then is to be reset.
bool ReadPlainLine(std::string_view raw, GCodeLine& line)
{
    const char* p = raw.data();
    const char* const end = p + raw.size();
    if (p == end || (*p != 'G' && *p != 'M' && *p != 'T'))
        return false;
    const char letter = *p++;
    const char* const digits = p;
    int code = 0;
    while (p < end && static_cast<unsigned>(*p - '0') <= 9 && p - digits < 9)
        code = code * 10 + (*p++ - '0');
    if (p == digits || (p < end && *p != ' ') || (letter == 'M' && code == 117))
        return false;
    line.letter = letter;
    line.code = code;
    while (p < end) {
        while (p < end && *p == ' ')
            ++p;
        if (p == end)
            break;
        const char word = *p;
        if (word < 'A' || word > 'Z')
            return false;
        std::size_t at = static_cast<std::size_t>(p + 1 - raw.data());
        double number = 0;
        if (!ReadNumber(raw, at, number))
            return false;
        p = raw.data() + at;
        if (p < end && *p != ' ')
            return false;
        const unsigned index = static_cast<unsigned>(word - 'A');
        line.has[index] = true;
        line.value[index] = number;
    }
    return true;
}

}  // namespace

bool GCodeLine::Empty() const
{
    if (letter != 0)
        return false;
    for (const bool h : has)
        if (h)
            return false;
    return true;
}

std::string GCodeLine::Name() const
{
    if (letter == 0)
        return std::string();
    std::string name(1, letter);
    name += std::to_string(code);
    if (subcode >= 0)
        name += "." + std::to_string(subcode);
    return name;
}

bool ReadGCodeLine(std::string_view raw, GCodeLine& line, std::string& error)
{
    // Everything but the values, which Value() reads only where has[] is set.
    line.letter = 0;
    line.code = -1;
    line.subcode = -1;
    line.has.fill(false);
    line.numbered = false;
    line.badChecksum = false;
    line.lineNumber = 0;
    line.text = std::string_view();
    if (raw.substr(0, 3) == "\xEF\xBB\xBF")
        raw.remove_prefix(3);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n'))
        raw.remove_suffix(1);
    if (ReadPlainLine(raw, line))
        return true;
    // Read the long way, from nothing.
    line.letter = 0;
    line.code = -1;
    line.has.fill(false);

    // The checksum covers the bytes before the "*" of the command part.
    std::size_t star = raw.find('*');
    if (star != std::string_view::npos && raw.substr(0, star).find_first_of(";(") != std::string_view::npos)
        star = std::string_view::npos;  // inside a comment
    if (star != std::string_view::npos) {
        unsigned sum = 0;
        for (std::size_t i = 0; i < star; ++i)
            sum ^= static_cast<unsigned char>(raw[i]);
        std::size_t at = star + 1;
        double given = 0;
        if (!ReadNumber(raw, at, given) || given != std::floor(given) || given < 0 || given > 255) {
            line.badChecksum = true;
            error = "a checksum that is no number";
            return false;
        }
        if (static_cast<unsigned>(given) != sum) {
            line.badChecksum = true;
            error = "checksum " + std::to_string(static_cast<long>(given)) + " does not match the line (its bytes give " +
                    std::to_string(sum) + ")";
            return false;
        }
        const std::size_t after = raw.find_first_not_of(" \t", at);
        if (after != std::string_view::npos && raw[after] != ';' && raw[after] != '(') {
            error = "words after the checksum";
            return false;
        }
        raw = raw.substr(0, star);
    }

    const std::string_view text = raw;
    std::size_t at = 0;
    bool first = true;
    while (at < text.size()) {
        const char c = text[at];
        if (IsBlank(c)) {
            ++at;
            continue;
        }
        if (c == ';')
            break;
        if (c == '(') {
            const std::size_t close = text.find(')', at);
            if (close == std::string_view::npos) {
                error = "a comment \"(\" that is never closed";
                return false;
            }
            at = close + 1;
            continue;
        }
        if (c == '"') {
            // A quoted text argument (M862.3 P "MK3S"): no word of its own.
            const std::size_t close = text.find('"', at + 1);
            if (close == std::string_view::npos) {
                error = "a quoted text that is never closed";
                return false;
            }
            at = close + 1;
            continue;
        }
        if (!IsLetter(c)) {
            error = std::string("'") + c + "' where a word should begin";
            return false;
        }
        const char letter = Upper(c);
        ++at;
        double number = 0;
        const std::size_t numberAt = at;
        const bool hasNumber = ReadNumber(text, at, number);
        if (!hasNumber && at + 3 <= text.size()) {
            std::string three(text.substr(at, 3));
            for (char& ch : three)
                ch = Upper(ch);
            const std::size_t signAt = at < text.size() && (text[at] == '-' || text[at] == '+') ? at + 1 : at;
            std::string afterSign(text.substr(signAt, 3));
            for (char& ch : afterSign)
                ch = Upper(ch);
            if (three == "NAN" || three == "INF" || afterSign == "NAN" || afterSign == "INF") {
                error = std::string("the word ") + letter + " is not a finite number";
                return false;
            }
        }
        if (!hasNumber && at < text.size() && !IsBlank(text[at]) && !IsLetter(text[at]) && text[at] != ';' &&
            text[at] != '(') {
            error = std::string("the number of the word ") + letter + " does not read";
            return false;
        }
        if (letter == 'N' && first && line.letter == 0) {
            if (hasNumber && !(number >= 0 && number <= kMaxCode)) {
                error = "a line number out of range";
                return false;
            }
            line.numbered = hasNumber;
            line.lineNumber = static_cast<long>(number);
            first = false;
            continue;
        }
        first = false;
        if (line.letter == 0 && (letter == 'G' || letter == 'M' || letter == 'T') && hasNumber) {
            if (!(number >= 0 && number <= kMaxCode)) {
                error = std::string("the command ") + letter + " has a number out of range";
                return false;
            }
            line.letter = letter;
            line.code = static_cast<int>(number);
            const std::string_view digits = text.substr(numberAt, at - numberAt);
            const std::size_t point = digits.find('.');
            if (point != std::string_view::npos && point + 1 < digits.size()) {
                int sub = 0;
                std::from_chars(digits.data() + point + 1, digits.data() + digits.size(), sub);
                line.subcode = sub;
            }
            if (letter == 'M' && line.code == 117) {
                // The message is the rest of the raw line, as the display shows it.
                std::size_t from = raw.find_first_of("0123456789", raw.find_first_of("Mm"));
                while (from < raw.size() && raw[from] >= '0' && raw[from] <= '9')
                    ++from;
                if (from < raw.size() && raw[from] == ' ')
                    ++from;
                std::string_view message = from < raw.size() ? raw.substr(from) : std::string_view();
                const std::size_t semicolon = message.find(';');
                message = message.substr(0, semicolon);
                while (!message.empty() && IsBlank(message.back()))
                    message.remove_suffix(1);
                line.text = message;
                return true;
            }
            continue;
        }
        const unsigned index = static_cast<unsigned>(letter - 'A');
        line.has[index] = true;
        line.value[index] = hasNumber ? number : 0.0;
    }
    return true;
}

}  // namespace zelk::gcode
