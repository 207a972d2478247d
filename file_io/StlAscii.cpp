// ASCII STL: "solid", facets of "facet normal", "outer loop", three "vertex" lines, then "endsolid".
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "StlParser.h"

namespace zelk {

namespace {

constexpr std::uint64_t kSpaces = (std::uint64_t{1} << ' ') | (std::uint64_t{1} << '\t') | (std::uint64_t{1} << '\r') |
                                  (std::uint64_t{1} << '\n') | (std::uint64_t{1} << '\f') | (std::uint64_t{1} << '\v');

bool IsSpace(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u <= ' ' && ((kSpaces >> u) & 1) != 0;
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

enum class NumberResult { kOk, kNotANumber, kOutOfRange, kNotFinite };

// Exact powers of ten: a decimal with at most 15 digits scaled by one of them
// rounds once, to the same double as the full conversion.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool IsDigit(char c)
{
    return static_cast<unsigned>(c - '0') < 10u;
}

// The common forms ("-12.5", "4.738338e-01", "7E+2"): at most 19 digits
// making an integer of at most 2^53, scaled by at most 10^22, so that one
// multiplication or division of two exact doubles gives the correctly rounded
// value, the one std::from_chars gives. Returns the end of the number, which
// may stop before the word does, or null for anything else.
const char* QuickNumber(const char* p, const char* end, double& value)
{
    const bool negative = p < end && *p == '-';
    p += negative ? 1 : 0;
    const char* const digits = p;
    std::uint64_t mantissa = 0;
    for (; p < end && IsDigit(*p); ++p)
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    std::ptrdiff_t count = p - digits;
    if (count == 0)
        return nullptr;
    std::ptrdiff_t fraction = 0;
    if (p < end && *p == '.') {
        const char* const first = ++p;
        for (; p < end && IsDigit(*p); ++p)
            mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
        fraction = p - first;
        if (fraction == 0)
            return nullptr;
        count += fraction;
    }
    if (count > 19 || mantissa > (std::uint64_t{1} << 53))
        return nullptr;
    int scale = -static_cast<int>(fraction);
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negativeExponent = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+'))
            ++p;
        const char* const first = p;
        int exponent = 0;
        for (; p < end && IsDigit(*p) && p - first < 4; ++p)
            exponent = exponent * 10 + (*p - '0');
        if (p == first || (p < end && IsDigit(*p)))
            return nullptr;
        scale += negativeExponent ? -exponent : exponent;
    }
    if (scale < -22 || scale > 22)
        return nullptr;
    double v = static_cast<double>(mantissa);  // exact: at most 2^53
    v = scale < 0 ? v / kPowersOfTen[-scale] : v * kPowersOfTen[scale];
    value = negative ? -v : v;
    return p;
}

// A number as the files write it: one optional sign ("+" or "-"), then what
// std::from_chars reads, to the end of the word.
NumberResult ParseNumber(const char* text, std::size_t length, double& value)
{
    const char* begin = (length > 1 && text[0] == '+') ? text + 1 : text;
    if (begin != text && *begin == '-')  // "+-1": one sign only
        return NumberResult::kNotANumber;
    if (QuickNumber(begin, text + length, value) == text + length)
        return NumberResult::kOk;
    const auto [end, ec] = std::from_chars(begin, text + length, value);
    if (ec == std::errc::result_out_of_range)
        return NumberResult::kOutOfRange;
    if (ec != std::errc() || end != text + length)
        return NumberResult::kNotANumber;
    if (!std::isfinite(value))
        return NumberResult::kNotFinite;
    return NumberResult::kOk;
}

// A read buffer never larger than the data it is to hold (small files are common, and each load pays for it).
std::size_t PieceBytesFor(std::size_t pieceBytes, std::size_t dataBytes)
{
    return std::max<std::size_t>(1, std::min(pieceBytes, dataBytes));
}

// Whitespace-separated words of the bytes [begin, end) of the input, read
// piece by piece, with the line number of the current one (counted from the
// range's start). A word is valid until the next call.
class Tokens {
public:
    Tokens(StlInput& input, std::size_t begin, std::size_t end, std::size_t pieceBytes, std::string& error)
        : m_input(input),
          m_error(error),
          m_pieceBytes(PieceBytesFor(pieceBytes, end - begin)),
          m_buffer(new char[m_pieceBytes]),
          m_offset(begin),
          m_limit(end)
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
            if (m_pos < m_end || start == m_buffer.get()) {
                word = start;
                length = static_cast<std::size_t>(m_pos - start);
                return true;
            }
            const auto held = static_cast<std::size_t>(m_end - start);
            if (!Refill(start)) {  // the data ends with this word, wherever it now stands
                word = m_end - held;
                length = held;
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
            if (!Refill(m_pos)) {
                m_lineCut = !m_failed;  // the range ends inside the line
                return;
            }
        }
    }

    std::size_t Line() const { return m_line; }
    bool Failed() const { return m_failed; }
    // Whether a skipped line ran to the end of the range.
    bool LineCut() const { return m_lineCut; }
    // Whether every byte of the range came in and was read.
    bool ReachedEnd() const { return m_offset >= m_limit && m_pos == m_end; }

    // Direct access for the facet fast path: the unread bytes in the buffer,
    // at least `bytes` of them unless the data ends sooner.
    void Ensure(std::size_t bytes)
    {
        if (static_cast<std::size_t>(m_end - m_pos) < bytes && m_pos != m_buffer.get())
            Refill(m_pos);
    }
    const char* Pos() const { return m_pos; }
    const char* End() const { return m_end; }
    // Marks the bytes up to `pos` read, `lines` line ends among them.
    void Advance(const char* pos, std::size_t lines)
    {
        m_pos = pos;
        m_line += lines;
    }

private:
    // Moves [keep, end) to the front and reads after it; false when nothing
    // more came. The unread bytes stay in view either way.
    bool Refill(const char* keep)
    {
        if (m_failed || m_offset >= m_limit)
            return false;
        const auto kept = static_cast<std::size_t>(m_end - keep);
        const auto ahead = static_cast<std::size_t>(m_pos - keep);
        if (kept > 0)
            std::memmove(m_buffer.get(), keep, kept);
        m_pos = m_buffer.get() + ahead;
        m_end = m_buffer.get() + kept;
        const std::size_t room = std::min(m_pieceBytes - kept, m_limit - m_offset);
        const long long got = m_input.ReadAt(m_offset, m_buffer.get() + kept, room, m_error);
        if (got <= 0) {
            m_failed = got < 0;
            return false;
        }
        m_offset += static_cast<std::size_t>(got);
        m_end += got;
        return true;
    }

    StlInput& m_input;
    std::string& m_error;
    std::size_t m_pieceBytes;
    std::unique_ptr<char[]> m_buffer;
    const char* m_pos = nullptr;
    const char* m_end = nullptr;
    std::size_t m_offset;
    std::size_t m_limit;
    std::size_t m_line = 1;
    bool m_failed = false;
    bool m_lineCut = false;
};

// Reads facets into `out`, in file order, widening the box of the corners.
// The refusal reason is written only on failure.
class AsciiReader {
public:
    AsciiReader(StlInput& input, std::size_t begin, std::size_t end, std::size_t pieceBytes,
                std::vector<Triangle>& out, std::string& reason)
        : m_tokens(input, begin, end, pieceBytes, m_readError), m_out(out), m_reason(reason)
    {
    }

    // A whole file: "solid" first, its facets, "endsolid", and at least one facet.
    bool Read();

    // How the words of a solid's body ran out.
    enum class Stop {
        kData,      // at the end of the range
        kComplete,  // at padding or notes after the last solid: the model is complete
        kFault,     // at a refusal, with its reason written
    };
    // The words from the header's end or a facet border on; `open` says
    // whether they stand inside a solid, before and after.
    Stop ReadBody(bool& open);
    // "solid" and its name line, at the start of the file.
    bool ReadHeader();

    bool Failed() const { return m_tokens.Failed(); }
    bool LineCut() const { return m_tokens.LineCut(); }
    bool ReachedEnd() const { return m_tokens.ReachedEnd(); }
    const ZELKGePoint3d& Lo() const { return m_lo; }
    const ZELKGePoint3d& Hi() const { return m_hi; }

private:
    bool Fail(const std::string& what)
    {
        m_reason = m_tokens.Failed() ? m_readError : "line " + std::to_string(m_tokens.Line()) + ": " + what;
        return false;
    }
    bool Expect(const char* word);
    bool Number(double& value);
    bool QuickFacet(Triangle& t);
    bool Facet();

    std::string m_readError;
    Tokens m_tokens;
    std::vector<Triangle>& m_out;
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
    switch (ParseNumber(text, length, value)) {
    case NumberResult::kOk:
        return true;
    case NumberResult::kOutOfRange:
        return Fail("a number is out of range: \"" + std::string(text, std::min<std::size_t>(length, 40)) + "\"");
    case NumberResult::kNotFinite:
        return Fail("a coordinate is not a finite number");
    case NumberResult::kNotANumber:
        break;
    }
    return Fail("expected a number but found \"" + std::string(text, std::min<std::size_t>(length, 40)) + "\"");
}

// Bytes the fast path wants in view: far more than any facet as writers lay them out.
constexpr std::size_t kFacetWindow = 4096;

// A facet in the usual layout, read straight from the buffer: the words
// "normal", three numbers, "outer loop", three times "vertex" and three
// numbers, "endloop endfacet", each followed by white space. False, with
// nothing consumed, for anything else (and for a facet longer than the window);
// the word-by-word reader then takes the facet and words any refusal.
bool AsciiReader::QuickFacet(Triangle& t)
{
    m_tokens.Ensure(kFacetWindow);
    const char* p = m_tokens.Pos();
    const char* const end = m_tokens.End();
    std::size_t lines = 0;
    // White space, at least one byte, and the start of a word after it.
    const auto space = [&]() {
        if (p == end || !IsSpace(*p))
            return false;
        do {
            lines += *p == '\n' ? 1 : 0;
            ++p;
        } while (p < end && IsSpace(*p));
        return p < end;
    };
    // A keyword in any case, ended by white space.
    const auto word = [&](const char* w, std::size_t n) {
        if (static_cast<std::size_t>(end - p) <= n)
            return false;
        for (std::size_t i = 0; i < n; ++i)
            if ((p[i] | 0x20) != w[i])
                return false;
        if (!IsSpace(p[n]))
            return false;
        p += n;
        return true;
    };
    const auto number = [&](double& value) {
        const char* start = p;
        const char* stop = QuickNumber(p, end, value);
        if (stop != nullptr && stop < end && IsSpace(*stop)) {
            p = stop;
            return true;
        }
        while (p < end && !IsSpace(*p))  // the whole word, the exact way
            ++p;
        return p < end && ParseNumber(start, static_cast<std::size_t>(p - start), value) == NumberResult::kOk;
    };
    double n[3];
    if (!space() || !word("normal", 6) || !space() || !number(n[0]) || !space() || !number(n[1]) || !space() ||
        !number(n[2]) || !space() || !word("outer", 5) || !space() || !word("loop", 4) || !space())
        return false;
    for (ZELKGePoint3d& point : t.point)
        if (!word("vertex", 6) || !space() || !number(point.x) || !space() || !number(point.y) || !space() ||
            !number(point.z) || !space())
            return false;
    if (!word("endloop", 7) || !space() || !word("endfacet", 8))
        return false;
    t.normal = ZELKGeVector3d(n[0], n[1], n[2]);
    m_tokens.Advance(p, lines);
    return true;
}

bool AsciiReader::Facet()
{
    Triangle t;
    if (!QuickFacet(t)) {
        double n[3];
        if (!Expect("normal") || !Number(n[0]) || !Number(n[1]) || !Number(n[2]))
            return false;
        t.normal = ZELKGeVector3d(n[0], n[1], n[2]);
        if (!Expect("outer") || !Expect("loop"))
            return false;
        for (ZELKGePoint3d& p : t.point)
            if (!Expect("vertex") || !Number(p.x) || !Number(p.y) || !Number(p.z))
                return false;
        if (!Expect("endloop") || !Expect("endfacet"))
            return false;
    }
    for (const ZELKGePoint3d& p : t.point) {
        m_lo.x = std::min(m_lo.x, p.x);
        m_lo.y = std::min(m_lo.y, p.y);
        m_lo.z = std::min(m_lo.z, p.z);
        m_hi.x = std::max(m_hi.x, p.x);
        m_hi.y = std::max(m_hi.y, p.y);
        m_hi.z = std::max(m_hi.z, p.z);
    }
    m_out.push_back(t);
    return true;
}

bool AsciiReader::ReadHeader()
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
    return true;
}

AsciiReader::Stop AsciiReader::ReadBody(bool& open)
{
    const char* word;
    std::size_t length;
    while (m_tokens.Next(word, length)) {
        if (open && EqualsNoCase(word, length, "facet")) {
            if (!Facet())
                return Stop::kFault;
        } else if (open && EqualsNoCase(word, length, "endsolid")) {
            m_tokens.SkipLine();
            open = false;
        } else if (!open && EqualsNoCase(word, length, "solid")) {
            m_tokens.SkipLine();  // files that hold several solids
            open = true;
        } else if (!open) {
            return Stop::kComplete;
        } else {
            Fail("unexpected \"" + std::string(word, std::min<std::size_t>(length, 40)) + "\"");
            return Stop::kFault;
        }
    }
    return Stop::kData;
}

bool AsciiReader::Read()
{
    if (!ReadHeader())
        return false;
    bool open = true;  // inside a solid
    if (ReadBody(open) == Stop::kFault)
        return false;
    if (m_tokens.Failed())
        return Fail("");
    if (open)
        return Fail("the file ends before \"endsolid\" (truncated file)");
    if (m_out.empty()) {
        m_reason = "the file holds no triangles";
        return false;
    }
    return true;
}

bool IsFacetWordAt(const char* data)
{
    return (data[0] | 0x20) == 'f' && (data[1] | 0x20) == 'a' && (data[2] | 0x20) == 'c' && (data[3] | 0x20) == 'e' &&
           (data[4] | 0x20) == 't';
}

// How often "facet" (in any case) stands in data[0, n). No two can overlap.
std::size_t CountFacetWordsIn(const char* data, std::size_t n)
{
    std::size_t words = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time, looking closer only where an "f" stands.
    const __m128i lower = _mm_set1_epi8(0x20);
    const __m128i f = _mm_set1_epi8('f');
    for (; i + 16 + 4 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_or_si128(bytes, lower), f)));
        for (; mask != 0; mask &= mask - 1)
            words += IsFacetWordAt(data + i + static_cast<std::size_t>(__builtin_ctz(mask))) ? 1 : 0;
    }
#endif
    for (; i + 5 <= n; ++i)
        words += IsFacetWordAt(data + i) ? 1 : 0;
    return words;
}

// How often "facet" (in any case) appears in the bytes [begin, end).
std::size_t CountFacetWords(StlInput& input, std::size_t begin, std::size_t end, std::size_t pieceBytes)
{
    pieceBytes = PieceBytesFor(pieceBytes, end - begin);
    const std::unique_ptr<char[]> piece(new char[pieceBytes]);
    std::size_t words = 0;
    std::string ignored;
    // Pieces overlap by four bytes so that a word cut at a boundary is still seen.
    for (std::size_t offset = begin; offset < end;) {
        const long long got = input.ReadAt(offset, piece.get(), std::min(pieceBytes, end - offset), ignored);
        if (got <= 4)
            break;
        const auto n = static_cast<std::size_t>(got);
        words += CountFacetWordsIn(piece.get(), n);
        offset += n < pieceBytes ? n : n - 4;
        if (n < pieceBytes)
            break;
    }
    return words;
}

// The shortest text of a facet: "facet normal 0 0 0 outer loop vertex 0 0 0
// vertex 0 0 0 vertex 0 0 0 endloop endfacet" and a separator.
constexpr std::size_t kMinFacetBytes = 86;

// An upper bound of the facet count of `bytes` of text holding `words` times
// "facet" ("facet" and "endfacet" per facet), so the triangles are allocated
// once instead of growing by copies. No more than the text can describe: the
// word may also stand in names, or alone, many times.
std::size_t EstimateFacets(std::size_t words, std::size_t bytes)
{
    return std::min(words / 2 + 1, bytes / kMinFacetBytes + 1);
}

// Where a facet starts at or after `from`, near it: a word "facet" with white
// space on both sides. 0 when none is found within the window.
std::size_t FindFacetBorder(StlInput& input, std::size_t from)
{
    constexpr std::size_t kWindow = 64 << 10;
    const std::size_t size = input.Size();
    if (from == 0 || from >= size)
        return 0;
    const std::size_t begin = from - 1;  // the byte before, which must be white space
    const std::size_t bytes = std::min(kWindow, size - begin);
    const std::unique_ptr<char[]> window(new char[bytes]);
    std::string ignored;
    const long long got = input.ReadAt(begin, window.get(), bytes, ignored);
    if (got < 7)
        return 0;
    const char* data = window.get();
    for (std::size_t i = 1; i + 5 < static_cast<std::size_t>(got); ++i)
        if (IsFacetWordAt(data + i) && IsSpace(data[i - 1]) && IsSpace(data[i + 5]))
            return begin + i;
    return 0;
}

// The second half of a file read on its own thread, from a facet border on.
struct SecondHalf {
    std::vector<Triangle> triangles;
    ZELKGePoint3d lo, hi;
    bool ok = false;
};

// Reads the file as two halves at once, split at `border`, the start of a
// facet. Each half is read as the whole file would be read there; the halves
// join when the first ends exactly at the border inside a solid, and the
// second reads cleanly to the end. False, with the mesh empty, whenever they
// do not: then the file is read from the start in one piece, which words any
// refusal exactly.
bool ReadInTwo(StlInput& input, std::size_t border, ZELKGePrint& mesh, const StlReadOptions& options,
               std::size_t& estimate)
{
    const std::size_t size = input.Size();
    SecondHalf second;
    std::size_t secondWords = 0;
    bool secondCounted = false;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                secondWords = CountFacetWords(input, border, size, options.pieceBytes);
                secondCounted = true;
            } catch (const std::bad_alloc&) {
            }
        });
    } catch (const std::system_error&) {
        return false;
    }
    std::size_t firstWords = 0;
    try {
        firstWords = CountFacetWords(input, 0, border, options.pieceBytes);
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (!secondCounted)
        return false;
    estimate = EstimateFacets(firstWords + secondWords, size);
    ReserveTriangles(mesh, estimate);
    second.triangles.reserve(EstimateFacets(secondWords, size - border));

    try {
        helper = std::thread([&] {
            try {
                std::string ignored;
                AsciiReader reader(input, border, size, options.pieceBytes, second.triangles, ignored);
                bool open = true;
                const AsciiReader::Stop stop = reader.ReadBody(open);
                second.ok = stop != AsciiReader::Stop::kFault && !reader.Failed() && !open;
                second.lo = reader.Lo();
                second.hi = reader.Hi();
            } catch (const std::bad_alloc&) {
                second.ok = false;
            }
        });
    } catch (const std::system_error&) {
        mesh.Clear();
        return false;
    }
    bool firstOk = false;
    ZELKGePoint3d lo, hi;
    try {
        std::string ignored;  // a refusal is worded by the reading in one piece
        AsciiReader reader(input, 0, border, options.pieceBytes, mesh.GetGePrint(), ignored);
        bool open = true;
        firstOk = reader.ReadHeader() && reader.ReadBody(open) == AsciiReader::Stop::kData && !reader.Failed() &&
                  reader.ReachedEnd() && !reader.LineCut() && open;
        lo = reader.Lo();
        hi = reader.Hi();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (!firstOk || !second.ok) {
        mesh.Clear();
        return false;
    }
    std::vector<Triangle>& triangles = mesh.GetGePrint();
    triangles.insert(triangles.end(), second.triangles.begin(), second.triangles.end());
    // A later corner replaces an earlier one only when strictly beyond it, as in one pass.
    lo.Set(std::min(lo.x, second.lo.x), std::min(lo.y, second.lo.y), std::min(lo.z, second.lo.z));
    hi.Set(std::max(hi.x, second.hi.x), std::max(hi.y, second.hi.y), std::max(hi.z, second.hi.z));
    mesh.SetMinMaxPoint(lo, hi);
    return true;
}

}  // namespace

bool ReadAsciiStl(StlInput& input, ZELKGePrint& mesh, std::string& reason, const StlReadOptions& options)
{
    mesh.Clear();
    const std::size_t size = input.Size();
    std::size_t estimate = 0;
    try {
        if (options.secondThread && size >= options.splitBytes && size > 0) {
            const std::size_t border = FindFacetBorder(input, options.splitAt != 0 ? options.splitAt : size / 2);
            if (border != 0 && ReadInTwo(input, border, mesh, options, estimate))
                return true;
        }
        estimate = EstimateFacets(CountFacetWords(input, 0, size, options.pieceBytes), size);
        ReserveTriangles(mesh, estimate, options.secondThread);
        AsciiReader reader(input, 0, size, options.pieceBytes, mesh.GetGePrint(), reason);
        if (reader.Read()) {
            mesh.SetMinMaxPoint(reader.Lo(), reader.Hi());
            return true;
        }
    } catch (const std::bad_alloc&) {
        reason = NoMemoryReason(std::max(estimate, mesh.GetGePrint().size()));
    }
    mesh.Clear();
    return false;
}

}  // namespace zelk
