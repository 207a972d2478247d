// The fast "%f"/"%d" reads give exactly what the C library's formatted reads give.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "ScanNumbers.h"

namespace {

void ExpectSameFloat(const std::string& text)
{
    float expected = 12345.0f, actual = 12345.0f;
    const bool expectedOk = std::sscanf(text.c_str(), "%f", &expected) == 1;
    const bool actualOk = zelk::ScanFloat(text, actual);
    ASSERT_EQ(actualOk, expectedOk) << '"' << text << '"';
    if (std::isnan(expected)) {
        EXPECT_TRUE(std::isnan(actual)) << '"' << text << '"';
    } else {
        uint32_t e = 0, a = 0;
        std::memcpy(&e, &expected, 4);
        std::memcpy(&a, &actual, 4);
        EXPECT_EQ(a, e) << '"' << text << "\" expected " << expected << " got " << actual;
    }
}

void ExpectSameInt(const std::string& text)
{
    int expected = 777, actual = 777;
    const bool expectedOk = std::sscanf(text.c_str(), "%d", &expected) == 1;
    const bool actualOk = zelk::ScanInt(text, actual);
    ASSERT_EQ(actualOk, expectedOk) << '"' << text << '"';
    EXPECT_EQ(actual, expected) << '"' << text << '"';
}

TEST(ScanFloat, MatchesTheCLibraryOnTrickyForms)
{
    const char* cases[] = {
        "0", "-0", "+0", "1", "-75", "10.5", ".5", "-.5", "5.", ".", "-", "+", "", " ", "+-5", "-+5",
        "  \t12.25", "1e3", "1E-3", "1e", "1e+", "1e-x", "2.5e+2abc", "123abc", "abc", "0x10", "0X1p3",
        "-0x1.8p1", "0x", "inf", "-INF", "infinity", "infin", "nan", "NaN(123)", "1e39", "-1e39",
        "1e-39", "1e-46", "3.4028235e38", "3.4028236e38", "0.1", "0.30000001192092896", "16777217",
        "1.00000005960464477539062", "1.000000059604644775390625", "1.0000000596046447753906251",
        "00000000000000000000001.5", "1.5.3", "1..5", "--1", "E5", "e5", "1_000", "8E", "9.99999999e-1",
        "123456789012345678901234567890", "0.000000000000000000000000000000000000000000001",
    };
    for (const char* c : cases)
        ExpectSameFloat(c);
}

TEST(ScanFloat, MatchesTheCLibraryOnRandomText)
{
    std::mt19937 rng(20261208);
    const std::string alphabet = "0123456789012345678901234567890123456789..--+eExXinfa ";
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const int length = static_cast<int>(rng() % 12);
        for (int k = 0; k < length; ++k)
            text += alphabet[rng() % alphabet.size()];
        ExpectSameFloat(text);
        if (HasFatalFailure())
            return;
    }
}

TEST(ScanFloat, MatchesTheCLibraryOnPrintedCoordinates)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> value(-500.0, 500.0);
    char text[64];
    for (int i = 0; i < 100000; ++i) {
        const int decimals = static_cast<int>(rng() % 9);
        std::snprintf(text, sizeof text, "%.*f", decimals, value(rng));
        ExpectSameFloat(text);
    }
}

TEST(ScanFloat, MatchesTheCLibraryOnLongDigitRuns)
{
    // Up to seventeen digits with the point anywhere: the short path, the
    // float-midpoint guard and the full conversion all meet here.
    std::mt19937 rng(11);
    for (int i = 0; i < 200000; ++i) {
        const int length = 1 + static_cast<int>(rng() % 17);
        std::string text;
        for (int k = 0; k < length; ++k)
            text += static_cast<char>('0' + rng() % 10);
        const int point = static_cast<int>(rng() % (length + 2));
        if (point <= length)
            text.insert(static_cast<std::size_t>(point), ".");
        if (rng() % 2)
            text.insert(0, "-");
        ExpectSameFloat(text);
        if (HasFatalFailure())
            return;
    }
    // Float midpoints written exactly: ties go to even.
    for (const char* midpoint : {"16777217", "16777219", "0.5000000298023223876953125", "33554434",
                                 "-8388608.5", "8388609.5", "4194304.25", "4194304.75"})
        ExpectSameFloat(midpoint);
}

TEST(ScanInt, MatchesTheCLibraryIncludingOverflow)
{
    const char* cases[] = {
        "0", "-0", "+7", "-75", "104", " 42", "\t-3x", "12.9", "", "-", "+", "x1", "+-1",
        "2147483647", "2147483648", "-2147483648", "-2147483649", "4294967295", "4294967296",
        "9223372036854775807", "9223372036854775808", "-9223372036854775808", "-9223372036854775809",
        "99999999999999999999999", "-99999999999999999999999", "0000000000000000000000000012",
    };
    for (const char* c : cases)
        ExpectSameInt(c);

    std::mt19937 rng(99);
    const std::string alphabet = "01234567890123456789-+ x";
    for (int i = 0; i < 100000; ++i) {
        std::string text;
        const int length = static_cast<int>(rng() % 24);
        for (int k = 0; k < length; ++k)
            text += alphabet[rng() % alphabet.size()];
        ExpectSameInt(text);
        if (HasFatalFailure())
            return;
    }
}

TEST(ScanLetter, RequiresTheLetterFirst)
{
    float f = 3;
    EXPECT_TRUE(zelk::ScanLetterFloat("X-12.5", 'X', f));
    EXPECT_EQ(f, -12.5f);
    f = 3;
    EXPECT_FALSE(zelk::ScanLetterFloat("Y1", 'X', f));
    EXPECT_FALSE(zelk::ScanLetterFloat(" X1", 'X', f));
    EXPECT_FALSE(zelk::ScanLetterFloat("", 'X', f));
    EXPECT_FALSE(zelk::ScanLetterFloat("X", 'X', f));
    EXPECT_EQ(f, 3);
    int n = 0;
    EXPECT_TRUE(zelk::ScanLetterInt("G01", 'G', n));
    EXPECT_EQ(n, 1);
    EXPECT_TRUE(zelk::ScanLetterInt("M104.5", 'M', n));
    EXPECT_EQ(n, 104);
}

TEST(TruncateToInt, TruncatesTowardZeroAndDefinesOutOfRange)
{
    EXPECT_EQ(zelk::TruncateToInt(-5376.997), -5376);
    EXPECT_EQ(zelk::TruncateToInt(2.9), 2);
    EXPECT_EQ(zelk::TruncateToInt(2147483647.9), INT_MAX);
    EXPECT_EQ(zelk::TruncateToInt(-2147483648.9), INT_MIN);
    EXPECT_EQ(zelk::TruncateToInt(2147483648.0), INT_MIN);
    EXPECT_EQ(zelk::TruncateToInt(std::nan("")), INT_MIN);
    EXPECT_EQ(zelk::TruncateToInt(-INFINITY), INT_MIN);
}

}  // namespace
