// gcode2x3g: converts a G-code file (the printer's own dialect, or another
// slicer's flavour) into an X3G offline print file, as the program's "save X3G" does,
// reading and translating it as a stream in bounded memory.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "AtomicFileWriter.h"
#include "GCodeFlavor.h"
#include "ProgramFolder.h"
#include "SameFile.h"
#include "X3gWriter.h"
#include "ZELKGCodeParser.h"
#include "ZELKStartGCodeOperater.h"

namespace {

const char* const kUsage =
    "usage: gcode2x3g [--start-gcode FILE] [--flavor printer|makerbot|reprap] INPUT.gcode OUTPUT.x3g\n";

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
    "                       start height from (default: the user's edited or the\n"
    "                       shipped skein_engines/.../alterations/start.gcode)\n"
    "  --flavor NAME        read the G-code as NAME: printer (this printer's own\n"
    "                       dialect, as the slicer bridge writes it), makerbot\n"
    "                       (M109 heats the platform) or reprap (RepRap and\n"
    "                       Marlin: M109 heats the extruder and waits); default:\n"
    "                       the flavour the file names (\"; gcode_flavor = marlin2\",\n"
    "                       \";FLAVOR:Marlin\"), the printer's dialect when it names none\n"
    "  -h, --help           show this help\n"
    "\n"
    "Refused, with a message and no output file: a G-code file that cannot be\n"
    "read or holds no move (G1), and a start G-code whose lines 1, 2 and 10 are\n"
    "not \"M104 S<t> T0\", \"M109 S<t> T0\" and \"G92 X-75 Y-75 Z<h> A0 B0\".\n"
    "A line with a number that is not finite or is out of range (coordinates\n"
    "beyond +-10000 mm, E beyond +-1e6 mm, F outside 0..100000 mm/min, M104\n"
    "outside 0..400 C, M109 outside 0..250 C) is skipped; their count is\n"
    "printed on standard error.\n"
    "\n"
    "The output file must not be one of the input files under any name (a\n"
    "link, another spelling of the path): such a run is refused.\n"
    "\n"
    "Files of other flavours are read with the modal state a firmware keeps\n"
    "(G0/G1 with any words, G90/G91, M82/M83, G92, G20/G21, arcs G2/G3 cut\n"
    "into straight moves within 0.01 mm, G4, G28 as this printer homes, N line\n"
    "numbers and * checksums, ; and ( ) comments). Refused, with the line: a\n"
    "wrong checksum, a tool other than T0, a move beyond the build volume (the\n"
    "profile's platform, up to the start height). Commands a flavour has no\n"
    "translation for are counted and named on standard error (\"left out: ...\").\n"
    "An unmarked file whose left-out commands change the moves or the filament\n"
    "(G0, G2/G3, G28, G91, M83: a file from another slicer) is refused unless\n"
    "--flavor says what it is; --flavor printer translates it as before.\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be read or written or is\n"
    "refused, 2 for a bad command line. The output file is created only complete.\n";

struct Options {
    std::string startGCode;
    std::optional<zelk::gcode::GCodeFlavor> flavor;
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
        } else if (!optionsEnded && (arg == "--flavor" || arg.rfind("--flavor=", 0) == 0)) {
            std::string name;
            if (arg == "--flavor") {
                if (i + 1 >= argc)
                    return UsageError("--flavor needs a name: printer, makerbot or reprap");
                name = argv[++i];
            } else {
                name = arg.substr(std::strlen("--flavor="));
            }
            options.flavor = zelk::gcode::ParseFlavorName(name);
            if (!options.flavor)
                return UsageError("--flavor '" + name + "': expected printer, makerbot or reprap");
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
        options.startGCode = zelk::UserFileOrShipped(ZELKStartGCodeOperater::kRelativePath);
    options.input = positional[0];
    options.output = positional[1];
    return -1;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "gcode2x3g: %s\n", message.c_str());
    return 1;
}

// Translates and writes; returns the exit status.
int Convert(const Options& options)
{
    if (const std::string refusal = zelk::WritesOverInput(options.output, {options.input, options.startGCode});
        !refusal.empty())
        return Fail(refusal);
    ZELKStartGCodeOperater startGCode(options.startGCode);
    std::string reason;
    if (!startGCode.IsStartGCodeUsable(reason))
        return Fail("start G-code: " + reason);

    // Translated as the file is read, the packages kept in a spool (memory
    // up to a budget, then a temporary file beside the output): the X3G
    // layout needs their count, so the file is written once they are all in.
    ZELKGCodeParser translator(nullptr, &startGCode);
    translator.SetFlavor(options.flavor);
    zelk::X3gSpool spool(zelk::X3gSpoolOptionsFor(options.output));
    zelk::GCodeFileOutcome outcome;
    translator.StreamFile(options.input.c_str(), spool, outcome);
    if (spool.Failed())
        return Fail(spool.Error());
    if (outcome.skippedLineCount > 0) {
        std::fprintf(stderr, "gcode2x3g: %s: %zu line%s skipped (a number not finite or out of range)\n",
                     options.input.c_str(), outcome.skippedLineCount, outcome.skippedLineCount == 1 ? "" : "s");
    }
    if (!outcome.flavorMark.empty())
        std::fprintf(stderr, "gcode2x3g: %s: read as %s G-code (\"%s\")\n", options.input.c_str(),
                     zelk::gcode::FlavorName(outcome.flavor), outcome.flavorMark.c_str());
    if (!outcome.leftOut.Empty())
        std::fprintf(stderr, "gcode2x3g: %s: %s\n", options.input.c_str(), outcome.LeftOutLine().c_str());
    if (outcome.read && outcome.LooksForeign() && !options.flavor)
        return Fail(options.input + ": a file from another slicer? It holds " + outcome.leftOut.MotionSummary() +
                    ", which this printer's dialect leaves out: choose its flavour with --flavor makerbot or "
                    "--flavor reprap (--flavor printer translates it as the printer's dialect all the same)");
    if (!outcome.IsUsable())
        return Fail(outcome.reason);
    std::string error;
    if (!zelk::WriteX3gFile(spool, options.output, &error))
        return Fail(error);
    return 0;
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
    // Interrupted, it leaves no temporary file beside the output.
    zelk::InstallTemporaryFileCleanup();

    try {
        return Convert(options);
    } catch (const std::bad_alloc&) {
        return Fail(options.input + ": out of memory");
    }
}
