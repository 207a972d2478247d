// The accelerated-point package of one straight move, computed from plain numbers.
#include "MovePayload.h"

#include <climits>
#include <cmath>
#include <cstring>

#include "CPoint5D.h"
#include "S3GCommands.h"
#include "ScanNumbers.h"

namespace zelk {

namespace {

// TruncateToInt(FloorOf(v)) in one step: the same int for every v.
inline int FloorToInt(double v)
{
    if (v >= -2147483648.0 && v < 2147483648.0) {
        const long long t = static_cast<long long>(v);
        return static_cast<int>(static_cast<double>(t) > v ? t - 1 : t);
    }
    return INT_MIN;
}

// FloorOf(v), cheaper where v is not negative (as the steps of a distance are).
inline double FloorNonNegative(double v)
{
    if (v >= 0 && v < 4.0e15)
        return static_cast<double>(static_cast<long long>(v));
    return FloorOf(v);
}

// The feedrate lowered so that no axis of the move exceeds its own limit
// (the largest limit when none is set yet).
double SafeFeedrate(const MoveConstants& k, const double absoluteDelta[5], double length, double feedrate)
{
    if (feedrate == 0) {
        for (int i = 0; i < 5; ++i) {
            if (k.maxFeedrate[i] >= feedrate)
                feedrate = k.maxFeedrate[i];
        }
        if (!(feedrate > 1))
            feedrate = 1;
    }
    for (int i = 0; i < 5; ++i) {
        const double d = absoluteDelta[i];
        if (d != 0 && feedrate * d / length > k.maxFeedrate[i])
            feedrate = k.maxFeedrate[i] * length / d;
    }
    return feedrate;
}

}  // namespace

double MoveLength(const double current[5], const double target[5])
{
    double sum = 0;
    for (int i = 0; i < 5; ++i) {
        const double d = std::fabs(target[i] - current[i]);
        sum += d * d;
    }
    return std::sqrt(sum);
}

void WriteMovePayload(const MoveConstants& k, const double current[5], const double target[5], double length,
                      double feedrate, PackagePayload& out)
{
    double delta[5], absDelta[5];
    for (int i = 0; i < 5; ++i) {
        delta[i] = target[i] - current[i];
        absDelta[i] = std::fabs(delta[i]);
    }
    double distance = std::sqrt(delta[0] * delta[0] + delta[1] * delta[1] + delta[2] * delta[2]);
    feedrate = SafeFeedrate(k, absDelta, length, feedrate);
    double minutes = distance / feedrate;
    if (minutes == 0) {  // an extruder-only move
        distance = absDelta[3];
        minutes = absDelta[3] / feedrate;
    }

    // X, Y and Z go to their target; A and B travel as relative moves, with
    // the opposite sign of the filament change: negative steps push filament out.
    const double mm[5] = {target[0], target[1], target[2], -delta[3], -delta[4]};
    double maxSteps = 0;
    out.Begin(s3g::kCmdQueueAcceleratedPoint);
    for (int i = 0; i < 5; ++i) {
        out.Add32(FloorToInt(k.stepsPerMM[i] * mm[i] + 0.5));
        const double steps = std::fabs(FloorNonNegative(k.stepsPerMM[i] * absDelta[i] + 0.5));
        if (steps > maxSteps)
            maxSteps = steps;
    }
    const int dda = maxSteps == 0 ? 0 : TruncateToInt(1000000.0 / (minutes * 60000000.0 / maxSteps));

    const float distanceF = static_cast<float>(distance);
    int distanceBits = 0;
    std::memcpy(&distanceBits, &distanceF, sizeof distanceBits);

    out.Add32(dda);
    out.Add8(s3g::kAxisA | s3g::kAxisB);
    out.Add32(distanceBits);
    out.Add16(TruncateToInt(feedrate / 60.0 * 64.0));
}

}  // namespace zelk
