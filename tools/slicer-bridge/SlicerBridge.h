// One slicing run: the model measured, the engine run, its G-code rewritten into the target file.
#pragma once

#include <functional>
#include <string>

#include "BridgeOptions.h"
#include "SliceLines.h"

namespace bridge {

using ExitCode = slicelines::ExitCode;
using slicelines::kExitBadStartGCode;
using slicelines::kExitCancelled;
using slicelines::kExitCannotWrite;
using slicelines::kExitFailed;
using slicelines::kExitNoEngine;
using slicelines::kExitOk;
using slicelines::kExitUsage;

// Receives each line for standard output (progress, and "error: ..." on failure).
using LineWriter = std::function<void(const std::string&)>;

// Runs the whole slicing and returns the exit code. On any failure the
// target is left as it was and no temporary file remains.
int RunBridge(const BridgeOptions& options, const LineWriter& say);

}  // namespace bridge
