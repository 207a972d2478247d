// Helpers for link tests: reply frames built with the real CRC.
#pragma once

#include <initializer_list>
#include <vector>

#include "Package.h"

namespace linktest {

// D5, length, payload, CRC.
inline std::vector<unsigned char> Frame(std::initializer_list<unsigned char> payload)
{
    std::vector<unsigned char> frame{0xD5, static_cast<unsigned char>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(CPacketBuilder::CaculateCRC_8C(frame.data(), 2, static_cast<unsigned>(payload.size())));
    return frame;
}

inline std::vector<unsigned char> Concat(std::initializer_list<std::vector<unsigned char>> parts)
{
    std::vector<unsigned char> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace linktest
