// What runs now.
#include "RunState.h"

namespace zelk {

RunState& RunState::Program()
{
    static RunState state;
    return state;
}

bool RunState::TryBeginJob(Job job)
{
    Job none = Job::kNone;
    return m_job.compare_exchange_strong(none, job);
}

}  // namespace zelk
