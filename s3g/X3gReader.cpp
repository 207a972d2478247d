// An X3G file read back into the packages it holds, each cut by its command's own length.
#include "X3gReader.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace zelk {

namespace {

constexpr std::size_t kNoSuchCommand = static_cast<std::size_t>(-1);

// The bytes after the command byte of a command whose length is fixed;
// 0 for those whose length is in the command (136, 149, 153), and
// kNoSuchCommand for codes that are no buffered command.
std::size_t FixedLength(unsigned char command)
{
    switch (command) {
    case 129: return 16;  // queue point, absolute (X, Y, Z, DDA)
    case 130: return 12;  // set position (X, Y, Z)
    case 131:             // find axes minimums
    case 132: return 7;   // find axes maximums
    case 133: return 4;   // delay
    case 134: return 1;   // change tool
    case 135:             // wait for tool
    case 141: return 5;   // wait for platform
    case 137: return 1;   // enable or disable axes
    case 139: return 24;  // queue extended point (X, Y, Z, A, B, DDA)
    case 140: return 20;  // set extended position
    case 142: return 25;  // queue extended point, new style
    case 143:             // store home positions
    case 144: return 1;   // recall home positions
    case 145: return 2;   // set a stepper's potentiometer
    case 146:             // set the LED colour
    case 147: return 5;   // beep
    case 148: return 4;   // wait for a button
    case 150: return 2;   // build percentage
    case 151:             // queue a song
    case 152:             // reset to factory settings
    case 154:             // build end notification
    case 156: return 1;   // acceleration on or off
    case 155: return 31;  // queue extended point, accelerated
    case 136:             // tool action: its payload length is its third byte
    case 149:             // display message: a text ended by a zero byte
    case 153: return 0;   // build start notification: steps, then a name ended by a zero byte
    default: return kNoSuchCommand;
    }
}

// The whole command's length from `at` (command byte included), or 0 when
// the stream ends inside it.
std::size_t CommandLength(std::string_view bytes, std::size_t at, std::size_t fixed)
{
    const unsigned char command = static_cast<unsigned char>(bytes[at]);
    std::size_t length = 1 + fixed;
    if (command == 136) {
        if (at + 3 >= bytes.size())
            return 0;
        length = 1 + 3 + static_cast<unsigned char>(bytes[at + 3]);
    } else if (command == 149 || command == 153) {
        const std::size_t textAt = at + 1 + 4;
        const std::size_t zero = textAt < bytes.size() ? bytes.find('\0', textAt) : std::string_view::npos;
        if (zero == std::string_view::npos)
            return 0;
        length = zero + 1 - at;
    }
    return at + length <= bytes.size() ? length : 0;
}

}  // namespace

bool ReadX3gPackages(std::string_view bytes, PrintList& packages, std::string& error)
{
    packages.clear();
    std::size_t at = 0;
    while (at < bytes.size()) {
        const unsigned char command = static_cast<unsigned char>(bytes[at]);
        const std::size_t fixed = FixedLength(command);
        if (fixed == kNoSuchCommand) {
            error = "byte " + std::to_string(at) + ": " + std::to_string(command) +
                    " is no command an X3G file holds (the file is damaged, or not X3G)";
            return false;
        }
        const std::size_t length = CommandLength(bytes, at, fixed);
        if (length == 0) {
            error = "byte " + std::to_string(at) + ": the file ends inside command " + std::to_string(command);
            return false;
        }
        if (length > kMaxPayloadBytes) {
            error = "byte " + std::to_string(at) + ": command " + std::to_string(command) + " is " +
                    std::to_string(length) + " bytes long, more than a frame holds";
            return false;
        }
        packages.AppendPayload(reinterpret_cast<const unsigned char*>(bytes.data() + at), length);
        at += length;
    }
    return true;
}

bool ReadX3gFile(const std::string& path, PrintList& packages, std::string& error)
{
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + (errno != 0 ? std::strerror(errno) : "cannot open");
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    if (!ReadX3gPackages(bytes, packages, error)) {
        error = path + ": " + error;
        return false;
    }
    if (packages.empty()) {
        error = path + ": the file holds no command";
        return false;
    }
    return true;
}

bool IsX3gFileName(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".x3g";
}

}  // namespace zelk
