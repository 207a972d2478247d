// A print saved as an X3G file: the G-code translated into the print list,
// then the list written out; or, given a streaming translation, the G-code
// translated straight into the file as it is read, in bounded memory. The
// reason of the last failure is kept for the user.
#pragma once

#include <functional>
#include <string>

#include "Outcome.h"
#include "X3gWriter.h"
#include "ZELKGCodeParser.h"

class ZELKStartGCodeOperater;

namespace zelk {

class PrintStream;

class X3gSave {
public:
    // Translates a G-code file into the print list; the outcome says whether
    // the file was read and holds a move.
    using Translate = std::function<GCodeFileOutcome(const std::string& gcodePath)>;
    // Translates a G-code file handing its packages to sink as they come
    // (ZELKGCodeParser::StreamFile), without a print list.
    using StreamTranslate = std::function<GCodeFileOutcome(const std::string& gcodePath, PayloadSink& sink)>;

    // startGCode null: the process-wide start G-code editor.
    X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate);
    // FromGCode() then streams: the G-code is read, translated and spooled
    // as it goes (the spool beside the X3G file), and the print list is
    // left as it was.
    X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate,
            StreamTranslate streamTranslate);

    // Whether a translated file is to be written after all (false: the
    // save stops, with nothing written, and says nothing of its own).
    using Accept = std::function<bool(const GCodeFileOutcome& translated)>;

    // Translates the G-code file (into the print list, or streamed), then
    // writes its X3G stream at x3gPath. Refused, with no file left at
    // x3gPath, when the start G-code cannot be used (the print would run
    // cold), the G-code file cannot be read, is refused or holds no move,
    // accept (when given) turns it down (a file that looks foreign, for the
    // user to say its flavour), or the file cannot be written.
    Outcome FromGCode(const std::string& gcodePath, const std::string& x3gPath, const Accept& accept = {});
    // What the last FromGCode() translation came to (its flavour, left-out
    // commands and skipped lines, for the user).
    const GCodeFileOutcome& LastTranslation() const { return m_translated; }
    // Writes the print list as it is at x3gPath.
    Outcome Write(const std::string& x3gPath);
    // Why the last save failed; empty after one that succeeded.
    const std::string& LastError() const { return m_error; }

private:
    Outcome Keep(Outcome outcome);
    Outcome Stream(const std::string& gcodePath, const std::string& x3gPath, const Accept& accept);

    ZELKStartGCodeOperater* m_startGCode;
    PrintStream& m_stream;
    Translate m_translate;
    StreamTranslate m_streamTranslate;
    GCodeFileOutcome m_translated;
    std::string m_error;
};

}  // namespace zelk
