// Fuzzes the G-code translator one line at a time, with the position and feedrate carried from line to line.
#include <cstdint>
#include <memory>
#include <string_view>

#include "GCodeFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ZELKMachine machine;
    ZELKGCodeParser parser(&machine, &fuzzsupport::FuzzStartGCode());
    const char* cursor = reinterpret_cast<const char*>(data);
    const char* const end = cursor + size;
    for (;;) {
        const char* newline = static_cast<const char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
        const char* lineEnd = newline != nullptr ? newline : end;
        // Each line in a buffer of exactly its size: a read past its end is caught.
        const std::size_t length = static_cast<std::size_t>(lineEnd - cursor);
        const std::unique_ptr<char[]> line(new char[length]);
        std::memcpy(line.get(), cursor, length);

        Package out;
        parser.GetGCodeCommandPackage(std::string_view(line.get(), length), out);
        fuzzsupport::CheckPackage(out, "translated line");
        if (newline == nullptr)
            break;
        cursor = newline + 1;
    }
    return 0;
}
