// G-code lines to S3G packages: moves, set-position, homing, M codes, whole files.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "MachinePackages.h"
#include "TranslatorFixture.h"

namespace {

using Bytes = std::vector<unsigned char>;

TEST_F(TranslatorTest, FiveWordMoveFromTheOrigin)
{
    Package p = MustTranslate("G1 X10 Y5 Z0 F3000");
    EXPECT_EQ(FrameBytes(p), (Bytes{0xD5, 0x20, 0x9B, 0xCD, 0x02, 0, 0, 0x66, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    0, 0, 0, 0, 0x86, 0x0C, 0, 0, 0x18, 0xAC, 0xE2, 0x32, 0x41, 0x80, 0x0C,
                                    p.data[34]}));
    Move m = DecodeMove(p);
    EXPECT_EQ(m.x, 717);
    EXPECT_EQ(m.y, 358);
    EXPECT_EQ(m.dda, 3206);
    EXPECT_EQ(m.flags, 24);
    EXPECT_EQ(m.feed, 3200);
    EXPECT_FLOAT_EQ(m.distance, 11.18034f);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 3000);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_X(), 10);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_Y(), 5);
}

TEST_F(TranslatorTest, FeedrateOnlyLineSetsTheFeedrateWithoutAPackage)
{
    Package p;
    EXPECT_EQ(Line("G1 F1200", p), 0);
    EXPECT_EQ(p.size, 0);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 1200);
}

TEST_F(TranslatorTest, ThreeWordMoveKeepsTheOtherAxesAndTheExtruder)
{
    SetPosition(0, 5, 0.3, 5);
    Move m = DecodeMove(MustTranslate("G1 X10 F3000"));
    EXPECT_EQ(m.x, 717);
    EXPECT_EQ(m.y, 358);
    EXPECT_EQ(m.z, 22);  // floor(0.3f * 71.699959 + 0.5)
    EXPECT_EQ(m.a, 0);
    const CPoint5D p = m_machine.getCurrentPosition();
    EXPECT_EQ(p.Axis_X(), 10);
    EXPECT_EQ(p.Axis_A(), 5);
    EXPECT_FLOAT_EQ(static_cast<float>(p.Axis_Z()), 0.3f);

    m = DecodeMove(MustTranslate("G1 Z0.5 F600"));
    EXPECT_EQ(m.x, 717);
    EXPECT_EQ(m.z, 36);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 600);
}

TEST_F(TranslatorTest, MoveToTheCurrentPositionChangesNothing)
{
    SetPosition(1, 2, 3, 4);
    m_machine.SetCurrentFeedrate(100);
    Package p;
    EXPECT_EQ(Line("G1 X1 Y2 Z3 F100 E4", p), 0);
    EXPECT_EQ(p.size, 0);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_A(), 4);
}

TEST_F(TranslatorTest, ExtruderOnlyMoveUsesTheFilamentLength)
{
    SetPosition(1, 2, 3, 0);
    m_machine.SetCurrentFeedrate(1200);
    Move m = DecodeMove(MustTranslate("G1 E2"));
    EXPECT_EQ(m.distance, 2.0f);
    EXPECT_EQ(m.a, -201);  // floor(-2 * 100.470955 + 0.5): extrusion is negative A
    EXPECT_EQ(m.x, 72);
    // minutes = 2 / 1200; dda = 1e6 / (minutes * 6e7 / 201)
    EXPECT_EQ(m.dda, static_cast<int>(1000000.0 / ((2.0 / 1200.0) * 60000000.0 / 201.0)));
    EXPECT_EQ(m.feed, 1280);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_A(), 2);

    // Retracting gives positive A steps.
    m = DecodeMove(MustTranslate("G1 E1.5"));
    EXPECT_EQ(m.a, 50);
}

TEST_F(TranslatorTest, FeedrateIsLimitedOnEachAxis)
{
    // Z alone at 3000 is held to the Z limit of 1170.
    Move m = DecodeMove(MustTranslate("G1 Z150 F3000"));
    EXPECT_EQ(m.feed, static_cast<int>(1170.0 / 60 * 64));
    // X and Y alone are held to 5000.
    m = DecodeMove(MustTranslate("G1 X100 F9000"));
    EXPECT_EQ(m.feed, static_cast<int>(5000.0 / 60 * 64));
    m = DecodeMove(MustTranslate("G1 Y-100 F9000"));
    EXPECT_EQ(m.feed, static_cast<int>(5000.0 / 60 * 64));
    // A diagonal XY move at 6000: each axis moves at 6000/sqrt(2) < 5000, no limit.
    m = DecodeMove(MustTranslate("G1 X0 Y-200 Z150 F6000"));
    EXPECT_EQ(m.feed, 6000 / 60 * 64);
    // The extruder alone is held to 1600.
    m = DecodeMove(MustTranslate("G1 E10"));
    EXPECT_EQ(m.feed, static_cast<int>(1600.0 / 60 * 64));
}

TEST_F(TranslatorTest, MixedMoveLimitsByTheAxisThatWouldExceed)
{
    // X 10, Z 10 at 3000: Z would run at 3000/sqrt(2) = 2121 > 1170, so
    // F = 1170 * sqrt(200) / 10.
    Move m = DecodeMove(MustTranslate("G1 X10 Y0 Z10 F3000"));
    const double expected = 1170.0 * std::sqrt(200.0) / 10.0;
    EXPECT_EQ(m.feed, static_cast<int>(expected / 60 * 64));
}

TEST_F(TranslatorTest, NoFeedrateYetUsesTheLargestLimit)
{
    ASSERT_EQ(m_machine.GetCurrentFeedrate(), 0);
    Move m = DecodeMove(MustTranslate("G1 X30 F0"));
    EXPECT_EQ(m.feed, static_cast<int>(5000.0 / 60 * 64));
}

TEST_F(TranslatorTest, StepsRoundHalfUpIncludingNegativeValues)
{
    // -0.007 mm is -0.5019 steps: floor(-0.0019) = -1, not 0 as truncation would give.
    EXPECT_EQ(DecodeMove(MustTranslate("G1 X-0.007 Y0 Z0 F3000")).x, -1);
    // -0.00697 mm is -0.49975 steps: floor(0.00025) = 0.
    EXPECT_EQ(DecodeMove(MustTranslate("G1 X-0.00697 Y0 Z0 F3000")).x, 0);
}

TEST_F(TranslatorTest, ValuesAreReadInSinglePrecision)
{
    // 17.371 as a float is 17.3710003; in steps 1245.50 rounds to 1246
    // (the double 17.371 would give 1245.49997 and 1245).
    EXPECT_EQ(DecodeMove(MustTranslate("G1 X17.371 Y0 Z0 F3000")).x, 1246);
    EXPECT_EQ(DecodeMove(MustTranslate("G1 X35.795 Y0 Z0 F3000")).x, 2566);
}

TEST_F(TranslatorTest, SixWordMoveReadsEveryWord)
{
    SetPosition(0, 0, 0.3, 1);
    m_machine.SetCurrentFeedrate(500);
    Move m = DecodeMove(MustTranslate("G1 X1 Y2 Z0.3 F1800 E1.25"));
    EXPECT_EQ(m.x, 72);
    EXPECT_EQ(m.y, 143);
    EXPECT_EQ(m.a, static_cast<int>(std::floor(-0.25 * 100.470955 + 0.5)));
    EXPECT_EQ(m.feed, 1800 / 60 * 64);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 1800);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_A(), 1.25);
}

TEST_F(TranslatorTest, ShapesReadByLetterNeverInventACoordinate)
{
    Package p;
    SetPosition(1, 2, 3, 4);
    m_machine.SetCurrentFeedrate(600);
    // A lone X word moves X only (not everything to the origin).
    Move m = DecodeMove(MustTranslate("G1 X10"));
    EXPECT_EQ(m.x, 717);
    EXPECT_EQ(m.y, 143);
    EXPECT_EQ(m.z, 215);
    EXPECT_EQ(m.a, 0);
    // E with F: an extruder move at that feedrate.
    m = DecodeMove(MustTranslate("G1 E5 F300"));
    EXPECT_EQ(m.x, 717);
    EXPECT_EQ(m.a, static_cast<int>(std::floor(-1 * 100.470955 + 0.5)));
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 300);
    // Four words: the named axes move, Z and A stay; the F word changes
    // nothing, the move runs at the feedrate already set.
    m = DecodeMove(MustTranslate("G1 X5 Y6 F1000"));
    EXPECT_EQ(m.x, 358);
    EXPECT_EQ(m.y, 430);
    EXPECT_EQ(m.z, 215);
    EXPECT_EQ(m.a, 0);
    EXPECT_EQ(m.feed, 300 * 64 / 60);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 300);
    // Seven words, any order; unknown words are ignored, and so is F.
    m = DecodeMove(MustTranslate("G1 E6 Z2 T0 Y7 X8 F900"));
    EXPECT_EQ(m.x, 574);
    EXPECT_EQ(m.z, 143);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_A(), 6);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 300);
    EXPECT_EQ(Line("G1 X8 Y7 Z2 E6 T0 F900 Q1", p), 0);
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 300);
    // Nothing named, nothing moves.
    EXPECT_EQ(Line("G1", p), 0);
    EXPECT_EQ(Line("G1 Q5", p), 0);
    EXPECT_EQ(Line("G1 X", p), 0);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_X(), 8);
}

TEST_F(TranslatorTest, SetPositionWithStartHeightAndTruncation)
{
    Package p = MustTranslate("G92 X-75 Y-75 Z130 A0 B0");
    EXPECT_EQ(p.Payload()[0], 140);
    EXPECT_EQ(Int32At(p, 1), -5376);  // truncate(-5377.497 + 0.5), toward zero
    EXPECT_EQ(Int32At(p, 5), -5376);
    EXPECT_EQ(Int32At(p, 9), 8604);   // the start G-code's 120 mm, not 130
    EXPECT_EQ(Int32At(p, 13), 0);
    EXPECT_EQ(Int32At(p, 17), 0);
    const CPoint5D pos = m_machine.getCurrentPosition();
    EXPECT_EQ(pos.Axis_X(), -75);
    EXPECT_EQ(pos.Axis_Z(), 120);

    // A height of at most 1 mm is taken as written.
    p = MustTranslate("G92 X0 Y0 Z0.5 A0 B0");
    EXPECT_EQ(Int32At(p, 9), 36);
    EXPECT_FLOAT_EQ(static_cast<float>(m_machine.getCurrentPosition().Axis_Z()), 0.5f);
}

TEST_F(TranslatorTest, SetPositionOfTheExtruderKeepsTheGantry)
{
    SetPosition(10, -20, 0.3, 55.5);
    Package p = MustTranslate("G92 E0");
    EXPECT_EQ(Int32At(p, 1), 717);
    EXPECT_EQ(Int32At(p, 5), -1433);  // truncate(-1433.999 + 0.5)
    EXPECT_EQ(Int32At(p, 9), 22);
    EXPECT_EQ(Int32At(p, 13), 0);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_A(), 0);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_X(), 10);

    p = MustTranslate("G92 E2");
    EXPECT_EQ(Int32At(p, 13), 201);

    // G92 Z alone takes the start height; A keeps the current filament.
    p = MustTranslate("G92 Z7");
    EXPECT_EQ(Int32At(p, 9), 8604);
    EXPECT_EQ(Int32At(p, 13), 201);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_Z(), 120);
}

TEST_F(TranslatorTest, SetPositionOfOtherShapesKeepsTheCallersPackage)
{
    Package sentinel = zelk::IsFinishedPackage();
    Package p = sentinel;
    EXPECT_EQ(m_parser.GetGCodeCommandPackage(std::string("G92 X1"), p), 1);
    EXPECT_EQ(p, sentinel);
    EXPECT_EQ(m_parser.GetGCodeCommandPackage(std::string("G92 X1 Y2 Z3"), p), 1);
    EXPECT_EQ(p, sentinel);
    EXPECT_EQ(m_machine.getCurrentPosition().Axis_X(), 0);
}

TEST_F(TranslatorTest, HomingIntervalsMasksAndTimeout)
{
    Package p = MustTranslate("G162 Z F450");
    EXPECT_EQ(p.Payload()[0], 132);
    EXPECT_EQ(p.Payload()[1], 4);
    EXPECT_EQ(Int32At(p, 2), 1859);
    EXPECT_EQ(Int16At(p, 6), 20);

    p = MustTranslate("G161 X Y F2500");
    EXPECT_EQ(p.Payload()[0], 131);
    EXPECT_EQ(p.Payload()[1], 3);
    EXPECT_EQ(Int32At(p, 2), 334);
    EXPECT_EQ(MustTranslate("G161 X F2500").Payload()[1], 1);
    EXPECT_EQ(MustTranslate("G161 Y F2500").Payload()[1], 2);
    EXPECT_EQ(MustTranslate("G161 Z F2500").Payload()[1], 0);
    p = MustTranslate("G161 X Y Z F2500");
    EXPECT_EQ(p.Payload()[1], 0);
    EXPECT_EQ(Int32At(p, 2), 0);
    EXPECT_EQ(Int32At(MustTranslate("G162 Z"), 2), 0);
    EXPECT_EQ(Int32At(MustTranslate("G162 Z Q1"), 2), 0);
}

TEST_F(TranslatorTest, HomingWithAZeroFeedrateHasNoInterval)
{
    EXPECT_EQ(Int32At(MustTranslate("G162 Z F0"), 2), 0);
    EXPECT_EQ(Int32At(MustTranslate("G161 X F0.9"), 2), 0);
    EXPECT_EQ(Int32At(MustTranslate("G161 X Y F-0.5"), 2), 0);
    // A negative feedrate keeps its sign, as the rule computes it.
    EXPECT_EQ(Int32At(MustTranslate("G162 Z F-450"), 2), -1859);
}

TEST_F(TranslatorTest, DwellIsAFixedExtruderPrime)
{
    Package p = MustTranslate("G4 P500");
    EXPECT_EQ(p, ZELKMachineCodeBuild::GetPackage(
                     142, {{3, 0}, {3, 0}, {3, 0}, {3, -2400}, {3, 0}, {3, 15000000}, {1, 31}}));
}

TEST_F(TranslatorTest, EveryMCodeOfTheTable)
{
    using ZELKMachineCodeBuild::GetPackage;
    EXPECT_EQ(MustTranslate("M6 T0"), zelk::ChangeToolPackage());
    EXPECT_EQ(MustTranslate("M17"), zelk::EnableAllAxesPackage());
    EXPECT_EQ(FrameBytes(MustTranslate("M18")), FrameBytes(GetPackage(137, {{1, 31}})));
    EXPECT_EQ(MustTranslate("M18"), GetPackage(137, {{1, 31}}));
    EXPECT_EQ(MustTranslate("M73 P42"), GetPackage(150, {{1, 42}, {1, 255}}));
    EXPECT_EQ(MustTranslate("M73"), GetPackage(150, {{1, 0}, {1, 255}}));
    EXPECT_EQ(MustTranslate("M101"), GetPackage(137, {{1, 136}}));
    EXPECT_EQ(MustTranslate("M102"), zelk::ExtruderMotorPackage());
    EXPECT_EQ(MustTranslate("M103"), GetPackage(137, {{1, 8}}));
    EXPECT_EQ(FrameBytes(MustTranslate("M104 S230 T0")),
              (Bytes{0xD5, 0x06, 0x88, 0x00, 0x03, 0x02, 0xE6, 0x00,
                     CPacketBuilder::CaculateCRC_8C(Bytes{0x88, 0x00, 0x03, 0x02, 0xE6, 0x00}.data(), 0, 6)}));
    EXPECT_EQ(MustTranslate("M109 S110 T0"), GetPackage(136, {{1, 0}, {1, 31}, {1, 2}, {2, 110}}));
    EXPECT_EQ(MustTranslate("M104 S400"), GetPackage(136, {{1, 0}, {1, 3}, {1, 2}, {2, 400}}));
    EXPECT_EQ(MustTranslate("M109 S0 T0"), GetPackage(136, {{1, 0}, {1, 31}, {1, 2}, {2, 0}}));

    Package p;
    EXPECT_EQ(Line("M1", p), 0);
    EXPECT_EQ(p, zelk::IsFinishedPackage());
    for (const char* silent : {"M105", "M108 R2.5", "M999", "G28", "G21", "XG1", "M", "TM5"}) {
        EXPECT_EQ(Line(silent, p), 0) << silent;
        EXPECT_EQ(p.size, 0) << silent;
    }
}

TEST_F(TranslatorTest, LinesWithoutGOrMKeepTheCallersPackage)
{
    Package sentinel = zelk::ChangeToolPackage();
    for (const char* line : {"T0", "S100", "g1 x10", ";layer 2"}) {
        Package p = sentinel;
        EXPECT_EQ(m_parser.GetGCodeCommandPackage(std::string(line), p), 1) << line;
        EXPECT_EQ(p, sentinel) << line;
    }
    Package p;
    EXPECT_EQ(Line("", p), 0);
    EXPECT_EQ(Line("    ", p), 0);
}

TEST_F(TranslatorTest, FileTemperaturesComeFromTheStartGCode)
{
    std::vector<Package> list = File("M104 S200 T0\nM109 S60 T0\nM104 S190 T0\nM109 S50 T0\n");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(Int16At(list[0], 4), 215);
    EXPECT_EQ(Int16At(list[1], 4), 105);
    EXPECT_EQ(Int16At(list[2], 4), 190);  // the flags are used once
    EXPECT_EQ(Int16At(list[3], 4), 50);

    // Only the first two kept lines arm the flags; comment-only lines do not count.
    list = File("(header)\n\nG21\nM104 S200 T0\nM109 S60 T0\n");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(Int16At(list[0], 4), 200);
    EXPECT_EQ(Int16At(list[1], 4), 60);
}

TEST_F(TranslatorTest, WaitForToolGoesAtIndexTwelveOfLongLists)
{
    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "M17\n";
    std::vector<Package> list = File(twelve + "M105\nG28\n");
    EXPECT_EQ(list.size(), 12u);

    list = File(twelve + "M18\n");
    ASSERT_EQ(list.size(), 14u);
    EXPECT_EQ(list[11], zelk::EnableAllAxesPackage());
    EXPECT_EQ(list[12], zelk::WaitForToolPackage());
    EXPECT_EQ(list[13], ZELKMachineCodeBuild::GetPackage(137, {{1, 31}}));
}

TEST_F(TranslatorTest, FileKeepsEmptyPackagesAndDropsSilentLines)
{
    std::vector<Package> list = File("T0\nM105\nG1 F1200\n(only a comment)\nM17 (enable)\r\nM1\n");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].size, 0);
    EXPECT_EQ(list[1], zelk::EnableAllAxesPackage());
    EXPECT_EQ(m_machine.GetCurrentFeedrate(), 1200);
}

TEST_F(TranslatorTest, PositionCarriesFromOneFileToTheNext)
{
    File("G1 X10 Y0 Z0 F3000\n");
    std::vector<Package> list = File("G1 X10 Y0 Z0 F3000\nG1 X11 Y0 Z0 F3000\n");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(DecodeMove(list[0]).x, 789);
}

TEST_F(TranslatorTest, UnreadableFileGivesAnEmptyListAndAReason)
{
    zelk::PrintList list = m_parser.FileParser(m_dir.File("missing.gcode").c_str());
    EXPECT_TRUE(list.empty());
    EXPECT_NE(m_parser.LastFileError().find("missing.gcode"), std::string::npos);
    File("M17\n");
    EXPECT_TRUE(m_parser.LastFileError().empty());
}

TEST_F(TranslatorTest, LinesWithABadNumberAreSkippedWithoutTouchingPositionOrFeedrate)
{
    SetPosition(1, 2, 3, 502);
    m_machine.SetCurrentFeedrate(600);
    const char* const kBad[] = {
        // Not finite, or beyond the ranges, in every G1 shape.
        "G1 Xinf Y0 Z0 F3000", "G1 X1e39 Y0 Z0 F3000", "G1 X1 Y2 Z3 Fnan", "G1 X1 Y2 Z3 F3000 E-nan",
        "G1 X10001 Y0 Z0 F3000", "G1 X1 Y2 Z3 F3000 E2000000", "G1 Fnan", "G1 F-5", "G1 F200000", "G1 Einf",
        "G1 X-1e5", "G1 X10 Finf", "G1 Z2 F-1", "G1 X1 Y2 Fnan", "G1 E5 Z2 T0 Y7 Xinf F900",
        // Unreadable words: Z would go to 0, E to 0 (a 502 mm retraction).
        "G1 X1 Y2 Zq F3000", "G1 X1 Y2 Z3 F3000 E", "G1 Xq Y2 Z3 F3000", "G1 X", "G1 Fq", "G1 X5 F",
        // Five or six words in another order.
        "G1 Y2 X1 Z3 F3000", "G1 X1 Y2 Z3 E4 F3000",
        // Set-position and temperatures.
        "G92 Xinf Y0 Z0 A0 B0", "G92 X0 Yq Z0 A0 B0", "G92 Enan", "G92 E", "M104 S70000", "M104 S-1",
        "M104 Sx", "M104", "M109 S251 T0",
    };
    std::size_t expected = 0;
    for (const char* line : kBad) {
        Package p;
        EXPECT_EQ(Line(line, p), 0) << line;
        EXPECT_EQ(p.size, 0) << line;
        EXPECT_EQ(m_parser.GetSkippedLineCount(), ++expected) << line;
        const CPoint5D at = m_machine.getCurrentPosition();
        EXPECT_EQ(at.Axis_X(), 1) << line;
        EXPECT_EQ(at.Axis_Y(), 2) << line;
        EXPECT_EQ(at.Axis_Z(), 3) << line;
        EXPECT_EQ(at.Axis_A(), 502) << line;
        EXPECT_EQ(m_machine.GetCurrentFeedrate(), 600) << line;
    }
    // The edges of the ranges still translate.
    for (const char* line : {"G1 X10000 Y-10000 Z0 F100000", "G1 E-1e6", "G1 F0", "G92 E1e6", "M109 S250"}) {
        Package p;
        Line(line, p);
        EXPECT_EQ(m_parser.GetSkippedLineCount(), expected) << line;
    }
}

TEST_F(TranslatorTest, FileOutcomeCountsMovesAndSkippedLines)
{
    const std::string path = m_dir.File("print.gcode");
    testsupport::WriteFile(path, "M17\nG1 X1 Y0 Z0 F3000\nG1 Xinf Y0 Z0 F3000\nG1 E2\nM104 S999\nG1 F1200\n");
    zelk::GCodeFileOutcome outcome;
    zelk::PrintList list = m_parser.FileParser(path.c_str(), outcome);
    EXPECT_TRUE(outcome.read);
    EXPECT_TRUE(outcome.IsUsable());
    EXPECT_TRUE(outcome.reason.empty()) << outcome.reason;
    EXPECT_EQ(outcome.moveCount, 2u);
    EXPECT_EQ(outcome.skippedLineCount, 2u);
    EXPECT_EQ(m_parser.GetSkippedLineCount(), 2u);
    EXPECT_EQ(list.size(), 3u);
    EXPECT_EQ(m_parser.LastFileOutcome().moveCount, 2u);

    // The count starts afresh with every file.
    File("G1 X2 Y0 Z0 F3000\n");
    EXPECT_EQ(m_parser.GetSkippedLineCount(), 0u);
    EXPECT_EQ(m_parser.LastFileOutcome().skippedLineCount, 0u);
    EXPECT_EQ(m_parser.LastFileOutcome().moveCount, 1u);
}

TEST_F(TranslatorTest, FilesThatCannotBeReadOrHoldNoMoveAreNotUsable)
{
    struct Case {
        const char* name;
        std::string content;  // empty name: not written
        bool read;
        const char* reason;
    };
    const Case cases[] = {
        {"missing.gcode", "", false, "No such file"},
        {"empty.gcode", "\n", true, "no move"},
        {"comments.gcode", "(only)\n(comments)\n\n", true, "no move"},
        {"binary.gcode", std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\n\x90\x90", 15), true, "no move"},
        {"nomove.gcode", "M104 S200 T0\nG92 E0\nG1 F1200\nG1 X0 Y0 Z0 F100\n", true, "no move"},
    };
    for (const Case& c : cases) {
        const std::string path = m_dir.File(c.name);
        if (c.read)
            testsupport::WriteFile(path, c.content);
        zelk::GCodeFileOutcome outcome;
        m_parser.FileParser(path.c_str(), outcome);
        EXPECT_EQ(outcome.read, c.read) << c.name;
        EXPECT_FALSE(outcome.IsUsable()) << c.name;
        EXPECT_EQ(outcome.moveCount, 0u) << c.name;
        EXPECT_NE(outcome.reason.find(c.name), std::string::npos) << outcome.reason;
        EXPECT_NE(outcome.reason.find(c.reason), std::string::npos) << outcome.reason;
        EXPECT_EQ(outcome.reason.find('\n'), std::string::npos) << outcome.reason;
    }

    zelk::GCodeFileOutcome outcome;
    m_parser.FileParser(m_dir.Path().string().c_str(), outcome);
    EXPECT_FALSE(outcome.read);
    EXPECT_NE(outcome.reason.find("Is a directory"), std::string::npos) << outcome.reason;

    if (::geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the superuser";
    const std::string locked = m_dir.File("locked.gcode");
    testsupport::WriteFile(locked, "G1 X1 Y0 Z0 F3000\n");
    ::chmod(locked.c_str(), 0);
    m_parser.FileParser(locked.c_str(), outcome);
    EXPECT_FALSE(outcome.read);
    EXPECT_NE(outcome.reason.find("Permission denied"), std::string::npos) << outcome.reason;
}

}  // namespace
