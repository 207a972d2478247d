// The bridge's private folder beside the target, and the removal of those that runs killed on the way left.
#include "WorkFolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bridge {

namespace fs = std::filesystem;

namespace {

constexpr const char* kMarker = ".slicing-";
constexpr std::size_t kRandomChars = 6;  // mkdtemp's XXXXXX
constexpr int kCreateTries = 8;

// ".NAME.slicing-XXXXXX": the shape of a work folder's name, and nothing else.
bool IsWorkFolderName(const std::string& name)
{
    const std::size_t marker = name.rfind(kMarker);
    return name.size() > 1 && name[0] == '.' && marker != std::string::npos && marker > 0 &&
           name.size() == marker + std::strlen(kMarker) + kRandomChars;
}

// An exclusive lock on the folder itself, taken without waiting; -1 when
// another run holds it or the folder cannot be opened.
int LockFolder(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

fs::path FolderOf(const std::string& target)
{
    const fs::path t(target);
    return t.has_parent_path() ? t.parent_path() : fs::path(".");
}

}  // namespace

int RemoveAbandonedWorkFolders(const std::string& folder)
{
    int removed = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        std::error_code typeError;
        if (!IsWorkFolderName(name) || !entry.is_directory(typeError) || entry.is_symlink(typeError))
            continue;
        // A lock that can be taken belongs to a run that has ended.
        const int fd = LockFolder(entry.path().string());
        if (fd < 0)
            continue;
        std::error_code ignored;
        if (fs::remove_all(entry.path(), ignored) > 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

WorkFolder::~WorkFolder()
{
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

bool WorkFolder::Create(const std::string& target, std::string& error)
{
    const fs::path dir = FolderOf(target);
    RemoveAbandonedWorkFolders(dir.string());
    const std::string pattern = (dir / ("." + fs::path(target).filename().string() + kMarker + "XXXXXX")).string();
    for (int attempt = 0; attempt < kCreateTries; ++attempt) {
        std::string path = pattern;
        if (::mkdtemp(path.data()) == nullptr) {
            error = "cannot write " + target + ": " + std::strerror(errno);
            return false;
        }
        // Another run's sweep may take the folder between its making and its
        // locking: then it is gone (or locked by that sweep), and a new one is made.
        const int fd = LockFolder(path);
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0) {
            m_path = path;
            m_lockFd = fd;
            return true;
        }
        if (fd >= 0)
            ::close(fd);
    }
    error = "cannot write " + target + ": its work folder was taken away " + std::to_string(kCreateTries) +
            " times by other runs";
    return false;
}

}  // namespace bridge
