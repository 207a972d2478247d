// A small thread wrapper: a start routine and its parameter, begun and ended
// on request. The machine control's worker and the user interface use it.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class ZELKThreadProc {
public:
    using StartRoutine = unsigned long (*)(void* parameter);
    // EndThread's limit that means no limit.
    static constexpr unsigned long kWaitForever = 0xFFFFFFFFUL;

    explicit ZELKThreadProc(void* parameter = nullptr);
    // Waits for a running routine to return: threads are never killed, so the
    // routine must be told to end before its wrapper is destroyed.
    virtual ~ZELKThreadProc();

    ZELKThreadProc(const ZELKThreadProc&) = delete;
    ZELKThreadProc& operator=(const ZELKThreadProc&) = delete;

    int SetTechFun(StartRoutine routine);
    // Any callable as the routine (the parameter is then unused); replaces
    // the start routine, and is replaced by one set later.
    int SetTechFun(std::function<void()> routine);
    // True when a thread already exists; false without a start routine;
    // otherwise starts one and says whether that worked.
    bool BeginThread();
    bool IsThreadRunning() const;
    // Standard threads cannot be suspended from outside: always false.
    bool SuspendThread();
    bool ResumeThread();
    // Waits up to ms for the routine to return and forgets the thread. True
    // when there was no thread or it ended in time; false when it is still
    // running (it is then kept, and a later call can wait again).
    bool EndThread(unsigned long ms);
    // The thread's id; a default id when there is none.
    std::thread::id GetThreadHandle() const;

private:
    struct Finished {
        std::mutex mutex;
        std::condition_variable cv;
        bool done = false;
    };

    StartRoutine m_routine = nullptr;
    std::function<void()> m_function;
    void* m_parameter;
    std::thread m_thread;
    std::shared_ptr<Finished> m_finished;
};
