// Reads a G-code file whole and cleans its lines for translation.
#include "GCodeFile.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/mman.h>
#include <sys/stat.h>

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
