// The program's command line: options and the STL files to load at start.
#pragma once

#include <string>
#include <vector>

namespace zelk {

struct ProgramOptions {
    bool help = false;
    // A printer device to connect to at start (empty: none).
    std::string port;
    std::vector<std::string> stlFiles;  // STL models, and a G-code or X3G file to print
    // Set when the command line cannot be used; says why.
    std::string error;
};

// Reads argv[1..]: "--help"/"-h", "--port DEVICE" (or "--port=DEVICE"),
// "--" ending the options, and file names.
ProgramOptions ParseProgramOptions(int argc, const char* const* argv);

// What --help prints.
std::string ProgramUsage(const std::string& programName);

}  // namespace zelk
