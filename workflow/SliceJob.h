// Slicing the models on the plate: the checks before a run, the slicer bridge
// run as a child process on a thread of its own with its progress read line by
// line, cancelling it, and what its end means to the user.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Outcome.h"
#include "SkeinforgeParameter.h"
#include "SliceProgress.h"
#include "ZELKThreadProc.h"

class ZELDBEntityDatabase;

namespace zelk {

class ChildProcess;

// The start G-code must hold the lines that carry the temperatures and the
// start height, or the print would not heat.
Outcome CheckStartGCodeForSlicing();

// The start G-code's extruder temperature when it is too cold for the
// filament to flow (the feed rule's threshold), else nothing: a print or a
// slice at it is asked about first.
std::optional<int> ColdStartGCodeC();
// The temperature as that question quotes it ("0 °C").
std::string ColdStartDetail(int tempC);

// Stores the slicing panel's three fields in the start G-code (the extruder
// in whole degrees).
Outcome StoreSliceFields(const SliceFields& fields);

// One run to start: the arguments (bridge, settings, model file), the G-code
// it writes and the fingerprint of the models merged for it.
struct SlicePlan {
    Outcome outcome;       // refused: the message to show
    bool nothing = false;  // no printable model: nothing to slice, nothing to say
    std::vector<std::string> arguments;
    std::string gcodePath;
    std::uint64_t fingerprint = 0;
};

// Checks the models on the plate (within the build volume, on the platform),
// merges them into the slicer's model file and builds the arguments.
SlicePlan PlanSlice(ZELDBEntityDatabase& database, const SkeinforgeParameter& settings);

class SliceJob {
public:
    // How a run ended, as its thread saw it.
    struct End {
        bool started = true;
        bool completed = false;  // the bridge reported the exported file
        bool cancelled = false;
        int exitCode = -1;
        std::string detail;  // why it did not start, or the slicer's last error line

        // The message for a run that neither completed nor was cancelled.
        Outcome Failure() const;
    };
    // Both are called on the job's thread with the run they belong to.
    using ProgressHandler = std::function<void(unsigned run, const SliceProgress::Update&)>;
    using EndHandler = std::function<void(unsigned run, const End&)>;

    SliceJob(ProgressHandler progress, EndHandler ended);
    // Ends a run still going (its child first).
    ~SliceJob();
    SliceJob(const SliceJob&) = delete;
    SliceJob& operator=(const SliceJob&) = delete;

    // Starts a run. Refused (with the message's key) when the last run's
    // thread is still reaping its child after 100 ms, or no thread could start.
    Outcome Start(std::vector<std::string> arguments);
    // The run the handlers' calls belong to when they are the latest.
    unsigned Run() const { return m_run; }

    // Asks the run's child to end.
    void Cancel();
    // The next step after a cancel that did not end the run in time: ask
    // again (the bridge then kills its engine), then kill the run's whole
    // process group. False when no step is left.
    bool CancelAgain();
    // Ends a run now: asks twice, then kills, waiting the grace between.
    void Stop();

    // How long a cancelled run may take to end before the next step.
    static void SetCancelGraceMs(int ms);
    static int CancelGraceMs();

private:
    static unsigned long ThreadRoutine(void* job);
    void RunThread();
    void SignalChild(bool kill);

    ProgressHandler m_progress;
    EndHandler m_ended;
    ZELKThreadProc m_thread;
    std::vector<std::string> m_arguments;  // set before the thread begins
    unsigned m_run = 0;
    int m_cancelSteps = 0;
    std::atomic<bool> m_cancelled{false};
    std::mutex m_childMutex;  // the thread's child, reached by cancel from other threads
    std::shared_ptr<ChildProcess> m_child;
};

}  // namespace zelk
