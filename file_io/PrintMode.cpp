// The STL loader: reads an STL file from disk into a triangle mesh.
#include "PrintMode.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StlParser.h"

namespace zelk {

namespace {

// The whole content of a file, read once. Reading (rather than mapping) keeps
// a file that shrinks or fails while it is read an error, never a crash.
class WholeFile {
public:
    WholeFile() = default;
    ~WholeFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    bool Read(const std::string& path, std::string& reason)
    {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (m_fd < 0)
            return Fail(reason, "cannot open the file", errno);
        struct stat info {};
        if (::fstat(m_fd, &info) != 0)
            return Fail(reason, "cannot read the file", errno);
        if (!S_ISREG(info.st_mode)) {
            reason = "not a regular file";
            return false;
        }
        const auto expected = static_cast<std::size_t>(info.st_size);
        m_data.reset(new (std::nothrow) char[expected == 0 ? 1 : expected]);
        if (!m_data)
            return Fail(reason, "cannot read the file", ENOMEM);
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        while (m_size < expected) {
            const ssize_t got = ::read(m_fd, m_data.get() + m_size, expected - m_size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return Fail(reason, "cannot read the file", errno);
            if (got == 0)
                break;  // shrank while being read: parse what is there
            m_size += static_cast<std::size_t>(got);
        }
        return true;
    }

    const char* Data() const { return m_data.get(); }
    std::size_t Size() const { return m_size; }

private:
    static bool Fail(std::string& reason, const char* what, int err)
    {
        reason = std::string(what) + ": " + std::strerror(err);
        return false;
    }

    int m_fd = -1;
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
};

}  // namespace

bool LoadStlFile(const std::string& path, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    std::string why;
    bool ok = false;
    {
        WholeFile file;
        ok = file.Read(path, why) && ParseStl(file.Data(), file.Size(), mesh, why);
    }
    if (!ok) {
        mesh.Clear();
        reason = path + ": " + why;
    }
    return ok;
}

}  // namespace zelk

ZELKPrintMode* ZELKPrintMode::m_loadMode = nullptr;

ZELKPrintMode* ZELKPrintMode::GetLoadModeObject()
{
    if (m_loadMode == nullptr)
        m_loadMode = new (std::nothrow) ZELKPrintMode();
    return m_loadMode;
}

int ZELKPrintMode::LoadStl(std::string path, ZELKGePrint& mesh)
{
    m_lastError.clear();
    return zelk::LoadStlFile(path, mesh, m_lastError) ? 1 : 0;
}
