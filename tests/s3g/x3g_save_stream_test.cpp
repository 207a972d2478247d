// The X3G save given a streaming translation: the G-code goes straight into
// the file as it is read, with the bytes of the whole-file save, the print
// list left alone, and nothing left behind when it is refused or cannot be
// written.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FileSizeLimit.h"
#include "MachinePackages.h"
#include "PrintStream.h"
#include "TempDir.h"
#include "TranslatorFixture.h"
#include "X3gSave.h"
#include "X3gWriter.h"

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class StreamedSave : public TranslatorTest {
protected:
    // As the machine control would wire it: the list translation, and the
    // streamed one through the same translator.
    zelk::X3gSave Save(ZELKStartGCodeOperater* startGCode)
    {
        return zelk::X3gSave(
            startGCode, m_stream,
            [this](const std::string& path) {
                m_stream.ReplaceList(m_parser.FileParser(path.c_str()));
                return m_parser.LastFileOutcome();
            },
            [this](const std::string& path, zelk::PayloadSink& sink) {
                zelk::GCodeFileOutcome outcome;
                m_parser.StreamFile(path.c_str(), sink, outcome);
                return outcome;
            });
    }

    // The X3G bytes of a whole-file translation from a new machine.
    std::string Expected(const std::string& path)
    {
        ZELKMachine machine;
        ZELKGCodeParser parser(&machine, &m_startGCode);
        std::string bytes;
        zelk::WriteX3gStream(parser.FileParser(path.c_str()), [&bytes](const unsigned char* data, std::size_t n) {
            bytes.append(reinterpret_cast<const char*>(data), n);
            return true;
        });
        return bytes;
    }

    std::string Print(int moves)
    {
        std::string gcode = "M104 S220 T0\nM109 S60 T0\nG92 X-75 Y-75 Z0.5 A0 B0\n";
        for (int i = 0; i < moves; ++i)
            gcode += "G1 X" + std::to_string(i % 50) + " Y1 Z0.3 F3000 E" + std::to_string(i * 0.1) + "\n";
        return gcode;
    }

    zelk::PrintStream m_stream;
};

TEST_F(StreamedSave, WritesTheBytesOfTheWholeFileAndLeavesThePrintListAlone)
{
    WriteFile(m_dir.File("part.gcode"), Print(30000));
    const std::vector<Package> before = {zelk::VersionQueryPackage()};
    m_stream.ReplaceList(before);
    zelk::X3gSave save = Save(&m_startGCode);
    const zelk::Outcome saved = save.FromGCode(m_dir.File("part.gcode"), m_dir.File("part.x3g"));
    ASSERT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(save.LastError(), "");
    EXPECT_EQ(ReadFile(m_dir.File("part.x3g")), Expected(m_dir.File("part.gcode")));
    EXPECT_EQ(m_stream.List(), before);
    EXPECT_EQ(m_dir.EntryCount(), 3u);  // start.gcode, part.gcode, part.x3g: no spool left
}

TEST_F(StreamedSave, RefusedFilesLeaveNoX3gAndSayWhy)
{
    const std::string out = m_dir.File("part.x3g");
    zelk::X3gSave save = Save(&m_startGCode);

    WriteFile(m_dir.File("comments.gcode"), "; sliced\n(nothing here)\n\n");
    zelk::Outcome saved = save.FromGCode(m_dir.File("comments.gcode"), out);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.reason.find("comments.gcode"), std::string::npos) << saved.reason;

    saved = save.FromGCode(m_dir.File("missing.gcode"), out);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.reason.find("missing.gcode"), std::string::npos) << saved.reason;

    // Another slicer's file with a move beyond the build volume: refused at its line.
    std::string foreign = "G28\nM83\n";
    for (int i = 0; i < 3000; ++i)
        foreign += "G1 X" + std::to_string(i % 40) + " Y5 E.05 F3000\n";
    foreign += "G1 X900 Y5 E.05\n; gcode_flavor = marlin2\n";
    WriteFile(m_dir.File("foreign.gcode"), foreign);
    saved = save.FromGCode(m_dir.File("foreign.gcode"), out);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.reason.find("foreign.gcode: line 3003: the move to X 900 mm leaves the build volume"),
              std::string::npos)
        << saved.reason;
    EXPECT_EQ(save.LastError(), saved.reason);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(m_dir.EntryCount(), 3u);  // start.gcode, comments.gcode, foreign.gcode

    // A start G-code that would print cold stops it before any translation.
    WriteFile(m_dir.File("part.gcode"), Print(20));
    WriteFile(m_dir.File("short.gcode"), "M104 S220 T0\nM109 S60 T0\nG21\n");
    ZELKStartGCodeOperater shortStart(m_dir.File("short.gcode"));
    zelk::X3gSave cold = Save(&shortStart);
    saved = cold.FromGCode(m_dir.File("part.gcode"), out);
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.reason.find("short.gcode"), std::string::npos) << saved.reason;
    EXPECT_FALSE(std::filesystem::exists(out));
}

// An unmarked file from another slicer: the caller sees what the translation
// came to and may turn it down before anything is written.
TEST_F(StreamedSave, TheCallerMayTurnDownWhatWasTranslated)
{
    std::string gcode = Print(100);
    gcode += "G0 X10 Y10\nG91\nG0 X1\n";
    WriteFile(m_dir.File("other.gcode"), gcode);
    const std::string out = m_dir.File("other.x3g");
    zelk::X3gSave save = Save(&m_startGCode);
    const auto notForeign = [](const zelk::GCodeFileOutcome& translated) { return !translated.LooksForeign(); };
    zelk::Outcome saved = save.FromGCode(m_dir.File("other.gcode"), out, notForeign);
    EXPECT_FALSE(saved.ok);
    EXPECT_TRUE(save.LastTranslation().LooksForeign());
    EXPECT_EQ(save.LastTranslation().leftOut.Summary(), "G0 \u00d72, G91 \u00d71");
    EXPECT_EQ(save.LastTranslation().moveCount, 100u);
    EXPECT_FALSE(std::filesystem::exists(out));
    // Accepted as the printer's dialect all the same.
    saved = save.FromGCode(m_dir.File("other.gcode"), out);
    EXPECT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(ReadFile(out), Expected(m_dir.File("other.gcode")));
}

// A full disk, made real by a file-size limit in a child process: the spool
// (past its memory) and the X3G file both fail, and neither is left.
TEST_F(StreamedSave, AFullDiskFailsWithoutAPartialFileOrASpool)
{
    WriteFile(m_dir.File("part.gcode"), Print(200000));
    const std::string out = m_dir.File("part.x3g");
    const int result = testsupport::RunWithFileSizeLimit(50000, [&] {
        zelk::X3gSave save = Save(&m_startGCode);
        const zelk::Outcome saved = save.FromGCode(m_dir.File("part.gcode"), out);
        const bool reported = saved.reason.find("File too large") != std::string::npos &&
                              saved.reason.find("part.x3g") != std::string::npos;
        return !saved.ok && reported ? 0 : 1;
    });
    EXPECT_EQ(result, 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(m_dir.EntryCount(), 2u);  // start.gcode and part.gcode only
}

}  // namespace
