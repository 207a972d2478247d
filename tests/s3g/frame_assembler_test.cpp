// Frame reassembly from a byte stream: split frames, noise, false start bytes.
#include <gtest/gtest.h>

#include <vector>

#include "LinkTestFrames.h"
#include "S3GFrameAssembler.h"

using linktest::Concat;
using linktest::Frame;
using Bytes = std::vector<unsigned char>;

namespace {

struct Collector {
    std::vector<Bytes> frames;
    zelk::S3GFrameAssembler::FrameHandler Handler()
    {
        return [this](const unsigned char* f, std::size_t n) { frames.emplace_back(f, f + n); };
    }
};

void FeedAll(zelk::S3GFrameAssembler& a, const Bytes& bytes, Collector& c)
{
    a.Feed(bytes.data(), bytes.size(), c.Handler());
}

}  // namespace

TEST(FrameAssembler, FrameWaitsForItsCrcByte)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes ack = Frame({0x81});
    FeedAll(a, Bytes(ack.begin(), ack.begin() + 3), c);
    EXPECT_TRUE(c.frames.empty());
    EXPECT_EQ(a.PendingBytes(), 3u);
    FeedAll(a, Bytes(ack.begin() + 3, ack.end()), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], ack);
    EXPECT_EQ(a.PendingBytes(), 0u);
}

TEST(FrameAssembler, NoiseBeforeAFrameIsDropped)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes ack = Frame({0x81});
    FeedAll(a, Concat({{0x00, 0x17}, ack}), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], ack);
    EXPECT_EQ(a.DroppedBytes(), 2u);
}

TEST(FrameAssembler, ByteByByteAndSeveralFramesInOneReadKeepTheirOrder)
{
    const Bytes stream = Concat({Frame({0x81}), Frame({0x81, 0x1E, 0x00}), Frame({0x81, 0x01})});
    for (bool byteByByte : {false, true}) {
        zelk::S3GFrameAssembler a;
        Collector c;
        if (byteByByte) {
            for (unsigned char b : stream)
                a.Feed(&b, 1, c.Handler());
        } else {
            FeedAll(a, stream, c);
        }
        ASSERT_EQ(c.frames.size(), 3u) << byteByByte;
        EXPECT_EQ(c.frames[0].size(), 4u);
        EXPECT_EQ(c.frames[1].size(), 6u);
        EXPECT_EQ(c.frames[2].size(), 5u);
    }
}

TEST(FrameAssembler, FalseStartByteWithBadCrcIsSkipped)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes ack = Frame({0x81});
    // D5 01 xx yy looks like a 4-byte frame but its CRC is wrong; the real
    // frame follows inside the bytes it claimed.
    FeedAll(a, Concat({{0xD5, 0x01, 0x42}, ack}), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], ack);
    EXPECT_GE(a.CrcMismatches(), 1u);
}

TEST(FrameAssembler, CorruptedReplyIsNotDelivered)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    Bytes temp = Frame({0x81, 0x1E, 0x00});
    temp[3] ^= 0x04;
    FeedAll(a, temp, c);
    EXPECT_TRUE(c.frames.empty());
    EXPECT_EQ(a.PendingBytes(), 0u);
}

TEST(FrameAssembler, ImpossibleLengthDoesNotStallTheLink)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes ack = Frame({0x81});
    FeedAll(a, Concat({{0xD5, 0xF0}, ack}), c);
    ASSERT_EQ(c.frames.size(), 1u);
    FeedAll(a, Concat({{0xD5, 0x00, 0x00}, ack}), c);  // empty payload: not a reply
    ASSERT_EQ(c.frames.size(), 2u);
    EXPECT_EQ(c.frames[1], ack);
}

TEST(FrameAssembler, StalledFalseStartIsDroppedWhenTheLineGoesQuiet)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes ack = Frame({0x81});
    // A plausible length (20) swallows the real reply that follows.
    FeedAll(a, Concat({{0xD5, 0x14}, ack}), c);
    EXPECT_TRUE(c.frames.empty());
    EXPECT_TRUE(a.DropStalledStart(c.Handler()));
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], ack);
}

TEST(FrameAssembler, SlowFrameWithoutAnotherStartByteIsKeptThroughAQuietSpell)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    const Bytes temp = Frame({0x81, 0x1E, 0x00});
    FeedAll(a, Bytes(temp.begin(), temp.begin() + 3), c);
    EXPECT_FALSE(a.DropStalledStart(c.Handler()));
    FeedAll(a, Bytes(temp.begin() + 3, temp.end()), c);
    ASSERT_EQ(c.frames.size(), 1u);
    EXPECT_EQ(c.frames[0], temp);
}

TEST(FrameAssembler, NoiseWithoutStartByteIsNotKept)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    FeedAll(a, Bytes(1000, 0x55), c);
    EXPECT_EQ(a.PendingBytes(), 0u);
    EXPECT_EQ(a.DroppedBytes(), 1000u);
}

TEST(FrameAssembler, LongStreamOfFramesAllArrive)
{
    zelk::S3GFrameAssembler a;
    Collector c;
    Bytes stream;
    for (int i = 0; i < 3000; ++i) {
        const Bytes f = Frame({0x81, static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8)});
        stream.insert(stream.end(), f.begin(), f.end());
    }
    for (std::size_t off = 0; off < stream.size(); off += 7)
        a.Feed(stream.data() + off, std::min<std::size_t>(7, stream.size() - off), c.Handler());
    ASSERT_EQ(c.frames.size(), 3000u);
    EXPECT_EQ(c.frames[2999][3], static_cast<unsigned char>(2999));
    EXPECT_EQ(c.frames[2999][4], static_cast<unsigned char>(2999 >> 8));
}

TEST(FrameAssembler, GarbledReplyIsReportedOnceButNoiseBeforeAFrameIsNot)
{
    const Bytes ack = Frame({0x81});
    Bytes garbled = Frame({0x81, 0x1E, 0x00});
    garbled.back() ^= 0x5A;
    struct Case {
        const char* name;
        Bytes bytes;
        bool reported;
    };
    const Case cases[] = {
        {"garbled reply alone", garbled, true},
        {"false start inside noise, then a reply", Concat({{0xD5, 0x01, 0x42}, ack}), false},
        {"garbled reply, then a reply", Concat({garbled, ack}), false},
        {"reply, then a garbled reply", Concat({ack, garbled}), true},
        {"noise without a start byte", Bytes{0x01, 0x02, 0x03}, false},
    };
    for (const Case& c : cases) {
        zelk::S3GFrameAssembler a;
        Collector collector;
        FeedAll(a, c.bytes, collector);
        EXPECT_EQ(a.HoldsBadFrame(), c.reported) << c.name;
        EXPECT_EQ(a.TakeBadFrame(), c.reported) << c.name;
        EXPECT_FALSE(a.TakeBadFrame()) << c.name << ": reported twice";
    }
    zelk::S3GFrameAssembler a;
    Collector collector;
    FeedAll(a, garbled, collector);
    a.Clear();  // the port closed: nothing left to report
    EXPECT_FALSE(a.TakeBadFrame());
}
