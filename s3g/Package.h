// S3G frames: the Package record every command travels in, its parameters,
// the frame builder with the Dallas/Maxim CRC-8, and the generic command builder.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <vector>

// One framed command: D5, payload length, payload (command byte first), CRC.
// A zeroed Package (size 0) is valid: it sends and writes nothing.
struct Package {
    int size = 0;                   // frame length in bytes; 0 for an empty package
    unsigned char data[64] = {};    // the frame; bytes after it are 0
    int tag = 0;                    // 1 on the platform temperature query, else 0

    // The command byte and its parameters (data[2] .. data[2 + data[1]]).
    const unsigned char* Payload() const { return data + 2; }
    int PayloadSize() const { return size == 0 ? 0 : data[1]; }
};

bool operator==(const Package& a, const Package& b);

// The most payload bytes a frame holds: the 64-byte frame less the start
// byte, the length byte and the CRC.
inline constexpr std::size_t kMaxPayloadBytes = sizeof(Package::data) - 3;

// The frame of a payload of at most kMaxPayloadBytes (command byte first):
// every byte of out written exactly as ZELKMachineCodeBuild::GetPackage
// writes it, tag 0. Size 0 gives an empty package.
void FramePayload(const unsigned char* payload, std::size_t size, Package& out);

// One parameter: type 1 appends the low byte of value, type 2 the low 16
// bits, type 3 all 32 bits (little-endian). Other types append nothing.
struct PackageData {
    int type = 0;
    int value = 0;
};

// A frame under construction in a 64-byte buffer. Capacity is not checked:
// no command of this system has more than 32 payload bytes.
class CPacketBuilder {
public:
    CPacketBuilder();
    explicit CPacketBuilder(int command);
    virtual ~CPacketBuilder() = default;

    void ReBuilder(int command);
    void add8(int v);
    void add16(int v);
    void add32(long v);
    // Stores the CRC and the length byte; the count becomes the frame length.
    // Call once per frame.
    unsigned char* getPacket();
    int GetPacketCount() const { return m_count; }

    static unsigned char CaculateCRC_8C(const unsigned char* data, unsigned offset, unsigned n);

private:
    unsigned char m_buffer[64];
    int m_index;
    int m_count;
};

namespace ZELKMachineCodeBuild {
// The frame of command with params appended in order by their types.
Package GetPackage(int command, const std::vector<PackageData>& params);
Package GetPackage(int command, std::initializer_list<PackageData> params);
Package GetPackage(int command, const PackageData* params, std::size_t count);
// The same frame written into out (every byte of it), without a copy.
// Returns 1; returns 0 with out an empty package when the payload (command
// byte and parameters) would pass kMaxPayloadBytes. The overloads above
// return an empty package then.
int GetPackage(int command, std::initializer_list<PackageData> params, Package& out);
int GetPackage(int command, const PackageData* params, std::size_t count, Package& out);
}
