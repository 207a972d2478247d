// The STL loader: reads an STL file from disk into a triangle mesh.
#include "PrintMode.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "StlParser.h"

namespace zelk {

namespace {

// An open STL file read in pieces with pread, so that the mesh is the only
// large thing in memory while it loads.
class FileStlInput : public StlInput {
public:
    FileStlInput() = default;
    ~FileStlInput() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileStlInput(const FileStlInput&) = delete;
    FileStlInput& operator=(const FileStlInput&) = delete;

    bool Open(const std::string& path, std::string& reason)
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
        m_size = static_cast<std::size_t>(info.st_size);
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        return true;
    }

    std::size_t Size() const override { return m_size; }

    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string& error) override
    {
        std::size_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(m_fd, buffer + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                Fail(error, "cannot read the file", errno);
                return -1;
            }
            if (got == 0)
                break;  // shrank while being read: the parser reports what is missing
            done += static_cast<std::size_t>(got);
        }
        return static_cast<long long>(done);
    }

private:
    static bool Fail(std::string& reason, const char* what, int err)
    {
        reason = std::string(what) + ": " + std::strerror(err);
        return false;
    }

    int m_fd = -1;
    std::size_t m_size = 0;
};

}  // namespace

bool LoadStlFile(const std::string& path, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options)
{
    mesh.Clear();
    std::string why;
    bool ok = false;
    try {
        FileStlInput file;
        ok = file.Open(path, why) && ReadStl(file, mesh, why, options);
    } catch (const std::bad_alloc&) {
        // The readers say how much they needed; this is any other allocation.
        ok = false;
        why = "not enough memory to read the file";
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
