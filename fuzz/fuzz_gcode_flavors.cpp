// Fuzzes the reader of other slicers' G-code: each line through the interpreter, in both flavours, and every action
// it makes is one the printer can be given (finite, and moves inside the build volume when it is checked).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "GCodeInterpreter.h"

namespace {

void Check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_gcode_flavors: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace zelk::gcode;
    MachineSetup setup;
    setup.checkVolume = (size & 1) != 0;
    for (const GCodeFlavor flavor : {GCodeFlavor::kRepRap, GCodeFlavor::kMakerbot}) {
        GCodeInterpreter interpreter(flavor, setup);
        std::vector<Action> actions;
        std::string error;
        const char* cursor = reinterpret_cast<const char*>(data);
        const char* const end = cursor + size;
        for (;;) {
            const char* newline =
                static_cast<const char*>(std::memchr(cursor, '\n', static_cast<std::size_t>(end - cursor)));
            const char* lineEnd = newline != nullptr ? newline : end;
            // Each line in a buffer of exactly its size: a read past its end is caught.
            const std::size_t length = static_cast<std::size_t>(lineEnd - cursor);
            const std::unique_ptr<char[]> line(new char[length]);
            std::memcpy(line.get(), cursor, length);
            actions.clear();
            const bool read = interpreter.Feed(std::string_view(line.get(), length), actions, error);
            Check(read || !error.empty(), "a refusal without a reason");
            for (const Action& a : actions) {
                Check(std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z) && std::isfinite(a.e) &&
                          std::isfinite(a.feedMmPerMin),
                      "an action with a number that is not finite");
                if (a.kind == ActionKind::kMove && setup.checkVolume)
                    Check(a.x >= setup.minX - 0.011 && a.x <= setup.maxX + 0.011 && a.y >= setup.minY - 0.011 &&
                              a.y <= setup.maxY + 0.011 && a.z >= setup.minZ - 0.011 && a.z <= setup.maxZ + 0.011,
                          "a move beyond the build volume");
                Check(a.text.empty() || (a.text.data() >= line.get() && a.text.data() + a.text.size() <= line.get() + length),
                      "a message outside its line");
            }
            if (!read || newline == nullptr)
                break;
            cursor = newline + 1;
        }
    }
    return 0;
}
