// A headless print: connect, wait for the printer, stream a G-code file and
// follow it to the end, or stop it the way the print workflow does.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "GCodeFlavor.h"
#include "PrintTimeEstimate.h"
#include "ZELKMachineControl.h"

namespace s3gprint {

struct PrintOptions {
    std::string port;
    std::string startGCode;
    std::string gcode;  // or an X3G file, streamed as it is
    std::optional<zelk::gcode::GCodeFlavor> flavor;  // nothing: the file's own mark
    int answerTimeoutMs = 10000;  // for the version answer
    int replyTimeoutMs = ZELKMachineControl::kDefaultReplyTimeoutMs;      // one of the reply waits
    int deviceReturnMs = ZELKMachineControl::kDefaultDeviceReturnMs;      // for a device that went away
    int stopTimeoutMs = 3000;     // for the printer to take the stop after Ctrl+C
    bool quiet = false;           // no progress line
};

// Exit statuses of the program.
// kRepeatsPossible: the build finished, but an action went out again after its
// reply was lost, so the printer may have carried it out twice.
enum Status {
    kFinished = 0,
    kFailed = 1,
    kBadCommandLine = 2,
    kNoAnswer = 3,
    kPrinterLost = 4,
    kRepeatsPossible = 5,
    kInterrupted = 130
};

class PrintJob {
public:
    PrintJob(ZELKMachineControl& control, const PrintOptions& options, std::FILE* progressOut);

    // Connects and waits for the version answer; kFinished when it came.
    int Connect();
    // Streams the translated print list to its end (or to an interruption).
    int Print();
    // Asks a running Print to stop (safe from any thread).
    void Interrupt();

private:
    void OnReply(const RECEIVEBUF& record);
    void OnPrinterLost(const std::string& reason);
    int ReportLost();
    // Translates the G-code (or reads the X3G file) into the print list;
    // false, having said why, when there is nothing to print.
    bool LoadPrintList();
    // The summary of the packages sent again; true when an action may have
    // been carried out twice.
    bool ReportResends();
    void ShowProgress(bool last);
    int StopPrinter();
    bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    ZELKMachineControl& m_control;
    PrintOptions m_options;
    std::FILE* m_out;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    RECEIVEBUF m_last;
    int m_replies = 0;
    bool m_versionSeen = false;
    bool m_printStarted = false;
    bool m_finished = false;
    bool m_interrupted = false;
    bool m_lost = false;
    std::string m_lostReason;
    std::chrono::steady_clock::time_point m_start;
    zelk::PrintTimeEstimate m_estimate;
};

}  // namespace s3gprint
