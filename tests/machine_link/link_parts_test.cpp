// The smaller parts of the machine link on their own: the reply reader, the
// translator with the printer's reported position, the X3G save and the
// worker thread.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "LinkTestFrames.h"
#include "LinkTranslator.h"
#include "LinkWorker.h"
#include "MachineControlFixture.h"
#include "MachinePackages.h"
#include "PrintStream.h"
#include "ReplyReader.h"
#include "X3gSave.h"
#include "X3gWriter.h"

using linktest::Frame;
using zelk::LinkWorker;
using namespace std::chrono_literals;

namespace {

struct Logged {
    std::string Text() const { return testsupport::ReadFile(log.GetPath()); }
    std::size_t Count(const std::string& what) const
    {
        const std::string text = Text();
        std::size_t n = 0;
        for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    }
    testsupport::TempDir dir;
    ZELKFileLog log{dir.File("link.log")};
};

std::vector<unsigned char> PositionFrame(std::int32_t x, std::int32_t y, std::int32_t z)
{
    std::vector<unsigned char> payload = {0x81};
    for (std::int32_t v : {x, y, z, 7, 9}) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            payload.push_back(static_cast<unsigned char>(u >> shift));
    }
    payload.push_back(0);
    payload.push_back(0);
    std::vector<unsigned char> frame = {0xD5, static_cast<unsigned char>(payload.size())};
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(CPacketBuilder::CaculateCRC_8C(frame.data(), 2, static_cast<unsigned>(payload.size())));
    return frame;
}

}  // namespace

// --- the reply reader

TEST(ReplyReader, SixByteAnswersAreTheVersionOrTheTemperatureThatWasAskedFor)
{
    Logged logged;
    zelk::ReplyReader reader(100.0, &logged.log);
    const auto value = Frame({0x81, 0xC1, 0x02});  // 705

    reader.ExpectVersion(true);
    zelk::ReplyReader::Reading r = reader.Read(value);
    EXPECT_TRUE(r.known);
    EXPECT_EQ(r.record.type, zelk::kReplyVersion);
    EXPECT_EQ(reader.FirmwareVersion(), 705);

    reader.ExpectVersion(false);
    reader.SetPlatformQueryOutstanding(1);
    r = reader.Read(value);
    EXPECT_EQ(r.record.type, zelk::kReplyPlatformTemperature);
    EXPECT_EQ(r.record.platformTemperature, 705);
    EXPECT_EQ(reader.PlatformQueryOutstanding(), 0) << "the answer takes the query off";

    r = reader.Read(value);
    EXPECT_EQ(r.record.type, zelk::kReplyExtruderTemperature);
    EXPECT_EQ(r.record.extruderTemperature, 705);
    EXPECT_EQ(reader.Record().extruderTemperature, 705);
    EXPECT_EQ(reader.Record().platformTemperature, 705);
}

TEST(ReplyReader, TheFirmwareIsLoggedOncePerVersionAndConnection)
{
    Logged logged;
    zelk::ReplyReader reader(100.0, &logged.log);
    reader.ExpectVersion(true);
    reader.Read(Frame({0x81, 0xC1, 0x02}));
    reader.Read(Frame({0x81, 0xC1, 0x02}));
    EXPECT_EQ(logged.Count("Printer firmware version 705"), 1u) << logged.Text();
    reader.Read(Frame({0x81, 0xBE, 0x02}));
    EXPECT_EQ(logged.Count("Printer firmware version 702"), 1u);
    reader.NewConnection();
    EXPECT_EQ(reader.PlatformQueryOutstanding(), 0);
    reader.ExpectVersion(true);
    reader.Read(Frame({0x81, 0xBE, 0x02}));
    EXPECT_EQ(logged.Count("Printer firmware version 702"), 2u);
}

TEST(ReplyReader, AnUnknownFrameIsLoggedAndLeavesTheRecord)
{
    Logged logged;
    zelk::ReplyReader reader(100.0, &logged.log);
    reader.Read(Frame({0x81}));
    const zelk::ReplyReader::Reading r = reader.Read(Frame({0x81, 0x05}));
    EXPECT_FALSE(r.known);
    EXPECT_EQ(reader.Record().type, zelk::kReplyAcknowledged);
    EXPECT_NE(logged.Text().find("Unrecognised reply ignored: D5 02 81 05"), std::string::npos) << logged.Text();
}

TEST(ReplyReader, APositionAnswerCarriesItsSteps)
{
    Logged logged;
    zelk::ReplyReader reader(100.0, &logged.log);
    const zelk::ReplyReader::Reading r = reader.Read(PositionFrame(1000, -2000, 550));
    ASSERT_TRUE(r.known);
    EXPECT_TRUE(r.position);
    EXPECT_EQ(r.positionSteps[0], 1000);
    EXPECT_EQ(r.positionSteps[1], -2000);
    EXPECT_EQ(r.positionSteps[2], 550);
    EXPECT_EQ(r.positionSteps[4], 9);
    EXPECT_FLOAT_EQ(r.record.z, 5.5f);
    EXPECT_FALSE(reader.Read(Frame({0x81})).position);
}

TEST(ReplyReader, TheCallbackGetsTheRecordHandedToIt)
{
    Logged logged;
    zelk::ReplyReader reader(100.0, &logged.log);
    std::vector<int> seen;
    reader.SetCallback([&](const RECEIVEBUF& reply) { seen.push_back(reply.type); });
    RECEIVEBUF record;
    record.type = zelk::kReplyBuildFinished;
    reader.Deliver(record);
    record.type = zelk::kReplyRefused;
    reader.Deliver(record);
    reader.SetCallback(nullptr);
    reader.Deliver(record);
    EXPECT_EQ(seen, (std::vector<int>{zelk::kReplyBuildFinished, zelk::kReplyRefused}));
}

// --- the translator

struct Translating : ::testing::Test {
    testsupport::TempDir dir;
    ZELKMachine machine;
    ZELKStartGCodeOperater startGCode{linktest::WriteStartGCode(dir)};
    zelk::LinkTranslator translator{machine, &machine, &startGCode};
};

TEST_F(Translating, AReportedPositionBecomesTheTranslatorsXYZAndKeepsItsFilament)
{
    machine.SetCurrentPosition(CPoint5D(1, 2, 3, 4, 5));
    const std::int32_t steps[5] = {1000, -20, 300, 999, 999};
    translator.TakeReportedPosition(steps);
    const CPoint5D spm = machine.GetStepsPerMM();
    const CPoint5D at = translator.Position();
    EXPECT_DOUBLE_EQ(at.Axis_X(), 1000 / spm.Axis_X());
    EXPECT_DOUBLE_EQ(at.Axis_Y(), -20 / spm.Axis_Y());
    EXPECT_DOUBLE_EQ(at.Axis_Z(), 300 / spm.Axis_Z());
    EXPECT_EQ(at.Axis_A(), 4.0);
    EXPECT_EQ(at.Axis_B(), 5.0);
}

TEST_F(Translating, TheLastReportIsTakenOverOnceAndMovesGoOnFromIt)
{
    Package out;
    translator.TranslateLine("G92 X0 Y0 Z0 A0 B0", out);
    const std::int32_t first[5] = {100, 0, 0, 0, 0};
    const std::int32_t second[5] = {200, 0, 0, 0, 0};
    translator.TakeReportedPosition(first);
    translator.TakeReportedPosition(second);
    EXPECT_DOUBLE_EQ(translator.Position().Axis_X(), 200 / machine.GetStepsPerMM().Axis_X());
    // Taken over: a move translated afterwards is not set back to the report.
    translator.TranslateLine("G1 X50 F5000", out);
    EXPECT_DOUBLE_EQ(translator.Position().Axis_X(), 50);
}

// --- the X3G save

struct Saving : ::testing::Test {
    // Translation as the machine control does it: into the print list.
    zelk::GCodeFileOutcome Translate(const std::string& path)
    {
        translated.push_back(path);
        stream.ReplaceList(list);
        return outcome;
    }
    zelk::X3gSave Save(ZELKStartGCodeOperater* with)
    {
        return zelk::X3gSave(with, stream, [this](const std::string& path) { return Translate(path); });
    }

    testsupport::TempDir dir;
    ZELKStartGCodeOperater startGCode{linktest::WriteStartGCode(dir)};
    zelk::PrintStream stream;
    std::vector<Package> list = {zelk::VersionQueryPackage(), zelk::ExtendedStopPackage()};
    zelk::GCodeFileOutcome outcome;
    std::vector<std::string> translated;
};

TEST_F(Saving, AUsableFileIsTranslatedIntoThePrintListAndWrittenAsX3g)
{
    outcome.read = true;
    outcome.moveCount = 1;
    ASSERT_TRUE(outcome.IsUsable());
    zelk::X3gSave save = Save(&startGCode);
    const zelk::Outcome saved = save.FromGCode("in.gcode", dir.File("out.x3g"));
    EXPECT_TRUE(saved.ok) << saved.reason;
    EXPECT_EQ(translated, std::vector<std::string>{"in.gcode"});
    EXPECT_EQ(stream.List(), list);
    std::string expected;
    zelk::WriteX3gStream(list, [&](const unsigned char* bytes, std::size_t size) {
        expected.append(reinterpret_cast<const char*>(bytes), size);
        return true;
    });
    EXPECT_EQ(testsupport::ReadFile(dir.File("out.x3g")), expected);
    EXPECT_EQ(save.LastError(), "");
}

TEST_F(Saving, AStartGCodeThatCannotBeUsedStopsTheSaveBeforeTranslating)
{
    ZELKStartGCodeOperater missing{dir.File("no-start.gcode")};
    zelk::X3gSave save = Save(&missing);
    const zelk::Outcome saved = save.FromGCode("in.gcode", dir.File("out.x3g"));
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.reason.empty());
    EXPECT_EQ(save.LastError(), saved.reason);
    EXPECT_TRUE(translated.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.x3g")));
}

TEST_F(Saving, AFileWithoutAPrintLeavesNoX3gAndSaysWhy)
{
    outcome.read = true;
    outcome.reason = "in.gcode holds no move.";
    zelk::X3gSave save = Save(&startGCode);
    const zelk::Outcome saved = save.FromGCode("in.gcode", dir.File("out.x3g"));
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.reason, "in.gcode holds no move.");
    EXPECT_EQ(save.LastError(), "in.gcode holds no move.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.x3g")));
}

TEST_F(Saving, AWriteThatFailsSaysWhyAndTheNextSaveForgetsIt)
{
    zelk::X3gSave save = Save(&startGCode);
    stream.ReplaceList(list);
    const zelk::Outcome failed = save.Write(dir.File("missing-folder/out.x3g"));
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_EQ(save.LastError(), failed.reason);
    EXPECT_TRUE(save.Write(dir.File("out.x3g")).ok);
    EXPECT_EQ(save.LastError(), "");
    EXPECT_TRUE(std::filesystem::exists(dir.File("out.x3g")));
}

// --- the worker thread

namespace {

// Rounds the test hands out one by one and watches.
struct Rounds {
    LinkWorker::Round Run()
    {
        std::function<LinkWorker::Round()> round;
        {
            std::lock_guard lock(mutex);
            ++count;
            cv.notify_all();
            if (!script.empty()) {
                round = std::move(script.front());
                script.pop_front();
            }
        }
        return round ? round() : LinkWorker::Round::Idle;
    }
    void Add(std::function<LinkWorker::Round()> round)
    {
        std::lock_guard lock(mutex);
        script.push_back(std::move(round));
    }
    bool WaitForCount(int n)
    {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, 10s, [&] { return count >= n; });
    }
    int Count()
    {
        std::lock_guard lock(mutex);
        return count;
    }

    std::mutex mutex;
    std::condition_variable cv;
    std::deque<std::function<LinkWorker::Round()>> script;
    int count = 0;
};

}  // namespace

TEST(LinkWorker, RoundsRunWhileThereIsWorkThenSleepUntilWoken)
{
    Rounds rounds;
    rounds.Add([] { return LinkWorker::Round::Worked; });
    rounds.Add([] { return LinkWorker::Round::Worked; });
    LinkWorker worker([&] { return rounds.Run(); });
    worker.Begin();
    ASSERT_TRUE(rounds.WaitForCount(3));  // two that worked, one idle
    worker.Wake();
    ASSERT_TRUE(rounds.WaitForCount(4));
    worker.End();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(rounds.Count(), 4);
}

TEST(LinkWorker, ARequestMadeDuringARoundIsNotMissed)
{
    Rounds rounds;
    LinkWorker* self = nullptr;
    rounds.Add([&] {
        self->Wake();  // as a request from another thread would, while the round runs
        return LinkWorker::Round::Idle;
    });
    LinkWorker worker([&] { return rounds.Run(); });
    self = &worker;
    worker.Begin();
    EXPECT_TRUE(rounds.WaitForCount(2));
    worker.End();
}

TEST(LinkWorker, WaitUntilEndsOnARequestAndEndStopsAWaitingWorker)
{
    Rounds rounds;
    LinkWorker* self = nullptr;
    std::atomic<int> waitsEnded{0};
    const auto farAway = [&] {
        self->WaitUntil(LinkWorker::Clock::now() + 1h);
        ++waitsEnded;
        return LinkWorker::Round::Worked;
    };
    rounds.Add(farAway);
    rounds.Add(farAway);
    LinkWorker worker([&] { return rounds.Run(); });
    self = &worker;
    worker.Begin();
    ASSERT_TRUE(rounds.WaitForCount(1));
    worker.Wake();
    ASSERT_TRUE(rounds.WaitForCount(2));
    EXPECT_EQ(waitsEnded.load(), 1);
    worker.End();  // the second round's wait ends on the stop
    EXPECT_EQ(waitsEnded.load(), 2);
    EXPECT_TRUE(worker.StopRequested());
}

TEST(LinkWorker, AFinishedRoundEndsTheThreadAndBeginStartsAnother)
{
    Rounds rounds;
    rounds.Add([] { return LinkWorker::Round::Finished; });
    LinkWorker worker([&] { return rounds.Run(); });
    worker.Begin();
    ASSERT_TRUE(rounds.WaitForCount(1));
    worker.Join();
    EXPECT_EQ(rounds.Count(), 1);
    EXPECT_FALSE(worker.StopRequested());
    worker.Begin();
    EXPECT_TRUE(rounds.WaitForCount(2));
    worker.End();
}
