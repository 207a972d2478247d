// Translates the slicer's G-code into S3G command packages for this printer.
#include "ZELKGCodeParser.h"

#include <cmath>
#include <cstring>
#include <new>
#include <system_error>

#include <sys/stat.h>

#include "DialectLineReader.h"
#include "GCodeLimits.h"
#include "GCodeWords.h"
#include "MachinePackages.h"
#include "MovePayload.h"
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
    // The process-wide machine, once asked for, stays the same one.
    if (m_machine == nullptr)
        m_machine = ZELKMachine::GetMachine();
    return *m_machine;
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
        for (int i = 0; i < 5; ++i) {
            m_moveConstants.stepsPerMM[i] = m_stepsPerMM.get(i);
            m_moveConstants.maxFeedrate[i] = m_maxFeedrate.get(i);
        }
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

namespace {

// A print list as a sink: each payload framed into its package.
class ListSink final : public zelk::PayloadSink {
public:
    explicit ListSink(zelk::PrintList& list) : m_list(list) {}
    bool Add(const unsigned char* payload, std::size_t size) override
    {
        m_list.AppendPayload(payload, size);
        return true;
    }

private:
    zelk::PrintList& m_list;
};

}  // namespace

struct ZELKGCodeParser::FileRun {
    zelk::PayloadSink& sink;
    zelk::GCodeFileOutcome& outcome;
    std::size_t lines = 0;    // cleaned lines that were not empty
    std::size_t emitted = 0;  // packages handed to the sink
};

zelk::PrintList ZELKGCodeParser::FileParser(const char* path)
{
    zelk::GCodeFileOutcome outcome;
    return FileParser(path, outcome);
}

zelk::PrintList ZELKGCodeParser::FileParser(const char* path, zelk::GCodeFileOutcome& outcome)
{
    outcome = zelk::GCodeFileOutcome();
    m_skippedLines = 0;
    zelk::PrintList packages;
    try {
        ListSink sink(packages);
        TranslateFile(path, sink, outcome, &packages, 0);
        if (outcome.refused || !outcome.read)
            packages.clear();  // nothing half-translated
    } catch (const std::bad_alloc&) {
        // A file too large for the memory there is: refused like an
        // unreadable one, with nothing half-translated left behind.
        packages.clear();
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": out of memory";
    } catch (const std::system_error& e) {
        // No thread to read a flavoured file on.
        packages.clear();
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": " + e.what();
    }
    FinishOutcome(path, outcome);
    return packages;
}

void ZELKGCodeParser::StreamFile(const char* path, zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome,
                                 std::size_t blockBytes)
{
    outcome = zelk::GCodeFileOutcome();
    m_skippedLines = 0;
    try {
        TranslateFile(path, sink, outcome, nullptr, blockBytes);
    } catch (const std::bad_alloc&) {
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": out of memory";
    } catch (const std::system_error& e) {
        // No thread to read the file on.
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": " + e.what();
    }
    FinishOutcome(path, outcome);
}

void ZELKGCodeParser::FinishOutcome(const char* path, zelk::GCodeFileOutcome& outcome)
{
    if (!outcome.read || outcome.refused)
        outcome.reason = m_lastFileError;
    else if (outcome.moveCount == 0)
        outcome.reason = std::string(path) + ": no move (G1) in the file";
    outcome.skippedLineCount = m_skippedLines;
    m_lastOutcome = outcome;
}

bool ZELKGCodeParser::EmitDialectLine(std::string_view line, const zelk::DialectLine* read, FileRun& run)
{
    if (run.lines == 0 && line.find("M104") != std::string_view::npos)
        m_m104Flag = 1;
    if (run.lines == 1 && line.find("M109") != std::string_view::npos)
        m_m109Flag = 1;
    ++run.lines;
    zelk::PackagePayload payload;
    // A G1 read ahead goes as TranslateG1 takes it; any other line is read here.
    int result = 0;
    if (read != nullptr && read->isG1)
        result = read->moveRead ? BuildMove(read->move, payload) : Skip();
    else
        result = TranslateLine(line, payload);
    if (result == 0)
        return true;  // no package (an M1's is dropped too)
    if (payload.size != 0 && payload.bytes[0] == kCmdQueueAcceleratedPoint)
        ++run.outcome.moveCount;
    // A list of 13 or more packages carries the wait-for-tool packet at
    // index 12, before the package that would have been there.
    if (run.emitted == 12) {
        static const Package waitForTool = zelk::WaitForToolPackage();
        if (!run.sink.Add(waitForTool.Payload(), static_cast<std::size_t>(waitForTool.PayloadSize())))
            return false;
        ++run.emitted;
    }
    ++run.emitted;
    return run.sink.Add(payload.bytes, payload.size);
}

void ZELKGCodeParser::TranslateFile(const char* path, zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome,
                                    zelk::PrintList* list, std::size_t blockBytes)
{
    // The flavour from the file's own ends, unless the caller chose it. A
    // pipe or a device can be read only once: for a list it is read whole
    // first; streamed, it goes to a temporary file (its ends kept) unless the
    // flavour is chosen, and then it is read as it comes.
    zelk::GCodeText file;
    std::FILE* spooled = nullptr;
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
    } else if (list != nullptr) {
        if (!GetFileData(path, file))
            return;
        const zelk::gcode::FlavorMark mark = zelk::gcode::DetectFlavor(std::string_view(file.data.get(), file.size));
        outcome.flavor = mark.flavor;
        outcome.flavorMark = mark.mark;
    } else {
        std::string head, tail;
        if (!zelk::SpoolGCodeInput(path, zelk::gcode::kFlavorHeadBytes, zelk::gcode::kFlavorTailBytes, spooled, head,
                                   tail, &m_lastFileError))
            return;
        const zelk::gcode::FlavorMark mark = zelk::gcode::DetectFlavor(head, tail);
        outcome.flavor = mark.flavor;
        outcome.flavorMark = mark.mark;
    }

    if (outcome.flavor != zelk::gcode::GCodeFlavor::kPrinter) {
        FlavoredInput input{file.data ? &file : nullptr, spooled, blockBytes, list};
        TranslateFlavoredFile(path, outcome.flavor, sink, outcome, input);
        return;
    }

    FileRun run{sink, outcome};
    if (list != nullptr) {
        // A list: the file read whole, the list reserved for one slot more
        // than the lines that can give a package (for the wait-for-tool
        // packet); blank lines take none.
        if (!file.data && !GetFileData(path, file))
            return;
        outcome.read = true;
        m_census = &outcome.leftOut;
        list->reserve(zelk::CountNonBlankGCodeLines(file) + 1);
        zelk::ForEachGCodeLine(file, [&](std::string_view line) { EmitDialectLine(line, nullptr, run); });
        m_census = nullptr;
        return;
    }

    // The lines are read, cleaned and split on a thread of their own, a
    // block ahead; the machine's state is kept here, line after line.
    zelk::DialectLineReader reader(blockBytes);
    if (spooled != nullptr) {
        reader.Open(spooled, path);
    } else if (!reader.Open(path)) {
        m_lastFileError = reader.Error();
        return;
    }
    outcome.read = true;
    m_census = &outcome.leftOut;
    const std::vector<zelk::DialectLine>* lines = nullptr;
    bool sinkOk = true;
    while (sinkOk && reader.Next(lines)) {
        for (const zelk::DialectLine& line : *lines) {
            if (!EmitDialectLine(line.text, &line, run)) {
                sinkOk = false;
                break;
            }
        }
    }
    m_census = nullptr;
    if (!reader.Error().empty()) {
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = reader.Error();
    } else if (!sinkOk) {
        outcome.read = false;
        outcome.moveCount = 0;
        m_lastFileError = std::string("cannot translate ") + path + ": its packages could not be kept";
    }
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
    zelk::PackagePayload payload;
    const int result = TranslateLine(line, payload);
    // A line that builds no package leaves out as it was.
    if (payload.size != 0)
        payload.Frame(out);
    return result;
}

int ZELKGCodeParser::TranslateLine(std::string_view line, zelk::PackagePayload& out)
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

int ZELKGCodeParser::TranslateM(int code, const Words& words, zelk::PackagePayload& out)
{
    static const Package isFinished = zelk::IsFinishedPackage();
    static const Package changeTool = zelk::ChangeToolPackage();
    static const Package enableAll = zelk::EnableAllAxesPackage();
    static const Package extruderMotor = zelk::ExtruderMotorPackage();
    int value = 0;
    bool read = false;
    switch (code) {
    case 1:
        out.Set(isFinished);
        return 0;
    case 6:
        out.Set(changeTool);
        return 1;
    case 17:
        out.Set(enableAll);
        return 1;
    case 18:
        out.Begin(kCmdEnableAxes);
        out.Add8(kAllAxes);
        return 1;
    case 73:
        ScanLetterInt(words[1], 'P', value);
        out.Begin(kCmdSetBuildPercentage);
        out.Add8(value);
        out.Add8(kPercentReserved);
        return 1;
    case 101:
        out.Begin(kCmdEnableAxes);
        out.Add8(kEnableAxesBit | kAxisA);
        return 1;
    case 102:
        out.Set(extruderMotor);
        return 1;
    case 103:
        out.Begin(kCmdEnableAxes);
        out.Add8(kAxisA);
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

int ZELKGCodeParser::TranslateTemperature(int action, int limitC, bool read, int tempC, zelk::PackagePayload& out)
{
    // An unreadable or wild temperature would wrap in its 16-bit field.
    if (!read || tempC < 0 || tempC > limitC)
        return Skip();
    constexpr int kTemperatureBytes = 2;
    out.Begin(kCmdToolAction);
    out.Add8(kTool0);
    out.Add8(action);
    out.Add8(kTemperatureBytes);
    out.Add16(tempC);
    return 1;
}

int ZELKGCodeParser::TranslateG(int code, const Words& words, zelk::PackagePayload& out)
{
    switch (code) {
    case 1:
        return TranslateG1(words, out);
    case 4:
        // A relative extruder move of 2400 steps over 15 s (the dwell primes
        // the nozzle); the P word is not used.
        out.Begin(kCmdQueueRelativePoint);
        out.Add32(0);
        out.Add32(0);
        out.Add32(0);
        out.Add32(-2400);
        out.Add32(0);
        out.Add32(15000000);
        out.Add8(kAllAxes);
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

int ZELKGCodeParser::TranslateHoming(int command, int mask, std::string_view feedWord, zelk::PackagePayload& out)
{
    // Homing gives up after 20 s.
    constexpr int kHomingTimeoutS = 20;
    float feed = 0;
    int interval = 0;
    if (ScanLetterFloat(feedWord, 'F', feed))
        interval = TransMachineSpeed(TruncateToInt(feed));
    out.Begin(command);
    out.Add8(mask);
    out.Add32(interval);
    out.Add16(kHomingTimeoutS);
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

int ZELKGCodeParser::TranslateG92(const Words& words, zelk::PackagePayload& out)
{
    ZELKMachine& machine = Machine();
    CPoint5D position = machine.getCurrentPosition();
    const double spmX = machine.GetMachineMotorX().GetStepsPerMM();
    const double spmY = machine.GetMachineMotorY().GetStepsPerMM();
    const double spmZ = machine.GetMachineMotorZ().GetStepsPerMM();
    const double spmA = StepsPerMM().Axis_A();
    auto steps = [](double spm, double mm) { return TruncateToInt(spm * mm + 0.5); };
    auto setPosition = [&](double x, double y, double z, double a) {
        out.Begin(kCmdSetExtendedPosition);
        out.Add32(steps(spmX, x));
        out.Add32(steps(spmY, y));
        out.Add32(steps(spmZ, z));
        out.Add32(steps(spmA, a));
        out.Add32(0);
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

int ZELKGCodeParser::TranslateG1(const Words& words, zelk::PackagePayload& out)
{
    MoveWords move;
    if (!zelk::ReadMoveWords(words, move))
        return Skip();
    return BuildMove(move, out);
}

int ZELKGCodeParser::BuildMove(const MoveWords& move, zelk::PackagePayload& out)
{
    ZELKMachine& machine = Machine();
    if (move.named[kWordF] && (move.setsFeedrate || move.feedrateOnly))
        machine.SetCurrentFeedrate(move.value[kWordF]);
    if (move.feedrateOnly)
        return 0;

    // Axes the line does not name stay where they are, in single precision.
    CPoint5D position = machine.getCurrentPosition();
    const double current[5] = {position.Axis_X(), position.Axis_Y(), position.Axis_Z(), position.Axis_A(),
                               position.Axis_B()};
    auto axis = [&](int which, double now) {
        return move.named[which] ? move.value[which] : static_cast<float>(now);
    };
    const double target[5] = {axis(kWordX, current[0]), axis(kWordY, current[1]), axis(kWordZ, current[2]),
                              axis(kWordE, current[3]), 0};
    const double length = zelk::MoveLength(current, target);
    if (!(length > 0))
        return 0;
    WriteMovePackage(current, target, length, out);
    position.setX(target[0]);
    position.setY(target[1]);
    position.setZ(target[2]);
    position.setA(target[3]);
    position.setB(0);
    machine.SetCurrentPosition(position);
    return 1;
}

void ZELKGCodeParser::WriteMovePackage(const double current[5], const double target[5], double length,
                                       zelk::PackagePayload& out)
{
    StepsPerMM();
    zelk::WriteMovePayload(m_moveConstants, current, target, length, Machine().GetCurrentFeedrate(), out);
}
