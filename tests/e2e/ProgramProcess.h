// A program started as a child process for end-to-end tests: its first output lines, and an end when the test ends.
#pragma once

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "ProcessGone.h"

extern char** environ;

namespace testsupport {

class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (::posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        m_out = fds[0];
    }
    ~ChildProcess()
    {
        Stop();
        if (m_out >= 0)
            ::close(m_out);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    bool Running()
    {
        if (m_pid <= 0)
            return false;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return false;
        }
        return true;
    }

    // Waits for it to end on its pidfd; true once it has (or never started).
    bool EndsWithin(std::chrono::milliseconds limit)
    {
        if (m_pid <= 0)
            return true;
        if (!GoneWithin(m_pid, limit))
            return false;
        m_pid = -1;
        return true;
    }

    // The next line of its standard output, waiting at most timeoutMs; empty when none came.
    std::string ReadLine(int timeoutMs)
    {
        std::string line;
        char c = 0;
        while (true) {
            pollfd p{m_out, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0 || ::read(m_out, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }

    // SIGTERM, then SIGKILL when it has not gone within two seconds.
    void Stop()
    {
        if (m_pid <= 0)
            return;
        ::kill(m_pid, SIGTERM);
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
                m_pid = -1;
                return;
            }
            ::usleep(10000);
        }
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

// Runs a shell command and returns its standard output.
inline std::string Shell(const std::string& command)
{
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
            out += buffer;
        ::pclose(pipe);
    }
    return out;
}

}  // namespace testsupport
