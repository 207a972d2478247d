// What every S3G frame must be, checked with a bit-by-bit CRC of its own rather than the table-driven one under test.
#pragma once

#include <cstddef>

#include "FuzzSupport.h"

namespace fuzzsupport {

// Dallas/Maxim CRC-8 (reflected polynomial 0x8C, start 0), one bit at a time.
inline unsigned char ReferenceCrc8(const unsigned char* data, std::size_t n)
{
    unsigned char crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<unsigned char>((crc & 1) != 0 ? (crc >> 1) ^ 0x8C : crc >> 1);
    }
    return crc;
}

// The largest payload the link accepts (the frame assembler's limit).
constexpr std::size_t kMaxPayload = 32;

// Start byte, a length byte that matches the frame, a payload the link
// accepts, and the CRC of that payload.
inline void CheckFrame(const unsigned char* frame, std::size_t length, const char* what)
{
    FUZZ_CHECK(length >= 4, what);
    FUZZ_CHECK(frame[0] == 0xD5, what);
    FUZZ_CHECK(frame[1] >= 1 && frame[1] <= kMaxPayload, what);
    FUZZ_CHECK(length == static_cast<std::size_t>(frame[1]) + 3, what);
    FUZZ_CHECK(ReferenceCrc8(frame + 2, frame[1]) == frame[length - 1], what);
}

}  // namespace fuzzsupport
