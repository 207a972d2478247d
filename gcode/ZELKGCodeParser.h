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
#include "Package.h"

class ZELKMachine;
class ZELKStartGCodeOperater;

namespace zelk {

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
    std::vector<Package> FileParser(const char* path);
    // The same, with the outcome: whether the file was read, why not, its
    // moves and its skipped lines. Running out of memory is an outcome too
    // (not read, an empty list), never an exception.
    std::vector<Package> FileParser(const char* path, zelk::GCodeFileOutcome& outcome);

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

    int TranslateG(int code, const Words& words, Package& out);
    int TranslateM(int code, const Words& words, Package& out);
    int TranslateG1(const Words& words, Package& out);
    int BuildMove(const MoveWords& move, Package& out);
    void WriteMovePackage(const CPoint5D& current, const CPoint5D& target, Package& out);
    int TranslateTemperature(int action, int limitC, bool read, int tempC, Package& out);
    void TranslateFile(const char* path, std::vector<Package>& packages, zelk::GCodeFileOutcome& outcome);
    int Skip();
    int TranslateG92(const Words& words, Package& out);
    int TranslateHoming(int command, int mask, std::string_view feedWord, Package& out);
    void LeaveOut(char letter, int code);

    // Files of another flavour, read through the G-code interpreter.
    // The file is read and interpreted on a thread of its own while this one
    // turns the actions into packages, a block of actions at a time.
    // `text`, when given, is the file already read whole (a pipe), read from there.
    void TranslateFlavoredFile(const char* path, zelk::gcode::GCodeFlavor flavor, std::vector<Package>& packages,
                               zelk::GCodeFileOutcome& outcome, zelk::GCodeText* text);
    // `texts` holds the messages of the actions (an action's value is its index).
    void AppendActionPackages(const std::vector<zelk::gcode::Action>& actions, const std::vector<std::string>& texts,
                              std::vector<Package>& packages, zelk::GCodeFileOutcome& outcome);
    void SetPositionPackage(double x, double y, double z, double a, Package& out);

    // Current feedrate (or the largest limit when none is set yet), lowered so
    // that no axis of the move exceeds its own limit.
    double getSafeFeedrate(CPoint5D absoluteDelta);
    CPoint5D mmToSteps(CPoint5D mm, CPoint5D excess);
    CPoint5D mmToSteps(CPoint5D mm);
    CPoint5D getAbsDeltaSteps(CPoint5D from, CPoint5D to);
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
    ZELKStartGCodeOperater* m_startGCode;
    int m_m104Flag = 0;
    int m_m109Flag = 0;
    std::string m_lastFileError;
    zelk::GCodeFileOutcome m_lastOutcome;
    std::size_t m_skippedLines = 0;
    std::optional<zelk::gcode::GCodeFlavor> m_flavor;
    zelk::gcode::CommandCensus* m_census = nullptr;  // of the file being translated
};
