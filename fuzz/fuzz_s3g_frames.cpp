// Fuzzes frame reassembly from a noisy byte stream and the reply parser fed by it.
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "S3GFrameAssembler.h"
#include "S3GFrameCheck.h"
#include "ZELKReceiveParser.h"

namespace {

using Frames = std::vector<std::vector<unsigned char>>;

bool SameRecord(const RECEIVEBUF& a, const RECEIVEBUF& b)
{
    return a.type == b.type && a.platformTemperature == b.platformTemperature &&
           a.extruderTemperature == b.extruderTemperature && std::memcmp(&a.z, &b.z, sizeof a.z) == 0;
}

// Every frame the assembler hands out is well formed; the reply parser keeps
// its record within the reply types and never touches it for unknown lengths.
struct Receiver {
    std::atomic<int> platformQuery{0};
    ZELKReceiveParser parser{71.699959, &platformQuery};
    Frames frames;

    void operator()(const unsigned char* frame, std::size_t length)
    {
        fuzzsupport::CheckFrame(frame, length, "assembled frame");
        frames.emplace_back(frame, frame + length);
        const RECEIVEBUF before = parser.GetReceiveBuf();
        const bool outstanding = platformQuery.load() != 0;
        parser.ParserReceiveBuffer(frame, length);
        const RECEIVEBUF& after = parser.GetReceiveBuf();
        FUZZ_CHECK(after.type >= zelk::kReplyNone && after.type <= zelk::kReplyPlatformTemperature, "reply type");
        if (length != 4 && length != 5 && length != 6 && length != 26)
            FUZZ_CHECK(SameRecord(before, after), "a frame of unknown length changed the record");
        // Only a platform temperature answer consumes the outstanding query.
        if (outstanding && platformQuery.load() == 0)
            FUZZ_CHECK(after.type == zelk::kReplyPlatformTemperature && length == 6, "query consumed");
        FUZZ_CHECK(std::isfinite(after.z), "position");
    }
};

// Bytes fed = bytes dropped + bytes handed out in frames + bytes still held.
void CheckAccounting(const zelk::S3GFrameAssembler& assembler, const Frames& frames, std::size_t fed)
{
    std::size_t framed = 0;
    for (const auto& f : frames)
        framed += f.size();
    FUZZ_CHECK(assembler.DroppedBytes() + framed + assembler.PendingBytes() == fed, "byte accounting");
    FUZZ_CHECK(assembler.CrcMismatches() <= assembler.DroppedBytes(), "CRC mismatches are dropped bytes");
}

// Noise around valid frames: the same frames come out however the stream is
// cut into reads, and stalled starts only ever drop bytes.
void FuzzStream(FuzzedDataProvider& input)
{
    const bool platformQuery = input.ConsumeBool();
    const std::vector<std::uint8_t> cuts = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 64));
    const std::vector<std::uint8_t> stream = input.ConsumeRemainingBytes<std::uint8_t>();

    zelk::S3GFrameAssembler whole;
    Receiver wholeFrames;
    wholeFrames.platformQuery = platformQuery ? 1 : 0;
    whole.Feed(stream.data(), stream.size(), std::ref(wholeFrames));
    CheckAccounting(whole, wholeFrames.frames, stream.size());

    zelk::S3GFrameAssembler pieces, stalled;
    Receiver pieceFrames, stalledFrames;
    pieceFrames.platformQuery = stalledFrames.platformQuery = platformQuery ? 1 : 0;
    std::size_t offset = 0, cut = 0;
    while (offset < stream.size()) {
        const std::uint8_t c = cuts.empty() ? 7 : cuts[cut++ % cuts.size()];
        const std::size_t n = std::min<std::size_t>(stream.size() - offset, (c & 0x3F) + 1);
        pieces.Feed(stream.data() + offset, n, std::ref(pieceFrames));
        stalled.Feed(stream.data() + offset, n, std::ref(stalledFrames));
        if ((c & 0x80) != 0) {
            const std::size_t droppedBefore = stalled.DroppedBytes();
            const bool dropped = stalled.DropStalledStart(std::ref(stalledFrames));
            FUZZ_CHECK(dropped == (stalled.DroppedBytes() > droppedBefore), "DropStalledStart result");
        }
        offset += n;
        CheckAccounting(pieces, pieceFrames.frames, offset);
        CheckAccounting(stalled, stalledFrames.frames, offset);
    }
    FUZZ_CHECK(pieceFrames.frames == wholeFrames.frames, "frames depend on how the stream was cut");
    FUZZ_CHECK(SameRecord(pieceFrames.parser.GetReceiveBuf(), wholeFrames.parser.GetReceiveBuf()), "record");
    FUZZ_CHECK(whole.PendingBytes() == pieces.PendingBytes(), "held bytes");
    // While its first start byte has no other behind it, the assembler keeps waiting.
    if (whole.PendingBytes() > 0)
        FUZZ_CHECK(stream[stream.size() - whole.PendingBytes()] == 0xD5, "held bytes start a frame");
}

// Valid frames separated by noise without start bytes: every frame comes out,
// in order and unchanged, whatever payload bytes (0xD5 included) they hold.
void FuzzValidFrames(FuzzedDataProvider& input)
{
    std::vector<std::uint8_t> stream;
    Frames sent;
    while (input.remaining_bytes() > 0) {
        std::vector<std::uint8_t> noise = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 3));
        for (std::uint8_t& b : noise)
            if (b == 0xD5)
                b = 0x55;
        stream.insert(stream.end(), noise.begin(), noise.end());
        const std::size_t payload = input.ConsumeIntegralInRange<std::size_t>(1, fuzzsupport::kMaxPayload);
        std::vector<unsigned char> frame{0xD5, static_cast<unsigned char>(payload)};
        const std::vector<std::uint8_t> body = input.ConsumeBytes<std::uint8_t>(payload);
        frame.insert(frame.end(), body.begin(), body.end());
        frame.resize(payload + 2, 0);
        frame.push_back(fuzzsupport::ReferenceCrc8(frame.data() + 2, payload));
        stream.insert(stream.end(), frame.begin(), frame.end());
        sent.push_back(std::move(frame));
    }
    zelk::S3GFrameAssembler assembler;
    Receiver received;
    assembler.Feed(stream.data(), stream.size(), std::ref(received));
    FUZZ_CHECK(received.frames == sent, "a valid frame was lost or changed");
    FUZZ_CHECK(assembler.PendingBytes() == 0 && assembler.CrcMismatches() == 0, "valid stream fully consumed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        FuzzValidFrames(input);
    else
        FuzzStream(input);
    return 0;
}
