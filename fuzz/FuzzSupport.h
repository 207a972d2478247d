// Shared pieces of the fuzz targets: a check that holds in every build, and in-memory files for readers that take a path.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

// A property the reader must keep for every input. Unlike assert() it stays
// on whatever the build type, and abort() makes libFuzzer keep the input.
#define FUZZ_CHECK(condition, message)                                                           \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::fprintf(stderr, "%s:%d: check failed: %s (%s)\n", __FILE__, __LINE__, #condition, \
                         message);                                                               \
            std::abort();                                                                        \
        }                                                                                        \
    } while (0)

namespace fuzzsupport {

// A file that lives in memory only, opened by path through /proc/self/fd, so
// readers that insist on a path read the fuzz input without touching a disk.
class MemoryFile {
public:
    MemoryFile() : m_fd(::memfd_create("fuzz-input", MFD_CLOEXEC))
    {
        FUZZ_CHECK(m_fd >= 0, "memfd_create");
        m_path = "/proc/self/fd/" + std::to_string(m_fd);
    }
    ~MemoryFile() { ::close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the content with the given bytes.
    void Set(const void* data, std::size_t size)
    {
        FUZZ_CHECK(::ftruncate(m_fd, 0) == 0, "ftruncate");
        const char* bytes = static_cast<const char*>(data);
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0, "pwrite");
            done += static_cast<std::size_t>(n);
        }
    }

    const std::string& Path() const { return m_path; }

private:
    int m_fd;
    std::string m_path;
};

}  // namespace fuzzsupport
