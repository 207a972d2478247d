// Field reading, the settings record and the progress mapping of the slicing panel.
#include "SliceProgress.h"

#include "SliceLines.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zelk {

// A decimal number as people type it: no hexadecimal, infinity or NaN.
bool ReadWholeNumber(const std::string& text, float& value)
{
    if (text.find_first_not_of("0123456789+-.eE \t") != std::string::npos)
        return false;
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const float read = std::strtof(begin, &end);
    if (end == begin || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0')
        return false;
    value = read;
    return true;
}

namespace {

std::string Entry(int entry, std::initializer_list<const char*> values, const std::string& initial)
{
    if (entry < 0 || entry >= static_cast<int>(values.size()))
        return initial;
    return *(values.begin() + entry);
}

}  // namespace

bool ReadSliceFields(const std::string& printHeight, const std::string& extruderTemp,
                     const std::string& platformTemp, SliceFields& out)
{
    SliceFields read;
    if (!ReadWholeNumber(printHeight, read.printHeightMm) || !ReadWholeNumber(extruderTemp, read.extruderTempC) ||
        !ReadWholeNumber(platformTemp, read.platformTempC))
        return false;
    const bool inRange = read.printHeightMm >= kPrintHeightMinMm && read.printHeightMm <= kPrintHeightMaxMm &&
                         read.extruderTempC >= 0 && read.extruderTempC <= kExtruderTempMaxC &&
                         read.platformTempC >= 0 && read.platformTempC <= kPlatformTempMaxC;
    if (!inRange)
        return false;
    out = read;
    return true;
}

SkeinforgeParameter MakeSkeinforgeParameter(int fillEntry, int layerEntry, int shellsEntry, int speedEntry,
                                            bool raft, bool support, bool fullSupport)
{
    SkeinforgeParameter p;
    p.raft = raft ? 1 : 0;
    p.support = fullSupport ? 2 : (support ? 1 : 0);
    p.infill = Entry(fillEntry, {"0.0", "0.10", "0.30", "0.50", "0.90"}, p.infill);
    p.layerHeight = Entry(layerEntry, {"0.2", "0.3"}, p.layerHeight);
    p.shells = Entry(shellsEntry, {"0", "1", "2"}, p.shells);
    p.speed = Entry(speedEntry, {"30", "60", "80"}, p.speed);
    return p;
}

SliceProgress::Update SliceProgress::Apply(const std::string& text)
{
    Update update;
    const slicelines::Line line = slicelines::ReadLine(text);
    if (line.kind == slicelines::Line::kError) {
        m_lastError = line.text;
        return update;
    }
    if (line.kind == slicelines::Line::kLayerCount) {
        char status[96];
        if (line.stage == "Slice") {
            std::snprintf(status, sizeof status, "Slice (layer %d)", line.layer);
            update.setStatus = true;
            update.status = status;
            update.statusKey = "id_status_sliceLayer";
            update.layer = line.layer;
        }
        if (line.hasTotal)
            m_total = line.total;
        update.setRange = true;
        update.rangeMax = 4 * m_total;
        const char* form = nullptr;
        const char* key = nullptr;
        int position = 0;
        if (!line.hasTotal && line.stage.rfind("Inset", 0) == 0) {
            form = "Inset (layer %d of %d)";
            key = "id_status_insetLayer";
            position = line.layer;
        } else if (!line.hasTotal && line.stage.rfind("Raft", 0) == 0) {
            form = "Raft (layer %d of %d)";
            key = "id_status_raftLayer";
            position = line.layer / 2 + 3 * m_total;
        } else if (line.hasTotal && line.stage.rfind("Fill", 0) == 0) {
            form = "Fill (layer %d of %d)";
            key = "id_status_fillLayer";
            position = m_total + 2 * line.layer;
        }
        if (form != nullptr) {
            std::snprintf(status, sizeof status, form, line.layer, m_total);
            update.setStatus = true;
            update.status = status;
            update.statusKey = key;
            update.layer = line.layer;
            update.total = m_total;
            update.setPosition = true;
            update.position = position;
        }
    }
    if (line.kind == slicelines::Line::kExported) {
        m_completed = true;
        update.completed = true;
        update.setPosition = true;
        update.position = 4 * m_total;
    }
    return update;
}

}  // namespace zelk
