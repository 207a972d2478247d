// The words of a cleaned G-code line as the translator reads them.
#include "GCodeWords.h"

#include <cstring>

#include "GCodeLimits.h"
#include "ScanNumbers.h"

namespace zelk {

namespace {

constexpr char kMoveLetter[kMoveWordCount] = {'X', 'Y', 'Z', 'E', 'F'};

bool Contains(std::string_view text, char c)
{
    return text.find(c) != std::string_view::npos;
}

int MoveWordOf(char letter)
{
    for (int i = 0; i < kMoveWordCount; ++i) {
        if (kMoveLetter[i] == letter)
            return i;
    }
    return -1;
}

bool InRange(int which, float v)
{
    if (which == kWordF)
        return v >= 0 && v <= kMaxFeedrateMMPerMin;
    return WithinMagnitude(v, which == kWordE ? kMaxFilamentMM : kMaxCoordinateMM);
}

// Every X, Y, Z, E and F word of the line after the G1, in order (a later
// word wins); other words are ignored. False when one of them does not read
// as a finite number in its range.
bool ReadMoveWordsByLetter(std::string_view line, MoveWords& move)
{
    bool first = true;
    while (!line.empty()) {
        const std::size_t start = line.find_first_not_of(' ');
        if (start == std::string_view::npos)
            break;
        line.remove_prefix(start);
        const std::size_t end = line.find(' ');
        const std::string_view word = line.substr(0, end);
        line.remove_prefix(end == std::string_view::npos ? line.size() : end);
        if (first) {  // the G1 itself
            first = false;
            continue;
        }
        const int which = MoveWordOf(word.front());
        if (which < 0)
            continue;
        if (!move.Take(word, which) || !InRange(which, move.value[which]))
            return false;
    }
    return true;
}

}  // namespace

void SplitGCodeWords(std::string_view line, GCodeWords& words)
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

GCodeCommand ReadGCodeCommand(const GCodeWords& words)
{
    GCodeCommand command;
    if (words.count == 0)
        return command;
    const std::string_view first = words[0];
    for (char letter : {'G', 'M'}) {
        if (Contains(first, letter)) {
            command.letter = letter;
            if (!ScanLetterInt(first, letter, command.code))
                command.code = -1;
            return command;
        }
    }
    return command;
}

bool MoveWords::Take(std::string_view word, int which)
{
    if (!ScanLetterFloat(word, kMoveLetter[which], value[which]))
        return false;
    named[which] = true;
    return true;
}

bool MoveWords::AllInRange() const
{
    for (int i = 0; i < kMoveWordCount; ++i) {
        if (named[i] && !InRange(i, value[i]))
            return false;
    }
    return true;
}

bool ReadMoveWords(const GCodeWords& words, MoveWords& move)
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

PositionReset ReadPositionReset(const GCodeWords& words)
{
    PositionReset reset;
    if (words.count == 2) {
        const std::string_view word = words[1];
        if (Contains(word, 'Z')) {
            reset.kind = PositionReset::kStartHeight;
        } else if (Contains(word, 'E')) {
            const bool read = ScanLetterFloat(word, 'E', reset.e) && WithinMagnitude(reset.e, kMaxFilamentMM);
            reset.kind = read ? PositionReset::kFilament : PositionReset::kSkip;
        }
        return reset;
    }
    if (words.count != 6)
        return reset;
    auto coordinate = [](std::string_view word, char letter, float& v) {
        return ScanLetterFloat(word, letter, v) && WithinMagnitude(v, kMaxCoordinateMM);
    };
    const bool read = coordinate(words[1], 'X', reset.x) && coordinate(words[2], 'Y', reset.y) &&
                      coordinate(words[3], 'Z', reset.z);
    reset.kind = read ? PositionReset::kAll : PositionReset::kSkip;
    return reset;
}

}  // namespace zelk
