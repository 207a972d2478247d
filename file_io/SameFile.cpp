// Whether two names reach one file, so that no writer writes onto its own input.
#include "SameFile.h"

#include <sys/stat.h>

namespace zelk {

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat first {}, second {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

std::string WritesOverInput(const std::string& output, const std::vector<std::string>& inputs)
{
    for (const std::string& input : inputs) {
        if (!IsSameFile(output, input))
            continue;
        const std::string how = output == input ? "" : " under another name";
        return "'" + output + "' is the input file '" + input + "'" + how +
               ": writing it would destroy the input; choose another output file";
    }
    return std::string();
}

}  // namespace zelk
