// The printer dialect's lines read ahead on a thread of their own.
#include "DialectLineReader.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include "GCodeFile.h"

namespace zelk {

namespace {

// Batches in flight: one the caller translates, one being read, one ready.
constexpr std::size_t kBatches = 3;

std::string FileError(const char* what, const std::string& path, int err)
{
    return std::string(what) + " " + path + ": " + std::strerror(err);
}

}  // namespace

DialectLineReader::DialectLineReader(std::size_t blockBytes) : m_blockBytes(blockBytes != 0 ? blockBytes : kBlockBytes)
{
}

DialectLineReader::~DialectLineReader()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool DialectLineReader::Open(const std::string& path)
{
    m_path = path;
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) {
        m_error = FileError("cannot open", path, errno);
        return false;
    }
    struct stat info {};
    if (::fstat(::fileno(m_file), &info) == 0 && S_ISDIR(info.st_mode)) {
        m_error = FileError("cannot read", path, EISDIR);
        return false;
    }
    Start();
    return true;
}

void DialectLineReader::Open(std::FILE* file, const std::string& path)
{
    m_path = path;
    m_file = file;
    Start();
}

void DialectLineReader::Start()
{
    m_thread = std::thread([this] { Run(); });
}

std::unique_ptr<DialectLineReader::Batch> DialectLineReader::TakeFree()
{
    std::unique_lock lock(m_mutex);
    static_assert(kBatches >= 2, "one batch read while the caller holds another");
    m_changed.wait(lock, [this] { return m_stop || !m_free.empty() || m_allocated < kBatches; });
    if (m_stop)
        return nullptr;
    if (!m_free.empty()) {
        std::unique_ptr<Batch> batch = std::move(m_free.back());
        m_free.pop_back();
        return batch;
    }
    ++m_allocated;
    lock.unlock();
    return std::make_unique<Batch>();
}

void DialectLineReader::Hand(std::unique_ptr<Batch> batch)
{
    {
        std::lock_guard lock(m_mutex);
        m_full.push_back(std::move(batch));
    }
    m_changed.notify_all();
}

void DialectLineReader::ReadLines(Batch& batch, char* cursor, char* const stop)
{
    // As ForEachGCodeLine: lines end at "\n", and the part after the last one is a line too.
    batch.lines.clear();
    while (cursor < stop) {
        // The slicer's own move, read in one pass to the end of its line: no
        // comment, no space at either end, so nothing for CleanGCodeLine.
        MoveWords move;
        bool moveOk = false;
        if (const char* q = ReadPlainMoveWords(cursor, stop, move, moveOk); q != nullptr) {
            const char* next = nullptr;
            if (q == stop)
                next = stop;
            else if (*q == '\n')
                next = q + 1;
            else if (*q == '\r' && (q + 1 == stop || q[1] == '\n'))
                next = q + 1 == stop ? stop : q + 2;
            if (next != nullptr) {
                DialectLine& line = batch.lines.emplace_back();
                line.text = std::string_view(cursor, static_cast<std::size_t>(q - cursor));
                line.isG1 = true;
                line.moveRead = moveOk;
                line.move = move;
                cursor += next - cursor;
                continue;
            }
        }
        char* newline = static_cast<char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(stop - cursor)));
        char* lineEnd = newline != nullptr ? newline : stop;
        const std::string_view text = CleanGCodeLine(cursor, lineEnd);
        cursor = lineEnd + 1;
        if (text.empty())
            continue;
        DialectLine& line = batch.lines.emplace_back();
        line.text = text;
        GCodeWords words;
        SplitGCodeWords(text, words);
        const GCodeCommand command = ReadGCodeCommand(words);
        if (command.letter == 'G' && command.code == 1) {
            line.isG1 = true;
            line.moveRead = ReadMoveWords(words, line.move);
        }
    }
}

void DialectLineReader::Run()
{
    std::unique_ptr<char[]> carry;  // the start of a line the last block cut
    std::size_t carrySize = 0, carryCapacity = 0;
    std::unique_ptr<Batch> batch;
    try {
        for (;;) {
            batch = TakeFree();
            if (batch == nullptr)
                return;
            const std::size_t need = carrySize + m_blockBytes;
            if (batch->capacity < need) {
                batch->text.reset();
                batch->text.reset(new char[need]);
                batch->capacity = need;
            }
            char* const text = batch->text.get();
            if (carrySize != 0)
                std::memcpy(text, carry.get(), carrySize);
            errno = 0;
            const std::size_t n = std::fread(text + carrySize, 1, m_blockBytes, m_file);
            if (n < m_blockBytes && std::ferror(m_file)) {
                batch->lines.clear();
                batch->last = true;
                batch->error = FileError("cannot read", m_path, errno != 0 ? errno : EIO);
                Hand(std::move(batch));
                return;
            }
            const bool end = n < m_blockBytes && std::feof(m_file);
            const std::size_t size = carrySize + n;
            char* cut = text + size;
            if (!end) {
                char* lastNewline = static_cast<char*>(::memrchr(text, '\n', size));
                cut = lastNewline != nullptr ? lastNewline + 1 : text;
            }
            ReadLines(*batch, text, cut);
            // What follows the last whole line waits for the next block.
            const std::size_t rest = static_cast<std::size_t>(text + size - cut);
            if (rest > carryCapacity) {
                carry.reset();
                carry.reset(new char[rest]);
                carryCapacity = rest;
            }
            if (rest != 0)
                std::memmove(carry.get(), cut, rest);
            carrySize = rest;
            batch->last = end;
            batch->error.clear();
            Hand(std::move(batch));
            if (end)
                return;
        }
    } catch (const std::bad_alloc&) {
        // Told as the last batch; a batch of its own may not be had.
        std::lock_guard lock(m_mutex);
        if (batch == nullptr && !m_free.empty()) {
            batch = std::move(m_free.back());
            m_free.pop_back();
        }
        if (batch != nullptr) {
            batch->lines.clear();
            batch->last = true;
            batch->error = "cannot translate " + m_path + ": out of memory";
            m_full.push_back(std::move(batch));
        } else {
            m_full.push_back(nullptr);  // the caller takes a missing batch as out of memory
        }
    }
    m_changed.notify_all();
}

bool DialectLineReader::Next(const std::vector<DialectLine>*& lines)
{
    if (m_current != nullptr) {
        {
            std::lock_guard lock(m_mutex);
            m_free.push_back(std::move(m_current));
        }
        m_changed.notify_all();
    }
    if (m_ended || m_thread.get_id() == std::thread::id())
        return false;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_full.empty(); });
        m_current = std::move(m_full.front());
        m_full.pop_front();
    }
    if (m_current == nullptr) {
        m_ended = true;
        m_error = "cannot translate " + m_path + ": out of memory";
        return false;
    }
    if (m_current->last) {
        m_ended = true;
        if (!m_current->error.empty()) {
            m_error = m_current->error;
            return false;
        }
    }
    lines = &m_current->lines;
    return true;
}

}  // namespace zelk
