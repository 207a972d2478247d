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
#include <thread>

#include "FileIni.h"
#include "MachinePackages.h"
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

Package Build(int command, std::initializer_list<PackageData> params)
{
    return ZELKMachineCodeBuild::GetPackage(command, params);
}

// A display message: its pieces of text, each ended by a zero byte.
void MessagePackages(std::string_view text, std::vector<Package>& out)
{
    std::size_t at = 0;
    do {
        const std::size_t n = std::min(kMessagePieceBytes, text.size() - at);
        const bool last = at + n >= text.size();
        Package p;
        CPacketBuilder builder(kCmdDisplayMessage);
        builder.add8((at == 0 ? kMessageClear : 0) | (last ? kMessageLastPiece : 0));
        builder.add8(0);  // x
        builder.add8(0);  // y
        builder.add8(0);  // timeout: until the next message
        for (std::size_t i = 0; i < n; ++i)
            builder.add8(static_cast<unsigned char>(text[at + i]));
        builder.add8(0);
        const unsigned char* frame = builder.getPacket();
        p.size = builder.GetPacketCount();
        std::memcpy(p.data, frame, static_cast<std::size_t>(p.size));
        out.push_back(p);
        at += n;
    } while (at < text.size());
}

}  // namespace

void ZELKGCodeParser::SetPositionPackage(double x, double y, double z, double a, Package& out)
{
    ZELKMachine& machine = Machine();
    auto steps = [](double spm, double mm) { return TruncateToInt(std::floor(spm * mm + 0.5)); };
    ZELKMachineCodeBuild::GetPackage(
        kCmdSetExtendedPosition,
        {{kField32, steps(machine.GetMachineMotorX().GetStepsPerMM(), x)},
         {kField32, steps(machine.GetMachineMotorY().GetStepsPerMM(), y)},
         {kField32, steps(machine.GetMachineMotorZ().GetStepsPerMM(), z)}, {kField32, steps(StepsPerMM().Axis_A(), a)},
         {kField32, 0}},
        out);
}

namespace {

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
    bool m_abandoned = false;
};

constexpr std::size_t kActionsPerBlock = 4096;

// Reads and interprets the whole file, handing its actions over in blocks.
void ReadActions(const std::string& path, zelk::GCodeText* text, zelk::gcode::GCodeInterpreter& interpreter,
                 BlockQueue& queue)
{
    ActionBlock block;
    try {
        zelk::GCodeLineStream stream;
        if (text != nullptr)
            stream.Open(std::move(*text));
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
                block = ActionBlock();
                block.actions.reserve(kActionsPerBlock + 64);
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

void ZELKGCodeParser::TranslateFlavoredFile(const char* path, zelk::gcode::GCodeFlavor flavor,
                                            std::vector<Package>& packages, zelk::GCodeFileOutcome& outcome,
                                            zelk::GCodeText* text)
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

    // About one package a line of some 25 bytes (arcs give more, comments
    // none): reserved, not touched, so only what is used is memory.
    std::error_code ec;
    const std::uintmax_t bytes = std::filesystem::file_size(path, ec);
    if (!ec)
        packages.reserve(static_cast<std::size_t>(bytes / 20) + 64);

    // The printer starts from where the last homing left it; a file that
    // moves before it homes moves from there.
    Machine().SetCurrentPosition(CPoint5D(0, 0, 0, 0, 0));
    Machine().SetCurrentFeedrate(0);
    BlockQueue queue;
    std::thread reader(ReadActions, std::string(path), text, std::ref(interpreter), std::ref(queue));
    ActionBlock block;
    try {
        do {
            block = queue.Pop();
            AppendActionPackages(block.actions, block.texts, packages, outcome);
        } while (!block.last);
    } catch (const std::bad_alloc&) {
        queue.Abandon();
        reader.join();
        throw;
    }
    reader.join();
    outcome.leftOut = interpreter.LeftOut();
    if (block.failed) {
        std::vector<Package>().swap(packages);
        outcome.moveCount = 0;
        m_lastFileError = block.error;
        // Only a file that was read and then refused is "read": a file that
        // cannot be opened is not.
        outcome.read = block.error.find(": line ") != std::string::npos;
        outcome.refused = outcome.read;
        return;
    }
    outcome.read = true;
}

void ZELKGCodeParser::AppendActionPackages(const std::vector<Action>& actions, const std::vector<std::string>& texts,
                                           std::vector<Package>& packages, zelk::GCodeFileOutcome& outcome)
{
    ZELKMachine& machine = Machine();
    for (const Action& a : actions) {
        Package p;
        switch (a.kind) {
        case ActionKind::kMove: {
            const CPoint5D current = machine.getCurrentPosition();
            const CPoint5D target(a.x, a.y, a.z, a.e, 0);
            CPoint5D delta;
            delta.sub(target, current);
            delta.absolute();
            if (!(delta.magnitude() > 0))
                continue;
            machine.SetCurrentFeedrate(a.feedMmPerMin);
            WriteMovePackage(current, target, p);
            machine.SetCurrentPosition(target);
            ++outcome.moveCount;
            break;
        }
        case ActionKind::kSetPosition:
            SetPositionPackage(a.x, a.y, a.z, a.e, p);
            machine.SetCurrentPosition(CPoint5D(a.x, a.y, a.z, a.e, 0));
            break;
        case ActionKind::kHome: {
            const bool up = (a.axes & zelk::gcode::kAxisZ) != 0;
            const int mask = (a.axes & zelk::gcode::kAxisX ? kAxisX : 0) | (a.axes & zelk::gcode::kAxisY ? kAxisY : 0) |
                             (up ? kAxisZ : 0);
            constexpr int kHomingTimeoutS = 20;
            ZELKMachineCodeBuild::GetPackage(up ? kCmdFindAxesMaximum : kCmdFindAxesMinimum,
                                             {{kField8, mask},
                                              {kField32, TransMachineSpeed(TruncateToInt(a.feedMmPerMin))},
                                              {kField16, kHomingTimeoutS}},
                                             p);
            break;
        }
        case ActionKind::kDwell: {
            // Long waits go as several delays, each within its 32-bit field.
            unsigned long long us = static_cast<unsigned long long>(a.value) * 1000ULL;
            while (us > kMaxDelayUs) {
                packages.push_back(Build(kCmdDelay, {{kField32, static_cast<int>(kMaxDelayUs)}}));
                us -= kMaxDelayUs;
            }
            p = Build(kCmdDelay, {{kField32, static_cast<int>(static_cast<unsigned>(us))}});
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
        case ActionKind::kWaitExtruder: p = zelk::WaitForToolPackage(); break;
        case ActionKind::kWaitPlatform:
            p = Build(kCmdWaitForPlatform, {{kField8, kTool0}, {kField16, kPlatformPollMs}, {kField16, kPlatformTimeoutS}});
            break;
        case ActionKind::kFan:
            p = Build(kCmdToolAction, {{kField8, kTool0}, {kField8, kToolToggleFan}, {kField8, 1}, {kField8, a.value}});
            break;
        case ActionKind::kPercent: p = zelk::PrintPercentPackage(a.value); break;
        case ActionKind::kMessage:
            MessagePackages(static_cast<std::size_t>(a.value) < texts.size() ? texts[a.value] : std::string(), packages);
            continue;
        case ActionKind::kMotorsOff: p = Build(kCmdEnableAxes, {{kField8, kAllAxes}}); break;
        case ActionKind::kMotorsOn: p = zelk::EnableAllAxesPackage(); break;
        }
        packages.push_back(p);
    }
}
