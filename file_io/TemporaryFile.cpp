// Scratch files that vanish with their descriptor.
#include "TemporaryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace zelk {

namespace {

int OpenUnlinkedIn(const std::string& folder)
{
#ifdef O_TMPFILE
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // Not every file system has O_TMPFILE: a named file, unlinked at once.
#endif
    std::string name = folder + "/.scratch-XXXXXX";
    const int named = ::mkostemp(name.data(), O_CLOEXEC);
    if (named >= 0)
        ::unlink(name.c_str());
    return named;
}

}  // namespace

int OpenUnlinkedTemporaryFile(const std::string& preferredFolder)
{
    std::vector<std::string> folders;
    if (!preferredFolder.empty())
        folders.push_back(preferredFolder);
    if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && tmp[0] != '\0')
        folders.emplace_back(tmp);
    folders.emplace_back("/tmp");
    int firstErr = 0;
    for (const std::string& folder : folders) {
        const int fd = OpenUnlinkedIn(folder);
        if (fd >= 0)
            return fd;
        if (firstErr == 0)
            firstErr = errno;
    }
    errno = firstErr != 0 ? firstErr : EIO;
    return -1;
}

}  // namespace zelk
