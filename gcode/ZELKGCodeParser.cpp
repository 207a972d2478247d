// Translates the slicer's G-code into S3G command packages for this printer.
#include "ZELKGCodeParser.h"

#include <cmath>
#include <cstring>
#include <new>

#include <sys/stat.h>

#include "GCodeLimits.h"
#include "GCodeWords.h"
#include "MachinePackages.h"
#include "S3GCommands.h"
#include "ScanNumbers.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

using zelk::ScanLetterFloat;
using zelk::ScanLetterInt;
using zelk::TruncateToInt;
using namespace zelk::s3g;
using zelk::kWordE;
using zelk::kWordF;
using zelk::kWordX;
using zelk::kWordY;
using zelk::kWordZ;

namespace {

// The X steps per millimetre written into the homing rate, not read from the
// machine model.
constexpr double kHomingStepsPerMM = 71.699959;

bool Contains(std::string_view text, char c)
{
    return text.find(c) != std::string_view::npos;
}

}  // namespace

ZELKGCodeParser::ZELKGCodeParser(ZELKMachine* machine, ZELKStartGCodeOperater* startGCode)
    : m_machine(machine), m_startGCode(startGCode)
{
}

ZELKMachine& ZELKGCodeParser::Machine()
{
    return m_machine != nullptr ? *m_machine : *ZELKMachine::GetMachine();
}

ZELKStartGCodeOperater& ZELKGCodeParser::StartGCode()
{
    return m_startGCode != nullptr ? *m_startGCode : *ZELKStartGCodeOperater::GetStartGCodeOperaterObject();
}

const CPoint5D& ZELKGCodeParser::StepsPerMM()
{
    if (!m_constantsRead) {
        m_stepsPerMM = Machine().GetStepsPerMM();
        m_maxFeedrate = Machine().GetMaxFeedrate();
        m_constantsRead = true;
    }
    return m_stepsPerMM;
}

const CPoint5D& ZELKGCodeParser::MaxFeedrate()
{
    StepsPerMM();
    return m_maxFeedrate;
}

int ZELKGCodeParser::GetFileData(const std::string& path, zelk::GCodeText& text)
{
    m_lastFileError.clear();
    return zelk::ReadGCodeText(path, text, &m_lastFileError) ? 1 : 0;
}

std::vector<Package> ZELKGCodeParser::FileParser(const char* path)
{
    zelk::GCodeFileOutcome outcome;
    return FileParser(path, outcome);
}

std::vector<Package> ZELKGCodeParser::FileParser(const char* path, zelk::GCodeFileOutcome& outcome)
{
    outcome = zelk::GCodeFileOutcome();
    m_skippedLines = 0;
    std::vector<Package> packages;
    try {
        TranslateFile(path, packages, outcome);
    } catch (const std::bad_alloc&) {
        // A file too large for the memory there is: refused like an
        // unreadable one, with nothing half-translated left behind.
        std::vector<Package>().swap(packages);
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": out of memory";
    }
    if (!outcome.read || outcome.refused)
        outcome.reason = m_lastFileError;
    else if (outcome.moveCount == 0)
        outcome.reason = std::string(path) + ": no move (G1) in the file";
    outcome.skippedLineCount = m_skippedLines;
    m_lastOutcome = outcome;
    return packages;
}

void ZELKGCodeParser::TranslateFile(const char* path, std::vector<Package>& packages, zelk::GCodeFileOutcome& outcome)
{
    // The flavour from the file's own ends, unless the caller chose it. A
    // pipe or a device can be read only once: it is read whole first.
    zelk::GCodeText file;
    struct stat info {};
    const bool regular = ::stat(path, &info) == 0 && S_ISREG(info.st_mode);
    m_lastFileError.clear();
    if (m_flavor) {
        outcome.flavor = *m_flavor;
    } else if (regular) {
        std::string head, tail;
        if (!zelk::ReadGCodeEnds(path, zelk::gcode::kFlavorHeadBytes, zelk::gcode::kFlavorTailBytes, head, tail,
                                 &m_lastFileError))
            return;
        const zelk::gcode::FlavorMark mark = zelk::gcode::DetectFlavor(head, tail);
        outcome.flavor = mark.flavor;
        outcome.flavorMark = mark.mark;
    } else {
        if (!GetFileData(path, file))
            return;
        const zelk::gcode::FlavorMark mark = zelk::gcode::DetectFlavor(std::string_view(file.data.get(), file.size));
        outcome.flavor = mark.flavor;
        outcome.flavorMark = mark.mark;
    }
    if (outcome.flavor != zelk::gcode::GCodeFlavor::kPrinter) {
        TranslateFlavoredFile(path, outcome.flavor, packages, outcome, file.data ? &file : nullptr);
        return;
    }
    if (!file.data && !GetFileData(path, file))
        return;
    outcome.read = true;
    m_census = &outcome.leftOut;

    // One slot more than the lines that can give a package, for the
    // wait-for-tool packet; blank lines take none.
    packages.reserve(zelk::CountNonBlankGCodeLines(file) + 1);
    zelk::AdviseHugePages(packages.data(), packages.capacity() * sizeof(Package));
    std::size_t n = 0;
    zelk::ForEachGCodeLine(file, [&](std::string_view line) {
        if (n == 0 && line.find("M104") != std::string_view::npos)
            m_m104Flag = 1;
        if (n == 1 && line.find("M109") != std::string_view::npos)
            m_m109Flag = 1;
        ++n;
        // Translated in place: the slot is dropped again when the line gives
        // no package.
        Package& slot = packages.emplace_back();
        if (GetGCodeCommandPackage(line, slot) == 0) {
            packages.pop_back();
            return;
        }
        if (slot.size != 0 && slot.Payload()[0] == kCmdQueueAcceleratedPoint)
            ++outcome.moveCount;
        // A list of 13 or more packages carries the wait-for-tool packet at
        // index 12, before the package that would have been there.
        if (packages.size() == 13) {
            packages.push_back(packages[12]);
            packages[12] = zelk::WaitForToolPackage();
        }
    });
    m_census = nullptr;
}

void ZELKGCodeParser::LeaveOut(char letter, int code)
{
    if (m_census == nullptr || code < 0)
        return;
    // Codes that ask for what this dialect is anyway (millimetres, absolute
    // positions and filament) or only report: nothing is lost without them.
    if ((letter == 'G' && (code == 21 || code == 90)) || (letter == 'M' && (code == 82 || code == 105 || code == 108)))
        return;
    const bool changesMotion = letter == 'G' ? code == 0 || code == 2 || code == 3 || code == 20 || code == 28 ||
                                                   code == 91
                                             : code == 83 || code == 221;
    m_census->Count(std::string(1, letter) + std::to_string(code), changesMotion);
}

int ZELKGCodeParser::Skip()
{
    ++m_skippedLines;
    return 0;
}

int ZELKGCodeParser::GetGCodeCommandPackage(const std::string& line, Package& out)
{
    return GetGCodeCommandPackage(std::string_view(line), out);
}

int ZELKGCodeParser::GetGCodeCommandPackage(std::string_view line, Package& out)
{
    Words words;
    zelk::SplitGCodeWords(line, words);
    if (words.count == 0)
        return 0;
    const zelk::GCodeCommand command = zelk::ReadGCodeCommand(words);
    if (command.letter == 'G')
        return TranslateG(command.code, words, out);
    if (command.letter == 'M')
        return TranslateM(command.code, words, out);
    // No G or M code (a tool word, a stray value): kept as an empty package.
    return 1;
}

int ZELKGCodeParser::TranslateM(int code, const Words& words, Package& out)
{
    using ZELKMachineCodeBuild::GetPackage;
    int value = 0;
    bool read = false;
    switch (code) {
    case 1:
        out = zelk::IsFinishedPackage();
        return 0;
    case 6:
        out = zelk::ChangeToolPackage();
        return 1;
    case 17:
        out = zelk::EnableAllAxesPackage();
        return 1;
    case 18:
        GetPackage(kCmdEnableAxes, {{kField8, kAllAxes}}, out);
        return 1;
    case 73:
        ScanLetterInt(words[1], 'P', value);
        GetPackage(kCmdSetBuildPercentage, {{kField8, value}, {kField8, kPercentReserved}}, out);
        return 1;
    case 101:
        GetPackage(kCmdEnableAxes, {{kField8, kEnableAxesBit | kAxisA}}, out);
        return 1;
    case 102:
        out = zelk::ExtruderMotorPackage();
        return 1;
    case 103:
        GetPackage(kCmdEnableAxes, {{kField8, kAxisA}}, out);
        return 1;
    case 104:
        if (m_m104Flag != 0) {
            value = TruncateToInt(StartGCode().GetExtrudeHeaderPrintTemperature());
            m_m104Flag = 0;
            read = true;
        } else {
            read = ScanLetterInt(words[1], 'S', value);
        }
        return TranslateTemperature(kToolSetTemperature, zelk::kMaxExtruderTempC, read, value, out);
    case 109:
        if (m_m109Flag != 0) {
            value = TruncateToInt(StartGCode().GetPlatformPrintTemperature());
            m_m109Flag = 0;
            read = true;
        } else {
            read = ScanLetterInt(words[1], 'S', value);
        }
        return TranslateTemperature(kToolSetPlatformTemperature, zelk::kMaxPlatformTempC, read, value, out);
    case 105:
    case 108:  // the R word is read by the slicer's dialect but not used here
    default:
        LeaveOut('M', code);
        return 0;
    }
}

int ZELKGCodeParser::TranslateTemperature(int action, int limitC, bool read, int tempC, Package& out)
{
    // An unreadable or wild temperature would wrap in its 16-bit field.
    if (!read || tempC < 0 || tempC > limitC)
        return Skip();
    constexpr int kTemperatureBytes = 2;
    ZELKMachineCodeBuild::GetPackage(
        kCmdToolAction, {{kField8, kTool0}, {kField8, action}, {kField8, kTemperatureBytes}, {kField16, tempC}},
        out);
    return 1;
}

int ZELKGCodeParser::TranslateG(int code, const Words& words, Package& out)
{
    switch (code) {
    case 1:
        return TranslateG1(words, out);
    case 4:
        // A relative extruder move of 2400 steps over 15 s (the dwell primes
        // the nozzle); the P word is not used.
        ZELKMachineCodeBuild::GetPackage(kCmdQueueRelativePoint,
                                         {{kField32, 0}, {kField32, 0}, {kField32, 0}, {kField32, -2400}, {kField32, 0},
                                          {kField32, 15000000}, {kField8, kAllAxes}},
                                         out);
        return 1;
    case 92:
        return TranslateG92(words, out);
    case 161: {
        int mask = 0;
        std::string_view feedWord;
        if (words.count == 3) {
            mask = Contains(words[1], 'X') ? kAxisX : (Contains(words[1], 'Y') ? kAxisY : 0);
            feedWord = words[2];
        } else if (words.count == 4) {
            mask = kAxisX | kAxisY;
            feedWord = words[3];
        }
        return TranslateHoming(kCmdFindAxesMinimum, mask, feedWord, out);
    }
    case 162:
        return TranslateHoming(kCmdFindAxesMaximum, kAxisZ, words.count == 3 ? words[2] : std::string_view(), out);
    default:
        LeaveOut('G', code);
        return 0;
    }
}

int ZELKGCodeParser::TranslateHoming(int command, int mask, std::string_view feedWord, Package& out)
{
    // Homing gives up after 20 s.
    constexpr int kHomingTimeoutS = 20;
    float feed = 0;
    int interval = 0;
    if (ScanLetterFloat(feedWord, 'F', feed))
        interval = TransMachineSpeed(TruncateToInt(feed));
    ZELKMachineCodeBuild::GetPackage(command, {{kField8, mask}, {kField32, interval}, {kField16, kHomingTimeoutS}},
                                     out);
    return 1;
}

int ZELKGCodeParser::TransMachineSpeed(int feedrate)
{
    // A feedrate of 0 has no step interval; it homes with interval 0 like an
    // unreadable F word instead of dividing by zero.
    if (feedrate == 0)
        return 0;
    return TruncateToInt(60000000.0 / (feedrate * kHomingStepsPerMM));
}

int ZELKGCodeParser::TranslateG92(const Words& words, Package& out)
{
    ZELKMachine& machine = Machine();
    CPoint5D position = machine.getCurrentPosition();
    const double spmX = machine.GetMachineMotorX().GetStepsPerMM();
    const double spmY = machine.GetMachineMotorY().GetStepsPerMM();
    const double spmZ = machine.GetMachineMotorZ().GetStepsPerMM();
    const double spmA = StepsPerMM().Axis_A();
    auto steps = [](double spm, double mm) { return TruncateToInt(spm * mm + 0.5); };
    auto setPosition = [&](double x, double y, double z, double a) {
        ZELKMachineCodeBuild::GetPackage(kCmdSetExtendedPosition,
                                         {{kField32, steps(spmX, x)}, {kField32, steps(spmY, y)},
                                          {kField32, steps(spmZ, z)}, {kField32, steps(spmA, a)}, {kField32, 0}},
                                         out);
    };

    const zelk::PositionReset reset = zelk::ReadPositionReset(words);
    switch (reset.kind) {
    case zelk::PositionReset::kStartHeight: {
        const double height = StartGCode().GetExtrudeHeight();
        setPosition(position.Axis_X(), position.Axis_Y(), height, position.Axis_A());
        position.setZ(height);
        machine.SetCurrentPosition(position);
        return 1;
    }
    case zelk::PositionReset::kFilament:
        setPosition(position.Axis_X(), position.Axis_Y(), position.Axis_Z(), reset.e);
        position.setA(reset.e);
        machine.SetCurrentPosition(position);
        return 1;
    case zelk::PositionReset::kAll: {
        // The start G-code's height stands for any height above 1 mm.
        const float z = reset.z > 1.0f ? static_cast<float>(StartGCode().GetExtrudeHeight()) : reset.z;
        setPosition(reset.x, reset.y, z, 0);
        machine.SetCurrentPosition(CPoint5D(reset.x, reset.y, z, 0, 0));
        return 1;
    }
    case zelk::PositionReset::kSkip:
        return Skip();
    case zelk::PositionReset::kNothing:
        break;
    }
    return 1;
}

int ZELKGCodeParser::TranslateG1(const Words& words, Package& out)
{
    MoveWords move;
    if (!zelk::ReadMoveWords(words, move))
        return Skip();
    return BuildMove(move, out);
}

int ZELKGCodeParser::BuildMove(const MoveWords& move, Package& out)
{
    ZELKMachine& machine = Machine();
    if (move.named[kWordF] && (move.setsFeedrate || move.feedrateOnly))
        machine.SetCurrentFeedrate(move.value[kWordF]);
    if (move.feedrateOnly)
        return 0;

    // Axes the line does not name stay where they are, in single precision.
    const CPoint5D current = machine.getCurrentPosition();
    auto axis = [&](int which, double now) {
        return move.named[which] ? move.value[which] : static_cast<float>(now);
    };
    const float x = axis(kWordX, current.Axis_X()), y = axis(kWordY, current.Axis_Y());
    const float z = axis(kWordZ, current.Axis_Z()), e = axis(kWordE, current.Axis_A());
    const CPoint5D target(x, y, z, e, 0);
    CPoint5D delta;
    delta.sub(target, current);
    CPoint5D absDelta = delta;
    absDelta.absolute();
    if (!(absDelta.magnitude() > 0))
        return 0;
    WriteMovePackage(current, target, out);
    machine.SetCurrentPosition(target);
    return 1;
}

void ZELKGCodeParser::WriteMovePackage(const CPoint5D& current, const CPoint5D& target, Package& out)
{
    CPoint5D delta;
    delta.sub(target, current);
    CPoint5D absDelta = delta;
    absDelta.absolute();
    double distance = std::sqrt(delta.Axis_X() * delta.Axis_X() + delta.Axis_Y() * delta.Axis_Y() +
                                delta.Axis_Z() * delta.Axis_Z());
    const double feedrate = getSafeFeedrate(absDelta);
    double minutes = distance / feedrate;
    if (minutes == 0) {  // an extruder-only move
        distance = absDelta.Axis_A();
        minutes = absDelta.Axis_A() / feedrate;
    }

    // A and B travel as relative moves, with the opposite sign of the
    // filament change: negative steps push filament out.
    const CPoint5D targetSteps =
        mmToSteps(CPoint5D(target.Axis_X(), target.Axis_Y(), target.Axis_Z(), -delta.Axis_A(), -delta.Axis_B()));
    const CPoint5D deltaSteps = getAbsDeltaSteps(current, target);
    const double maxSteps = deltaSteps.absolute_maximum();
    const int dda = maxSteps == 0 ? 0 : TruncateToInt(1000000.0 / (minutes * 60000000.0 / maxSteps));

    const float distanceF = static_cast<float>(distance);
    int distanceBits = 0;
    std::memcpy(&distanceBits, &distanceF, sizeof distanceBits);

    ZELKMachineCodeBuild::GetPackage(
        kCmdQueueAcceleratedPoint,
        {{kField32, TruncateToInt(targetSteps.Axis_X())}, {kField32, TruncateToInt(targetSteps.Axis_Y())},
         {kField32, TruncateToInt(targetSteps.Axis_Z())}, {kField32, TruncateToInt(targetSteps.Axis_A())},
         {kField32, TruncateToInt(targetSteps.Axis_B())}, {kField32, dda}, {kField8, kAxisA | kAxisB},
         {kField32, distanceBits}, {kField16, TruncateToInt(feedrate / 60.0 * 64.0)}},
        out);
}

double ZELKGCodeParser::getSafeFeedrate(CPoint5D absoluteDelta)
{
    const CPoint5D& limits = MaxFeedrate();
    double feedrate = Machine().GetCurrentFeedrate();
    if (feedrate == 0) {
        for (int i = 0; i < 5; ++i) {
            if (limits.get(i) >= feedrate)
                feedrate = limits.get(i);
        }
        if (!(feedrate > 1))
            feedrate = 1;
    }
    const double length = absoluteDelta.magnitude();
    for (int i = 0; i < 5; ++i) {
        const double d = absoluteDelta.get(i);
        if (d != 0 && feedrate * d / length > limits.get(i))
            feedrate = limits.get(i) * length / d;
    }
    return feedrate;
}

CPoint5D ZELKGCodeParser::mmToSteps(CPoint5D mm, CPoint5D excess)
{
    CPoint5D steps;
    steps.mul(StepsPerMM(), mm);
    steps.add(excess);
    steps.round();
    return steps;
}

CPoint5D ZELKGCodeParser::mmToSteps(CPoint5D mm)
{
    CPoint5D steps;
    steps.mul(StepsPerMM(), mm);
    steps.round();
    return steps;
}

CPoint5D ZELKGCodeParser::getAbsDeltaSteps(CPoint5D from, CPoint5D to)
{
    CPoint5D delta;
    delta.sub(to, from);
    delta.absolute();
    return mmToSteps(delta);
}
