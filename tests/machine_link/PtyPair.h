// A pseudo-terminal for port tests: the test plays the printer on the master.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace linktest {

class PtyPair {
public:
    PtyPair()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = ::ptsname(m_master);
        // Hold the slave open so that the master never sees a hang-up between
        // the port's opens, and make it raw before the port does.
        m_slaveKeep = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios tio{};
        if (m_slaveKeep >= 0 && ::tcgetattr(m_slaveKeep, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slaveKeep, TCSANOW, &tio);
        }
    }
    ~PtyPair()
    {
        CloseMaster();
        if (m_slaveKeep >= 0)
            ::close(m_slaveKeep);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return m_master >= 0 && m_slaveKeep >= 0; }
    const std::string& SlavePath() const { return m_slavePath; }

    void Write(const std::vector<unsigned char>& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EINTR)
                return;
        }
    }

    // Reads exactly count bytes, or fewer when timeoutMs passes without any.
    std::vector<unsigned char> Read(std::size_t count, int timeoutMs)
    {
        std::vector<unsigned char> out;
        while (out.size() < count) {
            pollfd pfd{m_master, POLLIN, 0};
            if (::poll(&pfd, 1, timeoutMs) <= 0)
                break;
            unsigned char buf[256];
            const ssize_t n = ::read(m_master, buf, std::min(sizeof buf, count - out.size()));
            if (n <= 0)
                break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }

    // The printer vanishes: the master and the kept slave are closed.
    void Hangup()
    {
        if (m_slaveKeep >= 0)
            ::close(m_slaveKeep);
        m_slaveKeep = -1;
        CloseMaster();
    }

private:
    void CloseMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    int m_master = -1;
    int m_slaveKeep = -1;
    std::string m_slavePath;
};

}  // namespace linktest
