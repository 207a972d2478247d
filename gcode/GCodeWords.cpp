// The words of a cleaned G-code line as the translator reads them.
#include "GCodeWords.h"


namespace zelk {

namespace {

int MoveWordOf(char letter)
{
    for (int i = 0; i < kMoveWordCount; ++i) {
        if (kMoveLetter[i] == letter)
            return i;
    }
    return -1;
}

}  // namespace

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
        if (!move.Take(word, which) || !MoveWordInRange(which, move.value[which]))
            return false;
    }
    return true;
}

PositionReset ReadPositionReset(const GCodeWords& words)
{
    PositionReset reset;
    if (words.count == 2) {
        const std::string_view word = words[1];
        if (word.find('Z') != std::string_view::npos) {
            reset.kind = PositionReset::kStartHeight;
        } else if (word.find('E') != std::string_view::npos) {
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
