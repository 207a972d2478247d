// One line of G-code as any slicer writes it: words in any order and case, comments, line numbers and checksums.
#include <gtest/gtest.h>

#include <string>

#include "GCodeLine.h"

using zelk::gcode::GCodeLine;
using zelk::gcode::ReadGCodeLine;

namespace {

GCodeLine Read(const std::string& text)
{
    GCodeLine line;
    std::string error;
    EXPECT_TRUE(ReadGCodeLine(text, line, error)) << text << ": " << error;
    return line;
}

std::string Refusal(const std::string& text)
{
    GCodeLine line;
    std::string error;
    EXPECT_FALSE(ReadGCodeLine(text, line, error)) << text;
    return error;
}

// The checksum a sender writes: the XOR of the bytes before the "*".
std::string WithChecksum(const std::string& text)
{
    unsigned sum = 0;
    for (const char c : text)
        sum ^= static_cast<unsigned char>(c);
    return text + "*" + std::to_string(sum);
}

TEST(GCodeLineRead, WordsInAnyOrderCaseAndSpacing)
{
    for (const char* text : {"G1 X10 Y-2.5 E.3 F1200", "g1 f1200 e0.3 y-2.5 x10", "G1X10Y-2.5E.3F1200",
                             "  G1\tX+10  Y-2.50  E0.300 F1200.\r", "\xEF\xBB\xBFG1 X10 Y-2.5 E0.3 F1200"}) {
        const GCodeLine line = Read(text);
        EXPECT_EQ(line.letter, 'G') << text;
        EXPECT_EQ(line.code, 1) << text;
        EXPECT_DOUBLE_EQ(line.Value('X'), 10) << text;
        EXPECT_DOUBLE_EQ(line.Value('Y'), -2.5) << text;
        EXPECT_DOUBLE_EQ(line.Value('E'), 0.3) << text;
        EXPECT_DOUBLE_EQ(line.Value('F'), 1200) << text;
        EXPECT_FALSE(line.Has('Z')) << text;
    }
    // No exponents in G-code: the E after a number is the next word.
    const GCodeLine packed = Read("G1X10E5");
    EXPECT_DOUBLE_EQ(packed.Value('X'), 10);
    EXPECT_DOUBLE_EQ(packed.Value('E'), 5);
    EXPECT_DOUBLE_EQ(Read("G1 X0.1234567890123456789").Value('X'), 0.1234567890123456789);
    EXPECT_DOUBLE_EQ(Read("G1 X-000123.4500").Value('X'), -123.45);
    EXPECT_EQ(Read("G1 X0.1").Value('X'), 0.1);  // correctly rounded, as the compiler reads it
    const GCodeLine home = Read("G28 X Y ; home X and Y");
    EXPECT_TRUE(home.Has('X') && home.Has('Y'));
    EXPECT_FALSE(home.Has('Z'));
    EXPECT_EQ(Read("M862.3 P \"MK3S\"").Name().substr(0, 6), "M862.3");
    EXPECT_EQ(Read("T0").Name(), "T0");
    EXPECT_EQ(Refusal("M862.3 P \"MK3S"), "a quoted text that is never closed");
}

TEST(GCodeLineRead, CommentsAreNoWords)
{
    EXPECT_TRUE(Read("; a whole comment G1 X5").Empty());
    EXPECT_TRUE(Read("(a whole comment)").Empty());
    EXPECT_TRUE(Read("").Empty());
    const GCodeLine line = Read("G1 (inline X99) X5 ; trailing Y7");
    EXPECT_DOUBLE_EQ(line.Value('X'), 5);
    EXPECT_FALSE(line.Has('Y'));
    EXPECT_NE(Refusal("G1 X5 (never closed"), "");
}

TEST(GCodeLineRead, LineNumbersAndChecksums)
{
    const GCodeLine good = Read(WithChecksum("N42 G1 X5 Y6") + " ; a comment");
    EXPECT_TRUE(good.numbered);
    EXPECT_EQ(good.lineNumber, 42);
    EXPECT_DOUBLE_EQ(good.Value('Y'), 6);
    EXPECT_FALSE(good.Has('N'));

    std::string bad = WithChecksum("N43 G1 X5 Y6");
    bad[bad.find("X5")] = 'Y';  // one byte changed on the way
    EXPECT_NE(Refusal(bad).find("checksum"), std::string::npos);
    EXPECT_NE(Refusal("N1 G1 X5*abc").find("checksum"), std::string::npos);
    EXPECT_NE(Refusal(WithChecksum("N1 G1 X5") + " G1 X6"), "");
}

TEST(GCodeLineRead, NumbersThatDoNotReadRefuseTheLine)
{
    EXPECT_NE(Refusal("G1 X1.2.3"), "");
    EXPECT_NE(Refusal("G1 X1-"), "");
    EXPECT_NE(Refusal("G1 X=5"), "");
    EXPECT_NE(Refusal("G1 Xnan"), "");
    EXPECT_NE(Refusal("G1 X" + std::string(400, '9')), "");
    EXPECT_NE(Refusal("G1 X-inf"), "");
    // Command and line numbers beyond any int are refused, not cast.
    EXPECT_NE(Refusal("M" + std::string(40, '8') + " S1").find("out of range"), std::string::npos);
    EXPECT_NE(Refusal("N" + std::string(40, '9') + " G1 X1").find("out of range"), std::string::npos);
    EXPECT_NE(Refusal("G1 X1*999").find("checksum"), std::string::npos);
    // The command read before the fault is kept, so the caller can tell a
    // command it translates from one it leaves out.
    GCodeLine line;
    std::string error;
    EXPECT_FALSE(ReadGCodeLine("M23 print.gco", line, error));
    EXPECT_EQ(line.Name(), "M23");
}

TEST(GCodeLineRead, TheDisplayMessageKeepsItsText)
{
    EXPECT_EQ(Read("M117 Printing layer 3; of 40").text, "Printing layer 3");
    EXPECT_EQ(Read("m117 X Y Z  ").text, "X Y Z");
    EXPECT_EQ(Read("M117").text, "");
}

}  // namespace
