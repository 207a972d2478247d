// The converter run as a process: its bytes against the reference rendering
// of the translation rules, an independent S3G decoder, and every refusal.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "FileAliases.h"
#include "ProgramFolder.h"
#include "ReferenceX3g.h"
#include "RunProcess.h"
#include "TempDir.h"
#include "ZELKStartGCodeOperater.h"

using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

using reference::kStartGCode;
using reference::kStartValues;

std::string Converter()
{
    return zelk::ProgramFilePath("gcode2x3g");
}

std::vector<unsigned char> Bytes(const std::string& path)
{
    const std::string s = ReadFile(path);
    return std::vector<unsigned char>(s.begin(), s.end());
}

std::string Format(const char* fmt, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0)
{
    char line[160];
    std::snprintf(line, sizeof line, fmt, a, b, c, d, e);
    return line;
}

// A random mix of every line shape the translation rules define.
std::string RandomGCode(unsigned seed, int lines)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> xy(-80, 80), z(0, 150), e(-5, 400);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int feeds[] = {0, 450, 1200, 1800, 3000, 4800, 9000};
    auto feed = [&] { return static_cast<double>(feeds[pick(7)]); };
    std::string text;
    if (pick(2))
        text += "M104 S200 T0\n";
    if (pick(2))
        text += "M109 S70 T0\n";
    for (int i = 0; i < lines; ++i) {
        std::string line;
        switch (pick(30)) {
        case 0: line = Format("G1 X%.2f F%.0f", xy(rng), feed()); break;
        case 1: line = Format("G1 Y%.3f F%.0f", xy(rng), feed()); break;
        case 2: line = Format("G1 Z%.1f F%.0f", z(rng), feed()); break;
        case 3: line = Format("G1 F%.0f", feed()); break;
        case 4: line = Format("G1 E%.4f", e(rng)); break;
        case 5: line = Format("G1 X%.3f Y%.3f Z%.2f F%.0f", xy(rng), xy(rng), z(rng), feed()); break;
        case 6: line = "G92 E0"; break;
        case 7: line = Format("G92 E%.2f", e(rng)); break;
        case 8: line = Format("G92 Z%.1f", z(rng)); break;
        case 9: line = Format("G92 X%.1f Y%.1f Z%.1f A0 B0", xy(rng), xy(rng), pick(2) ? z(rng) : 0.5); break;
        case 10: line = Format("G4 P%.0f", pick(5000)); break;
        case 11: line = Format(pick(2) ? "G161 X Y F%.0f" : "G161 X F%.0f", feed()); break;
        case 12: line = Format(pick(2) ? "G161 Y F%.0f" : "G162 Z F%.0f", feed()); break;
        case 13: {
            const char* m[] = {"M6 T0", "M17", "M18", "M101", "M102", "M103", "M105", "M108 R1.0", "M1"};
            line = m[pick(9)];
            break;
        }
        case 14: line = Format("M73 P%.0f", pick(101)); break;
        case 15: line = Format(pick(2) ? "M104 S%.0f T0" : "M109 S%.0f T0", 20 + pick(230)); break;
        case 16: line = pick(2) ? "(a comment)" : "T0"; break;
        case 17: line = pick(2) ? "" : "   "; break;
        case 18: line = Format("G1 X%.3f Y%.3f Z%.2f F%.0f E%.4f (inline)", xy(rng), xy(rng), z(rng), feed(), e(rng)); break;
        default:
            line = Format("G1 X%.3f Y%.3f Z%.2f F%.0f E%.5f", xy(rng), xy(rng), z(rng), feed(), e(rng));
            break;
        }
        if (pick(20) == 0)
            line = "  " + line;
        text += line + (pick(5) == 0 ? "\r\n" : "\n");
    }
    return text;
}

class Gcode2X3gTest : public ::testing::Test {
protected:
    Gcode2X3gTest() { WriteFile(m_dir.File("start.gcode"), kStartGCode); }

    ProcessResult Convert(const std::string& input, const std::string& output, long sizeLimit = -1)
    {
        return RunProcess({Converter(), "--start-gcode", m_dir.File("start.gcode"), input, output}, sizeLimit);
    }

    TempDir m_dir;
};

TEST_F(Gcode2X3gTest, RandomMixesMatchTheReferenceByteForByte)
{
    for (unsigned seed = 1; seed <= 12; ++seed) {
        const std::string text = RandomGCode(seed, 1500 + 400 * static_cast<int>(seed));
        WriteFile(m_dir.File("mix.gcode"), text);
        ProcessResult run = Convert(m_dir.File("mix.gcode"), m_dir.File("mix.x3g"));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.err.empty()) << run.err;
        const std::vector<unsigned char> expected = reference::X3gOf(text, kStartValues);
        const std::vector<unsigned char> actual = Bytes(m_dir.File("mix.x3g"));
        ASSERT_EQ(actual.size(), expected.size()) << "seed " << seed;
        for (std::size_t i = 0; i < actual.size(); ++i)
            ASSERT_EQ(actual[i], expected[i]) << "seed " << seed << " byte " << i;
    }
}

// Slicer output as the slicer bridge writes it: the start G-code, then layers
// of five-word G1 moves with absolute E and a G92 E0 per layer.
std::string CanonicalGCode(int layers)
{
    std::string text = ReadFile(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> xy(-60, 60);
    double e = 0;
    for (int layer = 0; layer < layers; ++layer) {
        const double z = 0.3 + 0.2 * layer;
        text += "G92 E0\n";
        e = 0;
        text += Format("G1 X%.3f Y%.3f Z%.3f F%.3f E%.5f\n", xy(rng), xy(rng), z, 9000.0, e);
        for (int i = 0; i < 400; ++i) {
            e += 0.05 + (rng() % 100) / 1000.0;
            text += Format("G1 X%.3f Y%.3f Z%.3f F%.3f E%.5f\n", xy(rng), xy(rng), z, 1800.0, e);
        }
        text += Format("G1 X%.3f Y%.3f Z%.3f F%.3f E%.5f\n", xy(rng), xy(rng), z, 1800.0, e - 1.0);
    }
    return text + "M104 S0 T0\nM109 S0 T0\nM18\n";
}

TEST_F(Gcode2X3gTest, CanonicalOutputMatchesTheReferenceAndDecodesCleanly)
{
    const std::string text = CanonicalGCode(25);
    WriteFile(m_dir.File("part.gcode"), text);
    // Without --start-gcode the program folder's start G-code gives the values.
    ProcessResult run = RunProcess({Converter(), m_dir.File("part.gcode"), m_dir.File("part.x3g")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ZELKStartGCodeOperater shipped(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    const reference::StartValues values{shipped.GetExtrudeHeaderPrintTemperature(),
                                        shipped.GetPlatformPrintTemperature(), shipped.GetExtrudeHeight()};
    EXPECT_EQ(Bytes(m_dir.File("part.x3g")), reference::X3gOf(text, values));

    // An independent S3G decoder reads every command and reaches the end.
    ProcessResult dump = RunProcess({"s3gdump", m_dir.File("part.x3g")});
    ASSERT_EQ(dump.exitCode, 0) << dump.err;
    EXPECT_TRUE(dump.err.empty()) << dump.err;
    EXPECT_NE(dump.out.find("\nEOF"), std::string::npos);
    std::size_t moves = 0, percents = 0, pos = 0;
    while ((pos = dump.out.find("(155) Move to", pos)) != std::string::npos)
        ++moves, ++pos;
    pos = 0;
    while ((pos = dump.out.find("(150) Set build percentage", pos)) != std::string::npos)
        ++percents, ++pos;
    EXPECT_EQ(moves, 25u * 402u + 3u);  // the layers' moves and the start G-code's three
    // 10094 packages (16 of the start, 25 layers of 403, 3 at the end): step
    // 100, commands before packages 0, 100, ..., 10000 and a final 100 %.
    EXPECT_EQ(percents, 102u);
}

TEST_F(Gcode2X3gTest, RefusesBadInputsWithOneLineAndNoOutput)
{
    WriteFile(m_dir.File("ok.gcode"), "M17\nG1 X10 Y0 Z0 F3000\n");
    WriteFile(m_dir.File("nomove.gcode"), "M17\n(a comment)\nG1 F1200\n");
    WriteFile(m_dir.File("short-start.gcode"), "M104 S212 T0\nM109 S95 T0\nG21\n");
    const std::string out = m_dir.File("out.x3g");

    ProcessResult missing = Convert(m_dir.File("missing.gcode"), out);
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("missing.gcode"), std::string::npos);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos);

    ProcessResult folder = Convert(m_dir.Path().string(), out);
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("Is a directory"), std::string::npos);

    ProcessResult noFolder = Convert(m_dir.File("ok.gcode"), m_dir.File("nowhere/out.x3g"));
    EXPECT_EQ(noFolder.exitCode, 1);
    EXPECT_NE(noFolder.err.find("nowhere/out.x3g"), std::string::npos);

    ProcessResult noStart = RunProcess({Converter(), "--start-gcode", m_dir.File("none"), m_dir.File("ok.gcode"), out});
    EXPECT_EQ(noStart.exitCode, 1);
    EXPECT_NE(noStart.err.find("start G-code"), std::string::npos);

    ProcessResult noMove = Convert(m_dir.File("nomove.gcode"), out);
    EXPECT_EQ(noMove.exitCode, 1);
    EXPECT_NE(noMove.err.find("nomove.gcode"), std::string::npos) << noMove.err;
    EXPECT_NE(noMove.err.find("no move"), std::string::npos) << noMove.err;

    ProcessResult shortStart = RunProcess(
        {Converter(), "--start-gcode", m_dir.File("short-start.gcode"), m_dir.File("ok.gcode"), out});
    EXPECT_EQ(shortStart.exitCode, 1);
    EXPECT_NE(shortStart.err.find("short-start.gcode"), std::string::npos) << shortStart.err;
    EXPECT_NE(shortStart.err.find("line 10"), std::string::npos) << shortStart.err;

    for (const ProcessResult* r : {&missing, &folder, &noFolder, &noStart, &noMove, &shortStart}) {
        EXPECT_EQ(std::count(r->err.begin(), r->err.end(), '\n'), 1) << r->err;
        EXPECT_EQ(r->err.rfind("gcode2x3g: ", 0), 0u) << r->err;
    }
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(m_dir.EntryCount(), 4u);  // the three G-code files and start.gcode
}

TEST_F(Gcode2X3gTest, LinesWithBadNumbersAreSkippedAndCounted)
{
    const std::string good = "M17\nG1 X10 Y0 Z0 F3000\nG1 X20 Y5 Z0 F3000 E2\nM104 S210 T0\n";
    const std::string bad = "M17\nG1 X10 Y0 Z0 F3000\nG1 Xinf Y0 Z0 F3000\nG1 X20 Y5 Z0 F3000 E2\n"
                            "G1 X1 Y2 Zq F3000\nM104 S70000 T0\nM104 S210 T0\n";
    WriteFile(m_dir.File("good.gcode"), good);
    WriteFile(m_dir.File("bad.gcode"), bad);
    ProcessResult clean = Convert(m_dir.File("good.gcode"), m_dir.File("good.x3g"));
    ASSERT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_TRUE(clean.err.empty()) << clean.err;

    ProcessResult run = Convert(m_dir.File("bad.gcode"), m_dir.File("bad.x3g"));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_NE(run.err.find("3 lines skipped"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("bad.gcode"), std::string::npos) << run.err;
    EXPECT_EQ(Bytes(m_dir.File("bad.x3g")), Bytes(m_dir.File("good.x3g")));
}

// Runs the converter under an address-space limit, as a machine short of
// memory would.
ProcessResult RunUnderMemoryLimit(const std::vector<std::string>& argv, rlim_t bytes)
{
    ProcessResult result;
    int errPipe[2];
    if (::pipe(errPipe) != 0)
        return result;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(errPipe[0]);
        ::dup2(errPipe[1], 2);
        const struct rlimit limit {bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0)
        result.err.append(buffer, static_cast<std::size_t>(n));
    ::close(errPipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

TEST_F(Gcode2X3gTest, ManyBlankLinesFitAndTooManyPackagesAreRefused)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "an address-space limit leaves a sanitizer no room for its shadow memory";
#endif
    constexpr rlim_t kLimit = 160u << 20;
    // Six million blank lines around one move: no memory goes to the blanks.
    WriteFile(m_dir.File("blank.gcode"), std::string(3000000, '\n') + "G1 X10 Y0 Z0 F3000\n" +
                                             std::string(3000000, '\n'));
    WriteFile(m_dir.File("one.gcode"), "G1 X10 Y0 Z0 F3000\n");
    const std::string start = m_dir.File("start.gcode");
    ProcessResult blank = RunUnderMemoryLimit(
        {Converter(), "--start-gcode", start, m_dir.File("blank.gcode"), m_dir.File("blank.x3g")}, kLimit);
    ASSERT_EQ(blank.exitCode, 0) << blank.err;
    ProcessResult one = RunProcess({Converter(), "--start-gcode", start, m_dir.File("one.gcode"), m_dir.File("one.x3g")});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(Bytes(m_dir.File("blank.x3g")), Bytes(m_dir.File("one.x3g")));

    // Three million packages (a list of over 200 MB) are translated as the
    // file is read and spooled, never held: they fit under the limit too.
    std::string many;
    many.reserve(3000000 * 4 + 32);
    many += "G1 X10 Y0 Z0 F3000\n";
    for (int i = 0; i < 3000000; ++i)
        many += "M17\n";
    WriteFile(m_dir.File("many.gcode"), many);
    ProcessResult converted = RunUnderMemoryLimit(
        {Converter(), "--start-gcode", start, m_dir.File("many.gcode"), m_dir.File("many.x3g")}, kLimit);
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    // 3000002 packages (the move, the M17s, the wait at index 12): 101
    // percentages every 30000 packages and a last 100 %, the extra wait.
    const std::vector<unsigned char> x3g = Bytes(m_dir.File("many.x3g"));
    const std::size_t move = Bytes(m_dir.File("one.x3g")).size() - 3;  // one.x3g: 0 %, the move
    EXPECT_EQ(x3g.size(), move + 3000000u * 2 + 6 + 6 + 102u * 3);
    ASSERT_GE(x3g.size(), 3u);
    EXPECT_EQ(std::vector<unsigned char>(x3g.end() - 3, x3g.end()), (std::vector<unsigned char>{150, 100, 0xFF}));
    EXPECT_EQ(m_dir.EntryCount(), 7u);  // no spool or temporary file left beside them
}

TEST_F(Gcode2X3gTest, CommandLineErrorsAndHelp)
{
    ProcessResult none = RunProcess({Converter()});
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_NE(none.err.find("--help"), std::string::npos);
    EXPECT_EQ(RunProcess({Converter(), "a.gcode"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Converter(), "a", "b", "c"}).exitCode, 2);
    ProcessResult unknown = RunProcess({Converter(), "--fast", "a", "b"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("'--fast'"), std::string::npos);
    EXPECT_EQ(RunProcess({Converter(), "a", "b", "--start-gcode"}).exitCode, 2);
    ProcessResult flavor = RunProcess({Converter(), "--flavor", "marlin", "a", "b"});
    EXPECT_EQ(flavor.exitCode, 2);
    EXPECT_NE(flavor.err.find("--flavor 'marlin': expected printer, makerbot or reprap"), std::string::npos) << flavor.err;
    EXPECT_EQ(RunProcess({Converter(), "a", "b", "--flavor"}).exitCode, 2);

    ProcessResult help = RunProcess({Converter(), "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: gcode2x3g [--start-gcode FILE] [--flavor printer|makerbot|reprap] INPUT.gcode OUTPUT.x3g"),
              std::string::npos);
    EXPECT_TRUE(help.err.empty());
}

TEST_F(Gcode2X3gTest, FullDiskFailsAndKeepsThePreviousFile)
{
    WriteFile(m_dir.File("part.gcode"), CanonicalGCode(10));
    WriteFile(m_dir.File("part.x3g"), "previous export");
    ProcessResult run = Convert(m_dir.File("part.gcode"), m_dir.File("part.x3g"), 64 * 1024);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("File too large"), std::string::npos) << run.err;
    EXPECT_EQ(ReadFile(m_dir.File("part.x3g")), "previous export");
    EXPECT_EQ(m_dir.EntryCount(), 3u);

}

// However the output names the G-code (or the start G-code), the converter
// refuses to write over it, names both, and leaves the input as it was.
TEST_F(Gcode2X3gTest, RefusesToWriteOverItsOwnInputUnderAnyName)
{
    const std::string gcode = m_dir.File("part.gcode");
    WriteFile(gcode, CanonicalGCode(10));
    const std::string original = ReadFile(gcode);
    std::vector<testsupport::FileAlias> names = testsupport::OtherNamesOf(gcode);
    names.push_back({"same spelling", gcode});
    for (const testsupport::FileAlias& name : names) {
        ProcessResult run = Convert(gcode, name.path);
        EXPECT_EQ(run.exitCode, 1) << name.how << ": " << run.err;
        EXPECT_NE(run.err.find("'" + name.path + "' is the input file '" + gcode + "'"), std::string::npos)
            << name.how << ": " << run.err;
        EXPECT_EQ(ReadFile(gcode), original) << name.how;
    }
    for (const testsupport::FileAlias& start : testsupport::OtherNamesOf(m_dir.File("start.gcode"))) {
        ProcessResult run = Convert(gcode, start.path);
        EXPECT_EQ(run.exitCode, 1) << start.how << ": " << run.err;
        EXPECT_EQ(ReadFile(m_dir.File("start.gcode")), kStartGCode) << start.how;
    }
    // A new name beside it is still fine.
    EXPECT_EQ(Convert(gcode, m_dir.File("part.x3g")).exitCode, 0);
}

}  // namespace
