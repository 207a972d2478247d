// ASCII STL: "solid", facets of "facet normal", "outer loop", three "vertex" lines, then "endsolid".
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "StlParser.h"

namespace zelk {

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool EqualsNoCase(const char* text, std::size_t length, const char* word)
{
    const std::size_t wordLength = std::strlen(word);
    if (length != wordLength)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        if ((text[i] | 0x20) != word[i])
            return false;
    return true;
}

constexpr std::size_t kPieceBytes = 1 << 20;

// A read buffer never larger than the data it is to hold (small files are common, and each load pays for it).
std::size_t PieceBytesFor(const StlInput& input)
{
    return std::max<std::size_t>(1, std::min(kPieceBytes, input.Size()));
}

// Whitespace-separated words read piece by piece, with the line number of the
// current one. A word is valid until the next call.
class Tokens {
public:
    Tokens(StlInput& input, std::string& error)
        : m_input(input), m_error(error), m_pieceBytes(PieceBytesFor(input)), m_buffer(new char[m_pieceBytes])
    {
    }

    // The next word; false at the end of the data or on a read error (Failed()).
    bool Next(const char*& word, std::size_t& length)
    {
        for (;;) {
            while (m_pos < m_end && IsSpace(*m_pos)) {
                if (*m_pos == '\n')
                    ++m_line;
                ++m_pos;
            }
            if (m_pos < m_end || !Refill(m_pos))
                break;
        }
        if (m_pos == m_end)
            return false;
        for (;;) {
            const char* start = m_pos;
            while (m_pos < m_end && !IsSpace(*m_pos))
                ++m_pos;
            if (m_pos < m_end || start == m_buffer.get() || !Refill(start)) {
                word = start;
                length = static_cast<std::size_t>(m_pos - start);
                return true;
            }
            m_pos = m_buffer.get();  // the word moved to the front: scan it again
        }
    }

    // Skips to the end of the current line (a solid's name may hold spaces).
    void SkipLine()
    {
        for (;;) {
            const void* nl = std::memchr(m_pos, '\n', static_cast<std::size_t>(m_end - m_pos));
            if (nl != nullptr) {
                m_pos = static_cast<const char*>(nl);
                return;
            }
            m_pos = m_end;
            if (!Refill(m_pos))
                return;
        }
    }

    std::size_t Line() const { return m_line; }
    bool Failed() const { return m_failed; }

private:
    // Moves [keep, end) to the front and reads after it; false when nothing more came.
    bool Refill(const char* keep)
    {
        if (m_failed || m_offset >= m_input.Size())
            return false;
        const std::size_t kept = static_cast<std::size_t>(m_end - keep);
        if (kept > 0)
            std::memmove(m_buffer.get(), keep, kept);
        const long long got = m_input.ReadAt(m_offset, m_buffer.get() + kept, m_pieceBytes - kept, m_error);
        if (got <= 0) {
            m_failed = got < 0;
            return false;
        }
        m_offset += static_cast<std::size_t>(got);
        m_pos = m_buffer.get();
        m_end = m_buffer.get() + kept + got;
        return true;
    }

    StlInput& m_input;
    std::string& m_error;
    std::size_t m_pieceBytes;
    std::unique_ptr<char[]> m_buffer;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    std::size_t m_offset = 0;
    std::size_t m_line = 1;
    bool m_failed = false;
};

class AsciiReader {
public:
    AsciiReader(StlInput& input, ZELKGePrint& mesh, std::string& reason)
        : m_tokens(input, m_readError), m_mesh(mesh), m_reason(reason)
    {
    }

    bool Read();

private:
    bool Fail(const std::string& what)
    {
        m_reason = m_tokens.Failed() ? m_readError : "line " + std::to_string(m_tokens.Line()) + ": " + what;
        return false;
    }
    bool Expect(const char* word);
    bool Number(double& value);
    bool Facet();

    std::string m_readError;
    Tokens m_tokens;
    ZELKGePrint& m_mesh;
    std::string& m_reason;
    ZELKGePoint3d m_lo{INFINITY, INFINITY, INFINITY};
    ZELKGePoint3d m_hi{-INFINITY, -INFINITY, -INFINITY};
};

bool AsciiReader::Expect(const char* word)
{
    const char* text;
    std::size_t length;
    if (!m_tokens.Next(text, length))
        return Fail(std::string("the file ends where \"") + word + "\" was expected (truncated file)");
    if (!EqualsNoCase(text, length, word))
        return Fail(std::string("expected \"") + word + "\" but found \"" +
                    std::string(text, std::min<std::size_t>(length, 40)) + "\"");
    return true;
}

bool AsciiReader::Number(double& value)
{
    const char* text;
    std::size_t length;
    if (!m_tokens.Next(text, length))
        return Fail("the file ends inside a facet (truncated file)");
    const char* begin = (length > 1 && text[0] == '+') ? text + 1 : text;
    if (begin != text && *begin == '-')  // "+-1": one sign only
        return Fail("expected a number but found \"" + std::string(text, std::min<std::size_t>(length, 40)) + "\"");
    const auto [end, ec] = std::from_chars(begin, text + length, value);
    if (ec == std::errc::result_out_of_range)
        return Fail("a number is out of range: \"" + std::string(text, std::min<std::size_t>(length, 40)) + "\"");
    if (ec != std::errc() || end != text + length)
        return Fail("expected a number but found \"" + std::string(text, std::min<std::size_t>(length, 40)) + "\"");
    if (!std::isfinite(value))
        return Fail("a coordinate is not a finite number");
    return true;
}

bool AsciiReader::Facet()
{
    Triangle t;
    double n[3];
    if (!Expect("normal") || !Number(n[0]) || !Number(n[1]) || !Number(n[2]))
        return false;
    t.normal = ZELKGeVector3d(n[0], n[1], n[2]);
    if (!Expect("outer") || !Expect("loop"))
        return false;
    for (ZELKGePoint3d& p : t.point) {
        if (!Expect("vertex") || !Number(p.x) || !Number(p.y) || !Number(p.z))
            return false;
        m_lo.Set(std::min(m_lo.x, p.x), std::min(m_lo.y, p.y), std::min(m_lo.z, p.z));
        m_hi.Set(std::max(m_hi.x, p.x), std::max(m_hi.y, p.y), std::max(m_hi.z, p.z));
    }
    if (!Expect("endloop") || !Expect("endfacet"))
        return false;
    m_mesh.GetGePrint().push_back(t);
    return true;
}

bool AsciiReader::Read()
{
    const char* first;
    std::size_t firstLength;
    if (!m_tokens.Next(first, firstLength))
        return Fail("the file holds only white space");
    if (firstLength >= 3 && std::memcmp(first, "\xEF\xBB\xBF", 3) == 0) {  // a UTF-8 byte-order mark
        first += 3;
        firstLength -= 3;
    }
    if (!EqualsNoCase(first, firstLength, "solid"))
        return Fail("expected \"solid\" at the start");
    m_tokens.SkipLine();
    const char* word;
    std::size_t length;
    bool open = true;  // inside a solid
    while (m_tokens.Next(word, length)) {
        if (open && EqualsNoCase(word, length, "facet")) {
            if (!Facet())
                return false;
        } else if (open && EqualsNoCase(word, length, "endsolid")) {
            m_tokens.SkipLine();
            open = false;
        } else if (!open && EqualsNoCase(word, length, "solid")) {
            m_tokens.SkipLine();  // files that hold several solids
            open = true;
        } else if (!open) {
            break;  // padding or notes after the last solid: the model is complete
        } else {
            return Fail("unexpected \"" + std::string(word, std::min<std::size_t>(length, 40)) + "\"");
        }
    }
    if (m_tokens.Failed())
        return Fail("");
    if (open)
        return Fail("the file ends before \"endsolid\" (truncated file)");
    if (m_mesh.GetGePrint().empty()) {
        m_reason = "the file holds no triangles";
        return false;
    }
    m_mesh.SetMinMaxPoint(m_lo, m_hi);
    return true;
}

// How often "facet" (in any case) appears in the data.
std::size_t CountFacetWords(StlInput& input)
{
    const std::size_t pieceBytes = PieceBytesFor(input);
    const std::unique_ptr<char[]> piece(new char[pieceBytes]);
    std::size_t words = 0;
    std::string ignored;
    // Pieces overlap by four bytes so that a word cut at a boundary is still seen.
    for (std::size_t offset = 0; offset < input.Size();) {
        const long long got = input.ReadAt(offset, piece.get(), pieceBytes, ignored);
        if (got <= 4)
            break;
        const char* data = piece.get();
        const auto n = static_cast<std::size_t>(got);
        for (std::size_t i = 0; i + 5 <= n; ++i) {
            if ((data[i] | 0x20) == 'f' && (data[i + 1] | 0x20) == 'a' && (data[i + 2] | 0x20) == 'c' &&
                (data[i + 3] | 0x20) == 'e' && (data[i + 4] | 0x20) == 't') {
                ++words;
                i += 4;
            }
        }
        offset += n < pieceBytes ? n : n - 4;
        if (n < pieceBytes)
            break;
    }
    return words;
}

// The shortest text of a facet: "facet normal 0 0 0 outer loop vertex 0 0 0
// vertex 0 0 0 vertex 0 0 0 endloop endfacet" and a separator.
constexpr std::size_t kMinFacetBytes = 86;

// An upper bound of the facet count ("facet" and "endfacet" per facet), so the
// triangles are allocated once instead of growing by copies. No more than the
// text can describe: the word may also stand in names, or alone, many times.
std::size_t EstimateFacets(StlInput& input)
{
    return std::min(CountFacetWords(input) / 2 + 1, input.Size() / kMinFacetBytes + 1);
}

}  // namespace

bool ReadAsciiStl(StlInput& input, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    std::size_t estimate = 0;
    try {
        estimate = EstimateFacets(input);
        ReserveTriangles(mesh, estimate);
        AsciiReader reader(input, mesh, reason);
        if (reader.Read())
            return true;
    } catch (const std::bad_alloc&) {
        reason = NoMemoryReason(std::max(estimate, mesh.GetGePrint().size()));
    }
    mesh.Clear();
    return false;
}

}  // namespace zelk
