// Classifies the printer's reply frames into the reply record the machine
// control and the user interface act on.
#pragma once

#include <atomic>
#include <cstddef>

// The parsed reply, copied by value. type: 1 version answered, 2 acknowledged,
// 3 refused, 4 extruder temperature, 5 position, 6 build not finished,
// 7 build finished, 8 platform temperature; 0 before the first reply.
struct RECEIVEBUF {
    int type = 0;
    int platformTemperature = 0;   // °C, from the last platform temperature reply
    int extruderTemperature = 0;   // °C, from the last extruder temperature reply
    float x = 0;                   // never filled
    float y = 0;                   // never filled
    float z = 0;                   // mm, from the last position reply
};

namespace zelk {

enum ReplyType {
    kReplyNone = 0,
    kReplyVersion = 1,
    kReplyAcknowledged = 2,
    kReplyRefused = 3,
    kReplyExtruderTemperature = 4,
    kReplyPosition = 5,
    kReplyBuildNotFinished = 6,
    kReplyBuildFinished = 7,
    kReplyPlatformTemperature = 8,
};

// Updates record from one whole frame (start byte to CRC), classified by its
// total length. A frame the table does not know leaves record unchanged.
// platformQueryOutstanding says whether a 6-byte temperature answer belongs
// to the platform; the result says whether such an answer consumed it.
struct ClassifyResult {
    bool changed = false;
    bool platformQueryAnswered = false;
};
ClassifyResult ClassifyReplyFrame(const unsigned char* frame, std::size_t length, double zStepsPerMM,
                                  bool platformQueryOutstanding, RECEIVEBUF& record);

}  // namespace zelk

// Holds one reply record and fills it frame by frame. The outstanding
// platform-query flag belongs to the machine control; the parser reads it and
// clears it when the platform temperature arrives.
class ZELKReceiveParser {
public:
    // zStepsPerMM: motor Z of the machine model. platformQueryFlag may be null
    // (every temperature answer is then the extruder's).
    explicit ZELKReceiveParser(double zStepsPerMM = 71.699959, std::atomic<int>* platformQueryFlag = nullptr);

    // frame: the frame's bytes; length: its byte count as a pointer-sized
    // integer. False when the frame is no reply this host knows (the record
    // is then unchanged and the frame answers nothing).
    bool ParserReceiveBuffer(void* frame, void* length);
    bool ParserReceiveBuffer(const unsigned char* frame, std::size_t length);

    const RECEIVEBUF& GetReceiveBuf() const { return m_record; }

private:
    RECEIVEBUF m_record;
    double m_zStepsPerMM;
    std::atomic<int>* m_platformQueryFlag;
};
