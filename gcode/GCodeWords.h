// The words of a cleaned G-code line as the translator reads them: the split
// into words, the G1 move words and the G92 position reset. Pure; shared by
// the translator and the toolpath preview, so both take the same lines.
#pragma once

#include <bit>
#include <cstring>
#include <string_view>

#include "GCodeLimits.h"
#include "ScanNumbers.h"

// The readers of every line are inline: the translator runs them a million
// times a print.
namespace zelk {

// The words of one line: the pieces between spaces. Readers look at most at
// the first few words by position; the rest are only counted.
struct GCodeWords {
    static constexpr int kStored = 8;
    std::string_view line;
    std::string_view word[kStored];
    int count = 0;

    // Word k, or an empty (unreadable) word when the line has fewer words.
    std::string_view operator[](int k) const { return k < count && k < kStored ? word[k] : std::string_view(); }
};

inline void SplitGCodeWords(std::string_view line, GCodeWords& words)
{
    // Byte by byte: a line holds a few short words, shorter than a library
    // call's set-up.
    words.line = line;
    int count = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        while (p < end && *p == ' ')
            ++p;
        if (p == end)
            break;
        const char* const word = p;
        while (p < end && *p != ' ')
            ++p;
        if (count < GCodeWords::kStored)
            words.word[count] = std::string_view(word, static_cast<std::size_t>(p - word));
        ++count;
    }
    words.count = count;
}

namespace detail {

// The digits at p appended to mantissa (mantissa * 10 + digit, each in
// turn; it wraps past 19 digits, which the callers refuse), p moved past
// them. Eight bytes at a time where eight can be read before end.
inline void ReadDigits(const char*& p, const char* end, unsigned long long& mantissa)
{
    static constexpr unsigned long long kPow10[] = {1ull,      10ull,      100ull,      1000ull,     10000ull,
                                                    100000ull, 1000000ull, 10000000ull, 100000000ull};
    if constexpr (std::endian::native == std::endian::little) {
        while (end - p >= 8) {
            unsigned long long chunk = 0;
            std::memcpy(&chunk, p, 8);
            // A byte's top bit here when it is no digit: exact up to the
            // first such byte, which is all that is looked at.
            const unsigned long long nonDigit =
                ((chunk + 0x4646464646464646ull) | (chunk - 0x3030303030303030ull)) & 0x8080808080808080ull;
            const int count = nonDigit == 0 ? 8 : __builtin_ctzll(nonDigit) / 8;
            if (count == 0)
                return;
            // The count digits as one number: shifted up, the bytes after
            // them fall off and zeros lead.
            unsigned long long v = (chunk - 0x3030303030303030ull) << (8 * (8 - count));
            v = (v * 10) + (v >> 8);
            v = (((v & 0x000000FF000000FFull) * 0x000F424000000064ull) +
                 (((v >> 16) & 0x000000FF000000FFull) * 0x0000271000000001ull)) >> 32;
            mantissa = mantissa * kPow10[count] + (v & 0xFFFFFFFFull);
            p += count;
            if (count < 8)
                return;
        }
    }
    while (p < end && static_cast<unsigned>(*p - '0') <= 9)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p++ - '0');
}

// ScanFloat's own first step (ScanNumbers.cpp), inline: a plain decimal of
// up to fifteen digits ("-12.345", "1800", "0.300") read exactly as the C
// library reads it, p moved past it. False where ScanFloat has to decide
// (no digit first, more digits, and the rare value halfway between two
// floats), which the caller then asks. What follows the number is the
// caller's to judge (ScanFloat also reads on into an exponent or a
// hexadecimal number).
inline bool ReadPlainDecimal(const char*& p, const char* end, float& value)
{
    static constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* q = p;
    const bool negative = q < end && *q == '-';
    q += negative ? 1 : 0;
    if (q == end || static_cast<unsigned>(*q - '0') > 9)
        return false;
    unsigned long long mantissa = 0;
    const char* start = q;
    ReadDigits(q, end, mantissa);
    int digits = static_cast<int>(q - start);
    int decimals = 0;
    if (q < end && *q == '.') {
        const char* fraction = ++q;
        ReadDigits(q, end, mantissa);
        decimals = static_cast<int>(q - fraction);
        digits += decimals;
    }
    if (digits > 15)
        return false;
    const double exact = static_cast<double>(mantissa) / kPow10[decimals];
    const float rounded = static_cast<float>(exact);
    // A double halfway between two floats has at most 25 significant bits:
    // with any of its low 28 bits set, it is none, and one rounding is right.
    unsigned long long exactBits = 0;
    std::memcpy(&exactBits, &exact, sizeof exactBits);
    if ((exactBits & 0x0FFFFFFFull) == 0 && IsFloatTie(exact, rounded))
        return false;
    value = negative ? -rounded : rounded;
    p = q;
    return true;
}

// As ScanFloat on [p, end), for the plain decimals; false: ask ScanFloat.
inline bool ScanPlainDecimal(const char* p, const char* end, float& value)
{
    float read = 0;
    if (!ReadPlainDecimal(p, end, read))
        return false;
    if (p < end && (*p == 'e' || *p == 'E' || *p == 'x' || *p == 'X'))
        return false;  // an exponent or a hexadecimal number
    value = read;
    return true;
}

}  // namespace detail

// As ScanLetterFloat (sscanf(word, "<letter>%f")), the plain decimals of
// sliced G-code read inline.
inline bool ScanWordFloat(std::string_view word, char letter, float& value)
{
    if (word.empty() || word.front() != letter)
        return false;
    if (detail::ScanPlainDecimal(word.data() + 1, word.data() + word.size(), value))
        return true;
    return ScanFloat(word.substr(1), value);
}

// The code of a line whose first word holds a G (letter 'G') or an M ('M'):
// the number after that letter, or -1 when it does not read. Letter 0 for a
// line of neither (a tool word, a stray value, a line number first).
struct GCodeCommand {
    char letter = 0;
    int code = -1;
};
inline GCodeCommand ReadGCodeCommand(const GCodeWords& words)
{
    GCodeCommand command;
    if (words.count == 0)
        return command;
    const std::string_view first = words[0];
    for (char letter : {'G', 'M'}) {
        if (first.find(letter) != std::string_view::npos) {
            command.letter = letter;
            if (!ScanLetterInt(first, letter, command.code))
                command.code = -1;
            return command;
        }
    }
    return command;
}

// The words a move can name, in MoveWords' order.
enum MoveWord { kWordX, kWordY, kWordZ, kWordE, kWordF, kMoveWordCount };
inline constexpr char kMoveLetter[kMoveWordCount] = {'X', 'Y', 'Z', 'E', 'F'};

// Whether a value of move word `which` is taken as meant (GCodeLimits.h).
inline bool MoveWordInRange(int which, float v)
{
    if (which == kWordF)
        return v >= 0 && v <= kMaxFeedrateMMPerMin;
    return WithinMagnitude(v, which == kWordE ? kMaxFilamentMM : kMaxCoordinateMM);
}

// The words of one G1 line as read, single precision: which of X, Y, Z, E
// and F it names, and what becomes of F.
struct MoveWords {
    float value[kMoveWordCount] = {};
    bool named[kMoveWordCount] = {};
    bool setsFeedrate = false;  // a named F becomes the machine's feedrate
    bool feedrateOnly = false;  // "G1 F...": the feedrate, no move

    // Takes word as the given one when it starts with its letter and reads.
    bool Take(std::string_view word, int which)
    {
        if (!ScanWordFloat(word, kMoveLetter[which], value[which]))
            return false;
        named[which] = true;
        return true;
    }

    bool AllInRange() const
    {
        for (int i = 0; i < kMoveWordCount; ++i) {
            if (named[i] && !MoveWordInRange(i, value[i]))
                return false;
        }
        return true;
    }
};

// Every X, Y, Z, E and F word of the line after the G1, in order (a later
// word wins); other words are ignored. False when one of them does not read
// as a finite number in its range.
bool ReadMoveWordsByLetter(std::string_view line, MoveWords& move);

// Reads a G1 line by its number of words. False when the line is to be
// skipped: an X, Y, Z, E or F word that does not read as a finite number in
// its range (GCodeLimits.h), or a five- or six-word line whose words are not
// X Y Z F (E).
inline bool ReadMoveWords(const GCodeWords& words, MoveWords& move)
{
    if (words.count == 5 || words.count == 6) {
        // The slicer's own shapes, by position: X Y Z F, and E.
        move.setsFeedrate = true;
        return move.Take(words[1], kWordX) && move.Take(words[2], kWordY) && move.Take(words[3], kWordZ) &&
               move.Take(words[4], kWordF) && (words.count == 5 || move.Take(words[5], kWordE)) &&
               move.AllInRange();
    }
    MoveWords check;
    if (!ReadMoveWordsByLetter(words.line, check))
        return false;
    switch (words.count) {
    case 2:
        if (move.Take(words[1], kWordF)) {
            move.feedrateOnly = true;
            return true;
        }
        if (move.Take(words[1], kWordE))
            return true;
        // A single X, Y or Z word moves that axis alone; a word of no axis
        // moves nothing (it never sends the head to the origin).
        move = check;
        return true;
    case 3:
        if (move.Take(words[1], kWordX) || move.Take(words[1], kWordY) || move.Take(words[1], kWordZ)) {
            move.setsFeedrate = move.Take(words[2], kWordF);
            // An axis and a second axis or E ("G1 X10 Y20"): both move.
            if (!move.setsFeedrate)
                move = check;
            return true;
        }
        move = check;
        move.setsFeedrate = true;
        return true;
    default:
        // Lines of 1, 4 or 7 and more words: each X, Y, Z and E word sets its
        // value; the feedrate stays as it is.
        move = check;
        return true;
    }
}

// The slicer's own move lines in one pass: "G1 X<x> Y<y> Z<z> F<f>", with
// " E<e>" or not, single spaces, plain decimals, read from p up to the end
// of the line ("\n", "\r" or end). Returns where it stopped, with ok what
// ReadMoveWords returns for such a line and move what it reads; null for
// any other text (move and ok then untouched: ask ReadGCodeCommand and
// ReadMoveWords). The same results as those, only sooner.
inline const char* ReadPlainMoveWords(const char* p, const char* end, MoveWords& move, bool& ok)
{
    if (end - p < 3 || p[0] != 'G' || p[1] != '1' || p[2] != ' ')
        return nullptr;
    p += 3;
    MoveWords read;
    for (const int which : {kWordX, kWordY, kWordZ, kWordF, kWordE}) {
        // One word: its letter, a number that ends it, then a space or the line's end.
        if (p == end || *p != kMoveLetter[which])
            return nullptr;
        ++p;
        if (!detail::ReadPlainDecimal(p, end, read.value[which]))
            return nullptr;
        read.named[which] = true;
        if (p == end || *p == '\n' || *p == '\r') {
            if (which == kWordF || which == kWordE)
                break;
            return nullptr;
        }
        if (*p != ' ' || which == kWordE)
            return nullptr;
        ++p;
    }
    read.setsFeedrate = true;
    ok = read.AllInRange();
    move = read;
    return p;
}

// The same for a cleaned line: true when the whole line is of that shape.
inline bool ReadPlainMove(std::string_view line, MoveWords& move, bool& ok)
{
    MoveWords read;
    bool readOk = false;
    const char* const end = line.data() + line.size();
    if (ReadPlainMoveWords(line.data(), end, read, readOk) != end)
        return false;
    move = read;
    ok = readOk;
    return true;
}

// What a G92 line sets.
struct PositionReset {
    enum Kind {
        kNothing,      // a shape the printer ignores
        kStartHeight,  // "G92 Z..": Z becomes the start G-code's height (the value is not read)
        kFilament,     // "G92 E<e>": the filament count becomes e
        kAll,          // "G92 X Y Z <w>": X, Y, Z as given (above 1 mm: the start height), E 0
        kSkip          // a bad number: the line is left out
    };
    Kind kind = kNothing;
    float x = 0, y = 0, z = 0, e = 0;
};
PositionReset ReadPositionReset(const GCodeWords& words);

}  // namespace zelk
