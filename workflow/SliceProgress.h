// The slicing panel's rules without windows: reading its three fields, the
// settings record from its controls, and the progress shown from the slicer's output lines.
#pragma once

#include <string>

#include "SkeinforgeParameter.h"

namespace zelk {

// The three values of the slicing panel's fields.
struct SliceFields {
    float printHeightMm = 0;
    float extruderTempC = 0;
    float platformTempC = 0;
};

// Reads a decimal number as people type it (no hexadecimal, infinity or
// NaN; blanks around it allowed). False for empty text, letters or trailing
// junk; `value` is then untouched.
bool ReadWholeNumber(const std::string& text, float& value);

// Inclusive bounds of the three fields.
constexpr float kPrintHeightMinMm = 138, kPrintHeightMaxMm = 148;
constexpr float kExtruderTempMaxC = 300, kPlatformTempMaxC = 100;

// Reads the three texts. False when one is not a number as a whole (empty,
// letters, trailing junk) or lies outside its bounds; `out` is then untouched.
bool ReadSliceFields(const std::string& printHeight, const std::string& extruderTemp,
                     const std::string& platformTemp, SliceFields& out);

// The settings record from the panel's controls: list entries (-1: no
// selection, which leaves the record's initial value) and check boxes.
SkeinforgeParameter MakeSkeinforgeParameter(int fillEntry, int layerEntry, int shellsEntry, int speedEntry,
                                            bool raft, bool support, bool fullSupport);

// The progress bar and status line of the slicing panel, driven line by line
// by the slicer's output: the bar runs through inset (0 .. t), fill (t .. 3t)
// and raft (3t .. 3.5t) and ends at 4t when the file is reported.
class SliceProgress {
public:
    // What one line changes on the panel.
    struct Update {
        bool setRange = false;
        int rangeMax = 0;
        bool setPosition = false;
        int position = 0;
        bool setStatus = false;
        std::string status;  // in English
        // The same line for the window's language: the key of its pattern,
        // whose %1 and %2 take the layer and the layer count.
        std::string statusKey;
        int layer = 0;
        int total = 0;
        bool completed = false;  // the exported file was reported
    };

    Update Apply(const std::string& line);

    int Total() const { return m_total; }
    bool Completed() const { return m_completed; }
    // The text of the slicer's last "error: ..." line, empty when there was none.
    const std::string& LastError() const { return m_lastError; }

private:
    int m_total = 0;
    bool m_completed = false;
    std::string m_lastError;
};

}  // namespace zelk
