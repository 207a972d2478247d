// The toolpaths of an X3G file: its moves read back from their packages, in millimetres.
#include "ToolpathModel.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "X3gReader.h"

namespace zelk {

namespace {

std::int32_t Int32(const unsigned char* p)
{
    std::int32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

ToolpathModel ReadToolpathX3g(const std::string& path, const double (&stepsPerMm)[4])
{
    ToolpathModel model;
    try {
        PrintList packages;
        if (!ReadX3gFile(path, packages, model.reason))
            return model;
        model.read = true;
        model.reason.clear();
        ToolpathBuilder builder(model);
        // Where the printer is, in steps; the filament as pushed out (the
        // printer counts it negative).
        double steps[4] = {0, 0, 0, 0};
        const auto at = [&](float (&mm)[4]) {
            for (int axis = 0; axis < 4; ++axis)
                mm[axis] = static_cast<float>(steps[axis] / stepsPerMm[axis]);
        };
        for (const Package& p : packages) {
            const unsigned char* q = p.Payload() + 1;
            const int command = p.Payload()[0];
            float mm[4];
            ++model.lineCount;
            if (command == 140 || command == 139 || command == 142 || command == 155) {
                const unsigned relative = command == 142 ? q[24] : command == 155 ? q[24] : 0;
                for (int axis = 0; axis < 4; ++axis) {
                    const double v = axis == 3 ? -static_cast<double>(Int32(q + 12)) : Int32(q + 4 * axis);
                    steps[axis] = (relative & (1u << axis)) != 0 ? steps[axis] + v : v;
                }
                at(mm);
                if (command == 140)
                    builder.SetPosition(mm);
                else
                    builder.Move(mm);
            }
        }
        builder.Finish();
    } catch (const std::bad_alloc&) {
        model = ToolpathModel();
        model.reason = "cannot read the toolpaths of " + path + ": out of memory";
        return model;
    }
    if (!model.HasMoves())
        model.reason = path + ": no move in the file";
    return model;
}

}  // namespace zelk
