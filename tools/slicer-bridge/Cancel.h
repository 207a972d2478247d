// Cancelling the bridge by signal: the engine runs in a process group of its own, so the bridge passes the signal on.
#pragma once

#include <sys/types.h>

namespace bridge {

// SIGINT, SIGTERM and SIGHUP record the request and send SIGTERM to the
// engine's process group, if one is registered; a second one sends SIGKILL. SIGPIPE is ignored, so a
// reader that went away turns into write errors, not a silent death.
void InstallCancelHandlers();

bool CancelRequested();

// The engine's process group while it may be signalled; 0 once it is about
// to be reaped (a reaped id may belong to someone else).
void SetEngineGroup(pid_t group);

}  // namespace bridge
