// Reading G-code files: comments in parentheses, line ends, blank lines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GCodeFile.h"
#include "TempDir.h"

namespace {

std::string Clean(std::string line)
{
    return std::string(zelk::CleanGCodeLine(line.data(), line.data() + line.size()));
}

std::vector<std::string> KeptLines(zelk::GCodeText& text)
{
    std::vector<std::string> lines;
    zelk::ForEachGCodeLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
    EXPECT_GE(zelk::CountGCodeLines(text), lines.size());
    return lines;
}

std::vector<std::string> Lines(const std::string& content)
{
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("f.gcode"), content);
    zelk::GCodeText text;
    EXPECT_TRUE(zelk::ReadGCodeText(dir.File("f.gcode"), text));
    EXPECT_EQ(text.size, content.size());
    return KeptLines(text);
}

TEST(CleanGCodeLine, CutsFromTheFirstOpeningToTheLastClosingParenthesis)
{
    EXPECT_EQ(Clean("G1 X1 (move) Y2"), "G1 X1  Y2");
    EXPECT_EQ(Clean("G1 (a) X1 (b) Y2"), "G1  Y2");
    EXPECT_EQ(Clean("(whole line)"), "");
    EXPECT_EQ(Clean("M104 S200 (hot"), "M104 S200 (hot");
    EXPECT_EQ(Clean("M104 ) S200 ("), "M104 ) S200 (");
    EXPECT_EQ(Clean("G1 X1 ; semicolon stays"), "G1 X1 ; semicolon stays");
    EXPECT_EQ(Clean(" \t G92 E0 \r"), "G92 E0");
    EXPECT_EQ(Clean("   "), "");
}

TEST(ReadGCodeText, HandlesLineEndsBlankLinesAndNoFinalNewline)
{
    EXPECT_EQ(Lines("G1 X1\r\nG1 X2\r\n\r\n   \r\n\tM17\t\r\nG1 X3"),
              (std::vector<std::string>{"G1 X1", "G1 X2", "M17", "G1 X3"}));
    EXPECT_EQ(Lines(""), std::vector<std::string>{});
    EXPECT_EQ(Lines("\n\n\n"), std::vector<std::string>{});
    EXPECT_EQ(Lines("(start)\nG1 X1 (fast)\n(end)"), std::vector<std::string>{"G1 X1"});
}

TEST(ReadGCodeText, ReadsLargeFilesWhole)
{
    std::string content;
    for (int i = 0; i < 100000; ++i)
        content += "G1 X" + std::to_string(i) + " (c)\n";
    const std::vector<std::string> lines = Lines(content);
    ASSERT_EQ(lines.size(), 100000u);
    EXPECT_EQ(lines.front(), "G1 X0");
    EXPECT_EQ(lines.back(), "G1 X99999");
}

TEST(ReadGCodeText, BlankLinesDoNotCountAsLinesToKeep)
{
    zelk::GCodeText text;
    const std::string content = std::string(100000, '\n') + " \t\r\nG1 X1\n  M17\r\n(c)\nT0";
    text.data.reset(new char[content.size()]);
    std::memcpy(text.data.get(), content.data(), content.size());
    text.size = content.size();
    EXPECT_EQ(zelk::CountNonBlankGCodeLines(text), 4u);
    EXPECT_EQ(KeptLines(text).size(), 3u);
    text.size = 0;
    EXPECT_EQ(zelk::CountNonBlankGCodeLines(text), 0u);
}

TEST(ReadGCodeText, RefusesMissingFilesAndFolders)
{
    testsupport::TempDir dir;
    zelk::GCodeText text;
    std::string error;
    EXPECT_FALSE(zelk::ReadGCodeText(dir.File("none.gcode"), text, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_NE(error.find("none.gcode"), std::string::npos);
    EXPECT_FALSE(zelk::ReadGCodeText(dir.Path().string(), text, &error));
    EXPECT_NE(error.find("Is a directory"), std::string::npos);
    EXPECT_EQ(text.size, 0u);
}

TEST(ReadGCodeText, ReadsFromPipes)
{
    // A stream whose size is unknown in advance, read in growing blocks.
    zelk::GCodeText text;
    ASSERT_TRUE(zelk::ReadGCodeText("/proc/self/status", text));
    const std::vector<std::string> lines = KeptLines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].substr(0, 5), "Name:");
}

}  // namespace

namespace {

std::vector<std::string> StreamLines(const std::string& path, std::string* error = nullptr)
{
    zelk::GCodeLineStream stream;
    std::vector<std::string> lines;
    if (!stream.Open(path)) {
        if (error != nullptr)
            *error = stream.Error();
        return lines;
    }
    std::string_view line;
    while (stream.Next(line)) {
        lines.emplace_back(line);
        EXPECT_EQ(stream.LineNumber(), lines.size());
    }
    if (error != nullptr)
        *error = stream.Error();
    return lines;
}

}  // namespace

// Lines across the borders of the blocks the stream reads, a line longer than
// a block, a last line without its newline: every line whole, once, in order.
TEST(GCodeLineStream, LinesComeWholeAcrossBlockBordersWhateverTheirLength)
{
    testsupport::TempDir dir;
    std::vector<std::string> expected;
    std::string text;
    std::size_t k = 0;
    while (text.size() < 3 * zelk::GCodeLineStream::kBlockBytes + 12345) {
        std::string line = "G1 X" + std::to_string(k % 1000) + " Y" + std::to_string(k * 7 % 997) + " E0." +
                           std::to_string(k);
        if (k == 4000)
            line = "; " + std::string(zelk::GCodeLineStream::kBlockBytes + 100, 'x');  // longer than a block
        if (k % 5 == 0)
            line += "\r";
        expected.push_back(line);
        text += line + "\n";
        ++k;
    }
    expected.push_back("M84 ; the last line, no newline");
    text += expected.back();
    testsupport::WriteFile(dir.File("big.gcode"), text);
    EXPECT_EQ(StreamLines(dir.File("big.gcode")), expected);

    testsupport::WriteFile(dir.File("empty.gcode"), "");
    EXPECT_TRUE(StreamLines(dir.File("empty.gcode")).empty());
    testsupport::WriteFile(dir.File("blank.gcode"), "\n\n");
    EXPECT_EQ(StreamLines(dir.File("blank.gcode")), (std::vector<std::string>{"", ""}));

    std::string error;
    EXPECT_TRUE(StreamLines(dir.File("none.gcode"), &error).empty());
    EXPECT_NE(error.find("none.gcode"), std::string::npos) << error;
    EXPECT_TRUE(StreamLines(dir.Path().string(), &error).empty());
    EXPECT_NE(error.find("Is a directory"), std::string::npos) << error;
}

TEST(ReadGCodeEnds, TheHeadAndTheTailOfAFile)
{
    testsupport::TempDir dir;
    std::string head, tail, error;
    testsupport::WriteFile(dir.File("small.gcode"), "G1 X1\n; gcode_flavor = marlin2\n");
    ASSERT_TRUE(zelk::ReadGCodeEnds(dir.File("small.gcode"), 64, 256, head, tail, &error)) << error;
    EXPECT_EQ(head, "G1 X1\n; gcode_flavor = marlin2\n");
    EXPECT_EQ(tail, "");
    const std::string big = "HEAD" + std::string(10000, '\n') + "TAIL";
    testsupport::WriteFile(dir.File("big.gcode"), big);
    ASSERT_TRUE(zelk::ReadGCodeEnds(dir.File("big.gcode"), 64, 256, head, tail, &error)) << error;
    EXPECT_EQ(head, big.substr(0, 64));
    EXPECT_EQ(tail, big.substr(big.size() - 256));
    EXPECT_FALSE(zelk::ReadGCodeEnds(dir.File("none.gcode"), 64, 256, head, tail, &error));
    EXPECT_NE(error.find("none.gcode"), std::string::npos);
}
