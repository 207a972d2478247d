// Reads a G-code file whole and cleans its lines for translation.
#include "GCodeFile.h"
#include "TemporaryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool SetError(std::string* error, const std::string& what, const std::string& path, int err)
{
    if (error != nullptr)
        *error = what + " " + path + ": " + std::strerror(err);
    return false;
}

// Reads the whole stream; works for files whose size is not known in advance.
bool ReadAll(std::FILE* file, std::unique_ptr<char[]>& text, std::size_t& size)
{
    struct stat info {};
    std::size_t capacity = 1 << 16;
    if (::fstat(::fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        capacity = static_cast<std::size_t>(info.st_size) + 1;
    text.reset(new char[capacity]);
    AdviseHugePages(text.get(), capacity);
    size = 0;
    for (;;) {
        if (size == capacity) {
            std::unique_ptr<char[]> bigger(new char[capacity * 2]);
            std::memcpy(bigger.get(), text.get(), size);
            text = std::move(bigger);
            capacity *= 2;
        }
        std::size_t n = std::fread(text.get() + size, 1, capacity - size, file);
        size += n;
        if (n == 0)
            return !std::ferror(file);
    }
}

// An unlinked file for reading and writing in $TMPDIR, else /tmp; null
// (errno says why) when neither has room for one.
std::FILE* UnlinkedTemporaryFile()
{
    const int fd = zelk::OpenUnlinkedTemporaryFile();
    if (fd < 0)
        return nullptr;
    std::FILE* file = ::fdopen(fd, "w+b");
    if (file == nullptr)
        ::close(fd);
    return file;
}

}  // namespace

void AdviseHugePages(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = 2u << 20;
    if (bytes < 2 * kHugePage)
        return;
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

std::string_view CleanGCodeLine(char* begin, char* end)
{
    const std::size_t length = static_cast<std::size_t>(end - begin);
    char* open = static_cast<char*>(std::memchr(begin, '(', length));
    if (open != nullptr) {
        char* close = static_cast<char*>(::memrchr(begin, ')', length));
        if (close != nullptr && close > open) {
            std::memmove(open, close + 1, static_cast<std::size_t>(end - (close + 1)));
            end -= (close + 1 - open);
        }
    }
    while (begin < end && IsSpace(*begin))
        ++begin;
    while (end > begin && IsSpace(end[-1]))
        --end;
    return std::string_view(begin, static_cast<std::size_t>(end - begin));
}

bool ReadGCodeText(const std::string& path, GCodeText& out, std::string* error)
{
    out.data.reset();
    out.size = 0;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return SetError(error, "cannot open", path, errno);
    errno = 0;
    const bool ok = ReadAll(file, out.data, out.size);
    const int readErr = errno != 0 ? errno : EIO;
    std::fclose(file);
    if (!ok) {
        out.data.reset();
        out.size = 0;
        return SetError(error, "cannot read", path, readErr);
    }
    return true;
}

bool ReadGCodeEnds(const std::string& path, std::size_t headBytes, std::size_t tailBytes, std::string& head,
                   std::string& tail, std::string* error)
{
    head.clear();
    tail.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return SetError(error, "cannot open", path, errno);
    struct stat info {};
    if (::fstat(::fileno(file), &info) != 0 || S_ISDIR(info.st_mode)) {
        const int err = S_ISDIR(info.st_mode) ? EISDIR : errno;
        std::fclose(file);
        return SetError(error, "cannot read", path, err);
    }
    head.resize(headBytes);
    head.resize(std::fread(head.data(), 1, headBytes, file));
    bool ok = !std::ferror(file);
    const long long size = S_ISREG(info.st_mode) ? static_cast<long long>(info.st_size) : -1;
    if (ok && size > static_cast<long long>(headBytes)) {
        const long long from = std::max(0LL, size - static_cast<long long>(tailBytes));
        if (::fseeko(file, static_cast<off_t>(from), SEEK_SET) == 0) {
            tail.resize(static_cast<std::size_t>(size - from));
            tail.resize(std::fread(tail.data(), 1, tail.size(), file));
        }
        ok = !std::ferror(file);
    }
    const int err = errno != 0 ? errno : EIO;
    std::fclose(file);
    return ok || SetError(error, "cannot read", path, err);
}

GCodeLineStream::GCodeLineStream(std::size_t blockBytes) : m_blockBytes(blockBytes != 0 ? blockBytes : kBlockBytes) {}

GCodeLineStream::~GCodeLineStream()
{
    if (m_file != nullptr)
        std::fclose(m_file);
}

bool GCodeLineStream::Open(const std::string& path)
{
    m_path = path;
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr)
        return SetError(&m_error, "cannot open", path, errno);
    struct stat info {};
    if (::fstat(::fileno(m_file), &info) == 0) {
        if (S_ISDIR(info.st_mode))
            return SetError(&m_error, "cannot read", path, EISDIR);
        if (S_ISREG(info.st_mode))
            m_sizeBytes = static_cast<std::size_t>(info.st_size);
    }
    m_capacity = m_blockBytes;
    m_buffer.reset(new char[m_capacity]);
    return true;
}

void GCodeLineStream::Open(std::FILE* file, const std::string& path)
{
    m_path = path;
    m_file = file;
    struct stat info {};
    if (::fstat(::fileno(m_file), &info) == 0 && S_ISREG(info.st_mode))
        m_sizeBytes = static_cast<std::size_t>(info.st_size);
    m_capacity = m_blockBytes;
    m_buffer.reset(new char[m_capacity]);
}

void GCodeLineStream::Open(GCodeText&& text)
{
    m_buffer = std::move(text.data);
    m_capacity = m_end = text.size;
    m_sizeBytes = text.size;
    text.size = 0;
    m_eof = true;
}

// Moves what is unread to the front and reads more after it; a line longer
// than the buffer doubles it.
bool GCodeLineStream::Fill()
{
    if (m_eof || m_file == nullptr)
        return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.get(), m_buffer.get() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    if (m_end == m_capacity) {
        std::unique_ptr<char[]> bigger(new char[m_capacity * 2]);
        std::memcpy(bigger.get(), m_buffer.get(), m_end);
        m_buffer = std::move(bigger);
        m_capacity *= 2;
    }
    errno = 0;
    const std::size_t n = std::fread(m_buffer.get() + m_end, 1, m_capacity - m_end, m_file);
    m_end += n;
    if (n == 0) {
        m_eof = true;
        if (std::ferror(m_file))
            SetError(&m_error, "cannot read", m_path, errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool GCodeLineStream::Next(char*& line, std::size_t& size)
{
    for (;;) {
        char* data = m_buffer.get();
        char* newline =
            m_end > m_begin ? static_cast<char*>(std::memchr(data + m_begin, '\n', m_end - m_begin)) : nullptr;
        if (newline != nullptr) {
            const std::size_t at = static_cast<std::size_t>(newline - data);
            line = data + m_begin;
            size = at - m_begin;
            m_begin = at + 1;
            ++m_lineNumber;
            return true;
        }
        if (!Fill()) {
            if (!m_error.empty() || m_begin == m_end)
                return false;
            // The last line, without a newline.
            line = m_buffer.get() + m_begin;
            size = m_end - m_begin;
            m_begin = m_end;
            ++m_lineNumber;
            return true;
        }
    }
}

bool GCodeLineStream::Next(std::string_view& line)
{
    char* data = nullptr;
    std::size_t size = 0;
    if (!Next(data, size))
        return false;
    line = std::string_view(data, size);
    return true;
}

bool SpoolGCodeInput(const std::string& path, std::size_t headBytes, std::size_t tailBytes, std::FILE*& spooled,
                     std::string& head, std::string& tail, std::string* error)
{
    spooled = nullptr;
    head.clear();
    tail.clear();
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr)
        return SetError(error, "cannot open", path, errno);
    std::FILE* out = UnlinkedTemporaryFile();
    if (out == nullptr) {
        const int err = errno;
        std::fclose(in);
        return SetError(error, "cannot keep in a temporary file", path, err);
    }
    constexpr std::size_t kPiece = 1 << 16;
    std::unique_ptr<char[]> piece(new char[kPiece]);
    bool ok = true;
    int err = 0;
    const char* what = "cannot read";
    for (;;) {
        errno = 0;
        const std::size_t n = std::fread(piece.get(), 1, kPiece, in);
        if (n == 0) {
            if (std::ferror(in)) {
                ok = false;
                err = errno != 0 ? errno : EIO;
            }
            break;
        }
        if (head.size() < headBytes)
            head.append(piece.get(), std::min(n, headBytes - head.size()));
        tail.append(piece.get(), n);
        if (tail.size() > 2 * tailBytes + kPiece)
            tail.erase(0, tail.size() - tailBytes);
        errno = 0;
        if (std::fwrite(piece.get(), 1, n, out) != n) {
            ok = false;
            err = errno != 0 ? errno : EIO;
            what = "cannot keep in a temporary file";
            break;
        }
    }
    std::fclose(in);
    if (ok && (std::fflush(out) != 0 || std::fseek(out, 0, SEEK_SET) != 0)) {
        ok = false;
        err = errno != 0 ? errno : EIO;
        what = "cannot keep in a temporary file";
    }
    if (!ok) {
        std::fclose(out);
        head.clear();
        tail.clear();
        return SetError(error, what, path, err);
    }
    if (tail.size() > tailBytes)
        tail.erase(0, tail.size() - tailBytes);
    spooled = out;
    return true;
}

std::size_t CountGCodeLines(const GCodeText& text)
{
    std::size_t count = 0;
    const char* p = text.data.get();
    const char* const end = p + text.size;
    while (p < end && (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr) {
        ++count;
        ++p;
    }
    return count + 1;
}

std::size_t CountNonBlankGCodeLines(const GCodeText& text)
{
    std::size_t count = 0;
    const char* p = text.data.get();
    const char* const end = p + text.size;
    while (p < end) {
        const char* newline = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* lineEnd = newline != nullptr ? newline : end;
        while (p < lineEnd && IsSpace(*p))
            ++p;
        if (p < lineEnd)
            ++count;
        p = lineEnd + 1;
    }
    return count;
}

}  // namespace zelk
