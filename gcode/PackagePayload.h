// One package as the translator builds it: the payload alone (command byte and fields, little-endian), framed into a Package only where a frame is wanted.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Package.h"

namespace zelk {

// An X3G file holds payloads without their frames, so the translator builds
// the payload and frames it (start byte, length, CRC) only for a print list
// or a single line. Size 0: no package.
struct PackagePayload {
    unsigned char bytes[kMaxPayloadBytes];
    std::size_t size = 0;

    void Begin(int command)
    {
        bytes[0] = static_cast<unsigned char>(command);
        size = 1;
    }
    // The fields of this system's commands fit (S3GCommands.h): unchecked.
    void Add8(int v) { bytes[size++] = static_cast<unsigned char>(v); }
    void Add16(int v)
    {
        const std::uint16_t u = static_cast<std::uint16_t>(v);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes + size, &u, 2);
        } else {
            bytes[size] = static_cast<unsigned char>(u);
            bytes[size + 1] = static_cast<unsigned char>(u >> 8);
        }
        size += 2;
    }
    void Add32(int v)
    {
        const std::uint32_t u = static_cast<std::uint32_t>(v);
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(bytes + size, &u, 4);
        } else {
            bytes[size] = static_cast<unsigned char>(u);
            bytes[size + 1] = static_cast<unsigned char>(u >> 8);
            bytes[size + 2] = static_cast<unsigned char>(u >> 16);
            bytes[size + 3] = static_cast<unsigned char>(u >> 24);
        }
        size += 4;
    }
    // The payload of a whole package (a fixed one).
    void Set(const Package& package)
    {
        size = static_cast<std::size_t>(package.PayloadSize());
        std::memcpy(bytes, package.Payload(), size);
    }
    // The frame of this payload (FramePayload). Size 0 gives an empty package.
    void Frame(Package& out) const { FramePayload(bytes, size, out); }
};

}  // namespace zelk
