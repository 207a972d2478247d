// A print saved as an X3G file: the G-code translated into the print list,
// then the list written out. The reason of the last failure is kept for the
// user.
#pragma once

#include <functional>
#include <string>

#include "Outcome.h"
#include "ZELKGCodeParser.h"

class ZELKStartGCodeOperater;

namespace zelk {

class PrintStream;

class X3gSave {
public:
    // Translates a G-code file into the print list; the outcome says whether
    // the file was read and holds a move.
    using Translate = std::function<GCodeFileOutcome(const std::string& gcodePath)>;

    // startGCode null: the process-wide start G-code editor.
    X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate);

    // Translates the G-code file into the print list, then writes the list
    // at x3gPath. Refused, with no file left at x3gPath, when the start G-code
    // cannot be used (the print would run cold), the G-code file cannot be
    // read or holds no move, or the file cannot be written.
    Outcome FromGCode(const std::string& gcodePath, const std::string& x3gPath);
    // Writes the print list as it is at x3gPath.
    Outcome Write(const std::string& x3gPath);
    // Why the last save failed; empty after one that succeeded.
    const std::string& LastError() const { return m_error; }

private:
    Outcome Keep(Outcome outcome);

    ZELKStartGCodeOperater* m_startGCode;
    PrintStream& m_stream;
    Translate m_translate;
    std::string m_error;
};

}  // namespace zelk
