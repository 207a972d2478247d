// No print is started cold or ended by one click: a start G-code too cold to
// extrude is asked about, and Stop, Disconnect and closing the window during a
// print ask first (No keeps the print), then leave the printer stopped with
// its heaters off.
#include <filesystem>
#include <fstream>

#include "MachineProcedures.h"
#include "ProgramWithPrinter.h"
#include "ZELKMachineConnectWnd.h"
#include "ZELKStartGCodeOperater.h"

namespace fs = std::filesystem;

namespace {

// Heaters at their targets at once, moves in their own time (sped up)
// through a small buffer: the print still runs when a test stops it.
s3gsim::SimOptions RunningPrinter()
{
    s3gsim::SimOptions options = apptest::QuickHeating();
    options.moveSpeedFactor = 60;
    options.bufferBytes = 512;
    return options;
}

class PrintSafety : public apptest::ProgramWithPrinter {
protected:
    PrintSafety() : ProgramWithPrinter(RunningPrinter()) {}

    void SetUp() override
    {
        ProgramWithPrinter::SetUp();
        if (!HasFatalFailure())
            WriteModelGCode(3000);
    }
    void TearDown() override
    {
        zelk::procedures::StoreExtruderTemperature(220);
        ProgramWithPrinter::TearDown();
    }

    // Starts the print and waits until packages stream to the printer.
    void StartPrinting()
    {
        m_view->OnStartOrStopPrint();
        ASSERT_TRUE(apptest::PumpUntil([] { return COrvanelView::GetPrintPreparationFlag() == 0; }, 20000));
        ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
        ASSERT_NE(control->IsMachinePrinting(), 0);
        ASSERT_TRUE(apptest::PumpUntil([control] { return control->GetPrintIndex() > 20; }, 20000));
    }
    // Once the port is closed: the printer's heaters were last told to be off.
    void ExpectHeatersOff()
    {
        const s3gsim::SimPrinter& printer = m_sim.Stop();
        EXPECT_EQ(printer.ExtruderTargetC(), 0.0);
        EXPECT_EQ(printer.PlatformTargetC(), 0.0);
    }
};

}  // namespace

TEST_F(PrintSafety, AStartTooColdToExtrudeIsAskedAboutAndNoSendsNothing)
{
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ASSERT_TRUE(zelk::procedures::StoreExtruderTemperature(0).ok);
    m_questions.answer = false;
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(m_questions.keys, std::vector<std::string>{"id_message_coldExtruder"});
    EXPECT_EQ(COrvanelView::GetPrintPreparationFlag(), 0);
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    EXPECT_FALSE(ui->GetPrepareWnd()->IsShown());
    EXPECT_EQ(m_sim.Stats().actions.load(), 0) << "a print went out";

    // At 170 °C the filament still does not flow; at 171 °C nothing is asked.
    m_questions.keys.clear();
    ASSERT_TRUE(zelk::procedures::StoreExtruderTemperature(170).ok);
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(m_questions.keys.size(), 1u);
    ASSERT_TRUE(zelk::procedures::StoreExtruderTemperature(171).ok);
    m_questions.keys.clear();
    m_questions.answer = true;
    StartPrinting();
    EXPECT_TRUE(m_questions.keys.empty());
}

TEST_F(PrintSafety, StopAsksFirstAndLeavesTheHeatersOff)
{
    StartPrinting();
    ZELKUIOperation* ui = ZELKUIOperation::GetUIOperationObject();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    m_questions.answer = false;
    m_view->OnEndPrint();
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(m_questions.keys, (std::vector<std::string>{"id_message_confirmStopPrint", "id_message_confirmStopPrint"}));
    EXPECT_NE(control->IsMachinePrinting(), 0);
    EXPECT_EQ(ui->GetIsStartPrintState(), 0);

    m_questions.answer = true;
    m_view->OnStartOrStopPrint();
    EXPECT_EQ(control->IsMachinePrinting(), 0);
    EXPECT_EQ(ui->GetIsStartPrintState(), 1);
    ASSERT_TRUE(control->WaitForOperationListEmpty(20000));
    ui->GetMachineConnectWnd()->Disconnect();  // nothing prints: asks nothing
    EXPECT_EQ(m_questions.keys.size(), 3u);
    ASSERT_TRUE(apptest::PumpUntil([control] { return control->IsComOpened() == 0; }, 20000));
    ExpectHeatersOff();
}

TEST_F(PrintSafety, DisconnectDuringAPrintAsksFirst)
{
    StartPrinting();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    ZELKMachineConnectWnd* connection = ZELKUIOperation::GetUIOperationObject()->GetMachineConnectWnd();
    m_questions.answer = false;
    connection->Disconnect();
    EXPECT_EQ(m_questions.keys, std::vector<std::string>{"id_message_confirmDisconnectPrint"});
    EXPECT_NE(control->IsMachinePrinting(), 0);
    EXPECT_NE(control->IsComOpened(), 0);

    m_questions.answer = true;
    connection->Disconnect();
    EXPECT_EQ(control->IsMachinePrinting(), 0);
    ASSERT_TRUE(apptest::PumpUntil([control] { return control->IsComOpened() == 0; }, 20000));
    ExpectHeatersOff();
}

TEST_F(PrintSafety, ClosingTheWindowDuringAPrintAsksFirst)
{
    StartPrinting();
    ZELKMachineControl* control = ZELKMachineControl::GetMachineControl();
    m_questions.answer = false;
    EXPECT_FALSE(m_frame->Close(false));
    EXPECT_EQ(m_questions.keys, std::vector<std::string>{"id_message_confirmQuitPrint"});
    EXPECT_TRUE(m_frame->IsShown());
    EXPECT_NE(control->IsMachinePrinting(), 0);

    m_questions.answer = true;
    EXPECT_TRUE(m_frame->Close(false));
    m_frame = nullptr;
    m_view = nullptr;
    EXPECT_EQ(control->IsMachinePrinting(), 0);
    control->CloseCom();
    ExpectHeatersOff();
}
