// The words of a cleaned G-code line as the translator reads them: the split
// into words, the G1 move words and the G92 position reset. Pure; shared by
// the translator and the toolpath preview, so both take the same lines.
#pragma once

#include <string_view>

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

void SplitGCodeWords(std::string_view line, GCodeWords& words);

// The code of a line whose first word holds a G (letter 'G') or an M ('M'):
// the number after that letter, or -1 when it does not read. Letter 0 for a
// line of neither (a tool word, a stray value, a line number first).
struct GCodeCommand {
    char letter = 0;
    int code = -1;
};
GCodeCommand ReadGCodeCommand(const GCodeWords& words);

// The words a move can name, in MoveWords' order.
enum MoveWord { kWordX, kWordY, kWordZ, kWordE, kWordF, kMoveWordCount };

// The words of one G1 line as read, single precision: which of X, Y, Z, E
// and F it names, and what becomes of F.
struct MoveWords {
    float value[kMoveWordCount] = {};
    bool named[kMoveWordCount] = {};
    bool setsFeedrate = false;  // a named F becomes the machine's feedrate
    bool feedrateOnly = false;  // "G1 F...": the feedrate, no move

    // Takes word as the given one when it starts with its letter and reads.
    bool Take(std::string_view word, int which);
    bool AllInRange() const;
};

// Reads a G1 line by its number of words. False when the line is to be
// skipped: an X, Y, Z, E or F word that does not read as a finite number in
// its range (GCodeLimits.h), or a five- or six-word line whose words are not
// X Y Z F (E).
bool ReadMoveWords(const GCodeWords& words, MoveWords& move);

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
