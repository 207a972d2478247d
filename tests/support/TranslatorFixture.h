// A translator with its own machine model and start G-code file, for tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ZELKGCodeParser.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

// A start G-code file whose managed values are 215 °C, 105 °C and 120 mm.
inline const char* const kTestStartGCode =
    "M104 S215 T0\n"
    "M109 S105 T0\n"
    "G21\n"
    "G90\n"
    "M17\n"
    "M6 T0\n"
    "G162 Z F1000\n"
    "G161 X Y F2500\n"
    "M103\n"
    "G92 X-75 Y-75 Z120.0 A0 B0\n";

class TranslatorTest : public ::testing::Test {
protected:
    TranslatorTest() : m_startGCode(WriteStartGCode(m_dir)), m_parser(&m_machine, &m_startGCode) {}

    static std::string WriteStartGCode(const testsupport::TempDir& dir)
    {
        const std::string path = dir.File("start.gcode");
        testsupport::WriteFile(path, kTestStartGCode);
        return path;
    }

    // Translates one line into a zeroed package; returns the result.
    int Line(const std::string& line, Package& out)
    {
        out = Package();
        return m_parser.GetGCodeCommandPackage(line, out);
    }

    Package MustTranslate(const std::string& line)
    {
        Package p;
        EXPECT_EQ(Line(line, p), 1) << line;
        return p;
    }

    std::vector<Package> File(const std::string& content)
    {
        const std::string path = m_dir.File("print.gcode");
        testsupport::WriteFile(path, content);
        return m_parser.FileParser(path.c_str()).ToVector();
    }

    void SetPosition(double x, double y, double z, double a = 0) { m_machine.SetCurrentPosition(CPoint5D(x, y, z, a, 0)); }

    testsupport::TempDir m_dir;
    ZELKMachine m_machine;
    ZELKStartGCodeOperater m_startGCode;
    ZELKGCodeParser m_parser;
};

// The 32-bit parameter starting at payload byte offset (after the command byte at 0).
inline int32_t Int32At(const Package& p, int offset)
{
    int32_t v = 0;
    std::memcpy(&v, p.Payload() + offset, 4);
    return v;
}

inline int Int16At(const Package& p, int offset)
{
    return p.Payload()[offset] | (p.Payload()[offset + 1] << 8);
}

inline std::vector<unsigned char> FrameBytes(const Package& p)
{
    return std::vector<unsigned char>(p.data, p.data + p.size);
}

// The parts of a move (command 155) package.
struct Move {
    int32_t x, y, z, a, b, dda;
    int flags;
    float distance;
    int feed;
};

inline Move DecodeMove(const Package& p)
{
    EXPECT_EQ(p.Payload()[0], 155);
    EXPECT_EQ(p.PayloadSize(), 1 + 6 * 4 + 1 + 4 + 2);
    Move m{};
    m.x = Int32At(p, 1);
    m.y = Int32At(p, 5);
    m.z = Int32At(p, 9);
    m.a = Int32At(p, 13);
    m.b = Int32At(p, 17);
    m.dda = Int32At(p, 21);
    m.flags = p.Payload()[25];
    std::memcpy(&m.distance, p.Payload() + 26, 4);
    m.feed = Int16At(p, 30);
    return m;
}
