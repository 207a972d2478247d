// The compact print list: records go in and come out the same, frames made
// from payloads are the frames the builder makes, and a real print takes
// about half the memory of its records.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "MachinePackages.h"
#include "Package.h"
#include "PrintList.h"
#include "TranslatorFixture.h"

namespace {

TEST(PrintList, RecordsOfEveryLengthComeBackAsTheyWent)
{
    const Package move = ZELKMachineCodeBuild::GetPackage(155, {{3, 1000}, {3, -2000}, {3, 30}, {3, 0}, {3, 0},
                                                                 {3, 4000}, {1, 24}, {3, 0}, {2, 640}});
    const std::vector<Package> records = {zelk::VersionQueryPackage(), Package{}, move,
                                          zelk::PlatformTemperatureQueryPackage(), zelk::WaitForToolPackage(),
                                          Package{}};
    const zelk::PrintList list = records;
    ASSERT_EQ(list.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(list[i], records[i]) << "package " << i;
        EXPECT_EQ(list.Payload(i).size(), static_cast<std::size_t>(records[i].PayloadSize())) << "package " << i;
    }
    EXPECT_EQ(list.ToVector(), records);
    EXPECT_EQ(list.front(), records.front());
    EXPECT_EQ(list.back(), Package{});
    // The platform query is tagged, and keeps its tag.
    EXPECT_EQ(list[3].tag, 1);
    EXPECT_EQ(list[2].tag, 0);

    std::vector<Package> walked;
    for (const Package& p : list)
        walked.push_back(p);
    EXPECT_EQ(walked, records);

    EXPECT_THROW(list.at(records.size()), std::out_of_range);
    EXPECT_NE(list, zelk::PrintList(std::vector<Package>(records.begin(), records.end() - 1)));
    std::vector<Package> untagged = records;
    untagged[3].tag = 0;
    EXPECT_NE(list, zelk::PrintList(untagged));  // the tag counts
}

TEST(PrintList, AFramedPayloadIsTheFrameTheBuilderMakes)
{
    const Package built = ZELKMachineCodeBuild::GetPackage(136, {{1, 0}, {1, 3}, {1, 2}, {2, 210}});
    zelk::PrintList list;
    list.AppendPayload(built.Payload(), static_cast<std::size_t>(built.PayloadSize()));
    list.AppendPayload(nullptr, 0);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], built);
    EXPECT_EQ(list[1], Package{});
    EXPECT_TRUE(list.Payload(1).empty());

    // A payload no frame can hold is refused, and the list stays as it was.
    const std::vector<unsigned char> tooLong(kMaxPayloadBytes + 1, 0x42);
    EXPECT_THROW(list.AppendPayload(tooLong.data(), tooLong.size()), std::length_error);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], built);
}

TEST(PrintList, ClearGivesTheMemoryBack)
{
    zelk::PrintList list;
    list.reserve(10000);
    list.push_back(zelk::IsFinishedPackage());
    EXPECT_GT(list.MemoryBytes(), 10000u);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.MemoryBytes(), 0u);
}

// A translated print of moves: the list holds the same packages as their
// records, in about half their memory.
TEST_F(TranslatorTest, ATranslatedPrintTakesAboutHalfTheMemoryOfItsRecords)
{
    std::string gcode = kTestStartGCode;
    for (int i = 0; i < 2000; ++i)
        gcode += "G1 X" + std::to_string(i % 50) + " Y" + std::to_string(i % 37) + " Z0.3 F1800 E" +
                 std::to_string(i * 0.05) + "\n";
    const std::string path = m_dir.File("moves.gcode");
    testsupport::WriteFile(path, gcode);
    const zelk::PrintList list = m_parser.FileParser(path.c_str());
    ASSERT_GT(list.size(), 2000u);
    EXPECT_EQ(zelk::PrintList(list.ToVector()), list);
    EXPECT_LE(list.MemoryBytes(), list.size() * (sizeof(Package) / 2 + 1));
}

}  // namespace
