// The machine link's log lines: every part of the link writes under the
// machine control's name, so that one search of the log finds them all.
#pragma once

#include <string>

class ZELKFileLog;

namespace zelk {

// Writes to log, or to the process-wide log when log is null. level: 0
// information, 1 warning, 2 error.
void WriteLinkLog(ZELKFileLog* log, int line, int level, const std::string& message);

}  // namespace zelk
