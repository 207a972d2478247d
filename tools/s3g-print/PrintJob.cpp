// A headless print: connect, wait for the printer, stream a G-code file and
// follow it to the end, or stop it the way the print workflow does.
#include "PrintJob.h"

#include <algorithm>
#include <vector>

#include "MachinePackages.h"
#include "X3gReader.h"

namespace s3gprint {

PrintJob::PrintJob(ZELKMachineControl& control, const PrintOptions& options, std::FILE* progressOut)
    : m_control(control), m_options(options), m_out(progressOut)
{
    m_control.SetReplyTimeoutMs(m_options.replyTimeoutMs);
    m_control.SetDeviceReturnTimeoutMs(m_options.deviceReturnMs);
    m_control.SetReceiveCallback([this](const RECEIVEBUF& reply) { OnReply(reply); });
    m_control.SetPrinterLostCallback([this](const std::string& reason) { OnPrinterLost(reason); });
}

void PrintJob::OnPrinterLost(const std::string& reason)
{
    std::lock_guard lock(m_mutex);
    m_lost = true;
    m_lostReason = reason;
    m_cv.notify_all();
}

int PrintJob::ReportLost()
{
    std::string reason;
    bool printStarted = false;
    {
        std::lock_guard lock(m_mutex);
        reason = m_lostReason;
        printStarted = m_printStarted;
    }
    std::fprintf(stderr, "s3g-print: printer lost: %s\n", reason.c_str());
    m_control.CloseCom();
    if (printStarted)
        ReportResends();
    return kPrinterLost;
}

bool PrintJob::ReportResends()
{
    const ZELKMachineControl::ResendCounts counts = m_control.GetResendCounts();
    const int resent = counts.afterRefusal + counts.afterNoReply;
    if (resent == 0) {
        std::fprintf(stderr, "s3g-print: no package was sent again\n");
        return false;
    }
    std::fprintf(stderr, "s3g-print: %d %s resent: %d refused by the printer (not taken, harmless), %d after "
                         "their reply was missing or unreadable\n",
                 resent, resent == 1 ? "package" : "packages", counts.afterRefusal, counts.afterNoReply);
    if (counts.actionsInDoubt == 0)
        return false;
    std::fprintf(stderr, "s3g-print: the print may hold repeated moves: %d %s went out again after a reply that "
                         "may have been lost, and the printer may have carried %s out twice\n",
                 counts.actionsInDoubt, counts.actionsInDoubt == 1 ? "action" : "actions",
                 counts.actionsInDoubt == 1 ? "it" : "them");
    return true;
}

void PrintJob::OnReply(const RECEIVEBUF& record)
{
    std::lock_guard lock(m_mutex);
    m_last = record;
    ++m_replies;
    if (record.type == zelk::kReplyVersion)
        m_versionSeen = true;
    if (record.type == zelk::kReplyBuildFinished && m_printStarted)
        m_finished = true;  // only the print's own is-finished query gets this answer
    m_cv.notify_all();
}

void PrintJob::Interrupt()
{
    std::lock_guard lock(m_mutex);
    m_interrupted = true;
    m_cv.notify_all();
}

bool PrintJob::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, timeout, done);
}

int PrintJob::Connect()
{
    if (!m_control.OpenCom(m_options.port)) {
        std::fprintf(stderr, "s3g-print: %s\n", m_control.GetComOpenErrorText().c_str());
        return kFailed;
    }
    m_control.AddOperationPackage(zelk::VersionQueryPackage());
    bool interrupted = false, lost = false;
    const bool answered = WaitUntil(
        [&] {
            interrupted = m_interrupted;  // read under the job's lock
            lost = m_lost;
            return m_versionSeen || interrupted || lost;
        },
        std::chrono::milliseconds(m_options.answerTimeoutMs));
    if (lost)
        return ReportLost();
    if (interrupted) {
        m_control.CloseCom();
        return kInterrupted;
    }
    if (!answered) {
        std::fprintf(stderr, "s3g-print: no printer answers on %s (waited %d ms)\n", m_options.port.c_str(),
                     m_options.answerTimeoutMs);
        m_control.CloseCom();
        return kNoAnswer;
    }
    // Any firmware that answers the version query is taken; which one it is
    // goes to the log line of the run.
    std::fprintf(stderr, "s3g-print: printer on %s, firmware version %d\n", m_options.port.c_str(),
                 m_control.GetFirmwareVersion());
    return kFinished;
}

bool PrintJob::LoadPrintList()
{
    const char* file = m_options.gcode.c_str();
    if (zelk::IsX3gFileName(m_options.gcode)) {
        zelk::PrintList packages;
        std::string error;
        if (!zelk::ReadX3gFile(m_options.gcode, packages, error)) {
            std::fprintf(stderr, "s3g-print: %s\n", error.c_str());
            return false;
        }
        m_control.SetPrintList(std::move(packages));
        return true;
    }
    m_control.SetGCodeFlavor(m_options.flavor);
    m_control.GCodeParser(file);
    const zelk::GCodeFileOutcome& outcome = m_control.GetTranslator().LastFileOutcome();
    if (outcome.skippedLineCount > 0)
        std::fprintf(stderr, "s3g-print: %zu lines skipped: a number was unreadable or out of range\n",
                     outcome.skippedLineCount);
    if (!outcome.flavorMark.empty())
        std::fprintf(stderr, "s3g-print: %s: read as %s G-code (\"%s\")\n", file,
                     zelk::gcode::FlavorName(outcome.flavor), outcome.flavorMark.c_str());
    if (!outcome.leftOut.Empty())
        std::fprintf(stderr, "s3g-print: %s: %s\n", file, outcome.LeftOutLine().c_str());
    if (outcome.read && outcome.LooksForeign() && !m_options.flavor) {
        std::fprintf(stderr,
                     "s3g-print: %s: a file from another slicer? It holds %s, which this printer's dialect leaves "
                     "out: choose its flavour with --flavor makerbot or --flavor reprap\n",
                     file, outcome.leftOut.MotionSummary().c_str());
        return false;
    }
    // A file that cannot be read, or holds no move, is no print.
    if (!outcome.IsUsable()) {
        std::fprintf(stderr, "s3g-print: %s\n", outcome.reason.c_str());
        return false;
    }
    return true;
}

int PrintJob::Print()
{
    if (!LoadPrintList()) {
        m_control.CloseCom();
        return kFailed;
    }
    m_start = std::chrono::steady_clock::now();
    m_estimate.Start(m_control.GetPrintList(), 0.0);
    std::fprintf(stderr, "s3g-print: %zu packages, the moves take %s\n", m_estimate.PackageCount(),
                 zelk::FormatDuration(m_estimate.TotalSeconds()).c_str());
    {
        std::lock_guard lock(m_mutex);
        m_printStarted = true;
    }
    m_control.StartPrint();
    for (;;) {
        // Temperatures once a second, as the progress display of the program does.
        m_control.ChangePrintType_InquireExtruderTemperature();
        m_control.ChangePrintType_InquirePlatformTemperature();
        WaitUntil([this] { return m_finished || m_interrupted || m_lost; }, std::chrono::milliseconds(1000));
        std::unique_lock lock(m_mutex);
        const bool finished = m_finished, interrupted = m_interrupted, lost = m_lost;
        lock.unlock();
        ShowProgress(finished || interrupted || lost);
        if (finished) {  // the build is done, even if the link went afterwards
            const double tookS = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
            std::fprintf(stderr, "s3g-print: print finished in %s\n", zelk::FormatDuration(tookS).c_str());
            m_control.CloseCom();
            return ReportResends() ? kRepeatsPossible : kFinished;
        }
        if (lost)
            return ReportLost();
        if (interrupted)
            return StopPrinter();
    }
}

int PrintJob::StopPrinter()
{
    if (m_control.IsPrinterLost())
        return ReportLost();
    // As the print workflow stops: the extended stop ahead of everything,
    // then the Z homing line; the port closes once both were answered.
    m_control.EndPrint();
    Package stop;
    m_control.GetEndPrintPackage(stop);
    m_control.RemoveOperatePackList();
    m_control.InsertOperationPackage(stop);
    Package home;
    m_control.GCodeParser(std::string("G162 Z F600"), home);
    m_control.AddOperationPackage(home);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.stopTimeoutMs);
    std::vector<Package> left = m_control.GetOperatePackList();
    while (!left.empty() && !m_control.IsPrinterLost() && std::chrono::steady_clock::now() < deadline) {
        int seen = 0;
        {
            std::lock_guard lock(m_mutex);
            seen = m_replies;
        }
        // The list shrinks just after a reply: wake on the reply, recheck soon after.
        WaitUntil([&] { return m_replies != seen || m_lost; }, std::chrono::milliseconds(20));
        left = m_control.GetOperatePackList();
    }
    // The stop counts as sent once the printer answered it (it has then left the list).
    const bool stopTaken =
        !m_control.IsPrinterLost() && std::find(left.begin(), left.end(), stop) == left.end();
    if (m_control.IsPrinterLost())
        return ReportLost();
    m_control.CloseCom();
    ReportResends();
    if (!stopTaken) {
        std::fprintf(stderr, "s3g-print: the printer did not answer the stop; it may still be printing\n");
        return kFailed;
    }
    std::fprintf(stderr, left.empty() ? "s3g-print: print stopped\n"
                                      : "s3g-print: print stopped (the Z homing was not answered)\n");
    return kInterrupted;
}

void PrintJob::ShowProgress(bool last)
{
    const double nowS = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const int total = m_control.GetPrintListSize();
    const int sent = std::min(m_control.GetPrintIndex(), total);
    m_estimate.Observe(static_cast<std::size_t>(std::max(sent, 0)), nowS);
    if (m_options.quiet || m_out == nullptr)
        return;
    const double percent = total > 0 ? 100.0 * sent / total : 100.0;
    RECEIVEBUF record;
    bool finished = false;
    {
        std::lock_guard lock(m_mutex);
        record = m_last;
        finished = m_finished;
    }
    const double left = finished ? 0.0 : m_estimate.RemainingSeconds(nowS);
    std::fprintf(m_out, "\r%d/%d packages  %5.1f %%  elapsed %s  left %s  extruder %3d C  platform %3d C ", sent, total,
                 percent, zelk::FormatDuration(m_estimate.ElapsedSeconds(nowS)).c_str(),
                 zelk::FormatDuration(left).c_str(), record.extruderTemperature, record.platformTemperature);
    if (last)
        std::fputc('\n', m_out);
    std::fflush(m_out);
}

}  // namespace s3gprint
