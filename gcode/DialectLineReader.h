// The printer dialect's lines read ahead on a thread of their own: cleaned, split, and the words of each G1 read, handed over in batches in file order.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "GCodeWords.h"

namespace zelk {

// One cleaned line that is not empty. Reading it needs nothing of the lines
// before (GCodeWords.h is pure), so it runs ahead of the translation, which
// keeps the machine's state.
struct DialectLine {
    std::string_view text;  // as CleanGCodeLine leaves it
    bool isG1 = false;      // its command is G1: `move` holds its words
    bool moveRead = false;  // ReadMoveWords took them (false: the line is skipped)
    MoveWords move;
};

// Reads a file block by block (and a line longer than a block whole) on its
// own thread, while the caller takes the batches of lines in order. Memory
// is a few blocks and their lines, whatever the file's size. One reader per
// file; the caller's thread alone calls its methods.
class DialectLineReader {
public:
    static constexpr std::size_t kBlockBytes = 256 * 1024;

    // blockBytes: read at a time (0: kBlockBytes).
    explicit DialectLineReader(std::size_t blockBytes = 0);
    // Stops the thread if it still runs.
    ~DialectLineReader();
    DialectLineReader(const DialectLineReader&) = delete;
    DialectLineReader& operator=(const DialectLineReader&) = delete;

    // Starts reading the file at path; false, with Error() naming it, when
    // it cannot be opened.
    bool Open(const std::string& path);
    // Starts reading an open file from where it stands (it is closed at the
    // end); path names it in errors.
    void Open(std::FILE* file, const std::string& path);

    // The next batch of lines, valid until the next call; false at the end
    // of the file, or when reading failed (Error() then says why).
    bool Next(const std::vector<DialectLine>*& lines);
    const std::string& Error() const { return m_error; }

private:
    struct Batch {
        std::unique_ptr<char[]> text;
        std::size_t capacity = 0;
        std::vector<DialectLine> lines;
        bool last = false;
        std::string error;  // with last: why reading stopped
    };

    void Start();
    void Run();
    // The next free batch, or null once the reader is told to stop.
    std::unique_ptr<Batch> TakeFree();
    void Hand(std::unique_ptr<Batch> batch);
    static void ReadLines(Batch& batch, char* begin, char* end);

    std::size_t m_blockBytes;
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_error;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<Batch>> m_full;
    std::vector<std::unique_ptr<Batch>> m_free;
    std::size_t m_allocated = 0;
    bool m_stop = false;
    std::unique_ptr<Batch> m_current;  // the batch the caller holds
    bool m_ended = false;
};

}  // namespace zelk
