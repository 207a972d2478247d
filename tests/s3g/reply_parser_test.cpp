// The reply record filled from the printer's frames, by total frame length.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>

#include "LinkTestFrames.h"
#include "ZELKReceiveParser.h"

using linktest::Frame;

namespace {

void Parse(ZELKReceiveParser& parser, const std::vector<unsigned char>& frame)
{
    parser.ParserReceiveBuffer(const_cast<unsigned char*>(frame.data()),
                               reinterpret_cast<void*>(static_cast<std::uintptr_t>(frame.size())));
}

}  // namespace

TEST(ReplyParser, StartsZeroed)
{
    ZELKReceiveParser parser;
    const RECEIVEBUF r = parser.GetReceiveBuf();
    EXPECT_EQ(r.type, 0);
    EXPECT_EQ(r.platformTemperature, 0);
    EXPECT_EQ(r.extruderTemperature, 0);
    EXPECT_EQ(r.z, 0.0f);
}

TEST(ReplyParser, FourByteFramesAcknowledgeOrRefuse)
{
    ZELKReceiveParser parser;
    Parse(parser, Frame({0x81}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 2);
    Parse(parser, Frame({0x82}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 3);
    Parse(parser, Frame({0x83}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 3);
}

TEST(ReplyParser, BuildFinishedFlag)
{
    ZELKReceiveParser parser;
    Parse(parser, Frame({0x81, 0x00}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 6);
    Parse(parser, Frame({0x81, 0x01}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 7);
    Parse(parser, Frame({0x81, 0x02}));  // another data byte: unchanged
    EXPECT_EQ(parser.GetReceiveBuf().type, 7);
}

TEST(ReplyParser, TemperatureGoesToPlatformOnlyWhileItsQueryIsOutstanding)
{
    std::atomic<int> outstanding{1};
    ZELKReceiveParser parser(71.699959, &outstanding);
    Parse(parser, Frame({0x81, 0x1E, 0x00}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 8);
    EXPECT_EQ(parser.GetReceiveBuf().platformTemperature, 30);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 0);
    EXPECT_EQ(outstanding.load(), 0);

    Parse(parser, Frame({0x81, 0xE6, 0x00}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 4);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 230);
    EXPECT_EQ(parser.GetReceiveBuf().platformTemperature, 30);
}

TEST(ReplyParser, TemperatureIsUnsigned16Bit)
{
    ZELKReceiveParser parser;
    Parse(parser, Frame({0x81, 0xFF, 0xFF}));
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 65535);
}

TEST(ReplyParser, VersionAnswerChangesNoTemperature)
{
    std::atomic<int> outstanding{1};
    ZELKReceiveParser parser(71.699959, &outstanding);
    Parse(parser, Frame({0x81, 0xBE, 0x02}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 1);
    EXPECT_EQ(parser.GetReceiveBuf().platformTemperature, 0);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 0);
    EXPECT_EQ(outstanding.load(), 1);
}

// Firmware other than 702 answers the version query with its own number: a
// version while the query is in flight, never an extruder temperature.
TEST(ReplyParser, AnyVersionIsAVersionWhileItsQueryIsOutstanding)
{
    std::atomic<int> platform{0}, version{1};
    ZELKReceiveParser parser(71.699959, &platform, &version);
    Parse(parser, Frame({0x81, 0xC3, 0x02}));  // 707
    EXPECT_EQ(parser.GetReceiveBuf().type, 1);
    EXPECT_EQ(parser.GetFirmwareVersion(), 707);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 0);
    EXPECT_EQ(version.load(), 0);  // answered

    // The same bytes without the query are a temperature; 702 is told by its value.
    Parse(parser, Frame({0x81, 0xC3, 0x02}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 4);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 707);
    Parse(parser, Frame({0x81, 0xBE, 0x02}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 1);
    EXPECT_EQ(parser.GetFirmwareVersion(), 702);
    // A refusal of the query is no version.
    version = 1;
    Parse(parser, Frame({0x82, 0x10, 0x00}));
    EXPECT_EQ(parser.GetFirmwareVersion(), 702);
    EXPECT_EQ(version.load(), 1);
}

TEST(ReplyParser, SixByteFrameWithAnotherCodeLeavesRecord)
{
    ZELKReceiveParser parser;
    Parse(parser, Frame({0x81}));
    Parse(parser, Frame({0x82, 0x1E, 0x00}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 2);
    EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 0);
}

TEST(ReplyParser, PositionReplyGivesZInMillimetres)
{
    ZELKReceiveParser parser;
    // code, X, Y, Z = 7170, A, B, end stops
    Parse(parser, Frame({0x81, 1, 0, 0, 0, 2, 0, 0, 0, 0x02, 0x1C, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(parser.GetReceiveBuf().type, 5);
    EXPECT_NEAR(parser.GetReceiveBuf().z, 100.0f, 1e-4);
    EXPECT_EQ(parser.GetReceiveBuf().x, 0.0f);

    ASSERT_TRUE(parser.LastWasPosition());
    const std::int32_t* steps = parser.GetPositionSteps();
    EXPECT_EQ(steps[0], 1);
    EXPECT_EQ(steps[1], 2);
    EXPECT_EQ(steps[2], 7170);
    EXPECT_EQ(steps[3], 9);
    EXPECT_EQ(steps[4], 0);

    // Negative Z: -717 steps is -10 mm.
    Parse(parser, Frame({0x81, 0, 0, 0, 0, 0, 0, 0, 0, 0x33, 0xFD, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_NEAR(parser.GetReceiveBuf().z, -10.0f, 1e-4);
    EXPECT_EQ(parser.GetPositionSteps()[2], -717);
    Parse(parser, Frame({0x81}));
    EXPECT_FALSE(parser.LastWasPosition());
}

TEST(ReplyParser, UnknownFramesAreRefusedAndLeaveTheRecord)
{
    const std::vector<unsigned char> unknown[] = {
        Frame({0x81, 1, 2, 3, 4}),    // a length no reply has
        Frame({0x81, 0x05}),          // is-finished with another value
        Frame({0x81, 1, 2, 3}),       // 7 bytes
        Frame({0x84, 0x1E, 0x00}),    // 6 bytes with another response code
    };
    for (const auto& frame : unknown) {
        ZELKReceiveParser parser;
        EXPECT_TRUE(parser.ParserReceiveBuffer(Frame({0x81, 0x01}).data(), 5));
        EXPECT_FALSE(parser.ParserReceiveBuffer(frame.data(), frame.size())) << frame.size() << " bytes";
        EXPECT_EQ(parser.GetReceiveBuf().type, 7);
        EXPECT_EQ(parser.GetReceiveBuf().extruderTemperature, 0);
    }
}
