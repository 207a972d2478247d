// The start G-code editor: reading and rewriting the three managed lines.
#include <gtest/gtest.h>

#include <filesystem>

#include "FileSizeLimit.h"
#include "ProgramFolder.h"
#include "StartGCodeLines.h"
#include "TempDir.h"
#include "TranslatorFixture.h"
#include "ZELKStartGCodeOperater.h"

using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(StartGCodeLines, WordsAreMatchedAgainstThePattern)
{
    using zelk::ScanStartGCodeWord;
    EXPECT_EQ(ScanStartGCodeWord("M104 S220 T0", "M104 S%s T0"), "220");
    EXPECT_EQ(ScanStartGCodeWord("  M109 S110 T0  ", "M109 S%s T0"), "110");
    EXPECT_EQ(ScanStartGCodeWord("M104S220", "M104 S%s T0"), "220");
    EXPECT_EQ(ScanStartGCodeWord("M104   S 220 T1", "M104 S%s T0"), "220");
    EXPECT_EQ(ScanStartGCodeWord("M104 S", "M104 S%s T0"), "");
    EXPECT_EQ(ScanStartGCodeWord("M109 S220 T0", "M104 S%s T0"), "");
    EXPECT_EQ(ScanStartGCodeWord("G92 X-75 Y-75 Z130.5 A0 B0", "G92 X-75 Y-75 Z%s A0 B0"), "130.5");
    EXPECT_EQ(ScanStartGCodeWord("G92 X-70 Y-75 Z130.5 A0 B0", "G92 X-75 Y-75 Z%s A0 B0"), "");
    EXPECT_EQ(ScanStartGCodeWord("M104 S" + std::string(100, '9'), "M104 S%s T0"), std::string(80, '9'));
}

TEST(StartGCodeLines, CheckAcceptsOnlyReadableManagedLines)
{
    const std::vector<std::string> good = zelk::SplitStartGCodeText(kTestStartGCode);
    std::string reason = "stale";
    EXPECT_TRUE(zelk::CheckStartGCodeLines(good, reason));
    EXPECT_TRUE(reason.empty());

    auto with = [&good](std::size_t index, const std::string& line) {
        std::vector<std::string> lines = good;
        lines[index] = line;
        return lines;
    };
    struct Case {
        std::vector<std::string> lines;
        const char* reason;
    };
    const Case cases[] = {
        {{}, "line 1"},
        {{good[0], good[1], good[2]}, "line 10"},
        {zelk::SplitStartGCodeText(std::string("\x7f" "ELF\x02\x01\0\0\n\x90\xff\n", 12)), "line 1"},
        {with(0, "M104 Shot T0"), "line 1"},
        {with(0, "M104 S T0"), "line 1"},
        {with(0, "M104 S215"), "line 1"},
        {with(0, "M104 Sinf T0"), "line 1"},
        {with(0, "M104 S500 T0"), "line 1"},
        {with(1, "M109 S-1 T0"), "line 2"},
        {with(1, "M104 S105 T0"), "line 2"},
        {with(9, "G92 X-75 Y-75 Znan A0 B0"), "line 10"},
        {with(9, "G92 X-75 Y-75 Z120.0q A0 B0"), "line 10"},
        {with(9, "G92 X-70 Y-75 Z120.0 A0 B0"), "line 10"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(zelk::CheckStartGCodeLines(c.lines, reason)) << c.reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        EXPECT_EQ(reason.find('\n'), std::string::npos) << reason;
    }
    // White space as the editor and people write it still reads.
    EXPECT_TRUE(zelk::CheckStartGCodeLines(with(0, "  M104  S215\tT0 "), reason)) << reason;
}

TEST(StartGCodeLines, NumbersAndFormats)
{
    EXPECT_FLOAT_EQ(zelk::StartGCodeNumber("0.3"), 0.3f);
    EXPECT_EQ(zelk::StartGCodeNumber("210abc"), 210.0f);
    EXPECT_EQ(zelk::StartGCodeNumber(""), 0.0f);
    EXPECT_EQ(zelk::StartGCodeNumber("hot"), 0.0f);
    EXPECT_EQ(zelk::FormatStartZHeightLine(0.26), "G92 X-75 Y-75 Z0.3 A0 B0");
    EXPECT_EQ(zelk::FormatStartZHeightLine(135), "G92 X-75 Y-75 Z135.0 A0 B0");
    EXPECT_EQ(zelk::FormatExtruderTemperatureLine(205.7), "M104 S205 T0");
    EXPECT_EQ(zelk::FormatPlatformTemperatureLine(-3.9), "M109 S-3 T0");
    EXPECT_EQ(zelk::SplitStartGCodeText("a\r\n\r\n  \nb"), (std::vector<std::string>{"a", "  ", "b"}));
}

class StartGCodeFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& content)
    {
        WriteFile(m_dir.File("start.gcode"), content);
        return m_dir.File("start.gcode");
    }
    TempDir m_dir;
};

TEST_F(StartGCodeFileTest, ReadsTheManagedValues)
{
    ZELKStartGCodeOperater editor(Write(kTestStartGCode));
    EXPECT_TRUE(editor.IsLoaded());
    EXPECT_EQ(editor.GetExtrudeTemperature(), "215");
    EXPECT_EQ(editor.GetExtrudeHeaderPrintTemperature(), 215.0f);
    EXPECT_EQ(editor.GetPlateTemperature(), "105");
    EXPECT_EQ(editor.GetPlatformPrintTemperature(), 105.0f);
    EXPECT_EQ(editor.GetZAxisHeight(), "120.0");
    EXPECT_EQ(editor.GetExtrudeHeight(), 120.0f);
}

TEST_F(StartGCodeFileTest, SetRewritesOneLineAndDropsBlankLines)
{
    const std::string path = Write(std::string("M104 S215 T0\r\n\r\nM109 S105 T0\n") +
                                   "a\nb\nc\nd\ne\nf\n  \nG92 X-75 Y-75 Z120.0 A0 B0\ng\n");
    ZELKStartGCodeOperater editor(path);
    ASSERT_EQ(editor.SetStartGCodeData(205.7, StartGCode_ExtruderTemperature), 1);
    EXPECT_EQ(editor.GetExtrudeHeaderPrintTemperature(), 205.0f);
    const std::string once = ReadFile(path);
    EXPECT_EQ(once, "M104 S205 T0\nM109 S105 T0\na\nb\nc\nd\ne\nf\n  \nG92 X-75 Y-75 Z120.0 A0 B0\ng\n");

    ASSERT_EQ(editor.SetStartGCodeData(0.26, StartGCode_ZHeight), 1);
    EXPECT_FLOAT_EQ(editor.GetExtrudeHeight(), 0.3f);
    ASSERT_EQ(editor.SetStartGCodeData(110, StartGCode_PlatformTemperature), 1);
    EXPECT_EQ(editor.GetPlateTemperature(), "110");

    // A fresh editor reads back what was saved; saving again changes nothing.
    ZELKStartGCodeOperater again(path);
    EXPECT_EQ(again.GetZAxisHeight(), "0.3");
    const std::string before = ReadFile(path);
    ASSERT_EQ(again.SetStartGCodeData(110, StartGCode_PlatformTemperature), 1);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(m_dir.EntryCount(), 1u);
}

TEST_F(StartGCodeFileTest, ShortFilesHaveNoValuesAndAreNotChanged)
{
    const std::string path = Write("M104 S215 T0\nM109 S105 T0\nG21\n");
    ZELKStartGCodeOperater editor(path);
    EXPECT_EQ(editor.GetZAxisHeight(), "");
    EXPECT_EQ(editor.GetExtrudeHeight(), 0.0f);
    EXPECT_EQ(editor.SetStartGCodeData(1.5, StartGCode_ZHeight), 0);
    EXPECT_FALSE(editor.GetLastError().empty());
    EXPECT_EQ(ReadFile(path), "M104 S215 T0\nM109 S105 T0\nG21\n");
    EXPECT_EQ(editor.SetStartGCodeData(1.5, static_cast<OperateStartGCodeType>(7)), 0);

    ZELKStartGCodeOperater missing(m_dir.File("none.gcode"));
    EXPECT_FALSE(missing.IsLoaded());
    EXPECT_EQ(missing.GetExtrudeTemperature(), "");
    EXPECT_EQ(missing.SetStartGCodeData(200, StartGCode_ExtruderTemperature), 0);
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("none.gcode")));
}

TEST_F(StartGCodeFileTest, FailedSaveKeepsTheFileAndTheValue)
{
    const std::string path = Write(kTestStartGCode);
    // A full disk, made real by a file-size limit in a child process.
    const int result = testsupport::RunWithFileSizeLimit(16, [&] {
        ZELKStartGCodeOperater editor(path);
        const int saved = editor.SetStartGCodeData(250, StartGCode_ExtruderTemperature);
        const bool reported = editor.GetLastError().find("File too large") != std::string::npos;
        return saved == 0 && reported && editor.GetExtrudeTemperature() == "215" ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadFile(path), kTestStartGCode);
    EXPECT_EQ(m_dir.EntryCount(), 1u);
}

TEST(StartGCodeShipped, TheProgramFolderFileCarriesTheManagedLines)
{
    // The tests run from the build's program folder.
    ZELKStartGCodeOperater editor(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    ASSERT_TRUE(editor.IsLoaded());
    ASSERT_GE(editor.GetLines().size(), 10u);
    EXPECT_GT(editor.GetExtrudeHeaderPrintTemperature(), 150.0f);
    EXPECT_GT(editor.GetPlatformPrintTemperature(), 30.0f);
    EXPECT_GT(editor.GetExtrudeHeight(), 100.0f);
}

TEST(StartGCodeEditor, UsableOnlyWhenReadAndItsLinesPassTheCheck)
{
    TempDir dir;
    std::string reason;
    ZELKStartGCodeOperater missing(dir.File("none.gcode"));
    EXPECT_EQ(missing.IsStartGCodeUsable(reason), 0);
    EXPECT_NE(reason.find("none.gcode"), std::string::npos) << reason;

    WriteFile(dir.File("short.gcode"), "M104 S215 T0\nM109 S105 T0\nG21\n");
    ZELKStartGCodeOperater shortFile(dir.File("short.gcode"));
    EXPECT_EQ(shortFile.IsStartGCodeUsable(reason), 0);
    EXPECT_NE(reason.find("short.gcode"), std::string::npos) << reason;
    EXPECT_NE(reason.find("line 10"), std::string::npos) << reason;

    WriteFile(dir.File("good.gcode"), kTestStartGCode);
    ZELKStartGCodeOperater good(dir.File("good.gcode"));
    EXPECT_EQ(good.IsStartGCodeUsable(reason), 1) << reason;
    ZELKStartGCodeOperater shipped(zelk::ProgramFilePath(ZELKStartGCodeOperater::kRelativePath));
    EXPECT_EQ(shipped.IsStartGCodeUsable(reason), 1) << reason;
}

}  // namespace
