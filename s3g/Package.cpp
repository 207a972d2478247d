// S3G frames: the Package record, the frame builder with its CRC, the generic builder.
#include "Package.h"

#include <array>
#include <cstring>

#include "S3GCommands.h"

namespace {

// CRC-8 of the Dallas/Maxim 1-Wire bus: polynomial x^8 + x^5 + x^4 + 1,
// least significant bit first (reflected constant 0x8C), initial value 0.
constexpr std::array<unsigned char, 256> MakeCrcTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        unsigned crc = static_cast<unsigned>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0x8C : crc >> 1;
        table[i] = static_cast<unsigned char>(crc);
    }
    return table;
}

constexpr std::array<unsigned char, 256> kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x5E && kCrcTable[2] == 0xBC && kCrcTable[255] == 0x35);

// The CRC is linear, so four bytes can be taken at once: table k gives the
// CRC of a byte followed by k zero bytes, and the four lookups of a group
// no longer wait on each other.
constexpr std::array<std::array<unsigned char, 256>, 4> MakeSlicedCrcTables()
{
    std::array<std::array<unsigned char, 256>, 4> tables{};
    tables[0] = kCrcTable;
    for (int k = 1; k < 4; ++k) {
        for (int i = 0; i < 256; ++i)
            tables[k][i] = kCrcTable[tables[k - 1][i]];
    }
    return tables;
}

constexpr std::array<std::array<unsigned char, 256>, 4> kSlicedCrc = MakeSlicedCrcTables();

unsigned char Crc8(const unsigned char* data, std::size_t n)
{
    unsigned char crc = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        crc = kSlicedCrc[3][crc ^ data[i]] ^ kSlicedCrc[2][data[i + 1]] ^ kSlicedCrc[1][data[i + 2]] ^
              kSlicedCrc[0][data[i + 3]];
    }
    for (; i < n; ++i)
        crc = kCrcTable[crc ^ data[i]];
    return crc;
}

// The bytes a parameter of this type appends to the frame.
std::size_t FieldBytes(int type)
{
    switch (type) {
    case zelk::s3g::kField8: return 1;
    case zelk::s3g::kField16: return 2;
    case zelk::s3g::kField32: return 4;
    default: return 0;
    }
}

}  // namespace

void FramePayload(const unsigned char* payload, std::size_t size, Package& out)
{
    std::memset(out.data, 0, sizeof out.data);
    out.tag = 0;
    out.size = 0;
    if (size == 0)
        return;
    out.data[0] = 0xD5;
    out.data[1] = static_cast<unsigned char>(size);
    std::memcpy(out.data + 2, payload, size);
    out.data[2 + size] = Crc8(out.data + 2, size);
    out.size = static_cast<int>(size) + 3;
}

bool operator==(const Package& a, const Package& b)
{
    return a.size == b.size && a.tag == b.tag && std::memcmp(a.data, b.data, sizeof a.data) == 0;
}

CPacketBuilder::CPacketBuilder() : m_buffer{}, m_index(0), m_count(0) {}

CPacketBuilder::CPacketBuilder(int command) : CPacketBuilder()
{
    ReBuilder(command);
}

void CPacketBuilder::ReBuilder(int command)
{
    std::memset(m_buffer, 0, sizeof m_buffer);
    m_buffer[0] = 0xD5;
    m_buffer[2] = static_cast<unsigned char>(command);
    m_index = 3;
    m_count = 2;
}

void CPacketBuilder::add8(int v)
{
    m_buffer[m_index++] = static_cast<unsigned char>(v & 0xFF);
    ++m_count;
}

void CPacketBuilder::add16(int v)
{
    add8(v);
    add8(v >> 8);
}

void CPacketBuilder::add32(long v)
{
    add8(static_cast<int>(v & 0xFF));
    add8(static_cast<int>((v >> 8) & 0xFF));
    add8(static_cast<int>((v >> 16) & 0xFF));
    add8(static_cast<int>((v >> 24) & 0xFF));
}

unsigned char* CPacketBuilder::getPacket()
{
    const int payload = m_count - 1;
    m_buffer[m_index] = CaculateCRC_8C(m_buffer, 2, static_cast<unsigned>(payload));
    m_buffer[1] = static_cast<unsigned char>(payload);
    m_count += 2;
    return m_buffer;
}

unsigned char CPacketBuilder::CaculateCRC_8C(const unsigned char* data, unsigned offset, unsigned n)
{
    return Crc8(data + offset, n);
}

namespace ZELKMachineCodeBuild {

Package GetPackage(int command, const std::vector<PackageData>& params)
{
    return GetPackage(command, params.data(), params.size());
}

Package GetPackage(int command, std::initializer_list<PackageData> params)
{
    return GetPackage(command, params.begin(), params.size());
}

Package GetPackage(int command, const PackageData* params, std::size_t count)
{
    Package package;
    GetPackage(command, params, count, package);
    return package;
}

int GetPackage(int command, std::initializer_list<PackageData> params, Package& out)
{
    return GetPackage(command, params.begin(), params.size(), out);
}

int GetPackage(int command, const PackageData* params, std::size_t count, Package& out)
{
    // The same frame as CPacketBuilder makes, written straight into the
    // package: every translated line passes through here.
    std::memset(out.data, 0, sizeof out.data);
    out.tag = 0;
    out.size = 0;
    std::size_t payload = 1;
    for (std::size_t i = 0; i < count; ++i)
        payload += FieldBytes(params[i].type);
    if (payload > kMaxPayloadBytes)
        return 0;
    unsigned char* frame = out.data;
    frame[0] = 0xD5;
    frame[2] = static_cast<unsigned char>(command);
    int index = 3;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned value = static_cast<unsigned>(params[i].value);
        switch (params[i].type) {
        case 1:
            frame[index++] = static_cast<unsigned char>(value);
            break;
        case 2:
            frame[index] = static_cast<unsigned char>(value);
            frame[index + 1] = static_cast<unsigned char>(value >> 8);
            index += 2;
            break;
        case 3:
            frame[index] = static_cast<unsigned char>(value);
            frame[index + 1] = static_cast<unsigned char>(value >> 8);
            frame[index + 2] = static_cast<unsigned char>(value >> 16);
            frame[index + 3] = static_cast<unsigned char>(value >> 24);
            index += 4;
            break;
        default:
            break;
        }
    }
    frame[index] = Crc8(frame + 2, payload);
    frame[1] = static_cast<unsigned char>(payload);
    out.size = index + 1;
    return 1;
}

}  // namespace ZELKMachineCodeBuild
