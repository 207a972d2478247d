// G-code of other slicers through the converter: PrusaSlicer's flavours and a hand-written file in another slicer's
// style, checked move by move against the firmware rules, and every refusal with its line.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>

#include "ProgramFolder.h"
#include "ProgramProcess.h"
#include "ReferenceX3g.h"
#include "RunProcess.h"
#include "StlShapes.h"
#include "TempDir.h"
#include "X3gDecode.h"
#include "ZELKMachine.h"

using testsupport::ProcessResult;
using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

using reference::kStartGCode;
constexpr double kStartHeightMm = reference::kStartValues.startHeightMM;

// The firmware's rules, written out plainly: where each move ends and how
// much filament goes out and back. Arcs count by their end points.
struct Expected {
    std::vector<std::array<double, 3>> ends;
    double extrudedMm = 0;
    double retractedMm = 0;
};

Expected FirmwareRules(const std::string& text)
{
    Expected out;
    bool absolute = true, relativeE = false;
    double pos[4] = {0, 0, 0, 0};
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find(';'));
        for (std::size_t open = line.find('('); open != std::string::npos; open = line.find('('))
            line.erase(open, line.find(')', open) - open + 1);
        line = line.substr(0, line.find('*'));
        std::istringstream words(line);
        std::string word, command;
        std::map<char, double> p;
        while (words >> word) {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
            if (letter == 'N' && command.empty())
                continue;
            if (command.empty()) {
                command = std::string(1, letter) + std::to_string(std::stoi(word.substr(1)));  // "G03" is G3
                continue;
            }
            p[letter] = word.size() > 1 ? std::stod(word.substr(1)) : 0;
        }
        if (command == "G0" || command == "G1" || command == "G2" || command == "G3") {
            const char axes[4] = {'X', 'Y', 'Z', 'E'};
            for (int a = 0; a < 4; ++a) {
                if (!p.count(axes[a]))
                    continue;
                const bool relative = a == 3 ? relativeE || !absolute : !absolute;
                const double next = relative ? pos[a] + p[axes[a]] : p[axes[a]];
                if (a == 3)
                    (next > pos[3] ? out.extrudedMm : out.retractedMm) += std::fabs(next - pos[3]);
                pos[a] = next;
            }
            out.ends.push_back({pos[0], pos[1], pos[2]});
        } else if (command == "G90") {
            absolute = true;
        } else if (command == "G91") {
            absolute = false;
        } else if (command == "M82") {
            relativeE = false;
        } else if (command == "M83") {
            relativeE = true;
        } else if (command == "G92") {
            const char axes[4] = {'X', 'Y', 'Z', 'E'};
            for (int a = 0; a < 4; ++a)
                pos[a] = p.empty() ? 0 : p.count(axes[a]) ? p[axes[a]] : pos[a];
        } else if (command == "G28") {
            // Only the axes named, or all of them.
            const bool all = !p.count('X') && !p.count('Y') && !p.count('Z');
            pos[0] = all || p.count('X') ? -75 : pos[0];
            pos[1] = all || p.count('Y') ? -75 : pos[1];
            pos[2] = all || p.count('Z') ? kStartHeightMm : pos[2];
            out.ends.push_back({pos[0], pos[1], pos[2]});
        }
    }
    return out;
}

std::string OtherSlicerFile();

class ForeignGCode : public ::testing::Test {
protected:
    ForeignGCode() { WriteFile(m_dir.File("start.gcode"), kStartGCode); }

    ProcessResult Convert(const std::string& gcode, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> argv = {zelk::ProgramFilePath("gcode2x3g"), "--start-gcode", m_dir.File("start.gcode")};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(gcode);
        argv.push_back(m_dir.File("out.x3g"));
        std::filesystem::remove(m_dir.File("out.x3g"));
        return RunProcess(argv);
    }

    // PrusaSlicer's G-code for a model on our centred bed, in one of its flavours.
    std::string Slice(const std::string& name, const std::vector<std::string>& options)
    {
        const std::string model = m_dir.File("model.stl");
        if (!std::filesystem::exists(model))
            stlshapes::WriteBinaryStl(model, stlshapes::Box(-12, -8, 0, 12, 8, 6));
        std::vector<std::string> argv = {"prusa-slicer", "--export-gcode", "--dont-arrange",
                                         "--bed-shape", "-75x-75,75x-75,75x75,-75x75", "--layer-height", "0.3"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.insert(argv.end(), {"--output", m_dir.File(name), model});
        const ProcessResult sliced = RunProcess(argv);
        EXPECT_EQ(sliced.exitCode, 0) << sliced.out << sliced.err;
        return m_dir.File(name);
    }

    // Every end point the rules give is reached, in order, within a step;
    // the filament out and back within 1 %.
    void ExpectPrintsAsTheRulesSay(const std::string& gcode, const char* what)
    {
        const ProcessResult run = Convert(gcode);
        ASSERT_EQ(run.exitCode, 0) << what << ": " << run.err;
        ExpectPlaysAsTheRulesSay(ReadFile(m_dir.File("out.x3g")), gcode, what);
    }

    // The same for what the printer took when s3g-print streamed the file to
    // the simulator, without a flag.
    void ExpectStreamsAsTheRulesSay(const std::string& gcode, const char* what)
    {
        const std::string record = m_dir.File("record.x3g");
        testsupport::ChildProcess sim({zelk::ProgramFilePath("s3g-sim"), "--record", record, "--heat-rate", "100000",
                                       "--exit-after-finish", "--drain-timeout", "500"});
        const std::string device = sim.ReadLine(10000);
        ASSERT_EQ(device.rfind("/dev/", 0), 0u) << what << ": " << device;
        const ProcessResult print = RunProcess({zelk::ProgramFilePath("s3g-print"), "--port", device, "--quiet",
                                                "--start-gcode", m_dir.File("start.gcode"), gcode});
        ASSERT_EQ(print.exitCode, 0) << what << ": " << print.err;
        ASSERT_TRUE(sim.EndsWithin(std::chrono::seconds(20))) << what;
        ExpectPlaysAsTheRulesSay(ReadFile(record), gcode, what);
    }

    void ExpectPlaysAsTheRulesSay(const std::string& bytes, const std::string& gcode, const char* what)
    {
        const x3gtest::Playback play = x3gtest::Play(bytes);
        ASSERT_EQ(play.error, "") << what;
        const Expected rules = FirmwareRules(ReadFile(gcode));
        const CPoint5D spm = ZELKMachine::GetMachine()->GetStepsPerMM();
        const double stepsPerMm[3] = {spm.Axis_X(), spm.Axis_Y(), spm.Axis_Z()};
        std::size_t j = 0;
        for (std::size_t k = 0; k < rules.ends.size(); ++k) {
            const auto near = [&](const x3gtest::Step5& s) {
                for (int a = 0; a < 3; ++a)
                    if (std::fabs(s.v[a] / stepsPerMm[a] - rules.ends[k][a]) > 1.0 / stepsPerMm[a] + 1e-6)
                        return false;
                return true;
            };
            while (j < play.reached.size() && !near(play.reached[j]))
                ++j;
            ASSERT_LT(j, play.reached.size()) << what << ": move " << k << " of " << rules.ends.size() << " to ("
                                              << rules.ends[k][0] << ", " << rules.ends[k][1] << ", "
                                              << rules.ends[k][2] << ") is never reached";
        }
        ASSERT_GT(rules.extrudedMm, 10) << what;
        EXPECT_NEAR(play.extrudedSteps / spm.Axis_A(), rules.extrudedMm, rules.extrudedMm * 0.01) << what;
        EXPECT_NEAR(play.retractedSteps / spm.Axis_A(), rules.retractedMm, rules.retractedMm * 0.01 + 0.01) << what;
    }

    TempDir m_dir;
};

TEST_F(ForeignGCode, PrusaSlicerFlavoursPrintTheirMovesAndFilamentWithoutAFlag)
{
    ExpectPrintsAsTheRulesSay(Slice("marlin-relative.gcode", {"--gcode-flavor", "marlin2", "--use-relative-e-distances",
                                                              "--layer-gcode", "G92 E0"}),
                              "marlin2, relative E");
    ExpectPrintsAsTheRulesSay(Slice("marlin-absolute.gcode", {"--gcode-flavor", "marlin2"}), "marlin2, absolute E");
    ExpectPrintsAsTheRulesSay(Slice("sailfish.gcode", {"--gcode-flavor", "sailfish"}), "sailfish");
    ExpectPrintsAsTheRulesSay(Slice("reprap.gcode", {"--gcode-flavor", "reprap"}), "reprap");
}

TEST_F(ForeignGCode, PrusaSlicerFlavoursStreamToThePrinterWithTheirMovesAndFilament)
{
    ExpectStreamsAsTheRulesSay(Slice("marlin-relative.gcode", {"--gcode-flavor", "marlin2",
                                                               "--use-relative-e-distances", "--layer-gcode", "G92 E0"}),
                               "marlin2, relative E");
    ExpectStreamsAsTheRulesSay(Slice("sailfish.gcode", {"--gcode-flavor", "sailfish"}), "sailfish");
    const std::string other = m_dir.File("other.gcode");
    WriteFile(other, OtherSlicerFile());
    ExpectStreamsAsTheRulesSay(other, "another slicer's style");
}

TEST_F(ForeignGCode, TemperaturesMeanWhatTheirFlavourSays)
{
    const std::string marlin = Slice("marlin.gcode", {"--gcode-flavor", "marlin2", "--temperature", "205",
                                                      "--first-layer-temperature", "210", "--bed-temperature", "55",
                                                      "--first-layer-bed-temperature", "60"});
    ASSERT_EQ(Convert(marlin).exitCode, 0);
    x3gtest::Playback play = x3gtest::Play(ReadFile(m_dir.File("out.x3g")));
    // M190 S60, M104 S210, M109 S210 (the extruder, and a wait), later 205
    // and 55, and the extruder off at the end: never the platform at 210.
    EXPECT_EQ(play.heaters,
              (std::vector<std::pair<int, int>>{{31, 60}, {3, 210}, {3, 210}, {3, 205}, {31, 55}, {3, 0}}));
    for (const auto& [heater, c] : play.heaters)
        EXPECT_FALSE(heater == 31 && c > 100) << "the platform heated to " << c;

    const std::string sailfish = Slice("sailfish.gcode", {"--gcode-flavor", "sailfish", "--temperature", "205",
                                                          "--first-layer-temperature", "210", "--bed-temperature", "0",
                                                          "--first-layer-bed-temperature", "0"});
    ASSERT_EQ(Convert(sailfish).exitCode, 0);
    play = x3gtest::Play(ReadFile(m_dir.File("out.x3g")));
    ASSERT_FALSE(play.heaters.empty());
    EXPECT_EQ(play.heaters.front(), (std::pair<int, int>{3, 210}));
}

// In the style of another popular slicer: its flavour mark at the top, G0
// travels, numbered lines with checksums, a G91 block, an M83 block, arcs.
std::string WithChecksum(const std::string& text)
{
    unsigned sum = 0;
    for (const char c : text)
        sum ^= static_cast<unsigned char>(c);
    return text + "*" + std::to_string(sum);
}

std::string OtherSlicerFile()
{
    std::string text = ";FLAVOR:Marlin\n;Generated by a slicer\nM140 S60\nM104 S205\nM190 S60\nM109 S205\n"
                       "M82 ;absolute extrusion\nG28 ;Home\nG92 E0\n"
                       "G0 F3000 Z0.3\nG0 X-20 Y-20\nG1 F1200 X20 Y-20 E5.0\n";
    text += WithChecksum("N10 G1 X20 Y20 E10.0") + "\n";
    text += WithChecksum("N11 G1 X-20 Y20 E15.0") + " ; numbered\n";
    text += "G1 X-20 Y-20 E20.0\n"
            ";relative block\nG91\nG1 Z0.3 E-1\nG0 X5 Y5\nG1 X10 E1.5\nG90\n"
            "M83\nG1 X0 Y0 E0.8\nG1 X10 Y0 E0.9\n"
            "G2 X0 Y-10 I-10 J0 E1.2\n"      // a quarter, clockwise
            "G3 X10 Y0 R10 E1.2\n"
            "G03 X10 Y0 I-10 J0 E6\n"        // a whole circle
            "M82\nG92 E0\nG1 E-2 F2400\nG0 Z10\nM107\nM104 S0\nM140 S0\nM84\n";
    return text;
}

TEST_F(ForeignGCode, AnotherSlicersStyleWithTravelsChecksumsRelativeBlocksAndArcs)
{
    const std::string file = m_dir.File("other.gcode");
    WriteFile(file, OtherSlicerFile());
    ExpectPrintsAsTheRulesSay(file, "another slicer's style");
    const x3gtest::Playback play = x3gtest::Play(ReadFile(m_dir.File("out.x3g")));
    // The whole circle of radius 10 is cut into pieces, not jumped over.
    EXPECT_GT(play.reached.size(), 100u);

    // Without its mark the same file is refused, naming what would be lost;
    // with --flavor it prints.
    std::string unmarked = OtherSlicerFile();
    unmarked.erase(0, unmarked.find('\n') + 1);
    WriteFile(file, unmarked);
    const ProcessResult refused = Convert(file);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("left out: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("G0 \u00d7"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("choose its flavour with --flavor"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.x3g")));
    EXPECT_EQ(Convert(file, {"--flavor", "reprap"}).exitCode, 0);
}

// A pipe can be read only once: its flavour is found in the text read whole,
// and it converts as the same file on disk does.
TEST_F(ForeignGCode, AFileFromAPipeConvertsAsFromDisk)
{
    const std::string file = m_dir.File("other.gcode");
    WriteFile(file, OtherSlicerFile());
    ASSERT_EQ(Convert(file).exitCode, 0);
    const std::string fromDisk = ReadFile(m_dir.File("out.x3g"));
    const std::string pipe = m_dir.File("pipe.gcode");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(pipe, OtherSlicerFile()); });
    const ProcessResult run = Convert(pipe);
    writer.join();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("read as reprap G-code"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadFile(m_dir.File("out.x3g")) == fromDisk);
}

TEST_F(ForeignGCode, RefusedWithTheLine)
{
    struct Case {
        const char* name;
        std::string text;
        std::string said;
    };
    std::string badChecksum = WithChecksum("N2 G1 X5 Y5 E1");
    badChecksum[badChecksum.find("X5")] = 'Y';
    const Case cases[] = {
        {"wrong checksum", ";FLAVOR:Marlin\nG1 X1 Y1 E0.1 F600\n" + badChecksum + "\n", ": line 3: checksum"},
        {"a second tool", ";FLAVOR:Marlin\nG1 X1 Y1 E0.1 F600\nT1\nG1 X2 E1\n", ": line 3: tool T1"},
        {"sliced for a printer whose origin is a corner",
         ";FLAVOR:Marlin\nG28\nG1 Z0.3 F600\nG1 X100 Y100 E1\n",
         ": line 4: the move to X 100 mm leaves the build volume"},
        {"taller than the start height", ";FLAVOR:Marlin\nG1 X0 Y0 Z150 F600 E1\n", ": line 2: the move to Z 150"},
    };
    for (const Case& c : cases) {
        const std::string file = m_dir.File("refused.gcode");
        WriteFile(file, c.text);
        const ProcessResult run = Convert(file);
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_NE(run.err.find(file + c.said), std::string::npos) << c.name << ": " << run.err;
        EXPECT_FALSE(std::filesystem::exists(m_dir.File("out.x3g"))) << c.name;
    }
}

}  // namespace
