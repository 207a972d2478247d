// One slicing run: the model measured, the engine run, its G-code rewritten into the target file.
#pragma once

#include <functional>
#include <string>

#include "BridgeOptions.h"

namespace bridge {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,  // the model was refused, or the engine failed
    kExitUsage = 2,
    kExitNoEngine = 3,
    kExitCannotWrite = 4,
    kExitBadStartGCode = 5,
    kExitCancelled = 130,
};

// Receives each line for standard output (progress, and "error: ..." on failure).
using LineWriter = std::function<void(const std::string&)>;

// Runs the whole slicing and returns the exit code. On any failure the
// target is left as it was and no temporary file remains.
int RunBridge(const BridgeOptions& options, const LineWriter& say);

}  // namespace bridge
