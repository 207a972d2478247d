// The record of sliced G-code files and the models they were sliced from.
#include "SlicedGCode.h"

#include <map>
#include <mutex>

namespace {

struct Record {
    std::mutex mutex;
    std::map<std::string, std::uint64_t> fingerprints;
};

Record& TheRecord()
{
    static Record record;
    return record;
}

}  // namespace

namespace ZELKCAD {

void RecordSlicedGCode(const std::string& gcodePath, std::uint64_t fingerprint)
{
    Record& record = TheRecord();
    std::lock_guard lock(record.mutex);
    record.fingerprints[gcodePath] = fingerprint;
}

void ForgetSlicedGCode(const std::string& gcodePath)
{
    Record& record = TheRecord();
    std::lock_guard lock(record.mutex);
    record.fingerprints.erase(gcodePath);
}

SlicedGCodeState GetSlicedGCodeState(const std::string& gcodePath, std::uint64_t currentFingerprint)
{
    Record& record = TheRecord();
    std::lock_guard lock(record.mutex);
    const auto found = record.fingerprints.find(gcodePath);
    if (found == record.fingerprints.end())
        return GCODE_NOT_SLICED_HERE;
    return found->second == currentFingerprint ? GCODE_CURRENT : GCODE_STALE;
}

}  // namespace ZELKCAD
