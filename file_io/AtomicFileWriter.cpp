// Writes a file through a temporary file beside it, so that the target is
// either the complete new content or left as it was.
#include "AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <unistd.h>

namespace zelk {

namespace {

std::string TempNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    return target + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

constexpr std::size_t kBufferBytes = 1 << 20;

}  // namespace

AtomicFileWriter::AtomicFileWriter(std::string targetPath) : m_target(std::move(targetPath)) {}

AtomicFileWriter::~AtomicFileWriter()
{
    Discard();
}

bool AtomicFileWriter::Fail(const std::string& what, int err)
{
    if (m_error.empty())
        m_error = what + " " + m_target + ": " + std::strerror(err);
    Discard();
    return false;
}

bool AtomicFileWriter::Open()
{
    Discard();
    m_error.clear();
    m_temp = TempNameFor(m_target);
    // "x": fail rather than reuse a file that happens to carry the name.
    m_file = std::fopen(m_temp.c_str(), "wbx");
    if (m_file == nullptr) {
        int err = errno;
        m_temp.clear();
        return Fail("cannot create", err);
    }
    std::setvbuf(m_file, nullptr, _IOFBF, kBufferBytes);
    return true;
}

bool AtomicFileWriter::Write(const void* data, std::size_t size)
{
    if (m_file == nullptr)
        return Fail("cannot write", EBADF);
    if (size == 0)
        return true;
    errno = 0;
    if (std::fwrite(data, 1, size, m_file) != size)
        return Fail("cannot write", errno != 0 ? errno : EIO);
    return true;
}

bool AtomicFileWriter::Commit(bool durable)
{
    if (m_file == nullptr)
        return Fail("cannot write", EBADF);
    errno = 0;
    if (std::fflush(m_file) != 0)
        return Fail("cannot write", errno != 0 ? errno : EIO);
    if (durable && ::fsync(::fileno(m_file)) != 0)
        return Fail("cannot write", errno);
    std::FILE* file = m_file;
    m_file = nullptr;
    errno = 0;
    if (std::fclose(file) != 0)
        return Fail("cannot write", errno != 0 ? errno : EIO);
    if (std::rename(m_temp.c_str(), m_target.c_str()) != 0)
        return Fail("cannot replace", errno);
    m_temp.clear();
    return true;
}

void AtomicFileWriter::Discard()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        std::remove(m_temp.c_str());
        m_temp.clear();
    }
}

}  // namespace zelk
