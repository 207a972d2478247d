// Decides when the printer's Z position has settled, from its position replies.
#pragma once

#include "GePoint3d.h"

// Position replies come while the machine control panel polls the height.
// The polling stops once more than three replies in a row (after the first
// that moved) repeat the last point, and again on every further repeat.
class ZELKPositionWatch {
public:
    static constexpr int kUnchangedLimit = 3;

    // Records the reply; true when the polling should stop.
    bool OnPosition(const ZELKGePoint3d& point);

    const ZELKGePoint3d& GetCurrentPoint() const { return m_currentPt; }
    int GetUnchangedCount() const { return m_unchanged; }

private:
    ZELKGePoint3d m_currentPt;
    int m_unchanged = 0;
};
