// The slicing panel's rules without windows: its fields, its settings record and the progress read from the slicer's lines.
#include <gtest/gtest.h>

#include "ChildProcess.h"
#include "SliceProgress.h"
#include "WorkflowText.h"

using zelk::SliceProgress;

namespace {

TEST(SliceFields, BoundsAreInclusiveAndOnlyWholeNumbersAreRead)
{
    const struct {
        const char* height;
        const char* extruder;
        const char* platform;
        bool accepted;
    } cases[] = {
        {"138", "0", "0", true},      {"148", "300", "100", true}, {"140.5", "220", "60", true},
        {" 140 ", "220", "0", true},  {"137.9", "220", "0", false}, {"148.1", "220", "0", false},
        {"140", "300.5", "0", false}, {"140", "220", "-1", false},  {"140", "220", "100.1", false},
        // Text that is not a number is refused rather than read as 0 degrees.
        {"140", "", "0", false},      {"140", "abc", "0", false},   {"140", "220C", "0", false},
        {"140", "nan", "0", false},   {"140", "220", "1e40", false}, {"0x8C", "220", "0", false},
    };
    for (const auto& c : cases) {
        zelk::SliceFields fields;
        fields.printHeightMm = -7;
        EXPECT_EQ(zelk::ReadSliceFields(c.height, c.extruder, c.platform, fields), c.accepted)
            << c.height << " / " << c.extruder << " / " << c.platform;
        if (!c.accepted) {
            EXPECT_EQ(fields.printHeightMm, -7) << "a refused reading left a value";
        }
    }
    zelk::SliceFields fields;
    ASSERT_TRUE(zelk::ReadSliceFields("142.5", "215", "55", fields));
    EXPECT_FLOAT_EQ(fields.printHeightMm, 142.5f);
    EXPECT_FLOAT_EQ(fields.extruderTempC, 215.0f);
    EXPECT_FLOAT_EQ(fields.platformTempC, 55.0f);
}

TEST(SliceSettings, ListEntriesAndCheckBoxesMakeTheRecord)
{
    SkeinforgeParameter p = zelk::MakeSkeinforgeParameter(0, 1, 2, 0, false, true, true);
    EXPECT_EQ(p.infill, "0.0");
    EXPECT_EQ(p.layerHeight, "0.3");
    EXPECT_EQ(p.shells, "2");
    EXPECT_EQ(p.speed, "30");
    EXPECT_EQ(p.raft, 0);
    EXPECT_EQ(p.support, 2);  // full support wins
    EXPECT_EQ(p.profile, "QUEN");

    p = zelk::MakeSkeinforgeParameter(4, 0, 0, 2, true, true, false);
    EXPECT_EQ(p.infill, "0.90");
    EXPECT_EQ(p.speed, "80");
    EXPECT_EQ(p.support, 1);
    EXPECT_EQ(p.raft, 1);

    // No selection keeps the record's own values.
    p = zelk::MakeSkeinforgeParameter(-1, -1, -1, -1, false, false, false);
    EXPECT_EQ(p.infill, "20");
    EXPECT_EQ(p.layerHeight, "0.2");
    EXPECT_EQ(p.shells, "1");
    EXPECT_EQ(p.speed, "60");
    EXPECT_EQ(p.support, 0);

    const char* fills[] = {"0.0", "0.10", "0.30", "0.50", "0.90"};
    for (int entry = 0; entry < 5; ++entry)
        EXPECT_EQ(zelk::MakeSkeinforgeParameter(entry, 0, 0, 0, false, false, false).infill, fills[entry]);
}

TEST(SliceProgressLines, FillThenRaftKeepTheTotalAndPlaceTheBar)
{
    SliceProgress progress;
    SliceProgress::Update u = progress.Apply("Fill layer count 3 of 10");
    EXPECT_TRUE(u.setRange);
    EXPECT_EQ(u.rangeMax, 40);
    EXPECT_TRUE(u.setPosition);
    EXPECT_EQ(u.position, 16);
    EXPECT_EQ(u.status, "Fill (layer 3 of 10)");

    u = progress.Apply("Raft layer count 5");
    EXPECT_EQ(progress.Total(), 10);
    EXPECT_EQ(u.rangeMax, 40);
    EXPECT_EQ(u.position, 32);
    EXPECT_EQ(u.status, "Raft (layer 5 of 10)");
    u = progress.Apply("Raft layer count 3");
    EXPECT_EQ(u.position, 31);  // 3 / 2 truncates to 1
}

TEST(SliceProgressLines, InsetFollowsTheTotalGivenBeforeIt)
{
    SliceProgress progress;
    // A total without a known stage sets the range only.
    SliceProgress::Update u = progress.Apply("Inset layer count 0 of 12");
    EXPECT_TRUE(u.setRange);
    EXPECT_EQ(u.rangeMax, 48);
    EXPECT_FALSE(u.setPosition);
    EXPECT_FALSE(u.setStatus);

    u = progress.Apply("Inset layer count 7");
    EXPECT_EQ(u.position, 7);
    EXPECT_EQ(u.status, "Inset (layer 7 of 12)");

    u = progress.Apply("Slice layer count 4");
    EXPECT_EQ(u.status, "Slice (layer 4)");
    EXPECT_FALSE(u.setPosition);
}

// The window shows the stage in its own language: the key of the pattern and
// its numbers fill it to the English line too.
TEST(SliceProgressLines, EveryStageNamesItsTranslatedPatternAndNumbers)
{
    const struct {
        const char* line;
        const char* key;
        const char* english;
    } stages[] = {{"Slice layer count 4", "id_status_sliceLayer", "Slice (layer %1)"},
                  {"Inset layer count 7", "id_status_insetLayer", "Inset (layer %1 of %2)"},
                  {"Fill layer count 3 of 12", "id_status_fillLayer", "Fill (layer %1 of %2)"},
                  {"Raft layer count 5", "id_status_raftLayer", "Raft (layer %1 of %2)"}};
    SliceProgress progress;
    progress.Apply("Inset layer count 0 of 12");
    for (const auto& stage : stages) {
        const SliceProgress::Update u = progress.Apply(stage.line);
        ASSERT_TRUE(u.setStatus) << stage.line;
        EXPECT_EQ(u.statusKey, stage.key);
        EXPECT_EQ(zelk::FillPattern(stage.english, {std::to_string(u.layer), std::to_string(u.total)}), u.status);
    }
    // Placeholders without a value, a lone % and %0 stay as they are.
    EXPECT_EQ(zelk::FillPattern("%1% of %3 (%0)", {"50"}), "50% of %3 (%0)");
    EXPECT_EQ(zelk::FillPattern("ends in %", {"x"}), "ends in %");

    // Three numbers under another name than Fill set the total and move nothing.
    const SliceProgress::Update other = progress.Apply("Inset layer count 2 of 30");
    EXPECT_EQ(progress.Total(), 30);
    EXPECT_FALSE(other.setPosition);
}

TEST(SliceProgressLines, CompletionErrorsAndOtherLines)
{
    SliceProgress progress;
    progress.Apply("Fill layer count 9 of 9");
    for (const char* quiet : {"", "10 => Processing triangulated mesh", "layer count 3 of 4", "Filling", "Fill layer"}) {
        const SliceProgress::Update u = progress.Apply(quiet);
        EXPECT_FALSE(u.setPosition || u.setStatus || u.completed) << quiet;
    }
    EXPECT_EQ(progress.LastError(), "");
    progress.Apply("error: the slicing engine refused the model: bad.stl");
    EXPECT_EQ(progress.LastError(), "the slicing engine refused the model: bad.stl");
    EXPECT_FALSE(progress.Completed());

    const SliceProgress::Update done = progress.Apply("The exported file is saved as /home/u/PrintModel/a b.gcode");
    EXPECT_TRUE(done.completed);
    EXPECT_EQ(done.position, 36);
    EXPECT_TRUE(progress.Completed());
}

// The slicer's output arrives in chunks that cut lines anywhere and join
// several: every line is still examined once, so the completion is never missed.
TEST(SliceProgressLines, ChunksThatSplitAndJoinLinesGiveTheSameProgress)
{
    const std::string output = "Inset layer count 0 of 4\nInset layer count 2\r\nFill layer count 1 of 4\n"
                               "Fill layer count 4 of 4\nRaft layer count 2\n"
                               "The exported file is saved as /tmp/x.gcode\n";
    const auto run = [](const std::vector<std::string>& chunks) {
        zelk::LineSplitter splitter;
        SliceProgress progress;
        std::vector<int> positions;
        int completions = 0;
        for (const std::string& chunk : chunks) {
            std::vector<std::string> lines;
            splitter.Feed(chunk, lines);
            for (const std::string& line : lines) {
                const SliceProgress::Update u = progress.Apply(line);
                if (u.setPosition)
                    positions.push_back(u.position);
                completions += u.completed ? 1 : 0;
            }
        }
        return std::make_pair(positions, completions);
    };
    const auto whole = run({output});
    EXPECT_EQ(whole.first, (std::vector<int>{2, 6, 12, 13, 16}));
    EXPECT_EQ(whole.second, 1);
    for (std::size_t cut = 1; cut < output.size(); ++cut)
        for (std::size_t second = cut + 1; second < output.size(); second += 7) {
            const auto pieces = run({output.substr(0, cut), output.substr(cut, second - cut), output.substr(second)});
            ASSERT_EQ(pieces, whole) << "cut at " << cut << " and " << second;
        }
}

}  // namespace
