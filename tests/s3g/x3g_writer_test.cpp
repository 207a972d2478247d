// The X3G stream: payloads back to back, percentage commands, the extra wait,
// and files that appear only complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "MachinePackages.h"
#include "TempDir.h"
#include "TranslatorFixture.h"
#include "X3gWriter.h"
#include "ZELKMachineControl.h"
#include "ZELKStartGCodeOperater.h"

using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

// One decoded item of a test stream.
struct Item {
    char kind;  // 'p' percentage, 'k' package, 'w' wait for tool
    int value;  // percentage or package number
    bool operator==(const Item&) const = default;
};

// Package i carries command 200 with i as a 16-bit parameter.
std::vector<Package> Numbered(int n)
{
    std::vector<Package> list;
    for (int i = 0; i < n; ++i)
        list.push_back(ZELKMachineCodeBuild::GetPackage(200, {{2, i}}));
    return list;
}

std::vector<unsigned char> Stream(const std::vector<Package>& list)
{
    std::vector<unsigned char> bytes;
    EXPECT_TRUE(zelk::WriteX3gStream(list, [&bytes](const unsigned char* data, std::size_t size) {
        bytes.insert(bytes.end(), data, data + size);
        return true;
    }));
    return bytes;
}

std::vector<Item> Decode(const std::vector<unsigned char>& bytes)
{
    std::vector<Item> items;
    std::size_t i = 0;
    while (i < bytes.size()) {
        switch (bytes[i]) {
        case 150:
            EXPECT_EQ(bytes[i + 2], 0xFF);
            items.push_back({'p', bytes[i + 1]});
            i += 3;
            break;
        case 200:
            items.push_back({'k', bytes[i + 1] | (bytes[i + 2] << 8)});
            i += 3;
            break;
        case 135:
            EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + i, bytes.begin() + i + 6),
                      (std::vector<unsigned char>{0x87, 0x00, 0x64, 0x00, 0xFF, 0xFF}));
            items.push_back({'w', 0});
            i += 6;
            break;
        default:
            ADD_FAILURE() << "unexpected byte " << int(bytes[i]) << " at " << i;
            return items;
        }
    }
    return items;
}

std::vector<Item> Percentages(const std::vector<Item>& items)
{
    std::vector<Item> out;
    for (const Item& item : items)
        if (item.kind == 'p')
            out.push_back(item);
    return out;
}

// The position of package k in the decoded stream.
std::size_t IndexOf(const std::vector<Item>& items, int k)
{
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i] == Item{'k', k})
            return i;
    return items.size();
}

TEST(X3gStream, ShortListsGetOnlyTheZeroPercentCommand)
{
    std::vector<Item> items = Decode(Stream(Numbered(50)));
    ASSERT_EQ(items.size(), 1u + 50u + 1u);
    EXPECT_EQ(items[0], (Item{'p', 0}));
    EXPECT_EQ(items[12], (Item{'k', 11}));
    EXPECT_EQ(items[13], (Item{'w', 0}));
    EXPECT_EQ(items[14], (Item{'k', 12}));
    EXPECT_EQ(Percentages(items).size(), 1u);

    // Fewer than twelve packages: no extra wait.
    items = Decode(Stream(Numbered(11)));
    EXPECT_EQ(items.size(), 12u);
}

TEST(X3gStream, HundredPackagesEachGetAPercentage)
{
    std::vector<Item> items = Decode(Stream(Numbered(100)));
    std::vector<Item> pct = Percentages(items);
    ASSERT_EQ(pct.size(), 100u);
    for (int k = 0; k < 100; ++k) {
        EXPECT_EQ(pct[k].value, k);
        EXPECT_EQ(items[IndexOf(items, k) - 1], (Item{'p', k}));
    }
    EXPECT_EQ(items.back(), (Item{'k', 99}));  // 100 is a multiple of the step: no final 100 %
}

TEST(X3gStream, TwoHundredFiftyPackagesClampTheCounterAt100)
{
    std::vector<Item> items = Decode(Stream(Numbered(250)));
    std::vector<Item> pct = Percentages(items);
    ASSERT_EQ(pct.size(), 125u);
    for (int k = 0; k < 125; ++k) {
        EXPECT_EQ(pct[k].value, std::min(k, 100));
        EXPECT_EQ(items[IndexOf(items, 2 * k) - 1].kind, 'p');
        EXPECT_EQ(items[IndexOf(items, 2 * k + 1) - 1].kind, 'k');
    }
    EXPECT_EQ(items.back(), (Item{'k', 249}));
}

TEST(X3gStream, UnevenListsEndWithAHundredPercent)
{
    std::vector<Item> items = Decode(Stream(Numbered(1001)));
    std::vector<Item> pct = Percentages(items);
    ASSERT_EQ(pct.size(), 102u);  // before 0, 10, ..., 1000 and once more at the end
    EXPECT_EQ(items[IndexOf(items, 1000) - 1], (Item{'p', 100}));
    EXPECT_EQ(items.back(), (Item{'p', 100}));
    EXPECT_EQ(items[IndexOf(items, 990) - 1], (Item{'p', 99}));
    EXPECT_EQ(items[IndexOf(items, 11) + 1], (Item{'w', 0}));
}

TEST(X3gStream, EmptyPackagesWriteNothingButCountAsPackages)
{
    std::vector<Package> list = Numbered(13);
    list[5] = Package();
    list[11] = Package();
    std::vector<Item> items = Decode(Stream(list));
    ASSERT_EQ(items.size(), 1u + 11u + 1u);
    EXPECT_EQ(items[10], (Item{'k', 10}));
    EXPECT_EQ(items[11], (Item{'w', 0}));  // after the (empty) twelfth package
    EXPECT_EQ(items[12], (Item{'k', 12}));
    EXPECT_TRUE(Stream({}).empty());
}

TEST(X3gStream, StopsAtTheFirstFailedWrite)
{
    int calls = 0;
    std::vector<Package> list = Numbered(60000);
    EXPECT_FALSE(zelk::WriteX3gStream(list, [&calls](const unsigned char*, std::size_t) {
        ++calls;
        return false;
    }));
    EXPECT_EQ(calls, 1);
}

TEST(X3gFile, EmptyListGivesAnEmptyFile)
{
    TempDir dir;
    ZELKMachineControl control;
    EXPECT_EQ(control.SaveX3gFile(dir.File("empty.x3g").c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(dir.File("empty.x3g")));
    EXPECT_EQ(std::filesystem::file_size(dir.File("empty.x3g")), 0u);
}

TEST(X3gFile, UnwritablePlaceLeavesNoFileAndSaysWhy)
{
    TempDir dir;
    ZELKMachineControl control;
    const std::string path = dir.File("missing/out.x3g");
    EXPECT_EQ(control.SaveX3gFile(path.c_str()), 0);
    EXPECT_NE(control.GetSaveX3gError().find(path), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(TranslatorTest, SaveX3gTranslatesTheFileAndWritesItsStream)
{
    std::string gcode;
    for (int i = 0; i < 300; ++i)
        gcode += "G1 X" + std::to_string(i % 50) + " Y1 Z0.3 F3000 E" + std::to_string(i * 0.1) + "\n";
    testsupport::WriteFile(m_dir.File("part.gcode"), gcode);

    ZELKMachine machine;
    ZELKMachineControl control(&machine, &m_startGCode);
    const std::string out = m_dir.File("part.x3g");
    ASSERT_EQ(control.SaveX3gFile(m_dir.File("part.gcode"), out.c_str()), 1);
    const zelk::PrintList& list = control.GetPrintList();
    ASSERT_EQ(list.size(), 301u);
    std::vector<unsigned char> expected;
    zelk::WriteX3gStream(list, [&expected](const unsigned char* d, std::size_t n) {
        expected.insert(expected.end(), d, d + n);
        return true;
    });
    const std::string written = ReadFile(out);
    EXPECT_EQ(std::vector<unsigned char>(written.begin(), written.end()), expected);

    // The export's streamed save, from the same start, writes the same bytes
    // and keeps no print list.
    ZELKMachine streamingMachine;
    ZELKMachineControl streaming(&streamingMachine, &m_startGCode);
    const std::string streamed = m_dir.File("streamed.x3g");
    const zelk::Outcome saved = streaming.SaveX3gFromGCode(m_dir.File("part.gcode"), streamed);
    ASSERT_TRUE(saved) << saved.reason;
    EXPECT_EQ(ReadFile(streamed), written);
    EXPECT_TRUE(streaming.GetPrintList().empty());
    EXPECT_EQ(streaming.GetLastX3gTranslation().moveCount, 300u);
    // A file turned down after its translation leaves no file.
    const std::string declined = m_dir.File("declined.x3g");
    EXPECT_FALSE(streaming.SaveX3gFromGCode(m_dir.File("part.gcode"), declined,
                                            [](const zelk::GCodeFileOutcome&) { return false; }));
    EXPECT_FALSE(std::filesystem::exists(declined));
}

// A G-code file that holds no move, or a start G-code without its
// temperature and height lines, is no print: refused with the reason, no file.
TEST_F(TranslatorTest, SaveX3gRefusesNoMovesAndAStartGCodeThatWouldPrintCold)
{
    ZELKMachine machine;
    const std::string out = m_dir.File("part.x3g");
    testsupport::WriteFile(m_dir.File("comments.gcode"), "; sliced\n(nothing here)\n\n");
    ZELKMachineControl control(&machine, &m_startGCode);
    EXPECT_EQ(control.SaveX3gFile(m_dir.File("comments.gcode"), out.c_str()), 0);
    EXPECT_NE(control.GetSaveX3gError().find("comments.gcode"), std::string::npos) << control.GetSaveX3gError();
    EXPECT_EQ(control.SaveX3gFile(m_dir.File("missing.gcode"), out.c_str()), 0);
    EXPECT_NE(control.GetSaveX3gError().find("missing.gcode"), std::string::npos) << control.GetSaveX3gError();
    EXPECT_FALSE(std::filesystem::exists(out));

    testsupport::WriteFile(m_dir.File("part.gcode"), "G1 X1 Y1 Z0.3 F3000 E0.1\n");
    testsupport::WriteFile(m_dir.File("short.gcode"), "M104 S220 T0\nM109 S60 T0\nG21\n");
    ZELKStartGCodeOperater shortStart(m_dir.File("short.gcode"));
    ZELKMachineControl cold(&machine, &shortStart);
    EXPECT_EQ(cold.SaveX3gFile(m_dir.File("part.gcode"), out.c_str()), 0);
    EXPECT_NE(cold.GetSaveX3gError().find("short.gcode"), std::string::npos) << cold.GetSaveX3gError();
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(control.SaveX3gFile(m_dir.File("part.gcode"), out.c_str()), 1);
}

// A full disk, made real by a file-size limit in a child process: the export
// fails and leaves neither the X3G file nor a temporary file.
TEST_F(TranslatorTest, SaveX3gOnAFullDiskFailsWithoutAPartialFile)
{
    std::string gcode;
    for (int i = 0; i < 5000; ++i)
        gcode += "G1 X" + std::to_string(i % 50) + " Y1 Z0.3 F3000 E" + std::to_string(i * 0.1) + "\n";
    testsupport::WriteFile(m_dir.File("part.gcode"), gcode);
    const std::string out = m_dir.File("part.x3g");
    const int result = testsupport::RunWithFileSizeLimit(50000, [&] {
        ZELKMachine machine;
        ZELKMachineControl control(&machine, &m_startGCode);
        const int saved = control.SaveX3gFile(m_dir.File("part.gcode"), out.c_str());
        const bool reported = control.GetSaveX3gError().find("File too large") != std::string::npos;
        return saved == 0 && reported ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(m_dir.EntryCount(), 2u);  // start.gcode and part.gcode only
}

}  // namespace
