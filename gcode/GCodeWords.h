// The words of a cleaned G-code line as the translator reads them: the split
// into words, the G1 move words and the G92 position reset. Pure; shared by
// the translator and the toolpath preview, so both take the same lines.
#pragma once

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
    words.line = line;
    words.count = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end) {
        while (p < end && *p == ' ')
            ++p;
        if (p == end)
            break;
        const char* space = static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(end - p)));
        const char* wordEnd = space != nullptr ? space : end;
        if (words.count < GCodeWords::kStored)
            words.word[words.count] = std::string_view(p, static_cast<std::size_t>(wordEnd - p));
        ++words.count;
        p = wordEnd;
    }
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
        if (!ScanLetterFloat(word, kMoveLetter[which], value[which]))
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
