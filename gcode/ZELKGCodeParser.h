// Translates the slicer's G-code into S3G command packages for this printer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CPoint5D.h"
#include "CommandCensus.h"
#include "GCodeFile.h"
#include "GCodeFlavor.h"
#include "GCodeInterpreter.h"
#include "GCodeWords.h"
#include "MovePayload.h"
#include "Package.h"
#include "PackagePayload.h"
#include "PrintList.h"
#include "X3gWriter.h"

class ZELKMachine;
class ZELKStartGCodeOperater;

namespace zelk {

struct DialectLine;

// What the translation of a whole file came to.
struct GCodeFileOutcome {
    bool read = false;                 // the file was read whole
    // One line naming the file: why it was not read ("No such file or
    // directory", "Is a directory", "Permission denied", out of memory), or
    // that it holds no move. Empty when the file was read and moves.
    std::string reason;
    std::size_t moveCount = 0;         // move packages (G1) in the list
    std::size_t skippedLineCount = 0;  // lines left out for a bad number

    // The flavour the file was read as, and the mark that chose it (empty
    // when the caller chose, or the file has none).
    gcode::GCodeFlavor flavor = gcode::GCodeFlavor::kPrinter;
    std::string flavorMark;
    // The commands the flavour has no translation for, counted by name.
    gcode::CommandCensus leftOut;
    // The file was refused (a wrong checksum, a second tool, a move beyond
    // the build volume): reason names the file and the line; the list is empty.
    bool refused = false;

    // True when the list is worth printing: read, and at least one move.
    bool IsUsable() const { return read && !refused && moveCount > 0; }
    // An unmarked file read as the printer's own dialect that holds commands
    // of another dialect which change where the head goes or how much it
    // extrudes (G0, arcs, G28, G91, M83): probably a file from another
    // slicer, whose flavour the user must choose.
    bool LooksForeign() const { return flavor == gcode::GCodeFlavor::kPrinter && leftOut.ChangesMotion(); }
    // "left out: G0 ×40, M83 ×1", or empty when nothing was.
    std::string LeftOutLine() const { return leftOut.Empty() ? std::string() : "left out: " + leftOut.Summary(); }
};

}  // namespace zelk

// Reads each line by the number of its words, keeps the printer's position
// and feedrate in the machine model, and substitutes the start G-code
// editor's temperatures and start height where the slicer's start G-code
// carries them. Not thread-safe: translate on one thread at a time.
class ZELKGCodeParser {
public:
    // Null collaborators mean the process-wide machine and start G-code editor.
    explicit ZELKGCodeParser(ZELKMachine* machine = nullptr, ZELKStartGCodeOperater* startGCode = nullptr);
    virtual ~ZELKGCodeParser() = default;

    // Translates a whole file. A file that cannot be read gives an empty list
    // (LastFileError() tells why; LastFileOutcome() tells the rest).
    zelk::PrintList FileParser(const char* path);
    // The same, with the outcome: whether the file was read, why not, its
    // moves and its skipped lines. Running out of memory is an outcome too
    // (not read, an empty list), never an exception.
    zelk::PrintList FileParser(const char* path, zelk::GCodeFileOutcome& outcome);

    // Translates a whole file as FileParser does, handing each package to
    // sink in order instead of keeping a list: the file is read a block
    // (blockBytes; 0: the readers' own size) at a time, the printer's
    // dialect a few blocks ahead on a thread of its own (DialectLineReader),
    // so memory stays a few blocks and the sink's own, whatever the file's
    // size. A pipe whose flavour must be read from its end first goes to a
    // temporary file. The outcome is FileParser's, and so are the packages,
    // in order; when the file is refused (or the sink fails, reason then
    // says so) the sink holds part of it, for the caller to drop.
    void StreamFile(const char* path, zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome,
                    std::size_t blockBytes = 0);

    // Translates one line. Nonzero: out holds the package for this line (or
    // was left as given, for lines without a G or M code). Zero: the line
    // produces no package (M1 still writes out).
    int GetGCodeCommandPackage(const std::string& line, Package& out);
    int GetGCodeCommandPackage(std::string_view line, Package& out);

    // The flavour files are read as: chosen by the user, or (nothing) taken
    // from each file's own mark, the printer's dialect when it has none.
    void SetFlavor(std::optional<zelk::gcode::GCodeFlavor> flavor) { m_flavor = flavor; }

    // Empty when the last FileParser call read its file.
    const std::string& LastFileError() const { return m_lastFileError; }
    const zelk::GCodeFileOutcome& LastFileOutcome() const { return m_lastOutcome; }

    // Lines left out since the last whole-file translation began: a G1, G92,
    // M104 or M109 line with a number that does not read as a finite value
    // in its range (GCodeLimits.h) gives no package and changes neither the
    // position nor the feedrate.
    std::size_t GetSkippedLineCount() const { return m_skippedLines; }

private:
    using Words = zelk::GCodeWords;
    using MoveWords = zelk::MoveWords;

    int GetFileData(const std::string& path, zelk::GCodeText& text);

    // One line into out (size 0: no package, or an empty one); the return
    // value as GetGCodeCommandPackage's.
    int TranslateLine(std::string_view line, zelk::PackagePayload& out);
    int TranslateG(int code, const Words& words, zelk::PackagePayload& out);
    int TranslateM(int code, const Words& words, zelk::PackagePayload& out);
    int TranslateG1(const Words& words, zelk::PackagePayload& out);
    int BuildMove(const MoveWords& move, zelk::PackagePayload& out);
    // The move from current to target (X, Y, Z, A, B in mm); `length` is the
    // magnitude of their difference.
    void WriteMovePackage(const double current[5], const double target[5], double length, zelk::PackagePayload& out);
    int TranslateTemperature(int action, int limitC, bool read, int tempC, zelk::PackagePayload& out);
    int Skip();
    int TranslateG92(const Words& words, zelk::PackagePayload& out);
    int TranslateHoming(int command, int mask, std::string_view feedWord, zelk::PackagePayload& out);
    void LeaveOut(char letter, int code);

    // What a whole file's translation runs through; `list` is FileParser's
    // (the file then read whole, the list reserved for it), null for StreamFile.
    struct FileRun;
    void TranslateFile(const char* path, zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome,
                       zelk::PrintList* list, std::size_t blockBytes);
    void FinishOutcome(const char* path, zelk::GCodeFileOutcome& outcome);
    // One cleaned line of the printer's dialect: its package (if any) to the
    // sink, the wait-for-tool packet before the package at index 12. `read`:
    // the line as DialectLineReader read it ahead, or null. False when the
    // sink fails.
    bool EmitDialectLine(std::string_view line, const zelk::DialectLine* read, FileRun& run);

    // Files of another flavour, read through the G-code interpreter.
    // The file is read and interpreted on a thread of its own while this one
    // turns the actions into packages, a block of actions at a time. `input`
    // says where the lines come from (the path, a text read whole, or an
    // open file).
    struct FlavoredInput {
        zelk::GCodeText* text = nullptr;            // a text read whole
        std::FILE* file = nullptr;                  // an open file (a pipe kept in a temporary file)
        std::size_t blockBytes = 0;                 // read at a time from the path or the file
        zelk::PrintList* list = nullptr;            // FileParser's list, reserved for the file
    };
    void TranslateFlavoredFile(const char* path, zelk::gcode::GCodeFlavor flavor, zelk::PayloadSink& sink,
                               zelk::GCodeFileOutcome& outcome, FlavoredInput& input);
    // `texts` holds the messages of the actions (an action's value is its
    // index). False when the sink fails.
    bool AppendActionPackages(const std::vector<zelk::gcode::Action>& actions, const std::vector<std::string>& texts,
                              zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome);
    void SetPositionPackage(double x, double y, double z, double a, zelk::PackagePayload& out);

    int TransMachineSpeed(int feedrate);

    ZELKMachine& Machine();
    ZELKStartGCodeOperater& StartGCode();

    // The machine's steps-per-mm and feedrate-limit points; they have no
    // setter, so they are read once.
    const CPoint5D& StepsPerMM();
    const CPoint5D& MaxFeedrate();

    ZELKMachine* m_machine;
    bool m_constantsRead = false;
    CPoint5D m_stepsPerMM;
    CPoint5D m_maxFeedrate;
    zelk::MoveConstants m_moveConstants;  // the two above, as moves are computed with them
    ZELKStartGCodeOperater* m_startGCode;
    int m_m104Flag = 0;
    int m_m109Flag = 0;
    std::string m_lastFileError;
    zelk::GCodeFileOutcome m_lastOutcome;
    std::size_t m_skippedLines = 0;
    std::optional<zelk::gcode::GCodeFlavor> m_flavor;
    zelk::gcode::CommandCensus* m_census = nullptr;  // of the file being translated
};
