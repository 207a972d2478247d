// The machine control panel's rules without windows: jog steps and lines,
// fine steps, reading its fields, the feed test, and one press of a jog arrow.
#pragma once

#include <string>

namespace zelk {

// Entries of the jog step list; the last one jogs until the arrow is let go.
inline constexpr int kJogStepEntries = 5;
inline constexpr int kContinuousJogEntry = 4;
// The continuous entry's distance: far enough to cross the build volume, so
// the move ends by the stop sent at the release of the arrow.
inline constexpr double kContinuousJogMm = 160.0;

// The jog step of list entry `entry` in mm; 0 for no or an unknown entry.
double JogStepMm(int entry);

// Where an arrow's direction code moves: axis 0 X, 1 Y, 2 Z, and the sign.
struct JogDirection {
    int axis = 0;
    int sign = 1;
    char letter = 'X';
};

// Codes 0 X+, 1 X-, 2 Y+, 3 Y-, 4 Z-, 5 Z+. False for any other code.
bool JogDirectionOf(int code, JogDirection& out);

// The jog line "G1 <letter><value> F<feed>", value already signed.
std::string JogLine(char letter, double value, double feed);

// Makes the current position the origin, so the next move is relative to it.
inline constexpr const char* kOriginLine = "G92 X0 Y0 Z0 A0 B0";

// The line of fine step entry `entry` (0.1, 0.2, 0.5 toward the nozzle,
// then the same away from it); empty for no or an unknown entry.
std::string FineStepLine(int entry);

// Reads a temperature field: a number within 0 .. maxC. Whole degrees are
// sent, the fraction dropped. False for text that is not a number (never 0).
// The bounds are the slicing panel's (kExtruderTempMaxC, kPlatformTempMaxC).
bool ReadTemperature(const std::string& text, float maxC, int& tempC);

// Reads the start height field: any number. False for text that is not one.
bool ReadHeight(const std::string& text, double& heightMm);

// Filament may be fed or retracted only above this extruder temperature.
inline constexpr int kFeedMinTempC = 170;
inline bool ExtruderHotEnoughToFeed(int tempC) { return tempC > kFeedMinTempC; }

// One press of a jog arrow. A press while one is held starts nothing; the
// end of a continuous press owes exactly one stop, however often the end is
// reported (release, lost capture, hidden panel, lost link).
class JogPress {
public:
    // True when this press starts a jog.
    bool Press(bool continuous);
    // True when the stop must be sent now.
    bool End();
    bool IsHeld() const { return m_held; }

private:
    bool m_held = false;
    bool m_continuous = false;
};

}  // namespace zelk
