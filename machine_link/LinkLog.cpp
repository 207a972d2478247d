#include "LinkLog.h"

#include "ZELKFileLog.h"

namespace zelk {

void WriteLinkLog(ZELKFileLog* log, int line, int level, const std::string& message)
{
    ZELKFileLog* target = log != nullptr ? log : ZELKFileLog::GetObjectW();
    target->Write("ZELKMachineControl", line, level, message);
}

}  // namespace zelk
