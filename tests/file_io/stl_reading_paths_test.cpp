// The STL reader's quick paths give the meshes and refusals of the word-by-word
// reading: ASCII numbers, files read as two halves, tiny and changing inputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "StlFiles.h"
#include "StlParser.h"

namespace {

struct Read {
    bool ok = false;
    ZELKGePrint mesh;
    std::string reason;
};

Read ReadAscii(const std::string& text, const zelk::StlReadOptions& options)
{
    zelk::MemoryStlInput input(text.data(), text.size());
    Read out;
    out.ok = zelk::ReadAsciiStl(input, out.mesh, out.reason, options);
    return out;
}

// Read in one piece, never split.
Read ReadWhole(const std::string& text)
{
    zelk::StlReadOptions options;
    options.splitBytes = SIZE_MAX;
    return ReadAscii(text, options);
}

bool SameBits(const ZELKGePoint3d& a, const ZELKGePoint3d& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The same result to the bit: triangles in order, corners (signs of zero
// included) and, for a refusal, the same reason.
void ExpectSame(const Read& got, const Read& want, const std::string& what)
{
    ASSERT_EQ(got.ok, want.ok) << what << ": " << got.reason << " / " << want.reason;
    EXPECT_EQ(got.reason, want.ok ? got.reason : want.reason) << what;
    const auto& a = got.mesh.GetGePrint();
    const auto& b = want.mesh.GetGePrint();
    ASSERT_EQ(a.size(), b.size()) << what;
    EXPECT_TRUE(a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0) << what;
    EXPECT_TRUE(SameBits(got.mesh.MinPoint(), want.mesh.MinPoint())) << what;
    EXPECT_TRUE(SameBits(got.mesh.MaxPoint(), want.mesh.MaxPoint())) << what;
}

// Every coordinate is the double std::from_chars reads from its text, to the
// bit, whatever form the number takes.
TEST(StlAsciiNumbers, EveryFormReadsAsFromCharsReadsIt)
{
    const std::vector<std::string> words = {
        "0", "-0", "-0.0", "1", "+1", "007.50", "1.", "-.5", ".5", "1e22", "1e-22", "9.999999999999999e22",
        "1e23", "1e-23", "123456789012345", "9007199254740992", "9007199254740993", "1234567890123456789",
        "12345678901234567890", "0.1", "0.3", "2.2250738585072014e-308", "4.9e-324", "1.7976931348623157e308",
        "3.141592653589793238462643383279", "1E5", "1e+05", "1e0005", "-4.738338e-01", "8.202028E-01",
        "0.000000000000000000001", "100000000000000000000000", "5e-1", "0e0"};
    std::string text = "solid numbers\n";
    for (std::size_t i = 0; i < words.size(); ++i)
        text += "facet normal " + words[i] + " 0 1 outer loop vertex " + words[i] + " 1 2 vertex 3 " + words[i] +
                " 5 vertex 6 7 " + words[i] + " endloop endfacet\n";
    text += "endsolid numbers\n";
    const Read got = ReadWhole(text);
    ASSERT_TRUE(got.ok) << got.reason;
    ASSERT_EQ(got.mesh.GetGePrint().size(), words.size());
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        const char* begin = w.data() + (w[0] == '+' ? 1 : 0);
        double want = 0;
        ASSERT_EQ(std::from_chars(begin, w.data() + w.size(), want).ec, std::errc()) << w;
        const Triangle& t = got.mesh.GetGePrint()[i];
        for (double value : {t.normal.x, t.point[0].x, t.point[1].y, t.point[2].z})
            EXPECT_EQ(std::memcmp(&value, &want, sizeof want), 0) << w << " read as " << value;
    }
}

TEST(StlAsciiNumbers, RandomNumbersInCommonFormatsReadAsFromCharsReadsThem)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-1000.0, 1000.0);
    std::uniform_int_distribution<int> power(-12, 12);
    for (const char* format : {"%e", "%.9g", "%.17g", "%f", "%.3f", "%.12e"}) {
        std::string text = "solid r\n";
        std::vector<double> written;
        char word[64];
        for (int i = 0; i < 2000; ++i) {
            text += "facet normal 0 0 1 outer loop";
            for (int k = 0; k < 3; ++k) {
                text += " vertex";
                for (int a = 0; a < 3; ++a) {
                    std::snprintf(word, sizeof word, format, value(random) * std::pow(10.0, power(random)));
                    double want = 0;
                    std::from_chars(word, word + std::strlen(word), want);
                    written.push_back(want);
                    text += ' ';
                    text += word;
                }
            }
            text += " endloop endfacet\n";
        }
        text += "endsolid r\n";
        const Read got = ReadWhole(text);
        ASSERT_TRUE(got.ok) << format << ": " << got.reason;
        std::size_t i = 0, wrong = 0;
        for (const Triangle& t : got.mesh.GetGePrint())
            for (const ZELKGePoint3d& p : t.point)
                for (double c : {p.x, p.y, p.z})
                    wrong += std::memcmp(&c, &written[i++], sizeof c) != 0 ? 1 : 0;
        EXPECT_EQ(i, written.size());
        EXPECT_EQ(wrong, 0u) << format;
    }
}

// Small files in their variants, well formed or broken, each word of which a
// split may fall on.
std::vector<std::pair<std::string, std::string>> SmallFiles()
{
    const auto cube = stltest::Cube(3, -1, 0.5f, 2);
    const std::vector<stltest::Facet> few(cube.begin(), cube.begin() + 4);
    stltest::AsciiStyle crlf;
    crlf.eol = "\r\n";
    crlf.upper = true;
    stltest::AsciiStyle tight;
    tight.indent = "";
    std::string noFinalNewline = stltest::Ascii(few, tight, "end");
    noFinalNewline.pop_back();
    // -0 and 0 compare equal: the first seen stays the corner.
    const std::string zeros =
        "solid z\nfacet normal 0 0 1 outer loop vertex -0 0 0 vertex 0 -0 1 vertex 1 1 -0 endloop endfacet\n"
        "facet normal 0 0 1 outer loop vertex 0 -0 0 vertex 2 0 1 vertex 1 1 0 endloop endfacet\nendsolid z\n";
    std::string badNumber = stltest::Ascii(few);
    const std::size_t number = badNumber.rfind("vertex ") + 7;
    badNumber.replace(number, badNumber.find(' ', number) - number, "1.5.5");
    std::string cut = stltest::Ascii(few, crlf);
    cut.resize(cut.size() - 40);
    return {
        {"plain", stltest::Ascii(few)},
        {"crlf upper", stltest::Ascii(few, crlf)},
        {"no final newline", noFinalNewline},
        {"names holding facet", stltest::Ascii(few, tight, "a facet name") + stltest::Ascii(few, {}, "facet facet")},
        {"a name that reads as a facet",
         stltest::Ascii(few, {}, "facet normal 0 0 1 outer loop vertex 1 2 3 vertex 4 5 6 vertex 7 8 9 endloop endfacet")},
        {"several solids and padding", stltest::Ascii(few, {}, "one") + stltest::Ascii(few, crlf, "two") + "\n\n"},
        {"notes after the last solid", stltest::Ascii(few) + "notes facet here\n"},
        {"one line", "solid x\nfacet normal 0 0 1 outer loop vertex 1 2 3 vertex 4 5 6 vertex 7 8 9 endloop endfacet "
                     "facet normal 0 0 1 outer loop vertex 1 2 3 vertex 4 5 6 vertex 7 8 9 endloop endfacet endsolid"},
        {"signed zeros", zeros},
        {"a broken number", badNumber},
        {"a stray facet word", "solid s\nfacet normal 0 0 1 outer loop vertex 1 2 3 vertex 4 5 6 facet\n"},
        {"cut short", cut},
        {"no endsolid", stltest::Ascii(few).substr(0, stltest::Ascii(few).find("endsolid"))},
    };
}

// Split at every offset, with read pieces far smaller than a facet (though
// longer than any word), a file
// reads as it reads in one piece, refusals and their line numbers included.
TEST(StlAsciiHalves, ASplitAtAnyOffsetReadsAsOnePieceReads)
{
    for (const auto& [what, text] : SmallFiles()) {
        const Read whole = ReadWhole(text);
        for (std::size_t piece : {std::size_t{16}, std::size_t{1} << 20}) {
            for (std::size_t at = 1; at < text.size(); ++at) {
                zelk::StlReadOptions options;
                options.pieceBytes = piece;
                options.splitBytes = 0;
                options.splitAt = at;
                ExpectSame(ReadAscii(text, options), whole,
                           what + ", split at " + std::to_string(at) + ", pieces of " + std::to_string(piece));
            }
        }
    }
}

TEST(StlAsciiHalves, WellFormedFilesReadAsExpected)
{
    // The one-piece reading the halves are held to is itself right.
    const auto files = SmallFiles();
    for (std::size_t i = 0; i < 9; ++i)
        EXPECT_TRUE(ReadWhole(files[i].second).ok) << files[i].first << ": " << ReadWhole(files[i].second).reason;
    const Read zeros = ReadWhole(files[8].second);
    EXPECT_TRUE(std::signbit(zeros.mesh.MinPoint().x));
    EXPECT_FALSE(std::signbit(zeros.mesh.MinPoint().y));
    EXPECT_FALSE(std::signbit(zeros.mesh.MinPoint().z));
    const std::string& badText = files[9].second;
    const Read bad = ReadWhole(badText);
    EXPECT_FALSE(bad.ok);
    const auto line = 1 + std::count(badText.begin(), badText.begin() + badText.find("1.5.5"), '\n');
    EXPECT_EQ(bad.reason, "line " + std::to_string(line) + ": expected a number but found \"1.5.5\"");
}

// Serves a text like a file and notes which threads read it.
class WatchedInput : public zelk::StlInput {
public:
    explicit WatchedInput(const std::string& text) : m_text(text) {}
    std::size_t Size() const override { return m_text.size(); }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string&) override
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_readers.insert(std::this_thread::get_id());
        }
        const std::size_t n = offset >= m_text.size() ? 0 : std::min(count, m_text.size() - offset);
        std::memcpy(buffer, m_text.data() + offset, n);
        return static_cast<long long>(n);
    }
    std::size_t Readers()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_readers.size();
    }

private:
    const std::string& m_text;
    std::mutex m_mutex;
    std::set<std::thread::id> m_readers;
};

std::vector<stltest::Facet> ManyFacets(int cubes)
{
    std::vector<stltest::Facet> many;
    for (int i = 0; i < cubes; ++i) {
        const auto cube = stltest::Cube(1.0f + i % 5, float(i % 101), float(-i), float(i % 17) - 8);
        many.insert(many.end(), cube.begin(), cube.end());
    }
    return many;
}

// A file beyond the size set for splitting is read by two threads at once,
// into the mesh of the reading in one piece.
TEST(StlAsciiHalves, LargeFilesAreReadByTwoThreadsIntoTheSameMesh)
{
    const std::string text = stltest::Ascii(ManyFacets(3500));
    ASSERT_GE(text.size(), zelk::StlReadOptions().splitBytes);
    const Read whole = ReadWhole(text);
    ASSERT_TRUE(whole.ok) << whole.reason;
    WatchedInput input(text);
    Read halves;
    halves.ok = zelk::ReadAsciiStl(input, halves.mesh, halves.reason);
    EXPECT_EQ(input.Readers(), 2u);
    ExpectSame(halves, whole, "read in halves");

    // Where no second thread may help, one thread reads it all, to the same mesh.
    zelk::StlReadOptions alone;
    alone.secondThread = false;
    WatchedInput aloneInput(text);
    Read single;
    single.ok = zelk::ReadStl(aloneInput, single.mesh, single.reason, alone);
    EXPECT_EQ(aloneInput.Readers(), 1u);
    ExpectSame(single, whole, "read by one thread");

    // Broken in the second half: the refusal names the line of the one-piece reading.
    std::string broken = text;
    broken.replace(broken.find("endloop", text.size() * 3 / 4), 7, "endlop");
    const Read wholeBroken = ReadWhole(broken);
    ASSERT_FALSE(wholeBroken.ok);
    ExpectSame(ReadAscii(broken, zelk::StlReadOptions()), wholeBroken, "broken in the second half");
}

// Gives one text to the first `firstReads` reads of less than 64 KiB and
// another after them, as a file rewritten while it loads. (The search for
// the facet where a file is split reads 64 KiB and always sees the second.)
class ChangingInput : public zelk::StlInput {
public:
    ChangingInput(std::string before, std::string after, std::size_t size, int firstReads)
        : m_before(std::move(before)), m_after(std::move(after)), m_size(size), m_firstReads(firstReads)
    {
    }
    std::size_t Size() const override { return m_size; }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string&) override
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const bool small = count < (std::size_t{64} << 10);
        const std::string& text = small && m_reads++ < m_firstReads ? m_before : m_after;
        const std::size_t n = offset >= text.size() ? 0 : std::min(count, text.size() - offset);
        std::memcpy(buffer, text.data() + offset, n);
        return static_cast<long long>(n);
    }

private:
    std::string m_before, m_after;
    std::size_t m_size;
    int m_firstReads;
    int m_reads = 0;
    std::mutex m_mutex;
};

// A file that shrinks after its size was taken is refused as its bytes are, in
// one piece and in halves, in ASCII and binary; one whose facets were
// counted before it grew still loads whole.
TEST(StlChangingFiles, ShrunkFilesAreRefusedAndGrownOnesLoadWhole)
{
    const auto many = ManyFacets(400);
    const std::string text = stltest::Ascii(many);
    for (const std::size_t split : {std::size_t{0}, SIZE_MAX}) {
        zelk::StlReadOptions options;
        options.splitBytes = split;
        options.pieceBytes = 4096;
        for (const double kept : {0.0, 0.3, 0.5, 0.7, 0.99}) {
            ChangingInput shrunk(text, text.substr(0, std::size_t(kept * double(text.size()))), text.size(), 0);
            ZELKGePrint mesh;
            std::string reason;
            EXPECT_FALSE(zelk::ReadAsciiStl(shrunk, mesh, reason, options)) << kept;
            EXPECT_TRUE(mesh.IsEmpty());
            // The reason of the bytes that were there, as if the file had been that short.
            EXPECT_EQ(reason, ReadWhole(text.substr(0, std::size_t(kept * double(text.size())))).reason) << kept;
            EXPECT_FALSE(reason.empty());
        }
        // The counting pass sees no facets, so the room set aside is too small.
        std::string hidden = text;
        for (std::size_t at = hidden.find("facet"); at != std::string::npos; at = hidden.find("facet", at + 1))
            hidden[at] = 'x';
        for (const int counted : {1, 20, 100}) {
            ChangingInput grown(hidden, text, text.size(), counted);
            Read got;
            got.ok = zelk::ReadAsciiStl(grown, got.mesh, got.reason, options);
            ASSERT_TRUE(got.ok) << got.reason;
            ExpectSame(got, ReadWhole(text), "grown after " + std::to_string(counted) + " reads");
        }
    }
    const std::string binary = stltest::Binary(ManyFacets(2000));  // 24,000 facets: two read pieces
    for (const std::size_t kept : {std::size_t{84}, std::size_t{84 + 50 * 20000 - 3}, binary.size() - 1}) {
        ChangingInput shrunk(binary, binary.substr(0, kept), binary.size(), 1);
        ZELKGePrint mesh;
        std::string reason;
        EXPECT_FALSE(zelk::ReadStl(shrunk, mesh, reason)) << kept;
        EXPECT_TRUE(mesh.IsEmpty());
        EXPECT_EQ(reason, "the file ended while it was read") << kept;
    }
}

// Serves a text whose bytes [holeStart, holeEnd) are gone: a read ends where
// they start and finds nothing inside them, as a file cut short while its
// tail was being rewritten.
class HoleInput : public zelk::StlInput {
public:
    HoleInput(const std::string& text, std::size_t holeStart, std::size_t holeEnd)
        : m_text(text), m_holeStart(holeStart), m_holeEnd(holeEnd)
    {
    }
    std::size_t Size() const override { return m_text.size(); }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string&) override
    {
        if (offset >= m_holeStart && offset < m_holeEnd)
            return 0;
        const std::size_t stop = offset < m_holeStart ? m_holeStart : m_text.size();
        const std::size_t n = offset >= stop ? 0 : std::min(count, stop - offset);
        std::memcpy(buffer, m_text.data() + offset, n);
        return static_cast<long long>(n);
    }

private:
    const std::string& m_text;
    std::size_t m_holeStart, m_holeEnd;
};

// When the first half comes up short at a facet border while the second
// reads whole, the halves are not joined: the file is refused as the bytes
// before the gap would be.
TEST(StlChangingFiles, AFirstHalfThatEndsEarlyIsNotJoined)
{
    const std::string text = stltest::Ascii(ManyFacets(100));
    const std::size_t holeStart = text.find("  facet", text.size() / 4) + 2;
    HoleInput input(text, holeStart, text.size() / 2 - 1);
    zelk::StlReadOptions options;
    options.splitBytes = 0;
    ZELKGePrint mesh;
    std::string reason;
    EXPECT_FALSE(zelk::ReadAsciiStl(input, mesh, reason, options));
    EXPECT_TRUE(mesh.IsEmpty());
    EXPECT_EQ(reason, ReadWhole(text.substr(0, holeStart)).reason);
}

// Every prefix of a small file, from nothing to all of it: refused with a
// reason or read, never past its end.
TEST(StlChangingFiles, EveryPrefixOfASmallFileIsReadOrRefused)
{
    const auto cube = stltest::Cube(2);
    for (const bool ascii : {true, false}) {
        const std::string text = ascii ? stltest::Ascii(cube) : stltest::Binary(cube, "solid binary");
        // ASCII is whole once "endsolid" is: the name after it is not needed.
        const std::size_t whole = ascii ? text.rfind("endsolid") + 8 : text.size();
        for (std::size_t n = 0; n <= text.size(); ++n) {
            // A copy of exactly n bytes, so that a read beyond them is seen by the address sanitizer.
            const std::unique_ptr<char[]> bytes(new char[std::max<std::size_t>(n, 1)]);
            std::memcpy(bytes.get(), text.data(), n);
            ZELKGePrint mesh;
            std::string reason;
            const bool ok = zelk::ParseStl(bytes.get(), n, mesh, reason);
            EXPECT_EQ(ok, n >= whole) << n << ": " << reason;
            EXPECT_EQ(mesh.GetGePrint().size(), ok ? cube.size() : 0u) << n;
            EXPECT_EQ(ok, reason.empty()) << n << ": " << reason;
        }
    }
}

// Binary corners and refusals beyond the first read piece of 20,000 facets.
TEST(StlBinaryFacets, CornersKeepTheFirstZeroAndRefusalsNameTheTriangle)
{
    auto many = ManyFacets(2000);  // 24,000 facets
    many[0].v[0][0] = 0.0f;
    many[1].v[0][0] = -0.0f;
    for (auto& f : many)
        for (auto& v : f.v)
            v[0] = std::max(v[0], 0.0f);
    ZELKGePrint mesh;
    std::string reason;
    std::string data = stltest::Binary(many);
    ASSERT_TRUE(zelk::ParseStl(data.data(), data.size(), mesh, reason)) << reason;
    EXPECT_FALSE(std::signbit(mesh.MinPoint().x));
    EXPECT_EQ(mesh.MinPoint().x, 0.0);
    EXPECT_EQ(mesh.GetGePrint()[23999].point[2].z, double(many[23999].v[2][2]));

    for (const std::size_t bad : {std::size_t{0}, std::size_t{19999}, std::size_t{20000}, std::size_t{23999}}) {
        auto broken = many;
        broken[bad].v[1][2] = std::nanf("");
        broken[bad / 2].normal[0] = INFINITY;  // dropped, not refused
        data = stltest::Binary(broken);
        EXPECT_FALSE(zelk::ParseStl(data.data(), data.size(), mesh, reason));
        EXPECT_EQ(reason, "triangle " + std::to_string(bad + 1) + " has a coordinate that is not a finite number");
        EXPECT_TRUE(mesh.IsEmpty());
    }
    many[21000].normal[2] = -INFINITY;
    data = stltest::Binary(many);
    ASSERT_TRUE(zelk::ParseStl(data.data(), data.size(), mesh, reason)) << reason;
    const ZELKGeVector3d& dropped = mesh.GetGePrint()[21000].normal;
    EXPECT_TRUE(dropped.x == 0 && dropped.y == 0 && dropped.z == 0);
    EXPECT_EQ(mesh.GetGePrint()[20999].normal.z, double(many[20999].normal[2]));
}

}  // namespace
