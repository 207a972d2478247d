// The engine's output: stages as progress that never goes back, the panel's line forms, the reason quoted on failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "EngineOutput.h"

namespace {

// The engine's output for one model, as it prints it (stage numbers out of order).
const std::vector<std::string> kEngineRun = {
    "[2026-12-08 08:01:33.275742] [0x00007f44df660d80] [trace]   Initializing StaticPrintConfigs",
    "[2026-12-08 08:01:33.283044] [0x00007f44df660d80] [info]    Starting the slicing process.",
    "10 => Processing triangulated mesh",
    "[2026-12-08 08:01:33.283106] [0x00007f44df660d80] [info]    Slicing volumes...",
    "20 => Generating perimeters",
    "70 => Infilling layers",
    "30 => Preparing infill",
    "[2026-12-08 08:01:33.287205] [0x00007f44df660d80] [info]    Detecting solid surfaces...",
    "[2026-12-08 08:01:33.287492] [0x00007f44df660d80] [info]    Preparing fill surfaces...",
    "85 => Generating support material",
    "88 => Generating skirt and brim",
    "90 => Exporting G-code to /tmp/x/engine.gcode",
    "[2026-12-08 08:01:33.288601] [0x00007f44df660d80] [info]    Exporting G-code...",
    "Slicing result exported to /tmp/x/engine.gcode",
};

TEST(EngineOutput, ProgressLinesHaveTheFormsThePanelReads)
{
    char word[32] = {};
    int n = -1, total = -1;
    EXPECT_EQ(bridge::InsetTotalLine(102), "Inset layer count 0 of 102");
    EXPECT_EQ(std::sscanf(bridge::InsetTotalLine(102).c_str(), "%31s layer count %d of %d", word, &n, &total), 3);
    EXPECT_EQ(bridge::InsetLine(7), "Inset layer count 7");
    EXPECT_EQ(std::sscanf(bridge::InsetLine(7).c_str(), "%31s layer count %d of %d", word, &n, &total), 2);
    EXPECT_EQ(n, 7);
    EXPECT_EQ(bridge::FillLine(3, 98), "Fill layer count 3 of 98");
    EXPECT_EQ(bridge::RaftLine(2), "Raft layer count 2");
    EXPECT_EQ(bridge::SavedLine("/p/a b.gcode"), "The exported file is saved as /p/a b.gcode");
}

TEST(EngineOutput, ProgressRisesFromOneTowardsTheTotalAndNeverGoesBack)
{
    for (const int total : {1, 3, 102, 5000}) {
        bridge::StageProgress progress(total);
        std::vector<int> shown;
        double fraction = 0;
        for (const std::string& line : kEngineRun) {
            if (progress.Feed(line))
                shown.push_back(progress.Layer());
            EXPECT_GE(progress.Fraction(), fraction) << line;
            fraction = progress.Fraction();
        }
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.front(), 1) << total;
        EXPECT_EQ(shown.back(), total);
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()) &&
                    std::adjacent_find(shown.begin(), shown.end()) == shown.end());
    }
}

TEST(EngineOutput, AnEarlierStagePrintedLateMovesNothing)
{
    bridge::StageProgress progress(100);
    progress.Feed("10 => Processing triangulated mesh");
    progress.Feed("70 => Infilling layers");
    const int layer = progress.Layer();
    EXPECT_FALSE(progress.Feed("30 => Preparing infill"));
    EXPECT_FALSE(progress.Feed("20 => Generating perimeters"));
    EXPECT_EQ(progress.Layer(), layer);
    // Unknown stages count by their number, still never backwards.
    EXPECT_TRUE(progress.Feed("80 => Some later stage"));
    EXPECT_FALSE(progress.Feed("40 => Some other stage"));
}

TEST(EngineOutput, OutputWithinAStageCreepsButStaysShortOfTheNextStage)
{
    bridge::StageProgress progress(1000);
    progress.Feed("20 => Generating perimeters");
    const double start = progress.Fraction();
    for (int i = 0; i < 50; ++i)
        progress.Feed("[2026-12-08 08:01:33.283106] [0x1] [info]    working...");
    EXPECT_GT(progress.Fraction(), start);
    EXPECT_LT(progress.Fraction(), 0.35);  // Preparing infill
    const int crept = progress.Layer();
    progress.Feed("30 => Preparing infill");
    EXPECT_GE(progress.Layer(), crept);
}

TEST(EngineOutput, TheReasonQuotedIsTheEnginesOwnErrorLine)
{
    struct Case {
        std::vector<std::string> output;
        int exitCode;
        const char* reason;
    };
    const Case cases[] = {
        {{"[2026-12-08 08:01:16.442086] [0x7f] [trace]   Initializing StaticPrintConfigs",
          "[2026-12-08 08:01:16.447239] [0x7f] [error]   stl_open_count_facets: The input is an empty file: bad.stl",
          "bad.stl: Loading of a model file failed."},
         1, "bad.stl: Loading of a model file failed."},
        {{"10 => Processing triangulated mesh", "error: The selected fill pattern is not supposed to work at 100%"}, 1,
         "The selected fill pattern is not supposed to work at 100%"},
        {{"10 => Processing triangulated mesh", "[2026-12-08 08:01:16.447239] [0x7f] [error]   out of memory"}, 1,
         "out of memory"},
        {{"10 => Processing triangulated mesh"}, 134, "signal 6"},
        {{}, 2, "exit code 2"},
    };
    for (const Case& c : cases) {
        bridge::EngineMessages messages;
        for (const std::string& line : c.output)
            messages.Feed(line);
        EXPECT_NE(messages.Reason(c.exitCode).find(c.reason), std::string::npos) << messages.Reason(c.exitCode);
    }
}

}  // namespace
