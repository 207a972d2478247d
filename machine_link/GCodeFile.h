// Reads a G-code file whole and hands out its cleaned lines for translation.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace zelk {

// A G-code file read whole. The line reader edits it in place (comments are
// cut out), so a file costs its own size and nothing per line.
struct GCodeText {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
};

// Cleans one line as the translator reads it: everything from the first "("
// through the last ")" is cut out (nothing when there is no ")" after the
// "("), then white space is trimmed at both ends. Edits in place and returns
// the cleaned part of [begin, end).
std::string_view CleanGCodeLine(char* begin, char* end);

// Reads the whole file. Returns false (and sets error, naming the file)
// when the file cannot be opened or read.
bool ReadGCodeText(const std::string& path, GCodeText& out, std::string* error = nullptr);

// The number of lines of the text: an upper bound of the lines kept.
std::size_t CountGCodeLines(const GCodeText& text);

// The number of lines with anything but white space: a tighter upper bound
// of the lines kept, which blank lines, however many, do not raise.
std::size_t CountNonBlankGCodeLines(const GCodeText& text);

// Calls visit(std::string_view line) for every line that is not empty after
// cleaning, in order. Lines end at "\n"; a "\r" before it is white space.
template <class Visit>
void ForEachGCodeLine(GCodeText& text, Visit&& visit)
{
    char* cursor = text.data.get();
    char* const stop = cursor + text.size;
    while (cursor < stop) {
        char* newline = static_cast<char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(stop - cursor)));
        char* lineEnd = newline != nullptr ? newline : stop;
        const std::string_view line = CleanGCodeLine(cursor, lineEnd);
        if (!line.empty())
            visit(line);
        cursor = lineEnd + 1;
    }
}

// Asks the system to back a large buffer with huge pages where it can: a
// million-line print is a few hundred megabytes touched once, and this saves
// most of its page faults. Harmless where unsupported.
void AdviseHugePages(void* data, std::size_t bytes);

}  // namespace zelk
