// Whether two names reach one file, so that no writer writes onto its own input.
#pragma once

#include <string>
#include <vector>

namespace zelk {

// True when both names exist and reach the same file (one device and inode),
// however they are spelled: "./m.stl", an absolute path, a symbolic link to
// it or a hard link. A name that does not exist is no file's name.
bool IsSameFile(const std::string& a, const std::string& b);

// Empty when writing `output` leaves every one of `inputs` intact; else one
// line that names the output and the input it would replace, and what to do.
std::string WritesOverInput(const std::string& output, const std::vector<std::string>& inputs);

}  // namespace zelk
