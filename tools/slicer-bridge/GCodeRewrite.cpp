// The rewrite of the engine's G-code into the dialect the printer's translator reads.
#include "GCodeRewrite.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "GCodeLines.h"

namespace bridge {

using namespace gcodelines;

const std::string_view kEndSequence = "M103\n"          // extruder off
                                      "M104 S0 T0\n"    // extruder heater off
                                      "M109 S0 T0\n"    // in this dialect M109 is the platform heater: off
                                      "G162 Z F1000\n"  // platform to its lower end, away from the part
                                      "G161 X Y F2500\n"
                                      "M18\n";

namespace {

constexpr std::size_t kFlushBytes = 256 * 1024;
constexpr std::size_t kCancelCheckLines = 4096;

std::int64_t Units(double value, double scale)
{
    return std::llround(value * scale);
}

// value / 10^decimals, written with exactly that many decimals.
char* AppendFixed(char* out, std::int64_t value, int decimals)
{
    static constexpr std::int64_t kPowers[] = {1, 10, 100, 1000, 10000, 100000};
    if (value < 0) {
        *out++ = '-';
        value = -value;
    }
    out = std::to_chars(out, out + 24, value / kPowers[decimals]).ptr;
    if (decimals == 0)
        return out;
    *out++ = '.';
    std::int64_t fraction = value % kPowers[decimals];
    for (int i = decimals - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + fraction % 10);
        fraction /= 10;
    }
    return out + decimals;
}

// Like AppendFixed, without trailing zeros (and without the point when whole).
char* AppendTrimmed(char* out, std::int64_t value, int decimals)
{
    char* end = AppendFixed(out, value, decimals);
    if (decimals == 0)
        return end;
    while (end[-1] == '0')
        --end;
    if (end[-1] == '.')
        --end;
    return end;
}

}  // namespace

// The words of one code line after its command: letter and number.
struct GCodeRewriter::Words {
    static constexpr int kMax = 16;
    char letter[kMax];
    double value[kMax];
    int count = 0;
    bool bad = false;

    explicit Words(std::string_view rest)
    {
        while (!rest.empty()) {
            while (!rest.empty() && IsBlank(rest.front()))
                rest.remove_prefix(1);
            if (rest.empty())
                break;
            std::size_t n = 1;
            while (n < rest.size() && !IsBlank(rest[n]))
                ++n;
            const std::string_view word = rest.substr(0, n);
            rest.remove_prefix(n);
            if (count == kMax || !ParseNumber(word.substr(1), value[count])) {
                bad = true;
                return;
            }
            letter[count++] = Upper(word.front());
        }
    }

    bool Find(char wanted, double& out) const
    {
        for (int i = 0; i < count; ++i) {
            if (letter[i] == wanted) {
                out = value[i];
                return true;
            }
        }
        return false;
    }
};

GCodeRewriter::GCodeRewriter(Sink sink) : m_sink(std::move(sink))
{
    if (m_sink)
        m_buffer.reserve(kFlushBytes + 4096);
}

RewriteStatus GCodeRewriter::WriteStart(std::string_view startText)
{
    m_pos = TrackStartGCode(startText);
    m_lastX = Units(m_pos.x, 1e3);
    m_lastY = Units(m_pos.y, 1e3);
    m_lastZ = Units(m_pos.z, 1e3);
    m_lastE = Units(m_pos.e, 1e5);
    if (!m_sink)
        return RewriteStatus::kOk;
    ForEachLine(startText, [&](std::string_view line) {
        Emit(line);
        Emit("\n");
        return FlushIfFull();
    });
    return m_writeFailed ? RewriteStatus::kWriteFailed : RewriteStatus::kOk;
}

RewriteStatus GCodeRewriter::Rewrite(std::string_view engineText)
{
    RewriteStatus status = RewriteStatus::kOk;
    ForEachLine(engineText, [&](std::string_view line) {
        ++m_lineNumber;
        if (m_lineNumber % kCancelCheckLines == 0 && m_cancelled && m_cancelled()) {
            status = RewriteStatus::kCancelled;
            return false;
        }
        status = Line(line);
        return status == RewriteStatus::kOk && FlushIfFull();
    });
    if (m_writeFailed)
        return RewriteStatus::kWriteFailed;
    return status;
}

RewriteStatus GCodeRewriter::Finish()
{
    if (!m_sink)
        return RewriteStatus::kOk;
    Emit(kEndSequence);
    if (!m_writeFailed && !m_buffer.empty() && !m_sink(m_buffer))
        m_writeFailed = true;
    m_buffer.clear();
    return m_writeFailed ? RewriteStatus::kWriteFailed : RewriteStatus::kOk;
}

RewriteStatus GCodeRewriter::Line(std::string_view line)
{
    if (!line.empty() && line.front() == ';') {
        if (line.substr(0, 6) == ";TYPE:")
            NoteType(line.substr(6));
        return RewriteStatus::kOk;
    }
    m_currentLine = line;
    const std::string_view code = CodePart(line);
    if (code.empty())
        return RewriteStatus::kOk;
    const char kind = Upper(code.front());
    if (kind != 'G' && kind != 'M')
        return RewriteStatus::kOk;  // tool selection and the like: the printer has one extruder
    std::size_t n = 1;
    while (n < code.size() && !IsBlank(code[n]))
        ++n;
    int number = -1;
    const auto [end, ec] = std::from_chars(code.data() + 1, code.data() + n, number);
    if (ec != std::errc() || end != code.data() + n)
        return Refuse("an unreadable command");
    if (kind == 'M') {
        // Temperatures come from the start G-code alone; fan, acceleration and
        // the like do not exist in the dialect.
        if (number == 82 || number == 83)
            m_relativeE = number == 83;
        return RewriteStatus::kOk;
    }
    switch (number) {
    case 0:
    case 1: {
        const Words words(code.substr(n));
        return words.bad ? Refuse("an unreadable word") : Move(words);
    }
    case 92: {
        const Words words(code.substr(n));
        return words.bad ? Refuse("an unreadable word") : SetPosition(words);
    }
    case 2:
    case 3: return Refuse("an arc (G2/G3), which the printer cannot draw");
    case 10:
    case 11: return Refuse("firmware retraction (G10/G11)");
    case 20: return Refuse("inches (G20)");
    case 91: return Refuse("relative positioning (G91)");
    default: return RewriteStatus::kOk;  // G21, G90, G28, G4 and the like
    }
}

RewriteStatus GCodeRewriter::Move(const Words& words)
{
    double v = 0;
    if (words.Find('X', v))
        m_pos.x = v;
    if (words.Find('Y', v))
        m_pos.y = v;
    if (words.Find('Z', v))
        m_pos.z = v;
    if (words.Find('F', v))
        m_pos.feedMmPerMin = v;
    if (words.Find('E', v))
        m_pos.e = m_relativeE ? m_pos.e + v : v;
    const std::int64_t x = Units(m_pos.x, 1e3), y = Units(m_pos.y, 1e3), z = Units(m_pos.z, 1e3);
    const std::int64_t e = Units(m_pos.e, 1e5);
    if (x == m_lastX && y == m_lastY && z == m_lastZ && e == m_lastE)
        return RewriteStatus::kOk;  // a feedrate alone, or no change at all
    const bool extrudes = e > m_lastE && (x != m_lastX || y != m_lastY);
    if (extrudes && z > m_layerZ) {
        m_layerZ = z;
        ++m_layers;
        if (m_onLayer)
            m_onLayer(m_layers);
    }
    if (extrudes && m_objectType && m_firstObjectLayer == 0)
        m_firstObjectLayer = m_layers;
    if (m_sink)
        EmitMove(x, y, z, e);
    m_lastX = x, m_lastY = y, m_lastZ = z, m_lastE = e;
    return RewriteStatus::kOk;
}

RewriteStatus GCodeRewriter::SetPosition(const Words& words)
{
    double e = 0;
    if (words.count != 1 || !words.Find('E', e))
        return Refuse("a position set other than G92 E");
    m_pos.e = e;
    m_lastE = Units(e, 1e5);
    if (m_sink) {
        char text[48] = "G92 E";
        char* end = AppendTrimmed(text + 5, m_lastE, 5);
        *end++ = '\n';
        Emit(std::string_view(text, static_cast<std::size_t>(end - text)));
    }
    return RewriteStatus::kOk;
}

RewriteStatus GCodeRewriter::Refuse(std::string_view why)
{
    m_error = "line " + std::to_string(m_lineNumber) + " of the engine's G-code (" + std::string(m_currentLine) +
              ") uses " + std::string(why);
    return RewriteStatus::kRefused;
}

void GCodeRewriter::NoteType(std::string_view type)
{
    // Raft, support and skirt come before the model; everything else is the model.
    m_objectType = !(type.substr(0, 16) == "Support material" || type == "Skirt/Brim" || type == "Skirt" ||
                     type == "Brim" || type == "Wipe tower" || type == "Custom");
}

void GCodeRewriter::EmitMove(std::int64_t x, std::int64_t y, std::int64_t z, std::int64_t e)
{
    char text[160] = "G1 X";
    char* p = AppendFixed(text + 4, x, 3);
    std::memcpy(p, " Y", 2);
    p = AppendFixed(p + 2, y, 3);
    std::memcpy(p, " Z", 2);
    p = AppendFixed(p + 2, z, 3);
    std::memcpy(p, " F", 2);
    p = AppendTrimmed(p + 2, Units(m_pos.feedMmPerMin, 1e3), 3);
    std::memcpy(p, " E", 2);
    p = AppendFixed(p + 2, e, 5);
    *p++ = '\n';
    m_buffer.append(text, static_cast<std::size_t>(p - text));
}

void GCodeRewriter::Emit(std::string_view text)
{
    if (m_sink)
        m_buffer.append(text);
}

bool GCodeRewriter::FlushIfFull()
{
    if (m_buffer.size() < kFlushBytes)
        return true;
    if (!m_sink(m_buffer))
        m_writeFailed = true;
    m_buffer.clear();
    return !m_writeFailed;
}

}  // namespace bridge
