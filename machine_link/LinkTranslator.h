// The link's G-code translator: files into print lists, single lines into
// packages, and the printer's reported position taken over, so that a move
// translated after a halted one starts from where the printer really stands.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "CPoint5D.h"
#include "Package.h"
#include "ZELKGCodeParser.h"

class ZELKMachine;
class ZELKStartGCodeOperater;

namespace zelk {

// Any thread; one translation at a time. The reader thread hands reported
// positions in without waiting for a translation that runs.
class LinkTranslator {
public:
    // machine: the model the position is kept in. translatorMachine and
    // startGCode go to the translator as given (null: the process-wide ones).
    LinkTranslator(ZELKMachine& machine, ZELKMachine* translatorMachine, ZELKStartGCodeOperater* startGCode);

    LinkTranslator(const LinkTranslator&) = delete;
    LinkTranslator& operator=(const LinkTranslator&) = delete;

    // The file's print list; Translator().LastFileOutcome() says how it went.
    PrintList TranslateFile(const char* gcodePath);
    // The file's packages handed to sink as they are translated (no list is
    // kept); the outcome says how it went.
    GCodeFileOutcome StreamFile(const char* gcodePath, PayloadSink& sink);
    void TranslateLine(const std::string& line, Package& out);
    // The translator's position (mm), with a reported position taken over first.
    CPoint5D Position();
    // A position answer, X, Y, Z, A, B in steps: kept, and taken over at once
    // unless a translation runs (a whole file may take seconds), in which case
    // the next translation takes it over before it starts. X, Y and Z become
    // the translator's; A and B stay, as the extruder travels relative to the
    // translator's own filament count.
    void TakeReportedPosition(const std::int32_t* steps);

    // Read them only while nothing translates.
    const ZELKGCodeParser& Translator() const { return m_translator; }
    void SetFlavor(std::optional<gcode::GCodeFlavor> flavor) { m_translator.SetFlavor(flavor); }

private:
    void ApplyReportedPosition();  // with m_translatorMutex held

    ZELKMachine& m_machine;
    std::mutex m_translatorMutex;  // around every translation and taking over a position
    ZELKGCodeParser m_translator;
    std::mutex m_reportedMutex;
    bool m_reportedPending = false;  // a position answer not yet taken over
    std::int32_t m_reportedSteps[5] = {};
};

}  // namespace zelk
