// Writes a file through a temporary file beside it, so that the target is
// either the complete new content or left as it was.
#include "AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zelk {

namespace {

std::string TempNameFor(const std::string& target)
{
    static std::atomic<unsigned> counter{0};
    return target + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

constexpr std::size_t kBufferBytes = 1 << 20;
constexpr int kMaxLinks = 40;  // as the kernel's own limit on a chain of links

// The file a chain of symbolic links ends at (a dangling link's target
// included), or the path itself when it is no link.
std::string ResolveLinks(std::string path)
{
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return path;
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= link.size())
            return path;
        link.resize(static_cast<std::size_t>(n));
        if (link.front() == '/') {
            path = link;
        } else {
            const auto slash = path.find_last_of('/');
            path = (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + link;
        }
    }
    return path;  // a loop: opening it reports the error
}

// The temporary files of open writers, for removal from a signal handler:
// fixed slots, each claimed and released through its atomic state, so the
// handler needs neither locks nor allocation.
constexpr int kCleanupSlots = 32;
constexpr std::size_t kCleanupPathBytes = 4096;
enum SlotState : int { kFree = 0, kFilling = 1, kLive = 2 };

struct CleanupSlot {
    std::atomic<int> state{kFree};
    char path[kCleanupPathBytes];
};
CleanupSlot g_cleanup[kCleanupSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

// -1 when the path is too long or every slot is taken: that file is then
// not removed on a signal (the writer still removes it on every other path).
int ClaimSlot(const std::string& path)
{
    if (path.size() >= kCleanupPathBytes)
        return -1;
    for (int i = 0; i < kCleanupSlots; ++i) {
        int expected = kFree;
        if (g_cleanup[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(g_cleanup[i].path, path.c_str(), path.size() + 1);
            g_cleanup[i].state.store(kLive);
            return i;
        }
    }
    return -1;
}

void ReleaseSlot(int slot)
{
    if (slot >= 0)
        g_cleanup[slot].state.store(kFree);
}

void OnTerminatingSignal(int sig)
{
    const int savedErrno = errno;
    RemoveLiveTemporaryFiles();
    // SA_RESETHAND restored the default action: the signal, raised again,
    // ends the process once this handler returns.
    ::raise(sig);
    errno = savedErrno;
}

}  // namespace

void RemoveLiveTemporaryFiles()
{
    for (CleanupSlot& slot : g_cleanup)
        if (slot.state.load() == kLive)
            ::unlink(slot.path);
}

void InstallTemporaryFileCleanup()
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(sig, nullptr, &current) != 0 || current.sa_handler != SIG_DFL ||
            (current.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction action {};
        action.sa_handler = OnTerminatingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(sig, &action, nullptr);
    }
}

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
    m_final = ResolveLinks(m_target);
    struct stat info {};
    if (::stat(m_final.c_str(), &info) == 0 && (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)))
        return OpenDirect(m_final);
    return OpenTemporary(m_final);
}

bool AtomicFileWriter::OpenDirect(const std::string& finalPath)
{
    const int fd = ::open(finalPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Fail("cannot open", errno);
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        const int err = errno;
        ::close(fd);
        return Fail("cannot open", err);
    }
    std::setvbuf(m_file, nullptr, _IOFBF, kBufferBytes);
    return true;
}

bool AtomicFileWriter::OpenTemporary(const std::string& finalPath)
{
    struct stat existing {};
    const bool replacing = ::stat(finalPath.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    m_temp = TempNameFor(finalPath);
    m_cleanupSlot = ClaimSlot(m_temp);
    // O_EXCL: fail rather than reuse a file that happens to carry the name.
    const mode_t mode = replacing ? (existing.st_mode & 0777) : 0666;
    const int fd = ::open(m_temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        const int err = errno;
        ForgetTemporary();
        return Fail("cannot create", err);
    }
    if (replacing) {
        // The owner first: changing it may clear the set-id bits the mode then restores.
        // Only a privileged process may give the file away; others keep their own.
        if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid())
            (void)::fchown(fd, existing.st_uid, existing.st_gid);
        (void)::fchmod(fd, existing.st_mode & 07777);
    }
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        const int err = errno;
        ::close(fd);
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
    // Devices and pipes have nothing to sync.
    if (durable && !m_temp.empty() && ::fsync(::fileno(m_file)) != 0)
        return Fail("cannot write", errno);
    std::FILE* file = m_file;
    m_file = nullptr;
    errno = 0;
    if (std::fclose(file) != 0)
        return Fail("cannot write", errno != 0 ? errno : EIO);
    if (m_temp.empty())
        return true;
    if (std::rename(m_temp.c_str(), m_final.c_str()) != 0)
        return Fail("cannot replace", errno);
    ReleaseSlot(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_temp.clear();
    return true;
}

void AtomicFileWriter::ForgetTemporary()
{
    ReleaseSlot(m_cleanupSlot);
    m_cleanupSlot = -1;
    m_temp.clear();
}

void AtomicFileWriter::Discard()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (!m_temp.empty()) {
        std::remove(m_temp.c_str());
        ForgetTemporary();
    }
}

}  // namespace zelk
