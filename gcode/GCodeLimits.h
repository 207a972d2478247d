// The ranges within which a G-code number is taken as meant: beyond them a line is a fault of the file.
#pragma once

namespace zelk {

// Coordinates (X, Y, Z, and the start height) within +-10000 mm: far beyond
// any build volume, and 10000 mm in steps stays well inside a 32-bit field.
inline constexpr float kMaxCoordinateMM = 10000.0f;
// Filament (E) within +-1e6 mm: absolute E over the longest print.
inline constexpr float kMaxFilamentMM = 1.0e6f;
// Feedrates from 0 mm/min (no feedrate: the fastest axis's limit, as before
// any F) to 100000 mm/min; every move is then held to its axes' own limits.
inline constexpr float kMaxFeedrateMMPerMin = 100000.0f;
// Extruder temperature (M104) 0..400 C; platform temperature (M109) 0..250 C.
// Both fit the 16-bit field that carries them.
inline constexpr int kMaxExtruderTempC = 400;
inline constexpr int kMaxPlatformTempC = 250;

// True for a finite value within +-limit.
inline bool WithinMagnitude(double value, double limit)
{
    return value >= -limit && value <= limit;
}

}  // namespace zelk
