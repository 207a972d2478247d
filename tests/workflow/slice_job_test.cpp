// The slicer run without a window: progress and end reach the handlers with
// their run, failures become the right message, a cancel ends even a child
// that ignores it.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include "SliceJob.h"
#include "SliceLines.h"
#include "TempDir.h"

using testsupport::TempDir;
using zelk::SliceJob;

namespace {

// Collects what a job's handlers are given; waits for the end of a run.
class Recorder {
public:
    SliceJob::ProgressHandler Progress()
    {
        return [this](unsigned run, const zelk::SliceProgress::Update& update) {
            std::lock_guard lock(m_mutex);
            m_updates.emplace_back(run, update);
            m_cv.notify_all();
        };
    }
    SliceJob::EndHandler Ended()
    {
        return [this](unsigned run, const SliceJob::End& end) {
            std::lock_guard lock(m_mutex);
            m_ends.emplace_back(run, end);
            m_cv.notify_all();
        };
    }
    // The end of the nth run (1-based), after at most 20 s.
    SliceJob::End WaitForEnd(std::size_t count = 1)
    {
        std::unique_lock lock(m_mutex);
        EXPECT_TRUE(m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_ends.size() >= count; }));
        return m_ends.size() >= count ? m_ends[count - 1].second : SliceJob::End{};
    }
    bool WaitForUpdate()
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return !m_updates.empty(); });
    }
    std::vector<std::pair<unsigned, zelk::SliceProgress::Update>> Updates()
    {
        std::lock_guard lock(m_mutex);
        return m_updates;
    }
    unsigned EndRun(std::size_t index)
    {
        std::lock_guard lock(m_mutex);
        return m_ends.at(index).first;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::pair<unsigned, zelk::SliceProgress::Update>> m_updates;
    std::vector<std::pair<unsigned, SliceJob::End>> m_ends;
};

std::string Script(const TempDir& dir, const std::string& name, const std::string& body)
{
    const std::string path = dir.File(name);
    testsupport::WriteFile(path, "#!/bin/sh\n" + body);
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path;
}

}  // namespace

// The lines the bridge writes are the lines the progress reads.
TEST(SliceJob, ABridgesLinesDriveTheProgressToCompletion)
{
    TempDir dir;
    std::string body;
    for (const std::string& line : {slicelines::InsetTotalLine(10), slicelines::InsetLine(4),
                                    slicelines::FillLine(3, 10), slicelines::RaftLine(2),
                                    slicelines::SavedLine(dir.File("m.gcode"))})
        body += "echo '" + line + "'\n";
    const std::string bridge = Script(dir, "bridge", body);

    Recorder recorder;
    SliceJob job(recorder.Progress(), recorder.Ended());
    const zelk::Outcome started = job.Start({bridge, "--profile", "QUEN"});
    ASSERT_TRUE(started) << started.reason;
    const SliceJob::End end = recorder.WaitForEnd();
    EXPECT_TRUE(end.started);
    EXPECT_TRUE(end.completed);
    EXPECT_FALSE(end.cancelled);
    EXPECT_EQ(end.exitCode, 0);
    EXPECT_EQ(recorder.EndRun(0), job.Run());

    const auto updates = recorder.Updates();
    ASSERT_FALSE(updates.empty());
    std::vector<int> positions;
    for (const auto& [run, update] : updates) {
        EXPECT_EQ(run, job.Run());
        if (update.setPosition)
            positions.push_back(update.position);
    }
    // The total sets no place; inset 4, fill 10 + 2*3, raft 2/2 + 30, the file at 4 * 10.
    EXPECT_EQ(positions, (std::vector<int>{4, 16, 31, 40}));
    EXPECT_TRUE(updates.back().second.completed);
}

// Every way a run fails becomes one message with its detail.
TEST(SliceJob, FailuresNameTheirCause)
{
    TempDir dir;
    struct Case {
        std::vector<std::string> arguments;
        std::string key;
        std::string detail;
    } cases[] = {
        {{dir.File("no-such-bridge")}, "id_message_slicerNotStarted", "no-such-bridge"},
        {{Script(dir, "no-engine", "echo 'error: no slicing engine here'\nexit 3\n")},
         "id_message_slicerEngineMissing",
         "no slicing engine here"},
        {{Script(dir, "refused", "echo 'error: the model has no volume'\nexit 1\n")},
         "id_message_sliceFailed",
         "the model has no volume"},
        {{Script(dir, "silent", "exit 4\n")}, "id_message_sliceFailed", "exit status 4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        Recorder recorder;
        SliceJob job(recorder.Progress(), recorder.Ended());
        const zelk::Outcome started = job.Start(c.arguments);
        ASSERT_TRUE(started) << started.reason;
        const SliceJob::End end = recorder.WaitForEnd();
        EXPECT_FALSE(end.completed);
        const zelk::Outcome failure = end.Failure();
        EXPECT_FALSE(failure.ok);
        EXPECT_EQ(failure.key, c.key);
        EXPECT_NE(failure.reason.find(c.detail), std::string::npos) << failure.reason;
    }
}

// A child that ignores the polite request is asked again, then killed; the
// end says it was cancelled, and the next run starts at once.
TEST(SliceJob, ACancelEndsEvenAChildThatIgnoresIt)
{
    TempDir dir;
    const std::string stubborn =
        Script(dir, "stubborn", "trap '' TERM\necho 'Inset layer count 0 of 5'\nexec tail -f /dev/null\n");
    const int grace = SliceJob::CancelGraceMs();
    SliceJob::SetCancelGraceMs(50);

    Recorder recorder;
    SliceJob job(recorder.Progress(), recorder.Ended());
    ASSERT_TRUE(job.Start({stubborn}));
    ASSERT_TRUE(recorder.WaitForUpdate());  // the child runs and has trapped the request
    // A start while the run still goes is refused with a message that says so.
    const zelk::Outcome again = job.Start({stubborn});
    EXPECT_FALSE(again);
    EXPECT_EQ(again.key, "id_message_slicerStillEnding");
    job.Cancel();
    int steps = 0;
    // The end handler proves the run ended; each further step is taken only while it has not.
    while (job.CancelAgain())
        ++steps;
    const SliceJob::End end = recorder.WaitForEnd();
    EXPECT_EQ(steps, 1);  // asked again once, then killed
    EXPECT_TRUE(end.cancelled);
    EXPECT_FALSE(end.completed);

    const std::string quick = Script(dir, "quick", "echo 'The exported file is saved as x.gcode'\n");
    ASSERT_TRUE(job.Start({quick}));
    EXPECT_TRUE(recorder.WaitForEnd(2).completed);
    EXPECT_EQ(recorder.EndRun(1), job.Run());
    SliceJob::SetCancelGraceMs(grace);
}
