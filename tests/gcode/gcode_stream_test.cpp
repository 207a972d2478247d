// The streamed translation (ZELKGCodeParser::StreamFile into an X3G spool)
// against the whole-file one (FileParser, then WriteX3gStream): the same X3G
// bytes and the same outcome, however the file is cut into blocks and
// however little of the spool is kept in memory.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "TranslatorFixture.h"
#include "X3gWriter.h"
#include "ZELKGCodeParser.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

namespace {

using Bytes = std::vector<unsigned char>;

// What one translation came to: its X3G bytes, its outcome, and where it
// left the machine.
struct Translation {
    Bytes x3g;
    zelk::GCodeFileOutcome outcome;
    CPoint5D position;
    double feedrate = 0;
};

Bytes StreamOf(const zelk::PrintList& list)
{
    Bytes bytes;
    zelk::WriteX3gStream(list, [&bytes](const unsigned char* data, std::size_t size) {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    });
    return bytes;
}

void ExpectSameOutcome(const zelk::GCodeFileOutcome& streamed, const zelk::GCodeFileOutcome& whole,
                       const std::string& what)
{
    EXPECT_EQ(streamed.read, whole.read) << what;
    EXPECT_EQ(streamed.refused, whole.refused) << what;
    EXPECT_EQ(streamed.reason, whole.reason) << what;
    EXPECT_EQ(streamed.moveCount, whole.moveCount) << what;
    EXPECT_EQ(streamed.skippedLineCount, whole.skippedLineCount) << what;
    EXPECT_EQ(streamed.flavor, whole.flavor) << what;
    EXPECT_EQ(streamed.flavorMark, whole.flavorMark) << what;
    EXPECT_EQ(streamed.leftOut.Summary(), whole.leftOut.Summary()) << what;
    EXPECT_EQ(streamed.LooksForeign(), whole.LooksForeign()) << what;
}

class StreamTest : public ::testing::Test {
protected:
    StreamTest() : m_startGCode(WriteStart(m_dir)) {}

    static std::string WriteStart(const testsupport::TempDir& dir)
    {
        const std::string path = dir.File("start.gcode");
        testsupport::WriteFile(path, kTestStartGCode);
        return path;
    }

    // The whole-file translation, from a new machine.
    Translation Whole(const std::string& path, std::optional<zelk::gcode::GCodeFlavor> flavor = std::nullopt)
    {
        ZELKMachine machine;
        ZELKGCodeParser parser(&machine, &m_startGCode);
        parser.SetFlavor(flavor);
        Translation t;
        const zelk::PrintList list = parser.FileParser(path.c_str(), t.outcome);
        t.x3g = StreamOf(list);
        t.position = machine.getCurrentPosition();
        t.feedrate = machine.GetCurrentFeedrate();
        return t;
    }

    // The streamed translation, from a new machine: blockBytes read at a
    // time, the spool in memory up to spoolBytes.
    Translation Streamed(const std::string& path, std::size_t blockBytes, std::size_t spoolBytes,
                         std::optional<zelk::gcode::GCodeFlavor> flavor = std::nullopt)
    {
        ZELKMachine machine;
        ZELKGCodeParser parser(&machine, &m_startGCode);
        parser.SetFlavor(flavor);
        zelk::X3gSpool::Options options;
        options.memoryBytes = spoolBytes;
        options.folder = m_dir.Path().string();
        options.name = "test.x3g";
        zelk::X3gSpool spool(options);
        Translation t;
        parser.StreamFile(path.c_str(), spool, t.outcome, blockBytes);
        EXPECT_FALSE(spool.Failed()) << spool.Error();
        EXPECT_EQ(parser.LastFileOutcome().moveCount, t.outcome.moveCount);
        if (!t.outcome.refused && t.outcome.read) {
            EXPECT_TRUE(spool.WriteTo([&t](const unsigned char* data, std::size_t size) {
                t.x3g.insert(t.x3g.end(), data, data + size);
                return true;
            }));
        }
        t.position = machine.getCurrentPosition();
        t.feedrate = machine.GetCurrentFeedrate();
        return t;
    }

    // Every block size and spool budget given: the same as the whole file,
    // whose translation is returned.
    Translation ExpectSame(const std::string& content, const std::string& what,
                           const std::vector<std::size_t>& blockSizes = {1, 2, 3, 5, 7, 16, 61, 256, 4096, 0},
                           std::optional<zelk::gcode::GCodeFlavor> flavor = std::nullopt)
    {
        const std::string path = m_dir.File("in.gcode");
        testsupport::WriteFile(path, content);
        Translation whole = Whole(path, flavor);
        for (const std::size_t block : blockSizes) {
            for (const std::size_t spool : {std::size_t(1), std::size_t(100), std::size_t(4) << 20}) {
                const std::string how = what + " (blocks of " + std::to_string(block) + " bytes, spool " +
                                        std::to_string(spool) + " bytes)";
                const Translation streamed = Streamed(path, block, spool, flavor);
                ExpectSameOutcome(streamed.outcome, whole.outcome, how);
                EXPECT_EQ(streamed.x3g, whole.x3g) << how;
                for (int i = 0; i < 5; ++i)
                    EXPECT_EQ(streamed.position.get(i), whole.position.get(i)) << how << ", axis " << i;
                EXPECT_EQ(streamed.feedrate, whole.feedrate) << how;
            }
        }
        return whole;
    }

    testsupport::TempDir m_dir;
    ZELKStartGCodeOperater m_startGCode;
};

// A print in the printer's dialect with every line shape the translation
// rules know, some spoiled, blank lines and comments between.
std::string MixedDialect(unsigned seed, int lines, const char* lineEnd)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto num = [&rng](double lo, double hi, int decimals) {
        std::uniform_real_distribution<double> d(lo, hi);
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, d(rng));
        return std::string(text);
    };
    std::string text = "M104 S200 T0" + std::string(lineEnd) + "M109 S70 T0" + lineEnd;
    for (int i = 0; i < lines; ++i) {
        std::string line;
        switch (pick(24)) {
        case 0: line = "G1 X" + num(-80, 80, 2) + " F" + num(0, 9000, 0); break;
        case 1: line = "G1 E" + num(-5, 400, 5); break;
        case 2: line = "G1 F" + num(100, 9000, 0); break;
        case 3: line = "G1 X" + num(-80, 80, 3) + " Y" + num(-80, 80, 3) + " Z" + num(0, 150, 2) + " F3000"; break;
        case 4: line = "G92 E0"; break;
        case 5: line = "G92 Z" + num(0, 150, 1); break;
        case 6: line = "G92 X-75 Y-75 Z" + num(0, 2, 1) + " A0 B0"; break;
        case 7: line = "G4 P" + num(0, 5000, 0); break;
        case 8: line = pick(2) ? "G161 X Y F2500" : "G162 Z F1000"; break;
        case 9: line = pick(2) ? "M6 T0" : (pick(2) ? "M17" : "M105"); break;
        case 10: line = "M73 P" + num(0, 100, 0); break;
        case 11: line = pick(2) ? "(a comment)" : "T0"; break;
        case 12: line = pick(2) ? "" : " \t "; break;
        case 13: line = "G1 X" + num(-80, 80, 3) + " Y" + num(-80, 80, 3) + " Z" + num(0, 150, 2) + " F" +
                        num(0, 9000, 0) + " E" + num(-5, 400, 4) + " (inline)";
            break;
        case 14: line = "G1 X1e400 Y0 Z0 F3000 E0"; break;        // skipped: not finite
        case 15: line = "G1  X10 Y10 Z0.3 F3000 E1"; break;       // two spaces
        case 16: line = "  G1 X" + num(-80, 80, 5) + " Y" + num(-80, 80, 5) + " Z0.300 F4800 E" + num(0, 400, 5); break;
        case 17: line = "G1 X-0 Y-0.0 Z0 F0 E0"; break;
        case 18: line = "G1 X0x10 Y1 Z1 F100 E1"; break;          // hexadecimal: the C library's reading
        case 19: line = "G1 X.5 Y+1 Z1 F100 E1"; break;
        case 20: line = "G1 X" + num(-80, 80, 9) + " Y" + num(-80, 80, 12) + " Z0.3 F3000 E" + num(0, 9, 14); break;
        default:
            line = "G1 X" + num(-80, 80, 5) + " Y" + num(-80, 80, 5) + " Z" + num(0, 150, 3) + " F" +
                   num(0, 9000, 0) + " E" + num(-5, 400, 5);
            break;
        }
        text += line + lineEnd;
    }
    return text;
}

TEST_F(StreamTest, TheDialectGivesTheSameBytesWithLineEndsBlankLinesAndNoFinalNewline)
{
    const std::string lf = MixedDialect(1, 400, "\n");
    const Translation whole = ExpectSame(lf, "LF");
    EXPECT_TRUE(whole.outcome.IsUsable());
    EXPECT_GT(whole.outcome.moveCount, 100u);
    EXPECT_GT(whole.outcome.skippedLineCount, 0u);
    EXPECT_GT(whole.x3g.size(), 5000u);
    ExpectSame(lf.substr(0, lf.size() - 1), "LF without the last newline");
    const std::string crlf = MixedDialect(2, 400, "\r\n");
    ExpectSame(crlf, "CRLF");
    ExpectSame(crlf.substr(0, crlf.size() - 2), "CRLF without the last line end");
    ExpectSame(crlf.substr(0, crlf.size() - 1), "CRLF ending in CR");
    ExpectSame(std::string(5000, '\n') + lf + std::string(3000, '\n') + "   \r\n\t\n", "blank lines around it");
    ExpectSame("", "an empty file");
    ExpectSame("\n\n  \r\n", "blank lines only");
    ExpectSame("(only a comment)", "a comment without a newline");
    ExpectSame("G1 X10 Y10 Z0.3 F3000 E1", "one move without a newline");
}

TEST_F(StreamTest, ALineCutByEveryBlockBorderReadsAsOne)
{
    // Blocks of n bytes cut the long move at every place in turn.
    const std::string content = "G92 X-75 Y-75 Z0.5 A0 B0\nG1 X12.34567 Y-23.45678 Z0.300 F4800 E1.23456\r\n"
                                "G1 X2 Y3 Z0.3 F3000 E2 (a comment (nested) here)\nM73 P50\n"
                                "G1 X-4.5 Y6.25 Z0.3 F3000 E2.5";
    std::vector<std::size_t> blocks;
    for (std::size_t n = 1; n <= content.size() + 1; ++n)
        blocks.push_back(n);
    ExpectSame(content, "a line across a block border", blocks);
    // Lines far longer than a block.
    ExpectSame("G1 X1 Y1 Z0.3 F3000 E1 (" + std::string(10000, 'x') + ")\nG1 X2 Y2 Z0.3 F3000 E2\n",
               "a line of 10000 bytes", {7, 64, 4096});
}

TEST_F(StreamTest, ManyFilesOfTheDialectGiveTheSameBytes)
{
    for (unsigned seed = 3; seed < 11; ++seed)
        ExpectSame(MixedDialect(seed, 1500 + 300 * static_cast<int>(seed), seed % 2 ? "\n" : "\r\n"),
                   "seed " + std::to_string(seed), {13, 1000, 0});
}

TEST_F(StreamTest, TheFirstTwoLinesTakeTheStartGCodeTemperaturesAsInAWholeFile)
{
    ExpectSame("M104 S230 T0\nM109 S90 T0\nG1 X1 Y1 Z0.3 F3000 E1\n", "M104 and M109 first");
    ExpectSame("\n\n(c)\nM104 S230 T0\n\nM109 S90 T0\nG1 X1 Y1 Z0.3 F3000 E1\n", "after blank lines");
    ExpectSame("G1 X1 Y1 Z0.3 F3000 E1\nM104 S230 T0\nM109 S90 T0\n", "not first");
}

TEST_F(StreamTest, TheWaitForToolPacketStaysAtIndexTwelve)
{
    for (int n : {11, 12, 13, 14, 99, 100, 101, 199, 200, 201, 1001}) {
        std::string content;
        for (int i = 0; i < n; ++i)
            content += "G1 X" + std::to_string(i % 7) + " Y1 Z0.3 F3000 E" + std::to_string(i) + "\n";
        ExpectSame(content, std::to_string(n) + " moves", {5, 0});
        ExpectSame("M17\n" + content + "T0\nM105\n", std::to_string(n) + " moves between others", {0});
    }
}

// Another slicer's G-code, its flavour named in its settings block at the end.
std::string Flavoured(int moves, const char* extra = "")
{
    std::string text = "; generated by PrusaSlicer\nM107\nM104 S200 ; set temperature\nG28 ; home all axes\n"
                       "G1 Z5 F5000 ; lift nozzle\nM109 S200\nG21\nG90\nM83\nM117 Printing a part\n"
                       "G1 Z.2 F7800\nG92 E0\nG1 E-2 F2400\nG1 X10 Y10 F7800\nG1 E2 F2400\n";
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> xy(-60, 60), e(0.01, 0.3);
    char line[128];
    for (int i = 0; i < moves; ++i) {
        if (i % 50 == 49) {
            text += "G2 X" + std::to_string(i % 20) + " Y5 I-5 J0 E.5\n";
            continue;
        }
        std::snprintf(line, sizeof line, "G1 X%.3f Y%.3f E%.5f\n", xy(rng), xy(rng), e(rng));
        text += line;
        if (i % 100 == 0)
            text += ";LAYER_CHANGE\nG1 Z" + std::to_string(0.2 + i / 1000.0) + " F7800\nM73 P" +
                    std::to_string(i * 100 / moves) + "\n";
    }
    text += extra;
    text += "M104 S0\nM140 S0\nM84\n; prusaslicer_config = begin\n; gcode_flavor = marlin2\n"
            "; prusaslicer_config = end\n";
    return text;
}

TEST_F(StreamTest, AFlavouredFileGivesTheSameBytesAndFindsItsMarkAtTheEnd)
{
    const std::string text = Flavoured(3000);
    const Translation whole = ExpectSame(text, "Marlin", {1, 9, 300, 0});
    EXPECT_TRUE(whole.outcome.IsUsable()) << whole.outcome.reason;
    EXPECT_EQ(whole.outcome.flavor, zelk::gcode::GCodeFlavor::kRepRap);
    EXPECT_EQ(whole.outcome.flavorMark, "; gcode_flavor = marlin2");
    EXPECT_GT(whole.outcome.moveCount, 3000u);  // the arcs give many
    ExpectSame(text.substr(0, text.size() - 1), "Marlin without the last newline", {0});
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ExpectSame(crlf, "Marlin with CRLF", {7, 0});
    // Told the flavour: no mark needed.
    ExpectSame("G28\nM83\nG1 X10 Y10 F3000 E.5\nG1 X20 Y10 E.5\n", "chosen flavour", {3, 0},
               zelk::gcode::GCodeFlavor::kRepRap);
}

TEST_F(StreamTest, ARefusedFlavouredFileSaysTheLineAndLeavesNoX3gFile)
{
    const std::string path = m_dir.File("in.gcode");
    testsupport::WriteFile(path, Flavoured(2000, "G1 X5000 Y0 E1\n"));
    const Translation whole = Whole(path);
    ASSERT_TRUE(whole.outcome.refused);
    for (const std::size_t block : {std::size_t(11), std::size_t(0)}) {
        const Translation streamed = Streamed(path, block, 64);
        ExpectSameOutcome(streamed.outcome, whole.outcome, "refused");
        EXPECT_NE(streamed.outcome.reason.find(": line "), std::string::npos) << streamed.outcome.reason;
        EXPECT_NE(streamed.outcome.reason.find("leaves the build volume"), std::string::npos)
            << streamed.outcome.reason;
    }

    // As the converter does it: the file is refused, and nothing is written.
    ZELKMachine machine;
    ZELKGCodeParser parser(&machine, &m_startGCode);
    zelk::X3gSpool::Options options;
    options.memoryBytes = 256;
    options.folder = m_dir.Path().string();
    zelk::X3gSpool spool(options);
    zelk::GCodeFileOutcome outcome;
    parser.StreamFile(path.c_str(), spool, outcome, 97);
    EXPECT_FALSE(outcome.IsUsable());
    EXPECT_TRUE(spool.Spilled());
    spool.Clear();
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.x3g")));
    EXPECT_EQ(m_dir.EntryCount(), 2u);  // start.gcode and in.gcode: the spool left nothing
}

TEST_F(StreamTest, FilesThatCannotBeReadSayWhyAsAWholeFileDoes)
{
    for (const std::string& path : {m_dir.File("missing.gcode"), m_dir.Path().string()}) {
        const Translation whole = Whole(path);
        const Translation streamed = Streamed(path, 0, 1024);
        ExpectSameOutcome(streamed.outcome, whole.outcome, path);
        EXPECT_FALSE(streamed.outcome.read);
        EXPECT_NE(streamed.outcome.reason.find(path), std::string::npos) << streamed.outcome.reason;
    }
}

TEST_F(StreamTest, APipeStreamsAsAFileDoes)
{
    const std::string fifo = m_dir.File("pipe.gcode");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string dialect = MixedDialect(21, 3000, "\n");
    const std::string flavoured = Flavoured(1500);
    for (const std::string* content : {&dialect, &flavoured}) {
        const std::string path = m_dir.File("in.gcode");
        testsupport::WriteFile(path, *content);
        const Translation whole = Whole(path);
        std::thread writer([&] { testsupport::WriteFile(fifo, *content); });
        const Translation streamed = Streamed(fifo, 333, 4096);
        writer.join();
        EXPECT_EQ(streamed.outcome.flavor, whole.outcome.flavor);
        EXPECT_EQ(streamed.outcome.moveCount, whole.outcome.moveCount);
        EXPECT_EQ(streamed.x3g, whole.x3g);
    }
}

// The spool on its own: any budget, any count, the stream of the list.
TEST(X3gSpool, WritesWhatWriteX3gStreamWritesForTheSameList)
{
    testsupport::TempDir dir;
    for (const int n : {0, 1, 11, 12, 13, 99, 100, 101, 250, 1001, 20000}) {
        std::vector<Package> list;
        for (int i = 0; i < n; ++i) {
            if (i % 17 == 5)
                list.push_back(Package());  // empty: counts, writes nothing
            else
                list.push_back(ZELKMachineCodeBuild::GetPackage(200 + i % 3, {{3, i}, {1, i % 7}, {3, -i}}));
        }
        const Bytes expected = StreamOf(list);
        for (const std::size_t budget : {std::size_t(1), std::size_t(63), std::size_t(1000), std::size_t(1) << 20}) {
            zelk::X3gSpool::Options options;
            options.memoryBytes = budget;
            options.folder = dir.Path().string();
            zelk::X3gSpool spool(options);
            for (const Package& p : list)
                ASSERT_TRUE(spool.Add(p));
            EXPECT_EQ(spool.Count(), list.size());
            Bytes written;
            ASSERT_TRUE(spool.WriteTo([&written](const unsigned char* data, std::size_t size) {
                written.insert(written.end(), data, data + size);
                return true;
            }));
            EXPECT_EQ(written, expected) << n << " packages, budget " << budget;
        }
    }
    EXPECT_EQ(dir.EntryCount(), 0u);  // the spool files were never seen
}

TEST(X3gSpool, AFileAppearsOnlyComplete)
{
    testsupport::TempDir dir;
    zelk::X3gSpool::Options options;
    options.memoryBytes = 64;
    options.folder = dir.Path().string();
    options.name = dir.File("out.x3g");
    zelk::X3gSpool spool(options);
    const Package move = ZELKMachineCodeBuild::GetPackage(155, {{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 5}, {3, 6}});
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(spool.Add(move));
    std::string error;
    EXPECT_FALSE(zelk::WriteX3gFile(spool, dir.File("missing/out.x3g"), &error));
    EXPECT_NE(error.find("missing/out.x3g"), std::string::npos) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing/out.x3g")));

    zelk::X3gSpool again(options);
    std::vector<Package> list(500, move);
    for (const Package& p : list)
        ASSERT_TRUE(again.Add(p));
    ASSERT_TRUE(zelk::WriteX3gFile(again, dir.File("out.x3g"), &error)) << error;
    const std::string written = testsupport::ReadFile(dir.File("out.x3g"));
    const Bytes expected = StreamOf(list);
    EXPECT_EQ(Bytes(written.begin(), written.end()), expected);
    EXPECT_EQ(dir.EntryCount(), 1u);
}

}  // namespace
