// An X3G stream read back into what the printer does: positions reached, filament pushed, heaters and waits.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace x3gtest {

struct Step5 {
    std::int64_t v[5] = {0, 0, 0, 0, 0};
};

// What a print does, read from its commands alone.
struct Playback {
    // X, Y, Z (absolute) and A (absolute, pushed filament positive) after each
    // move and each position the printer is told it is at.
    std::vector<Step5> reached;
    std::int64_t extrudedSteps = 0;        // filament pushed out, in A steps
    std::int64_t retractedSteps = 0;       // filament drawn back
    std::vector<std::pair<int, int>> heaters;  // (tool action 3 extruder / 31 platform, degrees C), in order
    std::vector<int> commands;             // every command byte, in order
    std::string error;                     // a command this reader does not know, or a stream cut short
};

inline std::int32_t Int32(const unsigned char* p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// Reads a payload stream (as an X3G file holds it).
inline Playback Play(const std::string& bytes)
{
    Playback play;
    Step5 at;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const int command = p[i];
        play.commands.push_back(command);
        std::size_t length = 0;  // after the command byte
        switch (command) {
        case 131: case 132: length = 7; break;
        case 133: length = 4; break;
        case 134: length = 1; break;
        case 135: case 141: length = 5; break;
        case 136: length = i + 3 < n ? 3u + p[i + 3] : 3u; break;
        case 137: length = 1; break;
        case 140: length = 20; break;
        case 142: length = 25; break;
        case 150: length = 2; break;
        case 155: length = 31; break;
        case 149: {
            std::size_t end = i + 5;
            while (end < n && p[end] != 0)
                ++end;
            length = end + 1 - (i + 1);
            break;
        }
        default:
            play.error = "unknown command " + std::to_string(command) + " at byte " + std::to_string(i);
            return play;
        }
        if (i + 1 + length > n) {
            play.error = "the stream ends inside command " + std::to_string(command);
            return play;
        }
        const unsigned char* q = p + i + 1;
        if (command == 140) {
            for (int k = 0; k < 4; ++k)
                at.v[k] = Int32(q + 4 * k);
            at.v[3] = -at.v[3];  // the printer counts A negative for filament pushed
            play.reached.push_back(at);  // where homing (or a reset) says the head is
        } else if (command == 155 || command == 142) {
            for (int k = 0; k < 3; ++k)
                at.v[k] = command == 155 ? Int32(q + 4 * k) : at.v[k] + Int32(q + 4 * k);
            const std::int64_t pushed = -static_cast<std::int64_t>(Int32(q + 12));
            at.v[3] += pushed;
            (pushed > 0 ? play.extrudedSteps : play.retractedSteps) += pushed > 0 ? pushed : -pushed;
            play.reached.push_back(at);
        } else if (command == 136 && (q[1] == 3 || q[1] == 31) && q[2] == 2) {
            play.heaters.emplace_back(q[1], q[3] | (q[4] << 8));
        }
        i += 1 + length;
    }
    return play;
}

}  // namespace x3gtest
