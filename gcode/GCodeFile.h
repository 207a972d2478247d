// Reads a G-code file whole and hands out its cleaned lines for translation.
#pragma once

#include <cstddef>
#include <cstdio>
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

// The first `headBytes` and the last `tailBytes` of a file (the whole file
// when it is smaller than both), for what a file says of itself at its
// ends. False, with error naming the file, when it cannot be read.
bool ReadGCodeEnds(const std::string& path, std::size_t headBytes, std::size_t tailBytes, std::string& head,
                   std::string& tail, std::string* error = nullptr);

// A file read line by line in blocks, so a file of any size costs a block
// (and its longest line). Next() hands out each raw line (without its "\n"),
// valid until the next call; false at the end, or on a read error (Error()
// says which).
class GCodeLineStream {
public:
    static constexpr std::size_t kBlockBytes = 1 << 20;

    // blockBytes: how much is read at a time (0: kBlockBytes); a line longer
    // than a block is still handed out whole.
    explicit GCodeLineStream(std::size_t blockBytes = kBlockBytes);
    ~GCodeLineStream();
    GCodeLineStream(const GCodeLineStream&) = delete;
    GCodeLineStream& operator=(const GCodeLineStream&) = delete;

    // False, with Error() naming the file, when it cannot be opened.
    bool Open(const std::string& path);
    // Hands out the lines of a text read already (a pipe read whole).
    void Open(GCodeText&& text);
    // Reads an open file from where it stands, and closes it at the end;
    // path names it in errors.
    void Open(std::FILE* file, const std::string& path);
    bool Next(std::string_view& line);
    // The same line, writable in place (for CleanGCodeLine).
    bool Next(char*& line, std::size_t& size);
    // The number of the line Next() handed out last, from 1.
    std::size_t LineNumber() const { return m_lineNumber; }
    // The file's size when opened (0 when not known).
    std::size_t SizeBytes() const { return m_sizeBytes; }
    const std::string& Error() const { return m_error; }

private:
    bool Fill();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::size_t m_blockBytes;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_begin = 0, m_end = 0;  // unread bytes in the buffer
    bool m_eof = false;
    std::size_t m_lineNumber = 0;
    std::size_t m_sizeBytes = 0;
    std::string m_error;
};

// A pipe or a device read to its end into an unlinked temporary file, so
// that a stream of any length costs a block of memory, with its first
// headBytes and last tailBytes kept for what the file says of itself (the
// tail holds the whole stream when it is shorter). `spooled` is then the
// temporary file, at its start, for GCodeLineStream::Open(FILE*). False, with
// error naming path, when the stream cannot be read or no temporary file can
// be made (in $TMPDIR, else /tmp).
bool SpoolGCodeInput(const std::string& path, std::size_t headBytes, std::size_t tailBytes, std::FILE*& spooled,
                     std::string& head, std::string& tail, std::string* error = nullptr);

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
