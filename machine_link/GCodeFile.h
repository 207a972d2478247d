// Reads a G-code file whole and cleans its lines for translation.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zelk {

// The cleaned, non-empty lines of a G-code file. The views point into text,
// which the reader edits in place (comments cut out), so a file costs its own
// size plus one view per line.
struct GCodeLines {
    std::unique_ptr<char[]> text;
    std::size_t textSize = 0;
    std::vector<std::string_view> lines;
};

// Cleans one line as the translator reads it: everything from the first "("
// through the last ")" is cut out (nothing when there is no ")" after the
// "("), then white space is trimmed at both ends. Edits in place and returns
// the cleaned part of [begin, end).
std::string_view CleanGCodeLine(char* begin, char* end);

// Reads the whole file and keeps every line that is not empty after
// cleaning. Lines end at "\n"; a "\r" before it is white space. Returns false
// (and sets error, naming the file) when the file cannot be opened or read.
bool ReadGCodeLines(const std::string& path, GCodeLines& out, std::string* error = nullptr);

// Asks the system to back a large buffer with huge pages where it can: a
// million-line print is a few hundred megabytes touched once, and this saves
// most of its page faults. Harmless where unsupported.
void AdviseHugePages(void* data, std::size_t bytes);

}  // namespace zelk
