// Translates the slicer's G-code into S3G command packages for this printer.
#include "ZELKGCodeParser.h"

#include <cmath>
#include <cstring>

#include "MachinePackages.h"
#include "ScanNumbers.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

using zelk::ScanLetterFloat;
using zelk::ScanLetterInt;
using zelk::TruncateToInt;

namespace {

// The X steps per millimetre written into the homing rate, not read from the
// machine model.
constexpr double kHomingStepsPerMM = 71.699959;

bool Contains(std::string_view text, char c)
{
    return text.find(c) != std::string_view::npos;
}

}  // namespace

// The words of one line: the pieces between spaces. Handlers read at most the
// first few words by position; the rest are only counted.
struct ZELKGCodeParser::Words {
    static constexpr int kStored = 8;
    std::string_view line;
    std::string_view word[kStored];
    int count = 0;

    // Word k, or an empty (unreadable) word when the line has fewer words.
    std::string_view operator[](int k) const { return k < count && k < kStored ? word[k] : std::string_view(); }
};

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

int ZELKGCodeParser::Split(std::string_view line, Words& words)
{
    words.line = line;
    words.count = 0;
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end) {
        while (p < end && *p == ' ')
            ++p;
        if (p == end)
            break;
        const char* space = static_cast<const char*>(std::memchr(p, ' ', static_cast<std::size_t>(end - p)));
        const char* wordEnd = space != nullptr ? space : end;
        if (words.count < Words::kStored)
            words.word[words.count] = std::string_view(p, static_cast<std::size_t>(wordEnd - p));
        ++words.count;
        p = wordEnd;
    }
    return 1;
}

std::vector<Package> ZELKGCodeParser::FileParser(const char* path)
{
    std::vector<Package> packages;
    zelk::GCodeText file;
    if (!GetFileData(path, file))
        return packages;

    // One slot more than lines, for the wait-for-tool packet.
    packages.reserve(zelk::CountGCodeLines(file) + 1);
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
        // A list of 13 or more packages carries the wait-for-tool packet at
        // index 12, before the package that would have been there.
        if (packages.size() == 13) {
            packages.push_back(packages[12]);
            packages[12] = zelk::WaitForToolPackage();
        }
    });
    return packages;
}

int ZELKGCodeParser::GetGCodeCommandPackage(const std::string& line, Package& out)
{
    return GetGCodeCommandPackage(std::string_view(line), out);
}

int ZELKGCodeParser::GetGCodeCommandPackage(std::string_view line, Package& out)
{
    Words words;
    Split(line, words);
    if (words.count == 0)
        return 0;
    const std::string_view first = words[0];
    int code = -1;
    if (Contains(first, 'G')) {
        if (!ScanLetterInt(first, 'G', code))
            code = -1;
        return TranslateG(code, words, out);
    }
    if (Contains(first, 'M')) {
        if (!ScanLetterInt(first, 'M', code))
            code = -1;
        return TranslateM(code, words, out);
    }
    // No G or M code (a tool word, a stray value): kept as an empty package.
    return 1;
}

int ZELKGCodeParser::TranslateM(int code, const Words& words, Package& out)
{
    int value = 0;
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
        ZELKMachineCodeBuild::GetPackage(137, {{1, 31}}, out);
        return 1;
    case 73:
        ScanLetterInt(words[1], 'P', value);
        ZELKMachineCodeBuild::GetPackage(150, {{1, value}, {1, -1}}, out);
        return 1;
    case 101:
        ZELKMachineCodeBuild::GetPackage(137, {{1, 136}}, out);
        return 1;
    case 102:
        out = zelk::ExtruderMotorPackage();
        return 1;
    case 103:
        ZELKMachineCodeBuild::GetPackage(137, {{1, 8}}, out);
        return 1;
    case 104:
        if (m_m104Flag != 0) {
            value = TruncateToInt(StartGCode().GetExtrudeHeaderPrintTemperature());
            m_m104Flag = 0;
        } else {
            ScanLetterInt(words[1], 'S', value);
        }
        ZELKMachineCodeBuild::GetPackage(136, {{1, 0}, {1, 3}, {1, 2}, {2, value}}, out);
        return 1;
    case 109:
        if (m_m109Flag != 0) {
            value = TruncateToInt(StartGCode().GetPlatformPrintTemperature());
            m_m109Flag = 0;
        } else {
            ScanLetterInt(words[1], 'S', value);
        }
        ZELKMachineCodeBuild::GetPackage(136, {{1, 0}, {1, 31}, {1, 2}, {2, value}}, out);
        return 1;
    case 105:
    case 108:  // the R word is read by the slicer's dialect but not used here
    default:
        return 0;
    }
}

int ZELKGCodeParser::TranslateG(int code, const Words& words, Package& out)
{
    switch (code) {
    case 1:
        return TranslateG1(words, out);
    case 4:
        // A relative extruder move of 2400 steps over 15 s (the dwell primes
        // the nozzle); the P word is not used.
        ZELKMachineCodeBuild::GetPackage(
            142, {{3, 0}, {3, 0}, {3, 0}, {3, -2400}, {3, 0}, {3, 15000000}, {1, 31}}, out);
        return 1;
    case 92:
        return TranslateG92(words, out);
    case 161: {
        int mask = 0;
        std::string_view feedWord;
        if (words.count == 3) {
            mask = Contains(words[1], 'X') ? 1 : (Contains(words[1], 'Y') ? 2 : 0);
            feedWord = words[2];
        } else if (words.count == 4) {
            mask = 3;
            feedWord = words[3];
        }
        return TranslateHoming(131, mask, feedWord, out);
    }
    case 162:
        return TranslateHoming(132, 4, words.count == 3 ? words[2] : std::string_view(), out);
    default:
        return 0;
    }
}

int ZELKGCodeParser::TranslateHoming(int command, int mask, std::string_view feedWord, Package& out)
{
    float feed = 0;
    int interval = 0;
    if (ScanLetterFloat(feedWord, 'F', feed))
        interval = TransMachineSpeed(TruncateToInt(feed));
    ZELKMachineCodeBuild::GetPackage(command, {{1, mask}, {3, interval}, {2, 20}}, out);
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

    if (words.count == 2) {
        const std::string_view word = words[1];
        if (Contains(word, 'Z')) {
            const double height = StartGCode().GetExtrudeHeight();
            ZELKMachineCodeBuild::GetPackage(
                140, {{3, steps(spmX, position.Axis_X())}, {3, steps(spmY, position.Axis_Y())},
                      {3, steps(spmZ, height)}, {3, steps(spmA, position.Axis_A())}, {3, 0}}, out);
            position.setZ(height);
            machine.SetCurrentPosition(position);
            return 1;
        }
        if (Contains(word, 'E')) {
            float e = 0;
            ScanLetterFloat(word, 'E', e);
            ZELKMachineCodeBuild::GetPackage(
                140, {{3, steps(spmX, position.Axis_X())}, {3, steps(spmY, position.Axis_Y())},
                      {3, steps(spmZ, position.Axis_Z())}, {3, steps(spmA, e)}, {3, 0}}, out);
            position.setA(e);
            machine.SetCurrentPosition(position);
            return 1;
        }
        return 1;
    }
    if (words.count != 6)
        return 1;

    float x = 0, y = 0, z = 0;
    ScanLetterFloat(words[1], 'X', x);
    ScanLetterFloat(words[2], 'Y', y);
    ScanLetterFloat(words[3], 'Z', z);
    // The start G-code's height stands for any height above 1 mm.
    if (z > 1.0f)
        z = StartGCode().GetExtrudeHeight();
    ZELKMachineCodeBuild::GetPackage(
        140, {{3, steps(spmX, x)}, {3, steps(spmY, y)}, {3, steps(spmZ, z)}, {3, 0}, {3, 0}}, out);
    machine.SetCurrentPosition(CPoint5D(x, y, z, 0, 0));
    return 1;
}

int ZELKGCodeParser::TranslateG1(const Words& words, Package& out)
{
    ZELKMachine& machine = Machine();
    const CPoint5D current = machine.getCurrentPosition();
    // The line's values, single precision as read.
    float x = 0, y = 0, z = 0, f = 0, e = 0;
    float value = 0;
    const float curX = static_cast<float>(current.Axis_X());
    const float curY = static_cast<float>(current.Axis_Y());
    const float curZ = static_cast<float>(current.Axis_Z());
    const float curA = static_cast<float>(current.Axis_A());
    bool byLetter = false;

    switch (words.count) {
    case 2:
        if (ScanLetterFloat(words[1], 'F', f)) {
            machine.SetCurrentFeedrate(f);
            return 0;
        }
        if (ScanLetterFloat(words[1], 'E', e)) {
            x = curX, y = curY, z = curZ;
            break;
        }
        // A single X, Y or Z word moves that axis alone; a word of no axis
        // moves nothing (it never sends the head to the origin).
        byLetter = true;
        break;
    case 3:
        if (ScanLetterFloat(words[1], 'X', value)) {
            x = value, y = curY, z = curZ;
        } else if (ScanLetterFloat(words[1], 'Y', value)) {
            x = curX, y = value, z = curZ;
        } else if (ScanLetterFloat(words[1], 'Z', value)) {
            x = curX, y = curY, z = value;
        } else {
            byLetter = true;
            break;
        }
        e = curA;
        if (ScanLetterFloat(words[2], 'F', f))
            machine.SetCurrentFeedrate(f);
        break;
    case 5:
        ScanLetterFloat(words[1], 'X', x);
        ScanLetterFloat(words[2], 'Y', y);
        ScanLetterFloat(words[3], 'Z', z);
        ScanLetterFloat(words[4], 'F', f);
        e = curA;
        machine.SetCurrentFeedrate(f);
        break;
    case 6:
        ScanLetterFloat(words[1], 'X', x);
        ScanLetterFloat(words[2], 'Y', y);
        ScanLetterFloat(words[3], 'Z', z);
        ScanLetterFloat(words[4], 'F', f);
        ScanLetterFloat(words[5], 'E', e);
        machine.SetCurrentFeedrate(f);
        break;
    default:
        byLetter = true;
        break;
    }

    if (byLetter) {
        // Other shapes are read word by word: each X, Y, Z, E and F word that
        // holds a number sets its value; axes the line does not name stay
        // where they are.
        x = curX, y = curY, z = curZ, e = curA;
        std::string_view rest = words.line;
        bool feedSeen = false;
        bool first = true;
        while (!rest.empty()) {
            std::size_t start = rest.find_first_not_of(' ');
            if (start == std::string_view::npos)
                break;
            rest.remove_prefix(start);
            std::size_t end = rest.find(' ');
            std::string_view word = rest.substr(0, end);
            rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
            if (first) {  // the G1 itself
                first = false;
                continue;
            }
            if (word.empty())
                continue;
            switch (word.front()) {
            case 'X': ScanLetterFloat(word, 'X', x); break;
            case 'Y': ScanLetterFloat(word, 'Y', y); break;
            case 'Z': ScanLetterFloat(word, 'Z', z); break;
            case 'E': ScanLetterFloat(word, 'E', e); break;
            case 'F': feedSeen = ScanLetterFloat(word, 'F', f) || feedSeen; break;
            default: break;
            }
        }
        if (feedSeen)
            machine.SetCurrentFeedrate(f);
    }

    const CPoint5D target(x, y, z, e, 0);
    CPoint5D delta;
    delta.sub(target, current);
    CPoint5D absDelta = delta;
    absDelta.absolute();
    if (!(absDelta.magnitude() > 0))
        return 0;

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
    const CPoint5D targetSteps = mmToSteps(CPoint5D(x, y, z, -delta.Axis_A(), -delta.Axis_B()));
    const CPoint5D deltaSteps = getAbsDeltaSteps(current, target);
    const double maxSteps = deltaSteps.absolute_maximum();
    const int dda = maxSteps == 0 ? 0 : TruncateToInt(1000000.0 / (minutes * 60000000.0 / maxSteps));

    const float distanceF = static_cast<float>(distance);
    int distanceBits = 0;
    std::memcpy(&distanceBits, &distanceF, sizeof distanceBits);

    ZELKMachineCodeBuild::GetPackage(
        155, {{3, TruncateToInt(targetSteps.Axis_X())}, {3, TruncateToInt(targetSteps.Axis_Y())},
              {3, TruncateToInt(targetSteps.Axis_Z())}, {3, TruncateToInt(targetSteps.Axis_A())},
              {3, TruncateToInt(targetSteps.Axis_B())}, {3, dda}, {1, 24}, {3, distanceBits},
              {2, TruncateToInt(feedrate / 60.0 * 64.0)}}, out);
    machine.SetCurrentPosition(target);
    return 1;
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
