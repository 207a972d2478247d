// Cancelling the bridge by signal or a broken pipe: the engine runs in a process group of its own, so the bridge passes the request on.
#include "Cancel.h"

#include <atomic>
#include <csignal>

#include <signal.h>

namespace bridge {

namespace {

std::atomic<int> g_signal{0};
std::atomic<pid_t> g_engineGroup{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<pid_t>::is_always_lock_free,
              "used from a signal handler");

// The first request asks the engine to end; a second one (the caller has
// waited long enough) kills it, so an engine that ignores SIGTERM never holds
// the bridge.
extern "C" void OnCancelSignal(int sig)
{
    const int previous = g_signal.exchange(sig);
    const pid_t group = g_engineGroup.load();
    if (group > 0)
        ::kill(-group, previous == 0 ? SIGTERM : SIGKILL);
}

}  // namespace

void InstallCancelHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    // Restarted reads are fine: the engine's end closes its output.
    action.sa_flags = SA_RESTART;
    // A broken pipe means whoever reads the progress has gone (the program
    // ended): nobody waits for the G-code, so the run is cancelled.
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        ::sigaction(sig, &action, nullptr);
}

bool CancelRequested()
{
    return g_signal.load() != 0;
}

void SetEngineGroup(pid_t group)
{
    g_engineGroup.store(group);
}

}  // namespace bridge
