// Runs a program as a child process and collects its exit status and output.
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode = -1;  // -1 when the child did not exit normally
    std::string out;
    std::string err;
};

// Runs argv[0] (searched in PATH) with the arguments. A fileSizeLimit of 0 or
// more runs the child under that file-size limit in bytes.
inline ProcessResult RunProcess(const std::vector<std::string>& argv, long fileSizeLimit = -1)
{
    ProcessResult result;
    char outPath[] = "/tmp/morvadin-out-XXXXXX";
    char errPath[] = "/tmp/morvadin-err-XXXXXX";
    const int outFd = ::mkstemp(outPath);
    const int errFd = ::mkstemp(errPath);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        if (fileSizeLimit >= 0) {
            struct rlimit limit {static_cast<rlim_t>(fileSizeLimit), static_cast<rlim_t>(fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        std::perror("exec");
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    ::close(outFd);
    ::close(errFd);
    auto slurp = [](const char* path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    ::unlink(outPath);
    ::unlink(errPath);
    return result;
}

}  // namespace testsupport
