// Printing and exporting the plate's G-code or an opened file: which file it
// is and whether it may be used, then on the job's own thread the print list
// loaded (G-code translated by its flavour, or X3G as it is) and the print
// started, or the X3G file written. A file that looks like another slicer's
// without saying so is asked about before anything is sent or written.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "GCodeFlavor.h"
#include "Outcome.h"
#include "RunState.h"
#include "WorkflowText.h"
#include "ZELKThreadProc.h"

class ZELKMachineControl;

namespace zelk {

class PrintTimeEstimate;
struct GCodeFileOutcome;

// The file a print or an export takes, or why there is none.
struct PrintSource {
    Outcome outcome;  // refused: the message
    std::string path;
    // G-code sliced from models that changed since: the user chooses between
    // slicing again and using it as it is.
    bool stale = false;
    // Export: where the save dialog opens, the folder of the first model's
    // own file (or of the opened G-code file), named after it.
    ExportDialogStart dialogStart;
};

// An opened G-code or X3G file, else the G-code of the plate's models.
PrintSource ChoosePrintSource();
// The same for an X3G export; an opened X3G file is one already.
PrintSource ChooseExportSource();
// Without the start G-code's temperature and height lines a G-code print would
// run cold (an X3G file carries its own).
Outcome CheckStartGCodeFor(const std::string& path);
// The extruder temperature a G-code print would start at (the start G-code's)
// when it is too cold for the filament to flow; nothing for an X3G file,
// which carries its own, or a warm enough start.
std::optional<int> ColdStartC(const std::string& path);

// The export never writes over its G-code, the start G-code or a model,
// whatever name the dialog was given for one of them.
Outcome CheckExportTarget(const std::string& target, const std::string& source);

class PrintJob {
public:
    // What the job's thread came to. Handlers are called on that thread.
    struct Result {
        enum Kind { kDone, kAskFlavor, kFailed };
        Kind kind = kDone;
        std::string leftOutSummary;  // kAskFlavor: what the printer's dialect left out
        std::string detail;          // kDone: the flavour and what was left out; kFailed: why
        std::shared_ptr<PrintTimeEstimate> estimate;  // a started print's time
    };
    using Handler = std::function<void(const Result&)>;

    PrintJob(ZELKMachineControl& control, RunState& state);
    ~PrintJob();
    PrintJob(const PrintJob&) = delete;
    PrintJob& operator=(const PrintJob&) = delete;

    // Begins preparing the print of `path`: false (nothing begun) while
    // another job runs. On kDone the print runs.
    bool StartPrint(const std::string& path, Handler done);
    // Begins writing `source` as the X3G file `target`: false while another
    // job runs.
    bool StartExport(const std::string& source, const std::string& target, Handler done);
    // After kAskFlavor: the flavour the user chose goes on with it; none ends
    // the job with nothing sent or written.
    void ChooseFlavor(std::optional<gcode::GCodeFlavor> flavor);
    // After kDone or kFailed, once the user has been shown the result: the
    // next job may begin.
    void Finish();

    // Stops a running print: the end-print sequence (stop, Z home, heaters off).
    void StopPrint();

private:
    enum class Kind { kPrint, kExport };
    static unsigned long ThreadRoutine(void* job);
    void Begin(std::optional<gcode::GCodeFlavor> flavor);
    void RunPrint();
    void RunExport();
    // A file that looks foreign and was read by its mark: kAskFlavor handed
    // over, and true.
    bool AskedForFlavor(const GCodeFileOutcome& outcome);

    ZELKMachineControl& m_control;
    RunState& m_state;
    ZELKThreadProc m_thread;
    // Set before the thread begins.
    Kind m_kind = Kind::kPrint;
    std::string m_source;
    std::string m_target;
    std::optional<gcode::GCodeFlavor> m_flavor;
    Handler m_done;
};

}  // namespace zelk
