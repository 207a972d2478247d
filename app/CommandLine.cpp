// The program's command line: options and the STL files to load at start.
#include "CommandLine.h"

namespace zelk {

ProgramOptions ParseProgramOptions(int argc, const char* const* argv)
{
    ProgramOptions options;
    bool filesOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (filesOnly || arg.empty() || arg[0] != '-' || arg == "-") {
            options.stlFiles.push_back(arg);
        } else if (arg == "--") {
            filesOnly = true;
        } else if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--port") {
            if (i + 1 >= argc) {
                options.error = "--port needs a device";
                return options;
            }
            options.port = argv[++i];
        } else if (arg.rfind("--port=", 0) == 0 && arg.size() > 7) {
            options.port = arg.substr(7);
        } else {
            options.error = "unknown option " + arg;
            return options;
        }
    }
    return options;
}

std::string ProgramUsage(const std::string& programName)
{
    return "Usage: " + programName + " [--port DEVICE] [FILE.stl ...] [FILE.gcode | FILE.x3g]\n"
           "\n"
           "The desktop host of S3G printers: arrange STL models on the build plate,\n"
           "print the G-code file beside the model file or save it as X3G.\n"
           "\n"
           "  FILE.stl        models to load at start, placed side by side\n"
           "  FILE.gcode      a G-code file (of any slicer) or an X3G file to print:\n"
           "  FILE.x3g        its toolpaths are shown, and the print and the X3G\n"
           "                  export use it instead of the models' G-code\n"
           "  --port DEVICE   connect to the printer at DEVICE at start\n"
           "                  (for example /dev/ttyACM0, or the device s3g-sim prints)\n"
           "  -h, --help      show this text and exit\n";
}

}  // namespace zelk
