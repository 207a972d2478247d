#include "X3gSave.h"

#include "PrintStream.h"
#include "X3gWriter.h"
#include "ZELKStartGCodeOperater.h"

namespace zelk {

X3gSave::X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate)
    : m_startGCode(startGCode), m_stream(stream), m_translate(std::move(translate))
{
}

Outcome X3gSave::FromGCode(const std::string& gcodePath, const std::string& x3gPath)
{
    const ZELKStartGCodeOperater* startGCode =
        m_startGCode != nullptr ? m_startGCode : ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    std::string reason;
    if (startGCode->IsStartGCodeUsable(reason) == 0)
        return Keep(Outcome::Refused(reason));
    const GCodeFileOutcome translated = m_translate(gcodePath);
    if (!translated.IsUsable())
        return Keep(Outcome::Refused(translated.reason));
    return Write(x3gPath);
}

Outcome X3gSave::Write(const std::string& x3gPath)
{
    std::string reason;
    if (!WriteX3gFile(m_stream.List(), x3gPath, &reason))
        return Keep(Outcome::Refused(reason));
    return Keep(Outcome::Done());
}

Outcome X3gSave::Keep(Outcome outcome)
{
    m_error = outcome.reason;
    return outcome;
}

}  // namespace zelk
