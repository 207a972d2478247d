// Translates the slicer's G-code into S3G command packages for this printer.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "CPoint5D.h"
#include "GCodeFile.h"
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

    // True when the list is worth printing: read, and at least one move.
    bool IsUsable() const { return read && moveCount > 0; }
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
};
