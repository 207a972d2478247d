// The tools' numeric options: only a whole, finite number within the option's
// range is taken; everything else is refused in one line.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ToolOptions.h"
#include "ZELKMachineControl.h"

using tooloptions::Range;
using tooloptions::ReadDecimal;
using tooloptions::ReadSecondsAsMs;
using tooloptions::ReadWhole;

TEST(ToolOptions, DecimalRefusesWhatTheCLibraryWouldTake)
{
    // strtod takes all of these (or a part of them) as a number.
    for (const char* text : {"nan", "NaN", "-nan", "nan(0x1)", "inf", "-inf", "Infinity", "INF", "0x10", "0x1p3",
                             " 5", "5 ", "\t5", "5s", "5,0", "1e", "1e+", "e5", ".", "+", "-", "", "--5", "+-5",
                             "1.2.3", "1e999", "-1e999", "1e-999", "5\n"}) {
        EXPECT_FALSE(ReadDecimal(text).has_value()) << '"' << text << '"';
    }
}

TEST(ToolOptions, DecimalReadsTheWrittenForms)
{
    const std::pair<const char*, double> cases[] = {
        {"20", 20},       {"+20", 20},    {"0.05", 0.05},   {".5", 0.5},          {"5.", 5},
        {"1e3", 1000},    {"1E-3", 0.001}, {"-2.5", -2.5},  {"1e308", 1e308},     {"000.25", 0.25},
        {"2.2250738585072014e-308", 2.2250738585072014e-308},
    };
    for (const auto& [text, value] : cases) {
        const auto read = ReadDecimal(text);
        ASSERT_TRUE(read.has_value()) << text;
        EXPECT_EQ(*read, value) << text;
    }
    // Zero written with a sign is plain zero, and a zero with an exponent is no underflow.
    for (const char* text : {"-0", "-0.0", "+0", "0e999", "-0e-999"}) {
        const auto read = ReadDecimal(text);
        ASSERT_TRUE(read.has_value()) << text;
        EXPECT_EQ(*read, 0.0) << text;
        EXPECT_FALSE(std::signbit(*read)) << text;
    }
}

TEST(ToolOptions, RangesKeepTheirEnds)
{
    const Range positive{0, 10, true};
    for (const char* text : {"0", "-0", "0.0", "-1", "10.000001", "1e-400"})
        EXPECT_FALSE(ReadDecimal(text, positive).has_value()) << text;
    EXPECT_EQ(ReadDecimal("1e-300", positive), 1e-300);
    EXPECT_EQ(ReadDecimal("10", positive), 10.0);

    const Range inclusive{-1, 1};
    EXPECT_EQ(ReadDecimal("-1", inclusive), -1.0);
    EXPECT_EQ(ReadDecimal("1", inclusive), 1.0);
    EXPECT_FALSE(ReadDecimal("1.5", inclusive).has_value());
    EXPECT_FALSE(ReadDecimal("nan", inclusive).has_value());
}

TEST(ToolOptions, WholeNumbersAreDigitsAlone)
{
    for (const char* text : {"", "-0", "+1", "-1", "1.0", "1e3", " 1", "1 ", "0x10", "nan", "inf",
                             "99999999999999999999", "12a"}) {
        EXPECT_FALSE(ReadWhole(text, 0, 1000000000).has_value()) << '"' << text << '"';
    }
    EXPECT_EQ(ReadWhole("0", 0, 10), 0);
    EXPECT_EQ(ReadWhole("007", 0, 10), 7);
    EXPECT_EQ(ReadWhole("4294967295", 0, 0xFFFFFFFFLL), 0xFFFFFFFFLL);
    EXPECT_FALSE(ReadWhole("0", 1, 10).has_value());
    EXPECT_FALSE(ReadWhole("11", 1, 10).has_value());
}

TEST(ToolOptions, SecondsBecomeMillisecondsNeverShorterThanAsked)
{
    EXPECT_EQ(ReadSecondsAsMs("0.013", 13, 3600000), 13);  // 12.99999... ms in binary
    EXPECT_EQ(ReadSecondsAsMs("0.0131", 13, 3600000), 14);
    EXPECT_EQ(ReadSecondsAsMs("3600", 13, 3600000), 3600000);
    EXPECT_EQ(ReadSecondsAsMs("1e1", 1, 3600000), 10000);
    for (const char* text : {"0.0126", "0.001", "0", "-0", "-5", "3600.001", "1e999", "nan", "inf", "", "20s"})
        EXPECT_FALSE(ReadSecondsAsMs(text, 13, 3600000).has_value()) << '"' << text << '"';
    // The old reading made 0.0001 s a wait of 1 ms: now below any minimum.
    EXPECT_FALSE(ReadSecondsAsMs("0.0001", 1, 1000).has_value());
}

TEST(ToolOptions, RefusalIsOneLineThatSaysWhatIsExpected)
{
    EXPECT_EQ(tooloptions::Refusal("--heat-rate", "degrees per second above 0", "nan"),
              "--heat-rate needs degrees per second above 0, not 'nan'");
    const std::string garbled = tooloptions::Refusal("--seed", "a whole number", "1\n2\r3" + std::string(100, 'x'));
    EXPECT_EQ(garbled.find('\n'), std::string::npos) << garbled;
    EXPECT_EQ(garbled.find('\r'), std::string::npos) << garbled;
    EXPECT_LT(garbled.size(), 100u) << garbled;
    EXPECT_EQ(tooloptions::Shown(0.013), "0.013");
}

// The shortest reply wait covers the longest frame out and the longest reply
// back on the 115,200-baud line, and leaves room for the short waits the
// tools' own tests use.
TEST(ToolOptions, ShortestReplyWaitOutlastsTheLongestExchangeOnTheLine)
{
    const double frameOutS = (3 + 32) * 10 / 115200.0;  // a 32-byte payload
    const double positionReplyS = 26 * 10 / 115200.0;   // the longest reply the host reads
    EXPECT_GT(ZELKMachineControl::kMinReplyTimeoutMs / 1000.0, 1.5 * (frameOutS + positionReplyS));
    EXPECT_LE(ZELKMachineControl::kMinReplyTimeoutMs, 50);
}
