// Runs the wx event loop of a window test until something has happened.
#pragma once

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/utils.h>

namespace testsupport {

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
