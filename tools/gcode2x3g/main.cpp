// gcode2x3g: converts a G-code file into an X3G offline print file, exactly
// as the program's "save X3G" does.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ProgramFolder.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

namespace {

const char* const kUsage =
    "usage: gcode2x3g [--start-gcode FILE] INPUT.gcode OUTPUT.x3g\n";

const char* const kHelp =
    "Converts a G-code file into an X3G offline print file for the printer.\n"
    "\n"
    "The G-code is translated line by line into S3G commands, with the\n"
    "extruder temperature, platform temperature and start height taken from\n"
    "the start G-code file (its lines 1, 2 and 10), and written as X3G with\n"
    "build-percentage commands.\n"
    "\n"
    "Options:\n"
    "  --start-gcode FILE   start G-code file to take the temperatures and the\n"
    "                       start height from (default: the program folder's\n"
    "                       skein_engines/.../alterations/start.gcode)\n"
    "  -h, --help           show this help\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written,\n"
    "2 for a bad command line. The output file is created only complete.\n";

struct Options {
    std::string startGCode;
    std::string input;
    std::string output;
};

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "gcode2x3g: %s (see --help)\n", message.c_str());
    return 2;
}

// Returns -1 when the run should go on, else the exit status.
int ParseArguments(int argc, char** argv, Options& options)
{
    std::vector<std::string> positional;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!optionsEnded && (arg == "-h" || arg == "--help")) {
            std::fputs(kUsage, stdout);
            std::fputs("\n", stdout);
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (!optionsEnded && arg == "--start-gcode") {
            if (i + 1 >= argc)
                return UsageError("--start-gcode needs a file name");
            options.startGCode = argv[++i];
        } else if (!optionsEnded && arg.rfind("--start-gcode=", 0) == 0) {
            options.startGCode = arg.substr(std::strlen("--start-gcode="));
        } else if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + arg + "'");
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != 2)
        return UsageError("expected an input G-code file and an output X3G file");
    if (options.startGCode.empty())
        options.startGCode = zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath);
    options.input = positional[0];
    options.output = positional[1];
    return -1;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "gcode2x3g: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    const int parsed = ParseArguments(argc, argv, options);
    if (parsed >= 0)
        return parsed;

    // A file-size limit must surface as a write error, not end the process
    // with a half-written temporary file.
    std::signal(SIGXFSZ, SIG_IGN);

    ZELKStartGCodeOperater startGCode(options.startGCode);
    if (!startGCode.IsLoaded())
        return Fail("start G-code: " + startGCode.GetLastError());

    ZELKMachineControl control(nullptr, &startGCode);
    control.GCodeParser(options.input.c_str());
    if (!control.GetTranslator().LastFileError().empty())
        return Fail(control.GetTranslator().LastFileError());
    if (!control.SaveX3gFile(options.output.c_str()))
        return Fail(control.GetSaveX3gError());
    return 0;
}
