// X3G files read back: every package as the translator made it, and streams that are damaged or not X3G refused.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TranslatorFixture.h"
#include "X3gReader.h"
#include "X3gWriter.h"

namespace {

std::string Stream(const std::vector<Package>& packages)
{
    std::string bytes;
    zelk::WriteX3gStream(packages, [&bytes](const unsigned char* data, std::size_t size) {
        bytes.append(reinterpret_cast<const char*>(data), size);
        return true;
    });
    return bytes;
}

std::string Payloads(const zelk::PrintList& packages)
{
    std::string bytes;
    for (const Package& p : packages)
        bytes.append(reinterpret_cast<const char*>(p.Payload()), static_cast<std::size_t>(p.PayloadSize()));
    return bytes;
}

// Files of both dialects, with every kind of command the translators make
// (moves, homing, positions, heaters and waits, fan, delay, message, motors),
// read back into the same frames the printer would have been sent.
TEST_F(TranslatorTest, X3gFilesReadBackIntoTheFramesTheyWereWrittenFrom)
{
    const std::string printer = std::string(kTestStartGCode) +
                                "G1 X1 Y2 Z3 F1200 E0.5\nG92 E0\nG4 P100\nM73 P50\nM18\nG1 X4 Y5 Z3 F1200 E1\n";
    const std::string reprap = ";FLAVOR:Marlin\nG28\nM140 S60\nM190 S60\nM104 S200\nM109 S200\nM106 S255\n"
                               "G4 S1\nM117 A message longer than one frame holds\nG1 Z0.3 F600\nG1 X5 Y5 E2\n"
                               "G2 X10 Y0 I5 J-5 E1\nM107\nM84\n";
    for (const std::string& text : {printer, reprap}) {
        const std::vector<Package> translated = File(text);
        ASSERT_FALSE(translated.empty());
        const std::string x3g = Stream(translated);
        zelk::PrintList read;
        std::string error;
        ASSERT_TRUE(zelk::ReadX3gPackages(x3g, read, error)) << error;
        EXPECT_EQ(Payloads(read), x3g);
        // The stream holds the list plus the writer's percentages and wait:
        // each package of the list is one of the frames read, in order.
        std::size_t j = 0;
        for (const Package& p : translated) {
            while (j < read.size() && !(read[j] == p))
                ++j;
            ASSERT_LT(j, read.size()) << "a package was not read back whole";
        }
    }
}

TEST(X3gReader, DamagedOrForeignBytesAreRefusedWithTheirPlace)
{
    zelk::PrintList read;
    std::string error;
    EXPECT_FALSE(zelk::ReadX3gPackages("G1 X10 Y10\n", read, error));
    EXPECT_EQ(error, "byte 0: 71 is no command an X3G file holds (the file is damaged, or not X3G)");
    // A move cut short, and a message without its end.
    EXPECT_FALSE(zelk::ReadX3gPackages(std::string("\x86\x00", 2) + std::string("\x9b\x01\x02", 3), read, error));
    EXPECT_EQ(error, "byte 2: the file ends inside command 155");
    EXPECT_FALSE(zelk::ReadX3gPackages(std::string("\x95\x01\x00\x00\x00Hi", 7), read, error));
    EXPECT_EQ(error, "byte 0: the file ends inside command 149");
    EXPECT_FALSE(zelk::ReadX3gFile("/no/such/file.x3g", read, error));
    EXPECT_NE(error.find("/no/such/file.x3g"), std::string::npos);
    EXPECT_TRUE(zelk::IsX3gFileName("/a/b/Part.X3G"));
    EXPECT_FALSE(zelk::IsX3gFileName("part.gcode"));
}

}  // namespace
