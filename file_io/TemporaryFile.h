// Scratch files that vanish with their descriptor: nothing is left behind
// when the process ends, however it ends.
#pragma once

#include <string>

namespace zelk {

// A file open for reading and writing with no name in any folder: in
// `preferredFolder` when one is given and has room, else in $TMPDIR, else in
// /tmp. The descriptor (close-on-exec), or -1 with errno saying why the first
// folder refused.
int OpenUnlinkedTemporaryFile(const std::string& preferredFolder = std::string());

}  // namespace zelk
