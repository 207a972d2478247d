// ASCII STL: "solid", facets of "facet normal", "outer loop", three "vertex" lines, then "endsolid".
#include <charconv>
#include <cmath>
#include <cstring>

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

// Whitespace-separated words with the line number of the current one.
class Tokens {
public:
    Tokens(const char* data, std::size_t size) : m_pos(data), m_end(data + size) {}

    // The next word; false at the end of the data.
    bool Next(const char*& word, std::size_t& length)
    {
        while (m_pos < m_end && IsSpace(*m_pos)) {
            if (*m_pos == '\n')
                ++m_line;
            ++m_pos;
        }
        if (m_pos == m_end)
            return false;
        word = m_pos;
        while (m_pos < m_end && !IsSpace(*m_pos))
            ++m_pos;
        length = static_cast<std::size_t>(m_pos - word);
        return true;
    }

    // Skips to the end of the current line (a solid's name may hold spaces).
    void SkipLine()
    {
        const void* nl = std::memchr(m_pos, '\n', static_cast<std::size_t>(m_end - m_pos));
        m_pos = nl != nullptr ? static_cast<const char*>(nl) : m_end;
    }

    std::size_t Line() const { return m_line; }

private:
    const char* m_pos;
    const char* m_end;
    std::size_t m_line = 1;
};

class AsciiReader {
public:
    AsciiReader(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason)
        : m_tokens(data, size), m_mesh(mesh), m_reason(reason)
    {
    }

    bool Read();

private:
    bool Fail(const std::string& what)
    {
        m_reason = "line " + std::to_string(m_tokens.Line()) + ": " + what;
        return false;
    }
    bool Expect(const char* word);
    bool Number(double& value);
    bool Facet();

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
    if (!Expect("solid"))
        return false;
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
        } else {
            return Fail("unexpected \"" + std::string(word, std::min<std::size_t>(length, 40)) + "\"");
        }
    }
    if (open)
        return Fail("the file ends before \"endsolid\" (truncated file)");
    if (m_mesh.GetGePrint().empty()) {
        m_reason = "the file holds no triangles";
        return false;
    }
    m_mesh.SetMinMaxPoint(m_lo, m_hi);
    return true;
}

// An upper bound of the facet count ("facet" and "endfacet" per facet), so the
// triangles are allocated once instead of growing by copies.
std::size_t EstimateFacets(const char* data, std::size_t size)
{
    std::size_t words = 0;
    for (std::size_t i = 0; i + 5 <= size; ++i) {
        if ((data[i] | 0x20) == 'f' && (data[i + 1] | 0x20) == 'a' && (data[i + 2] | 0x20) == 'c' &&
            (data[i + 3] | 0x20) == 'e' && (data[i + 4] | 0x20) == 't') {
            ++words;
            i += 4;
        }
    }
    return words / 2 + 1;
}

}  // namespace

bool ParseAsciiStl(const char* data, std::size_t size, ZELKGePrint& mesh, std::string& reason)
{
    mesh.Clear();
    mesh.GetGePrint().reserve(EstimateFacets(data, size));
    AsciiReader reader(data, size, mesh, reason);
    if (!reader.Read()) {
        mesh.Clear();
        return false;
    }
    return true;
}

}  // namespace zelk
