// Translating G-code of another flavour: the file read and interpreted on one thread, its actions turned into
// this printer's S3G packages on the other.
#include "ZELKGCodeParser.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "FileIni.h"
#include "MachinePackages.h"
#include "MovePayload.h"
#include "S3GCommands.h"
#include "ScanNumbers.h"
#include "ZELKMachine.h"
#include "ZELKStartGCodeOperater.h"

using namespace zelk::s3g;
using zelk::TruncateToInt;
using zelk::gcode::Action;
using zelk::gcode::ActionKind;

namespace {

// S3G commands only files of other flavours need.
constexpr int kCmdDelay = 133;             // microseconds (32)
constexpr int kCmdWaitForPlatform = 141;   // tool (8), poll ms (16), timeout s (16)
constexpr int kCmdDisplayMessage = 149;    // options (8), x (8), y (8), timeout s (8), text, 0
constexpr int kToolToggleFan = 12;         // on (8)
constexpr int kPlatformPollMs = 100;
constexpr int kPlatformTimeoutS = 0xFFFF;
// A message is sent in pieces that fit a frame; the printer joins them.
constexpr std::size_t kMessagePieceBytes = 20;
constexpr int kMessageClear = 0x01;
constexpr int kMessageLastPiece = 0x02;
constexpr unsigned kMaxDelayUs = 0xFFFFFFFFu;

// A display message: its pieces of text, each ended by a zero byte. False
// when the sink fails.
bool MessagePackages(std::string_view text, zelk::PayloadSink& sink)
{
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kMessagePieceBytes, text.size() - at);
        const bool last = at + n >= text.size();
        zelk::PackagePayload p;
        p.Begin(kCmdDisplayMessage);
        p.Add8((at == 0 ? kMessageClear : 0) | (last ? kMessageLastPiece : 0));
        p.Add8(0);  // x
        p.Add8(0);  // y
        p.Add8(0);  // timeout: until the next message
        for (std::size_t i = 0; i < n; ++i)
            p.Add8(static_cast<unsigned char>(text[at + i]));
        p.Add8(0);
        if (!sink.Add(p.bytes, p.size))
            return false;
        at += n;
    } while (at < text.size());
    return true;
}

}  // namespace

void ZELKGCodeParser::SetPositionPackage(double x, double y, double z, double a, zelk::PackagePayload& out)
{
    ZELKMachine& machine = Machine();
    auto steps = [](double spm, double mm) { return TruncateToInt(std::floor(spm * mm + 0.5)); };
    out.Begin(kCmdSetExtendedPosition);
    out.Add32(steps(machine.GetMachineMotorX().GetStepsPerMM(), x));
    out.Add32(steps(machine.GetMachineMotorY().GetStepsPerMM(), y));
    out.Add32(steps(machine.GetMachineMotorZ().GetStepsPerMM(), z));
    out.Add32(steps(StepsPerMM().Axis_A(), a));
    out.Add32(0);
}

namespace {

constexpr std::size_t kActionsPerBlock = 4096;

// What the reading thread hands over: a block of actions with their messages,
// and at the end why the reading stopped, if it was refused.
struct ActionBlock {
    std::vector<Action> actions;
    std::vector<std::string> texts;
    bool last = false;
    bool failed = false;
    std::string error;  // naming the file and the line
};

// Blocks between the reader and the translator; a few in flight at most, so
// memory stays a few blocks whatever the file's size.
class BlockQueue {
public:
    static constexpr std::size_t kDepth = 2;

    void Push(ActionBlock block)
    {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock, [this] { return m_blocks.size() < kDepth || m_abandoned; });
        if (m_abandoned)
            return;
        m_blocks.push_back(std::move(block));
        m_ready.notify_one();
    }
    ActionBlock Pop()
    {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return !m_blocks.empty(); });
        ActionBlock block = std::move(m_blocks.front());
        m_blocks.pop_front();
        m_space.notify_one();
        return block;
    }
    // A block the translator is done with, for the reader to fill again:
    // its vectors keep their room, so no block costs new memory.
    void Recycle(ActionBlock block)
    {
        block.actions.clear();
        block.texts.clear();
        block.last = false;
        block.failed = false;
        block.error.clear();
        std::lock_guard lock(m_mutex);
        if (m_spare.size() < kDepth + 1)
            m_spare.push_back(std::move(block));
    }
    // A recycled block, or a new one.
    ActionBlock Fresh()
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_spare.empty()) {
                ActionBlock block = std::move(m_spare.back());
                m_spare.pop_back();
                return block;
            }
        }
        ActionBlock block;
        block.actions.reserve(kActionsPerBlock + 64);
        return block;
    }
    // The translator gives up (out of memory): the reader stops pushing.
    void Abandon()
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_space.notify_all();
    }
    bool Abandoned()
    {
        std::lock_guard lock(m_mutex);
        return m_abandoned;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_ready, m_space;
    std::deque<ActionBlock> m_blocks;
    std::vector<ActionBlock> m_spare;
    bool m_abandoned = false;
};

// Reads and interprets the whole file, handing its actions over in blocks.
void ReadActions(const std::string& path, zelk::GCodeText* text, std::FILE* file, std::size_t blockBytes,
                 zelk::gcode::GCodeInterpreter& interpreter, BlockQueue& queue)
{
    ActionBlock block;
    try {
        block = queue.Fresh();
        zelk::GCodeLineStream stream(blockBytes);
        if (text != nullptr)
            stream.Open(std::move(*text));
        else if (file != nullptr)
            stream.Open(file, path);
        else if (!stream.Open(path)) {
            block.failed = true;
            block.error = stream.Error();
        }
        std::string_view line;
        std::string error;
        while (!block.failed && stream.Next(line)) {
            const std::size_t before = block.actions.size();
            if (!interpreter.Feed(line, block.actions, error)) {
                block.failed = true;
                block.error = path + ": line " + std::to_string(stream.LineNumber()) + ": " + error;
                break;
            }
            // A message points into the line, which the next read replaces.
            for (std::size_t k = before; k < block.actions.size(); ++k) {
                Action& a = block.actions[k];
                if (a.kind == ActionKind::kMessage) {
                    a.value = static_cast<int>(block.texts.size());
                    block.texts.emplace_back(a.text);
                    a.text = std::string_view();
                }
            }
            if (block.actions.size() >= kActionsPerBlock) {
                queue.Push(std::move(block));
                if (queue.Abandoned())
                    return;
                block = queue.Fresh();
            }
        }
        if (!block.failed && !stream.Error().empty()) {
            block.failed = true;
            block.error = stream.Error();
        }
    } catch (const std::bad_alloc&) {
        block = ActionBlock();
        block.failed = true;
        block.error = "cannot translate " + path + ": out of memory";
    }
    block.last = true;
    queue.Push(std::move(block));
}

}  // namespace

void ZELKGCodeParser::TranslateFlavoredFile(const char* path, zelk::gcode::GCodeFlavor flavor, zelk::PayloadSink& sink,
                                            zelk::GCodeFileOutcome& outcome, FlavoredInput& input)
{
    // The platform of the profile; its height is the start height here.
    const ZELKGeBuildVolume platform = zelk::ProfileBuildVolume();
    zelk::gcode::MachineSetup setup;
    setup.homeZ = StartGCode().GetExtrudeHeight();
    setup.checkVolume = true;
    setup.minX = platform.min.x;
    setup.maxX = platform.max.x;
    setup.minY = platform.min.y;
    setup.maxY = platform.max.y;
    setup.minZ = 0;
    setup.maxZ = setup.homeZ;
    zelk::gcode::GCodeInterpreter interpreter(flavor, setup);
    StepsPerMM();  // read here, on this thread, before the reader starts

    // A list: about one package a line of some 25 bytes (arcs give more,
    // comments none), reserved, not touched, so only what is used is memory.
    if (input.list != nullptr) {
        std::error_code ec;
        const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
        if (!ec)
            input.list->reserve(static_cast<std::size_t>(bytes / 20) + 64);
    }

    // The printer starts from where the last homing left it; a file that
    // moves before it homes moves from there.
    Machine().SetCurrentPosition(CPoint5D(0, 0, 0, 0, 0));
    Machine().SetCurrentFeedrate(0);
    BlockQueue queue;
    std::thread reader;
    try {
        reader = std::thread(ReadActions, std::string(path), input.text, input.file, input.blockBytes,
                             std::ref(interpreter), std::ref(queue));
    } catch (const std::system_error&) {
        if (input.file != nullptr)
            std::fclose(input.file);  // the reader would have closed it
        throw;
    }
    ActionBlock block;
    bool sinkOk = true;
    try {
        for (;;) {
            block = queue.Pop();
            if (!AppendActionPackages(block.actions, block.texts, sink, outcome)) {
                sinkOk = false;
                break;
            }
            if (block.last)
                break;
            queue.Recycle(std::move(block));
        }
    } catch (const std::bad_alloc&) {
        queue.Abandon();
        reader.join();
        throw;
    }
    if (!sinkOk)
        queue.Abandon();  // the reader stops at its next block
    reader.join();
    outcome.leftOut = interpreter.LeftOut();
    if (block.failed) {
        outcome.moveCount = 0;
        m_lastFileError = block.error;
        // Only a file that was read and then refused is "read": a file that
        // cannot be opened is not.
        outcome.read = block.error.find(": line ") != std::string::npos;
        outcome.refused = outcome.read;
        return;
    }
    if (!sinkOk && !block.failed) {
        outcome.moveCount = 0;
        outcome.read = false;
        m_lastFileError = std::string("cannot translate ") + path + ": its packages could not be kept";
        return;
    }
    outcome.read = true;
}

namespace {

// The machine model now stands where the action put the head and filament
// (the second extruder's count is not kept).
void MoveMachineTo(ZELKMachine& machine, CPoint5D position, const Action& a)
{
    position.setX(a.x);
    position.setY(a.y);
    position.setZ(a.z);
    position.setA(a.e);
    position.setB(0);
    machine.SetCurrentPosition(position);
}

}  // namespace

bool ZELKGCodeParser::AppendActionPackages(const std::vector<Action>& actions, const std::vector<std::string>& texts,
                                           zelk::PayloadSink& sink, zelk::GCodeFileOutcome& outcome)
{
    static const Package waitForTool = zelk::WaitForToolPackage();
    static const Package enableAll = zelk::EnableAllAxesPackage();
    ZELKMachine& machine = Machine();
    for (const Action& a : actions) {
        zelk::PackagePayload p;
        switch (a.kind) {
        case ActionKind::kMove: {
            CPoint5D position = machine.getCurrentPosition();
            const double current[5] = {position.Axis_X(), position.Axis_Y(), position.Axis_Z(), position.Axis_A(),
                                       position.Axis_B()};
            const double target[5] = {a.x, a.y, a.z, a.e, 0};
            const double length = zelk::MoveLength(current, target);
            if (!(length > 0))
                continue;
            machine.SetCurrentFeedrate(a.feedMmPerMin);
            WriteMovePackage(current, target, length, p);
            MoveMachineTo(machine, position, a);
            ++outcome.moveCount;
            break;
        }
        case ActionKind::kSetPosition: {
            SetPositionPackage(a.x, a.y, a.z, a.e, p);
            MoveMachineTo(machine, machine.getCurrentPosition(), a);
            break;
        }
        case ActionKind::kHome: {
            const bool up = (a.axes & zelk::gcode::kAxisZ) != 0;
            const int mask = (a.axes & zelk::gcode::kAxisX ? kAxisX : 0) | (a.axes & zelk::gcode::kAxisY ? kAxisY : 0) |
                             (up ? kAxisZ : 0);
            constexpr int kHomingTimeoutS = 20;
            p.Begin(up ? kCmdFindAxesMaximum : kCmdFindAxesMinimum);
            p.Add8(mask);
            p.Add32(TransMachineSpeed(TruncateToInt(a.feedMmPerMin)));
            p.Add16(kHomingTimeoutS);
            break;
        }
        case ActionKind::kDwell: {
            // Long waits go as several delays, each within its 32-bit field.
            unsigned long long us = static_cast<unsigned long long>(a.value) * 1000ULL;
            while (us > kMaxDelayUs) {
                p.Begin(kCmdDelay);
                p.Add32(static_cast<int>(kMaxDelayUs));
                if (!sink.Add(p.bytes, p.size))
                    return false;
                us -= kMaxDelayUs;
            }
            p.Begin(kCmdDelay);
            p.Add32(static_cast<int>(static_cast<unsigned>(us)));
            break;
        }
        case ActionKind::kExtruderTemp:
            if (TranslateTemperature(kToolSetTemperature, zelk::kMaxExtruderTempC, true, a.value, p) == 0)
                continue;
            break;
        case ActionKind::kPlatformTemp:
            if (TranslateTemperature(kToolSetPlatformTemperature, zelk::kMaxPlatformTempC, true, a.value, p) == 0)
                continue;
            break;
        case ActionKind::kWaitExtruder: p.Set(waitForTool); break;
        case ActionKind::kWaitPlatform:
            p.Begin(kCmdWaitForPlatform);
            p.Add8(kTool0);
            p.Add16(kPlatformPollMs);
            p.Add16(kPlatformTimeoutS);
            break;
        case ActionKind::kFan:
            p.Begin(kCmdToolAction);
            p.Add8(kTool0);
            p.Add8(kToolToggleFan);
            p.Add8(1);
            p.Add8(a.value);
            break;
        case ActionKind::kPercent: p.Set(zelk::PrintPercentPackage(a.value)); break;
        case ActionKind::kMessage:
            if (!MessagePackages(
                    static_cast<std::size_t>(a.value) < texts.size() ? texts[a.value] : std::string(), sink))
                return false;
            continue;
        case ActionKind::kMotorsOff:
            p.Begin(kCmdEnableAxes);
            p.Add8(kAllAxes);
            break;
        case ActionKind::kMotorsOn: p.Set(enableAll); break;
        }
        if (!sink.Add(p.bytes, p.size))
            return false;
    }
    return true;
}
