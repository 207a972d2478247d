// Loading binary and ASCII STL files in their variants, and refusing broken ones with a reason.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <string>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PrintMode.h"
#include "StlFiles.h"
#include "StlParser.h"
#include "TempDir.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

// The loaded mesh equals the facets written, in order, with matching corners.
void ExpectMesh(const ZELKGePrint& mesh, const std::vector<stltest::Facet>& facets)
{
    const auto& tris = mesh.GetGePrint();
    ASSERT_EQ(tris.size(), facets.size());
    double lo[3] = {INFINITY, INFINITY, INFINITY}, hi[3] = {-INFINITY, -INFINITY, -INFINITY};
    for (std::size_t i = 0; i < tris.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            for (int a = 0; a < 3; ++a) {
                EXPECT_NEAR(tris[i].point[k][a], facets[i].v[k][a], 1e-6) << "facet " << i;
                lo[a] = std::min(lo[a], double(facets[i].v[k][a]));
                hi[a] = std::max(hi[a], double(facets[i].v[k][a]));
            }
        }
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(tris[i].normal[a], facets[i].normal[a], 1e-6);
    }
    for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(mesh.MinPoint()[a], lo[a], 1e-6);
        EXPECT_NEAR(mesh.MaxPoint()[a], hi[a], 1e-6);
    }
}

struct Loaded {
    int result;
    ZELKGePrint mesh;
    std::string reason;
};

Loaded LoadContent(const std::string& content)
{
    TempDir dir;
    const std::string path = dir.File("model.stl");
    WriteFile(path, content);
    Loaded out;
    ZELKPrintMode* loader = ZELKPrintMode::GetLoadModeObject();
    // A mesh left over from an earlier load must not survive a failed one.
    out.mesh.GetGePrint().resize(3);
    out.result = loader->LoadStl(path, out.mesh);
    out.reason = loader->LastError();
    if (out.result == 0) {
        EXPECT_NE(out.reason.find(path), std::string::npos) << out.reason;
    }
    return out;
}

const std::vector<stltest::Facet> kCube = stltest::Cube(10, -5, 2, 1);

TEST(StlLoader, ReadsBinaryFilesIncludingHeadersThatStartWithSolid)
{
    for (const std::string header : {"exported by a CAD program", "solid part made by a binary writer"}) {
        Loaded got = LoadContent(stltest::Binary(kCube, header));
        ASSERT_EQ(got.result, 1) << got.reason;
        EXPECT_TRUE(got.reason.empty());
        ExpectMesh(got.mesh, kCube);
    }
}

TEST(StlLoader, BinaryCountThatDisagreesWithTheFileSize)
{
    // Count left at 0 by the writer: the size decides.
    Loaded zero = LoadContent(stltest::Binary(kCube, "solid zero count", 0));
    ASSERT_EQ(zero.result, 1) << zero.reason;
    ExpectMesh(zero.mesh, kCube);
    // Bytes after the announced facets that are not whole facets: the count decides.
    std::vector<stltest::Facet> first(kCube.begin(), kCube.begin() + 4);
    Loaded trailing = LoadContent(stltest::Binary(first, "x", 4) + std::string(17, '\x01'));
    ASSERT_EQ(trailing.result, 1) << trailing.reason;
    ExpectMesh(trailing.mesh, first);
}

TEST(StlLoader, ReadsAsciiInEveryCaseLineEndAndSpacing)
{
    stltest::AsciiStyle styles[3];
    styles[1].upper = true;
    styles[1].eol = "\r\n";
    styles[2].indent = "\t \t";
    for (const auto& style : styles) {
        Loaded got = LoadContent(stltest::Ascii(kCube, style, "name with spaces"));
        ASSERT_EQ(got.result, 1) << got.reason;
        ExpectMesh(got.mesh, kCube);
    }
    Loaded bare = LoadContent(
        "solid\nfacet normal 0 0 1 outer loop vertex +1 2 3 vertex 4.5E1 5 6 vertex -7 8e-1 9 endloop endfacet "
        "endsolid");
    ASSERT_EQ(bare.result, 1) << bare.reason;
    EXPECT_DOUBLE_EQ(bare.mesh.GetGePrint()[0].point[1].x, 45.0);
    EXPECT_DOUBLE_EQ(bare.mesh.GetGePrint()[0].point[2].y, 0.8);
}

TEST(StlLoader, AcceptsAByteOrderMarkAndPaddingAfterTheLastSolid)
{
    const std::string ascii = stltest::Ascii(kCube);
    Loaded marked = LoadContent("\xEF\xBB\xBF" + ascii);
    ASSERT_EQ(marked.result, 1) << marked.reason;
    ExpectMesh(marked.mesh, kCube);
    Loaded padded = LoadContent(ascii + std::string(300, '\0'));
    ASSERT_EQ(padded.result, 1) << padded.reason;
    ExpectMesh(padded.mesh, kCube);
}

TEST(StlLoader, ReadsSeveralSolidsInOneAsciiFile)
{
    const auto a = stltest::Cube(1), b = stltest::Cube(2, 5);
    Loaded got = LoadContent(stltest::Ascii(a) + stltest::Ascii(b, {}, "second"));
    ASSERT_EQ(got.result, 1) << got.reason;
    std::vector<stltest::Facet> both = a;
    both.insert(both.end(), b.begin(), b.end());
    ExpectMesh(got.mesh, both);
}

// Files larger than the loader's read pieces: words and facets cross piece boundaries.
TEST(StlLoader, ReadsFilesLargerThanOneReadPiece)
{
    std::vector<stltest::Facet> many;
    for (int i = 0; i < 2100; ++i) {
        const auto cube = stltest::Cube(1.0f + i % 7, float(i), float(-i), float(i % 13));
        many.insert(many.end(), cube.begin(), cube.end());
    }
    stltest::AsciiStyle crlf;
    crlf.eol = "\r\n";
    crlf.upper = true;
    const std::string ascii = stltest::Ascii(many, crlf);
    ASSERT_GT(ascii.size(), 3u << 20);
    Loaded fromAscii = LoadContent(ascii);
    ASSERT_EQ(fromAscii.result, 1) << fromAscii.reason;
    ExpectMesh(fromAscii.mesh, many);

    Loaded fromBinary = LoadContent(stltest::Binary(many, "solid large"));
    ASSERT_EQ(fromBinary.result, 1) << fromBinary.reason;
    ExpectMesh(fromBinary.mesh, many);

    std::string cut = ascii.substr(0, ascii.size() - 200);
    Loaded truncated = LoadContent(cut);
    EXPECT_EQ(truncated.result, 0);
    EXPECT_NE(truncated.reason.find("truncated"), std::string::npos) << truncated.reason;
}

TEST(StlLoader, BrokenNormalsAreDroppedButBrokenVerticesRefuse)
{
    auto facets = kCube;
    facets[3].normal[1] = std::numeric_limits<float>::quiet_NaN();
    Loaded got = LoadContent(stltest::Binary(facets));
    ASSERT_EQ(got.result, 1) << got.reason;
    EXPECT_EQ(got.mesh.GetGePrint()[3].normal.Length(), 0.0);

    facets = kCube;
    facets[5].v[2][0] = std::numeric_limits<float>::infinity();
    Loaded refused = LoadContent(stltest::Binary(facets));
    EXPECT_EQ(refused.result, 0);
    EXPECT_NE(refused.reason.find("triangle 6"), std::string::npos) << refused.reason;
}

struct Refusal {
    const char* what;
    std::string content;
    const char* reasonPart;
};

TEST(StlLoader, RefusesBrokenFilesWithAReasonAndAnEmptyMesh)
{
    const std::string binary = stltest::Binary(kCube);
    const std::string ascii = stltest::Ascii(kCube);
    std::string asciiNan = stltest::Ascii(stltest::Cube(1));
    asciiNan.replace(asciiNan.find("vertex ") + 7, 12, "nan");
    std::string fourVertices = stltest::Ascii(stltest::Cube(1));
    fourVertices.insert(fourVertices.find("endloop"), "vertex 1 1 1\n");
    std::string plusMinus = stltest::Ascii(stltest::Cube(1));
    plusMinus.replace(plusMinus.find("vertex ") + 7, 12, "+-10");
    const Refusal cases[] = {
        {"empty", "", "empty"},
        {"binary cut inside a facet", binary.substr(0, binary.size() - 20), "truncated"},
        {"binary cut at a facet boundary", binary.substr(0, binary.size() - 100), "truncated"},
        {"count that needs gigabytes", stltest::Binary(kCube, "big", 0xFFFFFFFFLL), "4294967295"},
        {"binary with no facets", stltest::Binary({}, "nothing"), "no triangles"},
        {"ascii cut inside a facet", ascii.substr(0, ascii.size() / 2), "truncated"},
        {"ascii without endsolid", ascii.substr(0, ascii.find("endsolid")), "endsolid"},
        {"ascii with no facets", "solid empty\r\nendsolid empty\r\n", "no triangles"},
        {"ascii nan coordinate", asciiNan, "number"},
        {"ascii four vertices", fourVertices, "endloop"},
        {"ascii sign after sign", plusMinus, "expected a number but found \"+-10\""},
        {"ascii with a stray word", "solid a\nfacet normal 0 0 1\n  outer lop\n", "line 3"},
        {"text that is not STL", "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod "
                                 "tempor incididunt ut labore et dolore magna aliqua.\n", "not an STL"},
        {"short binary garbage", std::string("\x01\x02\x03\x00\xff", 5), "too short"},
    };
    for (const Refusal& c : cases) {
        Loaded got = LoadContent(c.content);
        EXPECT_EQ(got.result, 0) << c.what;
        EXPECT_TRUE(got.mesh.GetGePrint().empty()) << c.what;
        EXPECT_NE(got.reason.find(c.reasonPart), std::string::npos) << c.what << ": " << got.reason;
    }
}

TEST(StlLoader, RefusesMissingFilesAndFolders)
{
    TempDir dir;
    ZELKGePrint mesh;
    std::string reason;
    EXPECT_FALSE(zelk::LoadStlFile(dir.File("absent.stl"), mesh, reason));
    EXPECT_NE(reason.find("No such file"), std::string::npos) << reason;
    EXPECT_FALSE(zelk::LoadStlFile(dir.Path().string(), mesh, reason));
    EXPECT_NE(reason.find("not a regular file"), std::string::npos) << reason;
    EXPECT_TRUE(mesh.GetGePrint().empty());
}

TEST(StlParser, SolidHeaderWithTrailingBytesIsReadAsBinary)
{
    // The size is no longer exact, so only the content tells the formats apart.
    std::string data = stltest::Binary(kCube, "solid but binary") + std::string(7, '\0');
    ZELKGePrint mesh;
    std::string reason;
    ASSERT_TRUE(zelk::ParseStl(data.data(), data.size(), mesh, reason)) << reason;
    ExpectMesh(mesh, kCube);
}

// A file that claims a size without holding it: the header announces `count`
// facets and the size fits them exactly; every facet reads as zeros.
class ClaimedSizeInput : public zelk::StlInput {
public:
    explicit ClaimedSizeInput(std::uint32_t count) : m_size(84 + std::size_t{50} * count)
    {
        std::memcpy(m_header + 80, &count, sizeof count);
    }
    std::size_t Size() const override { return m_size; }
    long long ReadAt(std::size_t offset, char* buffer, std::size_t count, std::string&) override
    {
        const std::size_t n = offset >= m_size ? 0 : std::min(count, m_size - offset);
        for (std::size_t i = 0; i < n; ++i)
            buffer[i] = offset + i < sizeof m_header ? m_header[offset + i] : '\0';
        return static_cast<long long>(n);
    }

private:
    std::size_t m_size;
    char m_header[84] = "solid claimed";
};

std::size_t AddressSpaceBytes()
{
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word)
        if (word == "VmSize:") {
            std::size_t kib = 0;
            status >> kib;
            return kib * 1024;
        }
    return 0;
}

// Reads the claimed file in a child whose address space may grow by only
// 256 MB beyond what it holds, and returns the child's exit code (-1 when it
// died, 3 when the reading threw) with the reason it wrote.
int ReadUnderMemoryLimit(std::uint32_t count, std::string& reason)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return -2;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const rlim_t cap = AddressSpaceBytes() + (rlim_t{256} << 20);
        const struct rlimit limit {cap, cap};
        ::setrlimit(RLIMIT_AS, &limit);
        try {
            ClaimedSizeInput input(count);
            ZELKGePrint mesh;
            std::string why;
            const bool ok = zelk::ReadStl(input, mesh, why);
            (void)!::write(fds[1], why.data(), why.size());
            ::_exit(ok ? 1 : (mesh.GetGePrint().empty() ? 0 : 2));
        } catch (...) {
            ::_exit(3);  // in the program, the end of it
        }
    }
    ::close(fds[1]);
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// More triangles than the computer holds, and more than the process may
// allocate: both are refused for memory, in one line, without ending the program.
TEST(StlParser, AHugeCountThatFitsTheSizeIsRefusedForMemory)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers' allocators end the process instead of failing an allocation";
#endif
    for (const std::uint32_t count : {0xFFFFFFFFu, 40'000'000u}) {
        SCOPED_TRACE(count);
        std::string reason;
        EXPECT_EQ(ReadUnderMemoryLimit(count, reason), 0);
        EXPECT_NE(reason.find("not enough memory"), std::string::npos) << reason;
        EXPECT_NE(reason.find(std::to_string(count)), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    }
}

// The room set aside for an ASCII file's triangles never exceeds what its
// text can describe, however often the word "facet" appears in it.
TEST(StlParser, AsciiReservationStaysWithinWhatTheTextCanHold)
{
    std::string name;
    for (int i = 0; i < 100000; ++i)
        name += "facet";
    const std::string text = stltest::Ascii(kCube, {}, name);
    ZELKGePrint mesh;
    std::string reason;
    ASSERT_TRUE(zelk::ParseStl(text.data(), text.size(), mesh, reason)) << reason;
    ExpectMesh(mesh, kCube);
    EXPECT_LE(mesh.GetGePrint().capacity() * sizeof(Triangle), 2 * text.size());
}

}  // namespace
