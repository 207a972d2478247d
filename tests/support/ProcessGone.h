// Waits for a process (not necessarily a child) to end, on its pidfd rather than by polling.
#pragma once

#include <poll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace testsupport {

// True once `pid` has ended (an orphan handed to this process is reaped too).
inline bool GoneWithin(pid_t pid, std::chrono::milliseconds limit)
{
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0)
        return errno == ESRCH;
    pollfd ready{fd, POLLIN, 0};
    const bool ended = ::poll(&ready, 1, static_cast<int>(limit.count())) == 1;
    ::close(fd);
    ::waitpid(pid, nullptr, WNOHANG);
    return ended;
}

}  // namespace testsupport
