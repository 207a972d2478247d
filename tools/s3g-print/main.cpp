// s3g-print: prints a G-code file on a printer without the desktop program,
// showing progress on one terminal line.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>
#include <vector>

#include "PrintJob.h"
#include "ProgramFolder.h"
#include "ToolOptions.h"
#include "ZELKStartGCodeOperater.h"

namespace {

const char* const kHelp =
    "usage: s3g-print --port DEVICE [--start-gcode FILE] [--answer-timeout SECONDS]\n"
    "                 [--reply-timeout SECONDS] [--device-timeout SECONDS] [--quiet]\n"
    "                 [--flavor printer|makerbot|reprap] FILE.gcode|FILE.x3g\n"
    "\n"
    "Connects to the printer on DEVICE (for example /dev/ttyACM0, a\n"
    "/dev/serial/by-id/... name or a pseudo-terminal), waits for it to answer,\n"
    "translates FILE.gcode (or takes FILE.x3g as it is) and streams it, showing\n"
    "packages sent, percent,\n"
    "elapsed time, the time left (from the moves themselves) and temperatures.\n"
    "Ctrl+C stops the printer (extended stop, then Z homing) and closes the port;\n"
    "so do SIGTERM, SIGQUIT and the terminal closing (SIGHUP). The summary at the\n"
    "end counts the packages sent again.\n"
    "\n"
    "Options:\n"
    "  --port DEVICE            the printer's serial device (required)\n"
    "  --start-gcode FILE       start G-code with the temperatures and start height\n"
    "                           (default: the user's edited or the shipped one)\n"
    "  --answer-timeout SECONDS how long to wait for the printer (default 10)\n"
    "  --reply-timeout SECONDS  one of the five waits for a reply (default 20, at\n"
    "                           least @MIN_REPLY@: a frame and its reply on the line);\n"
    "                           a package unanswered through them, a port restart\n"
    "                           and them again means the printer is lost\n"
    "  --device-timeout SECONDS how long a device that went away may take to come\n"
    "                           back (default 5)\n"
    "  --quiet                  no progress line\n"
    "  --flavor NAME            read the G-code as NAME (printer, makerbot or\n"
    "                           reprap), as gcode2x3g does; default: the flavour\n"
    "                           the file names, the printer's dialect when none.\n"
    "                           An unmarked file with commands of another slicer\n"
    "                           that change the moves is refused without it\n"
    "\n"
    "Exit status: 0 when the printer reports the build finished, 1 when the\n"
    "port or a file cannot be used or the printer did not answer the stop,\n"
    "2 for a bad command line, 3 when no printer answers, 4 when the printer\n"
    "was lost during the print (\"printer lost\"), 5 when the build finished but\n"
    "an action went out again after its reply was lost (the print may hold\n"
    "repeated moves), 130 when stopped by a signal.\n";

// The longest wait any option sets.
constexpr int kMaxSeconds = 3600;

int Usage(const std::string& message)
{
    std::fprintf(stderr, "s3g-print: %s (see --help)\n", message.c_str());
    return s3gprint::kBadCommandLine;
}

int ParseArguments(int argc, char** argv, s3gprint::PrintOptions& o)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "-h" || arg == "--help") {
            std::string help = kHelp;
            const std::string token = "@MIN_REPLY@";
            help.replace(help.find(token), token.size(),
                         tooloptions::Shown(ZELKMachineControl::kMinReplyTimeoutMs / 1000.0));
            std::fputs(help.c_str(), stdout);
            return 0;
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--port" && hasValue) {
            o.port = argv[++i];
        } else if (arg == "--start-gcode" && hasValue) {
            o.startGCode = argv[++i];
        } else if ((arg == "--answer-timeout" || arg == "--reply-timeout" || arg == "--device-timeout") &&
                   hasValue) {
            const char* text = argv[++i];
            // A reply wait shorter than one exchange on the line runs out
            // while the printer is still answering.
            const bool replyWait = arg == "--reply-timeout";
            const int lowMs = replyWait ? ZELKMachineControl::kMinReplyTimeoutMs : 1;
            const std::optional<int> ms = tooloptions::ReadSecondsAsMs(text, lowMs, kMaxSeconds * 1000);
            if (!ms)
                return Usage(tooloptions::Refusal(arg,
                                                  "a number of seconds from " + tooloptions::Shown(lowMs / 1000.0) +
                                                      (replyWait ? " (a frame and its reply on the line)" : "") +
                                                      " to " + std::to_string(kMaxSeconds),
                                                  text));
            if (arg == "--answer-timeout")
                o.answerTimeoutMs = *ms;
            else if (arg == "--reply-timeout")
                o.replyTimeoutMs = *ms;
            else
                o.deviceReturnMs = *ms;
        } else if (arg == "--flavor" && hasValue) {
            const std::string name = argv[++i];
            o.flavor = zelk::gcode::ParseFlavorName(name);
            if (!o.flavor)
                return Usage("--flavor '" + name + "': expected printer, makerbot or reprap");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option or missing value: '" + arg + "'");
        } else {
            files.push_back(arg);
        }
    }
    if (o.port.empty())
        return Usage("--port DEVICE is required");
    if (files.size() != 1)
        return Usage("expected one G-code or X3G file");
    o.gcode = files[0];
    if (o.startGCode.empty())
        o.startGCode = zelk::UserFileOrShipped(ZELKStartGCodeOperater::kRelativePath);
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    s3gprint::PrintOptions options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0)
        return parsed;

    // Ctrl+C, SIGTERM, SIGQUIT and the hang-up of a closed terminal are
    // taken by one thread with sigwait, so that the stop runs as ordinary
    // code: a printer is never left heating with its queue running because
    // the window went away. The mask is set before any thread starts. Writes
    // to a terminal or pipe that went away then fail (EIO, EPIPE) and are
    // let go: the progress is lost, the stop is not.
    sigset_t signals;
    sigemptyset(&signals);
    for (const int sig : {SIGINT, SIGTERM, SIGQUIT, SIGHUP})
        sigaddset(&signals, sig);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    ZELKStartGCodeOperater startGCode(options.startGCode);
    // Without the lines that carry the temperatures and the start height, the
    // print would run cold: refused before anything is sent.
    std::string unusable;
    if (startGCode.IsStartGCodeUsable(unusable) == 0) {
        std::fprintf(stderr, "s3g-print: start G-code: %s\n", unusable.c_str());
        return s3gprint::kFailed;
    }
    ZELKMachineControl control(nullptr, &startGCode);
    s3gprint::PrintJob job(control, options, stderr);

    std::thread signalThread([&] {
        int sig = 0;
        if (sigwait(&signals, &sig) == 0 && sig != 0)
            job.Interrupt();
    });
    int status = job.Connect();
    if (status == s3gprint::kFinished)
        status = job.Print();
    // End the signal thread: it waits for a signal, so send it one.
    pthread_kill(signalThread.native_handle(), SIGTERM);
    signalThread.join();
    return status;
}
