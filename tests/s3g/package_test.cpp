// S3G framing: the CRC, the frame builder, the generic builder and the fixed packets.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "MachinePackages.h"
#include "Package.h"
#include "ZELKMachineControl.h"

namespace {

// Bit-by-bit Dallas/Maxim CRC-8, independent of the lookup table.
unsigned char BitwiseCrc(const std::vector<unsigned char>& bytes)
{
    unsigned char crc = 0;
    for (unsigned char byte : bytes) {
        for (int bit = 0; bit < 8; ++bit) {
            const bool mix = ((crc ^ byte) & 1) != 0;
            crc >>= 1;
            if (mix)
                crc ^= 0x8C;
            byte >>= 1;
        }
    }
    return crc;
}

std::vector<unsigned char> Frame(const Package& p)
{
    return std::vector<unsigned char>(p.data, p.data + p.size);
}

// A well-formed frame: start byte, length, payload, CRC of the payload, zero padding.
void ExpectValidFrame(const Package& p)
{
    ASSERT_GE(p.size, 4);
    EXPECT_EQ(p.data[0], 0xD5);
    EXPECT_EQ(p.data[1], p.size - 3);
    std::vector<unsigned char> payload(p.data + 2, p.data + 2 + p.data[1]);
    EXPECT_EQ(p.data[p.size - 1], BitwiseCrc(payload));
    for (int i = p.size; i < 64; ++i)
        EXPECT_EQ(p.data[i], 0) << "byte " << i;
}

TEST(Crc8, TableMatchesTheBitwiseCrcForEveryByte)
{
    for (int b = 0; b < 256; ++b) {
        unsigned char byte = static_cast<unsigned char>(b);
        EXPECT_EQ(CPacketBuilder::CaculateCRC_8C(&byte, 0, 1), BitwiseCrc({byte})) << b;
    }
    unsigned char one = 1, two = 2, last = 255;
    EXPECT_EQ(CPacketBuilder::CaculateCRC_8C(&one, 0, 1), 0x5E);
    EXPECT_EQ(CPacketBuilder::CaculateCRC_8C(&two, 0, 1), 0xBC);
    EXPECT_EQ(CPacketBuilder::CaculateCRC_8C(&last, 0, 1), 0x35);
    // The catalogued check value of CRC-8/MAXIM over "123456789".
    const unsigned char check[] = "xx123456789";
    EXPECT_EQ(CPacketBuilder::CaculateCRC_8C(check, 2, 9), 0xA1);
}

TEST(PacketBuilder, BuildsLengthAndCrcOverThePayload)
{
    CPacketBuilder builder(137);
    EXPECT_EQ(builder.GetPacketCount(), 2);
    builder.add8(0x1F);
    const unsigned char* frame = builder.getPacket();
    EXPECT_EQ(builder.GetPacketCount(), 5);
    EXPECT_EQ(frame[0], 0xD5);
    EXPECT_EQ(frame[1], 2);
    EXPECT_EQ(frame[2], 137);
    EXPECT_EQ(frame[3], 0x1F);
    EXPECT_EQ(frame[4], BitwiseCrc({137, 0x1F}));

    builder.ReBuilder(11);
    builder.getPacket();
    EXPECT_EQ(builder.GetPacketCount(), 4);
}

TEST(PacketBuilder, ParameterTypesAppendLittleEndianPieces)
{
    Package p = ZELKMachineCodeBuild::GetPackage(
        200, {{2, 0x12345}, {1, -1}, {3, -2}, {4, 77}, {0, 5}, {3, 0x01020304}});
    ExpectValidFrame(p);
    const std::vector<unsigned char> expectPayload = {200, 0x45, 0x23, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF,
                                                      0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(std::vector<unsigned char>(p.Payload(), p.Payload() + p.PayloadSize()), expectPayload);
    EXPECT_EQ(p.tag, 0);
}

TEST(PacketBuilder, GenericBuilderMatchesTheFixedFrames)
{
    EXPECT_EQ(ZELKMachineCodeBuild::GetPackage(11, {}), zelk::IsFinishedPackage());
    Package enable = ZELKMachineCodeBuild::GetPackage(137, {{1, 0x1F}});
    EXPECT_EQ(enable.size, 5);
    ExpectValidFrame(enable);
    EXPECT_EQ(ZELKMachineCodeBuild::GetPackage(137, {{1, 0x9F}}), zelk::EnableAllAxesPackage());
    EXPECT_EQ(ZELKMachineCodeBuild::GetPackage(135, {{1, 0}, {2, 100}, {2, 65535}}), zelk::WaitForToolPackage());
}

TEST(PacketBuilder, PayloadsBeyondTheFrameAreRefused)
{
    // 61 payload bytes (the command and fifteen 32-bit fields) fill the
    // 64-byte frame exactly; one byte more would write past it.
    std::vector<PackageData> fields(15, PackageData{3, 0x01020304});
    Package full = ZELKMachineCodeBuild::GetPackage(155, fields);
    EXPECT_EQ(full.size, 64);
    ExpectValidFrame(full);

    fields.push_back(PackageData{1, 7});
    Package over = ZELKMachineCodeBuild::GetPackage(155, fields);
    EXPECT_EQ(over.size, 0);
    EXPECT_EQ(over, Package());

    Package out = zelk::IsFinishedPackage();
    EXPECT_EQ(ZELKMachineCodeBuild::GetPackage(155, fields.data(), fields.size(), out), 0);
    EXPECT_EQ(out, Package());
    EXPECT_EQ(ZELKMachineCodeBuild::GetPackage(155, fields.data(), 15, out), 1);
    EXPECT_EQ(out, full);
}

TEST(FixedPackets, AreTheDocumentedFramesWithValidCrcs)
{
    struct Case {
        Package package;
        std::vector<unsigned char> frame;
        int tag;
    };
    const Case cases[] = {
        {zelk::IsFinishedPackage(), {0xD5, 0x01, 0x0B, 0x20}, 0},
        {zelk::ExtruderTemperatureQueryPackage(), {0xD5, 0x03, 0x0A, 0x00, 0x02, 0xD6}, 0},
        {zelk::PlatformTemperatureQueryPackage(), {0xD5, 0x03, 0x0A, 0x00, 0x1E, 0xE8}, 1},
        {zelk::MachineCoordinateQueryPackage(), {0xD5, 0x01, 0x15, 0xA2}, 0},
        {zelk::ExtendedStopPackage(), {0xD5, 0x02, 0x16, 0x03, 0xA4}, 0},
        {zelk::HaltSteppersPackage(), {0xD5, 0x02, 0x16, 0x01, 0x18}, 0},
        {zelk::VersionQueryPackage(), {0xD5, 0x03, 0x00, 0x28, 0x00, 0xB7}, 0},
        {zelk::WaitForToolPackage(), {0xD5, 0x06, 0x87, 0x00, 0x64, 0x00, 0xFF, 0xFF, 0x45}, 0},
        {zelk::ChangeToolPackage(), {0xD5, 0x02, 0x86, 0x00, 0x85}, 0},
        {zelk::EnableAllAxesPackage(), {0xD5, 0x02, 0x89, 0x9F, 0xCD}, 0},
        {zelk::ExtruderMotorPackage(), {0xD5, 0x05, 0x88, 0x00, 0x0A, 0x01, 0x03, 0xB9}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Frame(c.package), c.frame);
        EXPECT_EQ(c.package.tag, c.tag);
        ExpectValidFrame(c.package);
    }
}

TEST(FixedPackets, MachineControlConstructorsFillTheCallersPackage)
{
    ZELKMachineControl control;
    Package p;
    EXPECT_EQ(control.GetEndPrintPackage(p), 1);
    EXPECT_EQ(p, zelk::ExtendedStopPackage());
    EXPECT_EQ(control.GetExtrudeHeaderAbortPackage(p), 1);
    EXPECT_EQ(p, zelk::ExtendedStopPackage());
    EXPECT_EQ(ZELKMachineControl::GetInquire_PlatformTemperaturePackage(p), 1);
    EXPECT_EQ(p.tag, 1);
    EXPECT_EQ(ZELKMachineControl::GetInquire_ExtrudeHeadTemperaturePackage(p), 1);
    EXPECT_EQ(p.tag, 0);
    EXPECT_EQ(control.GetInquireMachineCoordinatePackage(p), 1);
    EXPECT_EQ(p, zelk::MachineCoordinateQueryPackage());
    EXPECT_EQ(control.GetIsFinishedPackage(p), 1);
    EXPECT_EQ(p, zelk::IsFinishedPackage());
}

int32_t Param32(const Package& p, int index)
{
    int32_t v = 0;
    std::memcpy(&v, p.Payload() + 1 + 4 * index, 4);
    return v;
}

TEST(ExtruderMove, ClampsTheSpeedAndSignsByDirection)
{
    Package retract = zelk::ExtruderMovePackage(0, 25.0f, 60);
    ExpectValidFrame(retract);
    EXPECT_EQ(retract.Payload()[0], 142);
    EXPECT_EQ(retract.PayloadSize(), 1 + 6 * 4 + 1);
    EXPECT_EQ(Param32(retract, 0), 0);
    EXPECT_EQ(Param32(retract, 3), 64000);
    EXPECT_EQ(Param32(retract, 4), 0);
    EXPECT_EQ(Param32(retract, 5), 60000000);
    EXPECT_EQ(retract.Payload()[25], 31);

    EXPECT_EQ(Param32(zelk::ExtruderMovePackage(1, 25.0f, 60), 3), -64000);
    // Speed truncates to whole units; time is a fraction of a minute.
    EXPECT_EQ(Param32(zelk::ExtruderMovePackage(1, 5.9f, 30), 3), -8000);
    EXPECT_EQ(Param32(zelk::ExtruderMovePackage(7, 20.0f, 90), 3), -96000);
}

TEST(PrintPercent, ClampsAt100AndCarries0xFF)
{
    Package p = zelk::PrintPercentPackage(42);
    ExpectValidFrame(p);
    EXPECT_EQ(Frame(p).size(), 6u);
    EXPECT_EQ(p.Payload()[0], 150);
    EXPECT_EQ(p.Payload()[1], 42);
    EXPECT_EQ(p.Payload()[2], 0xFF);
    EXPECT_EQ(zelk::PrintPercentPackage(124).Payload()[1], 100);
}

}  // namespace
