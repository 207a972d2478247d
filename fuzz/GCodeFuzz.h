// The translator set up for fuzzing (its own machine model and start G-code) and the checks on what it hands out.
#pragma once

#include <cstring>

#include "FuzzSupport.h"
#include "Package.h"
#include "S3GFrameCheck.h"
#include "ZELKGCodeParser.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

namespace fuzzsupport {

// The start G-code whose values the translator substitutes (215 °C, 105 °C, 120 mm).
inline ZELKStartGCodeOperater& FuzzStartGCode()
{
    static MemoryFile file;
    static ZELKStartGCodeOperater* editor = [] {
        static const char kStart[] =
            "M104 S215 T0\nM109 S105 T0\nG21\nG90\nM17\nM6 T0\nG162 Z F1000\nG161 X Y F2500\nM103\n"
            "G92 X-75 Y-75 Z120.0 A0 B0\n";
        file.Set(kStart, sizeof kStart - 1);
        return new ZELKStartGCodeOperater(file.Path());
    }();
    return *editor;
}

// A package is either empty (size 0, every byte 0) or one whole frame the
// link accepts, with nothing written past it in its 64-byte buffer.
inline void CheckPackage(const Package& p, const char* what)
{
    FUZZ_CHECK(p.size >= 0 && p.size <= static_cast<int>(sizeof p.data), what);
    FUZZ_CHECK(p.tag == 0 || p.tag == 1, what);
    if (p.size > 0)
        CheckFrame(p.data, static_cast<std::size_t>(p.size), what);
    for (std::size_t i = static_cast<std::size_t>(p.size); i < sizeof p.data; ++i)
        FUZZ_CHECK(p.data[i] == 0, what);
}

}  // namespace fuzzsupport
