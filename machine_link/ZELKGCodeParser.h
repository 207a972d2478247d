// Translates the slicer's G-code into S3G command packages for this printer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CPoint5D.h"
#include "GCodeFile.h"
#include "Package.h"

class ZELKMachine;
class ZELKStartGCodeOperater;

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
    // (LastFileError() tells why).
    std::vector<Package> FileParser(const char* path);

    // Translates one line. Nonzero: out holds the package for this line (or
    // was left as given, for lines without a G or M code). Zero: the line
    // produces no package (M1 still writes out).
    int GetGCodeCommandPackage(const std::string& line, Package& out);
    int GetGCodeCommandPackage(std::string_view line, Package& out);

    // Empty when the last FileParser call read its file.
    const std::string& LastFileError() const { return m_lastFileError; }

private:
    struct Words;

    int GetFileData(const std::string& path, zelk::GCodeText& text);
    static int Split(std::string_view line, Words& words);

    int TranslateG(int code, const Words& words, Package& out);
    int TranslateM(int code, const Words& words, Package& out);
    int TranslateG1(const Words& words, Package& out);
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
};
