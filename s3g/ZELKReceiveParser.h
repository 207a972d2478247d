// Classifies the printer's reply frames into the reply record the machine
// control and the user interface act on.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

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
// versionQueryOutstanding says that a 6-byte success answer is the firmware
// version whatever its value (702 is known without it); a version answer
// fills firmwareVersion. A position answer fills positionSteps.
struct ClassifyResult {
    bool changed = false;
    bool platformQueryAnswered = false;
    int firmwareVersion = -1;           // -1: not a version answer
    bool position = false;              // positionSteps holds X, Y, Z, A, B
    std::int32_t positionSteps[5] = {};
};
ClassifyResult ClassifyReplyFrame(const unsigned char* frame, std::size_t length, double zStepsPerMM,
                                  bool platformQueryOutstanding, RECEIVEBUF& record,
                                  bool versionQueryOutstanding = false);

}  // namespace zelk

// Holds one reply record and fills it frame by frame. The outstanding
// platform-query and version-query flags belong to the machine control; the
// parser reads them and clears each when its answer arrives.
class ZELKReceiveParser {
public:
    // zStepsPerMM: motor Z of the machine model. platformQueryFlag may be null
    // (every temperature answer is then the extruder's).
    explicit ZELKReceiveParser(double zStepsPerMM = 71.699959, std::atomic<int>* platformQueryFlag = nullptr,
                               std::atomic<int>* versionQueryFlag = nullptr);

    // frame: the frame's bytes; length: its byte count as a pointer-sized
    // integer. False when the frame is no reply this host knows (the record
    // is then unchanged and the frame answers nothing).
    bool ParserReceiveBuffer(void* frame, void* length);
    bool ParserReceiveBuffer(const unsigned char* frame, std::size_t length);

    const RECEIVEBUF& GetReceiveBuf() const { return m_record; }
    // The firmware version of the last version answer; 0 before the first.
    int GetFirmwareVersion() const { return m_firmwareVersion; }
    // The last frame was a position answer: its X, Y, Z, A, B in steps.
    bool LastWasPosition() const { return m_lastWasPosition; }
    const std::int32_t* GetPositionSteps() const { return m_positionSteps; }

private:
    RECEIVEBUF m_record;
    int m_firmwareVersion = 0;
    bool m_lastWasPosition = false;
    std::int32_t m_positionSteps[5] = {};
    std::atomic<int>* m_versionQueryFlag;
    double m_zStepsPerMM;
    std::atomic<int>* m_platformQueryFlag;
};
