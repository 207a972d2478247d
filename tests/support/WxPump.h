// Runs the wx event loop of a window test until something has happened.
#pragma once

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/utils.h>

namespace testsupport {

// Runs what other threads and earlier calls queued for the user-interface
// thread, `rounds` times over.
inline void Pump(int rounds = 5)
{
    for (int i = 0; i < rounds; ++i) {
        wxTheApp->ProcessPendingEvents();
        wxYield();
    }
}

// Runs the event loop until `done` or the time is up; returns done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        wxTheApp->ProcessPendingEvents();
        wxYield();
        wxMilliSleep(2);
    }
    return true;
}

}  // namespace testsupport
