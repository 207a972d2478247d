// One line of G-code as any slicer writes it, read into its command and words: pure, no state between lines.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace zelk::gcode {

// The words of one line. Letters are upper case whatever the file wrote;
// a letter without a number (the axes of "G28 X Y") is present with value 0.
struct GCodeLine {
    char letter = 0;            // 'G', 'M' or 'T'; 0 for a line without a command
    int code = -1;              // the command's number ("G1" -> 1)
    int subcode = -1;           // the part after a point ("M862.3" -> 3), -1 when none
    std::array<bool, 26> has{};
    std::array<double, 26> value{};
    bool numbered = false;      // an N word came first
    bool badChecksum = false;   // set with a refusal: the line is not what was sent
    long lineNumber = 0;
    std::string_view text;      // what M117 and its kind show: the rest of the line after the command

    bool Has(char c) const { return has[static_cast<unsigned>(c - 'A')]; }
    // 0 for a letter the line does not have (value[] is only written for
    // the letters it has: a line read into a GCodeLine used before keeps
    // the older values there).
    double Value(char c) const
    {
        const unsigned i = static_cast<unsigned>(c - 'A');
        return has[i] ? value[i] : 0.0;
    }
    // Whether the line holds anything to do (a command, or stray words).
    bool Empty() const;
    // The command's name as people write it: "G1", "M862.3", "T1"; empty without one.
    std::string Name() const;
};

// Reads one line: a leading UTF-8 byte-order mark (on the first line), an
// "N" line number and a "*" checksum (the XOR of every byte before the "*"),
// comments after ";" and between "(" and ")", any case, words with or
// without spaces between them, CR line ends. False with the reason (without
// the line number, which the caller knows) for a checksum that does not
// match, a word whose number does not read, or a comment left open.
bool ReadGCodeLine(std::string_view raw, GCodeLine& line, std::string& error);

}  // namespace zelk::gcode
