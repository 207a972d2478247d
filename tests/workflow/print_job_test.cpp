// The print job without a window: a print prepared and started against the
// printer simulator, a file that is no print, another slicer's file asked
// about, an X3G export, and one job at a time.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "MachineControlFixture.h"
#include "PrintJob.h"
#include "PrintTimeEstimate.h"
#include "SimThread.h"

using linktest::ControlParts;
using linktest::SimThread;
using zelk::PrintJob;

namespace {

struct Job : ::testing::Test {
    // The handler: the result, handed over from the job's thread.
    PrintJob::Handler Collect()
    {
        return [this](const PrintJob::Result& result) {
            std::lock_guard lock(mutex);
            results.push_back(result);
            cv.notify_all();
        };
    }
    PrintJob::Result WaitForResult(std::size_t count = 1)
    {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return results.size() >= count; }));
        return results.size() >= count ? results[count - 1] : PrintJob::Result{};
    }
    std::string Write(const std::string& name, const std::string& text)
    {
        const std::string path = parts.dir.File(name);
        testsupport::WriteFile(path, text);
        return path;
    }

    ControlParts parts;
    zelk::RunState run;
    PrintJob job{*parts.control, run};
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<PrintJob::Result> results;
};

}  // namespace

TEST_F(Job, APrintIsPreparedStartedAndEstimatedWhileASecondStartWaits)
{
    s3gsim::SimOptions options;
    options.heatRateCPerS = 1e6;
    SimThread sim(options);
    ASSERT_TRUE(sim.Ok()) << sim.Error();
    ASSERT_NE(parts.control->OpenCom(sim.DevicePath()), 0) << parts.control->GetComOpenErrorText();

    const std::string gcode = Write("print.gcode", linktest::PrintGCode(300));
    ASSERT_TRUE(job.StartPrint(gcode, Collect()));
    EXPECT_FALSE(job.StartPrint(gcode, Collect()));  // the first is still the job
    EXPECT_FALSE(job.StartExport(gcode, parts.dir.File("x.x3g"), Collect()));
    const PrintJob::Result result = WaitForResult();
    ASSERT_EQ(result.kind, PrintJob::Result::kDone) << result.detail;
    EXPECT_TRUE(run.IsPrinting());
    EXPECT_TRUE(run.IsPreparingPrint());  // until the result has been shown
    EXPECT_NE(parts.control->IsMachinePrinting(), 0);
    ASSERT_NE(result.estimate, nullptr);
    EXPECT_GT(result.estimate->TotalSeconds(), 0.0);
    job.Finish();
    EXPECT_EQ(run.CurrentJob(), zelk::RunState::Job::kNone);

    // Stopped once the printer has been told to heat: nothing stays hot.
    linktest::ReplyWatch watch;
    watch.Attach(*parts.control);
    ASSERT_TRUE(watch.WaitFor([this](const RECEIVEBUF&) { return parts.control->GetPrintIndex() > 20; }, 20000));
    job.StopPrint();
    EXPECT_EQ(parts.control->IsMachinePrinting(), 0);
    ASSERT_TRUE(parts.control->WaitForOperationListEmpty(20000));
    // One package is out at a time: a query answered after the list ran dry
    // proves the last heater command was answered too.
    const int replies = watch.Count();
    parts.control->ChangePrintType_InquireExtruderTemperature();
    ASSERT_TRUE(watch.WaitForTypeAfter(zelk::kReplyExtruderTemperature, replies));
    parts.control->CloseCom();
    const s3gsim::SimPrinter& printer = sim.Stop();
    EXPECT_EQ(printer.ExtruderTargetC(), 0.0);
    EXPECT_EQ(printer.PlatformTargetC(), 0.0);
}

TEST_F(Job, AFileThatIsNoPrintSendsNothingAndSaysWhy)
{
    const std::string comments = Write("comments.gcode", "; sliced\n(nothing here)\n");
    ASSERT_TRUE(job.StartPrint(comments, Collect()));
    const PrintJob::Result result = WaitForResult();
    EXPECT_EQ(result.kind, PrintJob::Result::kFailed);
    EXPECT_NE(result.detail.find("comments.gcode"), std::string::npos) << result.detail;
    EXPECT_FALSE(run.IsPrinting());
    EXPECT_EQ(parts.control->IsMachinePrinting(), 0);
    job.Finish();
}

// Relative extrusion and arcs without a flavour mark: the user is asked, and
// no answer leaves nothing started; an answer goes on with that flavour.
TEST_F(Job, AnUnmarkedForeignFileIsAskedAboutBeforeAnythingIsWritten)
{
    std::string foreign = "M83\nG1 Z0.3 F3000\n";
    for (int i = 0; i < 50; ++i)
        foreign += "G1 X" + std::to_string(i % 20) + " Y" + std::to_string(i % 7) + " E0.5\nG2 X1 Y1 I1 J0 E0.2\n";
    const std::string gcode = Write("foreign.gcode", foreign);
    const std::string target = parts.dir.File("foreign.x3g");

    ASSERT_TRUE(job.StartExport(gcode, target, Collect()));
    PrintJob::Result result = WaitForResult();
    ASSERT_EQ(result.kind, PrintJob::Result::kAskFlavor);
    EXPECT_FALSE(result.leftOutSummary.empty());
    job.ChooseFlavor(std::nullopt);
    EXPECT_EQ(run.CurrentJob(), zelk::RunState::Job::kNone);
    EXPECT_FALSE(std::filesystem::exists(target));

    ASSERT_TRUE(job.StartExport(gcode, target, Collect()));
    ASSERT_EQ(WaitForResult(2).kind, PrintJob::Result::kAskFlavor);
    job.ChooseFlavor(zelk::gcode::GCodeFlavor::kRepRap);
    result = WaitForResult(3);
    EXPECT_EQ(result.kind, PrintJob::Result::kDone) << result.detail;
    EXPECT_NE(result.detail.find("G-code: reprap"), std::string::npos) << result.detail;
    EXPECT_GT(std::filesystem::file_size(target), 0u);
    job.Finish();
}

TEST_F(Job, AnExportNeverWritesOverItsOwnGCode)
{
    const std::string gcode = Write("part.gcode", linktest::PrintGCode(10));
    const zelk::Outcome refused = zelk::CheckExportTarget(gcode, gcode);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.key, "id_message_savex3gfailed");
    EXPECT_TRUE(zelk::CheckExportTarget(parts.dir.File("part.x3g"), gcode).ok);
}
