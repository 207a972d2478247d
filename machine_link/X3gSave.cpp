// A print saved as an X3G file, from the print list or streamed from the G-code.
#include "X3gSave.h"

#include "PrintStream.h"
#include "X3gWriter.h"
#include "ZELKStartGCodeOperater.h"

namespace zelk {

X3gSave::X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate)
    : m_startGCode(startGCode), m_stream(stream), m_translate(std::move(translate))
{
}

X3gSave::X3gSave(ZELKStartGCodeOperater* startGCode, PrintStream& stream, Translate translate,
                 StreamTranslate streamTranslate)
    : m_startGCode(startGCode),
      m_stream(stream),
      m_translate(std::move(translate)),
      m_streamTranslate(std::move(streamTranslate))
{
}

Outcome X3gSave::FromGCode(const std::string& gcodePath, const std::string& x3gPath, const Accept& accept)
{
    m_translated = GCodeFileOutcome();
    const ZELKStartGCodeOperater* startGCode =
        m_startGCode != nullptr ? m_startGCode : ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
    std::string reason;
    if (startGCode->IsStartGCodeUsable(reason) == 0)
        return Keep(Outcome::Refused(reason));
    if (m_streamTranslate)
        return Stream(gcodePath, x3gPath, accept);
    m_translated = m_translate(gcodePath);
    if (!m_translated.IsUsable())
        return Keep(Outcome::Refused(m_translated.reason));
    if (accept && !accept(m_translated))
        return Keep(Outcome::Refused(std::string()));
    return Write(x3gPath);
}

Outcome X3gSave::Stream(const std::string& gcodePath, const std::string& x3gPath, const Accept& accept)
{
    // The packages wait in a spool until the last is in (the X3G layout
    // needs their count); nothing reaches x3gPath before the file is usable.
    X3gSpool spool(X3gSpoolOptionsFor(x3gPath));
    m_translated = m_streamTranslate(gcodePath, spool);
    if (spool.Failed())
        return Keep(Outcome::Refused(spool.Error()));
    if (!m_translated.IsUsable())
        return Keep(Outcome::Refused(m_translated.reason));
    if (accept && !accept(m_translated))
        return Keep(Outcome::Refused(std::string()));
    std::string reason;
    if (!WriteX3gFile(spool, x3gPath, &reason))
        return Keep(Outcome::Refused(reason));
    return Keep(Outcome::Done());
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
