// The printer connection against the printer simulator: a port that is not
// there is refused with its reason, the handshake, a disconnect that ends a
// print, and a lost printer.
#include <gtest/gtest.h>

#include "MachineControlFixture.h"
#include "MachineProcedures.h"
#include "PrinterConnection.h"
#include "SimThread.h"

using linktest::ControlParts;
using linktest::ReplyWatch;
using linktest::SimThread;
using zelk::PrinterConnection;

namespace {

struct Connection : ::testing::Test {
    void SetUp() override
    {
        s3gsim::SimOptions options;
        options.heatRateCPerS = 1e6;
        sim = std::make_unique<SimThread>(options);
        ASSERT_TRUE(sim->Ok()) << sim->Error();
        watch.Attach(*parts.control);
    }
    // Opens the simulator's port and waits for the printer to answer.
    void Connect()
    {
        ASSERT_TRUE(connection.Open(sim->DevicePath()).ok);
        EXPECT_EQ(connection.GetState(), PrinterConnection::State::kWaitingForPrinter);
        ASSERT_TRUE(watch.WaitForType(zelk::kReplyVersion));
        // The link counts the printer as answered once its reply has been
        // handed on; a poll before that asks again, and that reply is awaited.
        for (int poll = 0; !connection.PollForPrinter(); ++poll) {
            ASSERT_LT(poll, 5);
            ASSERT_TRUE(watch.WaitForCount(watch.Count() + 1));
        }
        EXPECT_EQ(connection.GetState(), PrinterConnection::State::kConnected);
    }

    std::unique_ptr<SimThread> sim;
    ReplyWatch watch;
    ControlParts parts;
    zelk::RunState run;
    PrinterConnection connection{*parts.control, run};
};

}  // namespace

TEST_F(Connection, APortThatIsNotThereIsRefusedWithItsReasonAndNothingIsAsked)
{
    const std::string missing = parts.dir.File("ttyACM9");
    const zelk::Outcome opened = connection.Open(missing);
    EXPECT_FALSE(opened.ok);
    EXPECT_EQ(opened.key, "id_message_portNotFound");
    EXPECT_NE(opened.reason.find("ttyACM9"), std::string::npos) << opened.reason;
    EXPECT_EQ(connection.GetState(), PrinterConnection::State::kClosed);
    EXPECT_TRUE(parts.control->GetOperatePackList().empty());
    EXPECT_FALSE(connection.BeginClose());  // nothing to close
}

TEST_F(Connection, TheHandshakeThenTemperaturePolls)
{
    EXPECT_FALSE(connection.IsConnected());
    Connect();
    EXPECT_TRUE(connection.IsConnected());
    connection.PollTemperature();
    EXPECT_TRUE(watch.WaitForType(zelk::kReplyExtruderTemperature));
}

// A disconnect during a print stops it first and says so; a second one while
// the port is closing does nothing.
TEST_F(Connection, ADisconnectEndsTheRunningPrintThenClosesThePort)
{
    Connect();
    const std::string gcode = parts.dir.File("print.gcode");
    testsupport::WriteFile(gcode, linktest::PrintGCode(2000));
    parts.control->GCodeParser(gcode.c_str());
    run.SetPrinting(true);
    parts.control->StartPrint();
    ASSERT_NE(parts.control->IsMachinePrinting(), 0);

    bool endedPrint = false;
    ASSERT_TRUE(connection.BeginClose(&endedPrint));
    EXPECT_TRUE(endedPrint);
    EXPECT_FALSE(run.IsPrinting());
    EXPECT_EQ(parts.control->IsMachinePrinting(), 0);
    EXPECT_FALSE(connection.BeginClose());
    connection.FinishClose();
    EXPECT_EQ(parts.control->IsComOpened(), 0);
    EXPECT_EQ(connection.GetState(), PrinterConnection::State::kClosed);
}

TEST_F(Connection, ALostPrinterClosesThePortEmptiesTheQueueAndSaysWhetherItPrinted)
{
    Connect();
    run.SetPrinting(true);
    EXPECT_TRUE(connection.Lose());
    EXPECT_FALSE(run.IsPrinting());
    EXPECT_EQ(parts.control->IsComOpened(), 0);
    EXPECT_TRUE(parts.control->GetOperatePackList().empty());
    EXPECT_FALSE(connection.Lose());  // nothing printed the second time
}

// The machine control panel opens only on a printer that answered and is not
// printing, and says which it is not.
TEST_F(Connection, HandControlNeedsAnAnsweringPrinterThatIsNotPrinting)
{
    EXPECT_EQ(zelk::procedures::MayControlByHand(*parts.control).key, "id_message_noConMachine");
    Connect();
    EXPECT_TRUE(zelk::procedures::MayControlByHand(*parts.control).ok);
    const std::string gcode = parts.dir.File("print.gcode");
    testsupport::WriteFile(gcode, linktest::PrintGCode(2000));
    parts.control->GCodeParser(gcode.c_str());
    parts.control->StartPrint();
    EXPECT_EQ(zelk::procedures::MayControlByHand(*parts.control).key, "id_message_InPrintting");
    parts.control->StopPrintAndHomeZ();
}
