// Runs the built slicer bridge as its own process and checks what it printed.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace bridgetest {

// The build's program folder: $MORVADIN_BIN, else this test's own folder (they are the same in a build).
inline std::string ProgramFolder()
{
    const char* bin = std::getenv("MORVADIN_BIN");
    if (bin != nullptr && *bin != '\0')
        return std::string(bin) + "/";
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string() + "/";
}

inline std::string Bridge()
{
    return ProgramFolder() + "slicer-bridge";
}

struct BridgeRun {
    int exitCode = -1;
    std::vector<std::string> lines;  // standard output and error, in order

    std::string Last() const { return lines.empty() ? std::string() : lines.back(); }
    bool Printed(const std::string& line) const
    {
        for (const std::string& l : lines)
            if (l == line)
                return true;
        return false;
    }
};

inline BridgeRun RunBridge(const std::vector<std::string>& args)
{
    BridgeRun run;
    std::vector<std::string> argv{Bridge()};
    argv.insert(argv.end(), args.begin(), args.end());
    zelk::ChildProcess child;
    std::string error;
    if (!child.Start(argv, error)) {
        ADD_FAILURE() << error;
        return run;
    }
    std::string line;
    while (child.ReadLine(line))
        run.lines.push_back(line);
    run.exitCode = child.Wait();
    return run;
}

// The names in `dir` that are not in `expected`.
inline std::set<std::string> Unexpected(const std::filesystem::path& dir, const std::set<std::string>& expected)
{
    std::set<std::string> extra;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (expected.count(entry.path().filename().string()) == 0)
            extra.insert(entry.path().filename().string());
    return extra;
}

}  // namespace bridgetest
