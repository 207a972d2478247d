// The panel shortcuts and the link mends against the printer simulator over
// a pseudo-terminal: shortcuts first and in order, the stop of a continuous
// jog, firmware other than 702, and a reconnection in the middle of a print.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>

#include "MachineControlFixture.h"
#include "MachinePackageShortcuts.h"
#include "MachinePackages.h"
#include "SimThread.h"

using linktest::ControlParts;
using linktest::ReplyWatch;
using linktest::SimThread;
using Bytes = std::vector<unsigned char>;

namespace {

std::vector<Bytes> Payloads(const std::vector<Package>& packages)
{
    std::vector<Bytes> out;
    for (const Package& p : packages)
        out.emplace_back(p.Payload(), p.Payload() + p.PayloadSize());
    return out;
}

struct ShortcutsOnSim : ::testing::Test {
    void Start(s3gsim::SimOptions options)
    {
        options.heatRateCPerS = 1e9;  // a temperature is reached the moment it is set
        sim = std::make_unique<SimThread>(options);
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        watch.Attach(control());
        lost.Attach(control());
    }
    void Open()
    {
        ASSERT_NE(control().OpenCom(sim->DevicePath()), 0) << control().GetComOpenErrorText();
    }
    ZELKMachineControl& control() { return *parts.control; }

    std::unique_ptr<SimThread> sim;
    ReplyWatch watch;
    linktest::LostWatch lost;
    ControlParts parts;
    zelk::MachineShortcuts shortcuts{*parts.control};
};

}  // namespace

// Each shortcut goes in ahead of packages already waiting in the operation
// list, its own packages in their order: what the printer receives shows it.
TEST_F(ShortcutsOnSim, EachShortcutsPackagesArriveFirstAndInOrder)
{
    Start(s3gsim::SimOptions{});
    const std::vector<Package> waiting{ZELKMachineCodeBuild::GetPackage(137, {{1, 0x81}}),
                                       ZELKMachineCodeBuild::GetPackage(137, {{1, 0x82}})};
    struct Case {
        const char* name;
        std::function<void()> insert;
        std::vector<Package> expected;
    };
    const Package origin = shortcuts.GetPack("G92 X0 Y0 Z0 A0 B0");
    const Package jog = shortcuts.GetPack("G1 X5 F5000");
    const Package heat = shortcuts.GetPack("M104 S180");
    ASSERT_GT(origin.size, 0);
    ASSERT_GT(jog.size, 0);
    ASSERT_GT(heat.size, 0);
    const Case cases[] = {
        {"list", [&] { shortcuts.InsertPackage(std::vector<Package>{origin, jog}); }, {origin, jog}},
        {"package", [&] { shortcuts.InsertPackage(heat); }, {heat}},
        {"line", [&] { shortcuts.InsertPackage(std::string("M17")); }, {zelk::EnableAllAxesPackage()}},
        {"feed", [&] { shortcuts.InsertStartExtrude(1, 6.0f, 30); }, {zelk::ExtruderMovePackage(1, 6.0f, 30)}},
        {"stop extrude", [&] { shortcuts.InsertStopExtrude(); }, {zelk::HaltSteppersPackage()}},
        {"jog stop", [&] { shortcuts.InsertPackage(shortcuts.GetMoveStopPack()); },
         {zelk::HaltSteppersPackage(), zelk::MachineCoordinateQueryPackage()}},
    };
    std::vector<Bytes> expected;
    for (const Case& c : cases) {
        control().AddOperationPackage(waiting);  // while closed: nothing is sent yet
        c.insert();
        Open();
        ASSERT_TRUE(control().WaitForOperationListEmpty(5000)) << c.name;
        control().CloseCom();
        for (const std::vector<Package>* list : {&c.expected, &waiting})
            for (const Bytes& b : Payloads(*list))
                expected.push_back(b);
    }
    EXPECT_EQ(sim->Stop().Received(), expected);
}

// A continuous jog of 160 mm, stopped on its way: the printer halts where it
// is, keeps what was queued behind the jog, and the translator ends up where
// the printer reports it stands.
TEST_F(ShortcutsOnSim, MoveStopHaltsA160mmJogAndTheTranslatorFollowsThePrinter)
{
    s3gsim::SimOptions options;
    options.moveSpeedFactor = 2;  // the 160 mm jog takes 1.92 s / 2: stopped long before
    Start(options);
    Open();
    double value = 0, feed = 0;
    shortcuts.GetMotorMMtoStepsAndSpeed(160.0, 0, value, feed);
    char line[64];
    std::snprintf(line, sizeof line, "G1 X%f F%f", value, feed);
    const std::vector<Package> jog{shortcuts.GetPack("G92 X0 Y0 Z0 A0 B0"), shortcuts.GetPack(line)};
    shortcuts.InsertPackage(jog);
    const Package heat = shortcuts.GetPack("M104 S200");  // queued on the printer behind the jog
    control().AddOperationPackage(heat);
    ASSERT_TRUE(watch.WaitForCount(3));
    // Asked until the printer reports the jog under way (each answer moves
    // the translator there too; the stop's answer must move it once more).
    int asked = 0;
    do {
        control().AddOperationPackage(zelk::MachineCoordinateQueryPackage());
        ++asked;
        ASSERT_TRUE(watch.WaitForCount(3 + asked));
    } while (control().GetTranslatorPosition().Axis_X() <= 0 && asked < 10000);
    const double underWay = control().GetTranslatorPosition().Axis_X();
    ASSERT_GT(underWay, 0);

    const std::vector<Package> stop = shortcuts.GetMoveStopPack();
    shortcuts.InsertPackage(stop);
    ASSERT_TRUE(control().WaitForOperationListEmpty(5000));
    const CPoint5D translator = control().GetTranslatorPosition();
    const int replies = watch.Count();
    control().ChangePrintType_InquireExtruderTemperature();
    ASSERT_TRUE(watch.WaitForCount(replies + 1));
    EXPECT_EQ(control().GetReceiveBuf().extruderTemperature, 200);  // the queue behind the jog was kept
    control().CloseCom();

    const s3gsim::SimPrinter& printer = sim->Stop();
    const std::int32_t* steps = printer.PositionSteps();
    const CPoint5D spm = parts.machine.GetStepsPerMM();
    EXPECT_GE(steps[0], std::lround(underWay * spm.Axis_X()));  // halted after it was seen under way
    EXPECT_LT(steps[0], std::lround(160.0 * spm.Axis_X()));
    EXPECT_EQ(std::lround(translator.Axis_X() * spm.Axis_X()), steps[0]);
    EXPECT_EQ(std::lround(translator.Axis_Y() * spm.Axis_Y()), steps[1]);
    EXPECT_EQ(std::lround(translator.Axis_Z() * spm.Axis_Z()), steps[2]);
    std::vector<Package> sent = jog;
    sent.push_back(heat);
    sent.insert(sent.end(), static_cast<std::size_t>(asked), zelk::MachineCoordinateQueryPackage());
    sent.insert(sent.end(), stop.begin(), stop.end());
    sent.push_back(zelk::ExtruderTemperatureQueryPackage());
    EXPECT_EQ(printer.Received(), Payloads(sent));
}

TEST_F(ShortcutsOnSim, FirmwareOtherThan702ConnectsAndReportsItsVersion)
{
    s3gsim::SimOptions options;
    options.firmwareVersion = 703;
    Start(options);
    Open();
    control().InsertOperationPackage(zelk::VersionQueryPackage());
    ASSERT_TRUE(watch.WaitForType(1));
    EXPECT_EQ(control().GetFirmwareVersion(), 703);
    EXPECT_EQ(control().GetReceiveBuf().extruderTemperature, 0);  // 703 is no temperature
    control().ChangePrintType_InquireExtruderTemperature();
    ASSERT_TRUE(watch.WaitForType(4));
    EXPECT_EQ(control().GetReceiveBuf().extruderTemperature, 25);
    // Set by the version answer before the worker went on to the query.
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 1);
    control().CloseCom();
    EXPECT_EQ(control().GetMachineConnectedIsSucessed(), 0);
    EXPECT_NE(parts.LogText().find("Printer firmware version 703"), std::string::npos) << parts.LogText();
}

// Connecting again while a print runs: the new connection gets the version
// query first and nothing of the print (nor its pending queries) until the
// print is resumed.
TEST_F(ShortcutsOnSim, ReconnectMidPrintSendsNoPrintPackageBeforeTheVersionQuery)
{
    Start(s3gsim::SimOptions{});
    const std::string gcode = parts.dir.File("print.gcode");
    testsupport::WriteFile(gcode, linktest::PrintGCode(2000));
    control().GCodeParser(gcode.c_str());
    std::mutex m;
    std::condition_variable cv;
    bool farEnough = false;
    watch.onReply = [&](ZELKMachineControl& c, const RECEIVEBUF&) {
        if (c.GetPrintIndex() >= 50) {
            std::lock_guard lock(m);
            farEnough = true;
            cv.notify_all();
        }
    };
    Open();
    control().StartPrint();
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return farEnough; }));
    }
    control().ChangePrintType_InquireExtruderTemperature();  // pending when the link goes

    // The same program connects to another printer (the device path changed).
    SimThread other(s3gsim::SimOptions{});
    ASSERT_TRUE(other.Ok()) << other.Error();
    ASSERT_NE(control().OpenCom(other.DevicePath()), 0) << control().GetComOpenErrorText();
    control().InsertOperationPackage(zelk::VersionQueryPackage());
    ASSERT_TRUE(watch.WaitForType(1));
    const int index = control().GetPrintIndex();
    EXPECT_GE(index, 50);
    EXPECT_EQ(control().IsMachinePrinting(), 0);
    control().CloseCom();
    const s3gsim::SimPrinter& printer = other.Stop();
    EXPECT_EQ(printer.Received(), Payloads({zelk::VersionQueryPackage()}));
    EXPECT_TRUE(printer.Record().empty());
    EXPECT_EQ(control().GetPrintIndex(), index);  // kept for RestorationPrint
}
