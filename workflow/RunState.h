// What runs now, in one place for the whole program: whether a print streams
// (the start picture then offers to stop), and which job holds the print
// list's translator (a print being prepared, or an X3G export). Every window
// asks this object; none keeps a copy. Any thread.
#pragma once

#include <atomic>

namespace zelk {

class RunState {
public:
    enum class Job { kNone, kPreparingPrint, kExporting };

    // The program's one.
    static RunState& Program();

    // A print runs from the moment its preparation hands the list to the link
    // (before the first package goes out, so the printer's finished report
    // always comes after) until it is stopped, finished or lost.
    bool IsPrinting() const { return m_printing.load(); }
    void SetPrinting(bool printing) { m_printing = printing; }
    // True when it was printing.
    bool EndPrinting() { return m_printing.exchange(false); }

    Job CurrentJob() const { return m_job.load(); }
    bool IsPreparingPrint() const { return CurrentJob() == Job::kPreparingPrint; }
    bool IsExporting() const { return CurrentJob() == Job::kExporting; }
    // False when a job runs already: a second click waits for the first.
    bool TryBeginJob(Job job);
    void EndJob() { m_job = Job::kNone; }

private:
    std::atomic<bool> m_printing{false};
    std::atomic<Job> m_job{Job::kNone};
};

}  // namespace zelk
