// The modal state a firmware keeps while it reads G-code of any flavour, turned into the printer's plain actions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "CommandCensus.h"
#include "GCodeFlavor.h"
#include "GCodeLine.h"

namespace zelk::gcode {

// What the printer does, in millimetres and the printer's own coordinates.
enum class ActionKind {
    kMove,           // straight to x, y, z with the filament at e (absolute), at feedMmPerMin
    kSetPosition,    // the printer takes x, y, z, e as where it is
    kHome,           // homes `axes` (kAxisX | kAxisY | kAxisZ): Z up to its end stop, X and Y down
    kDwell,          // waits `value` milliseconds
    kExtruderTemp,   // sets the extruder to `value` C
    kPlatformTemp,   // sets the platform to `value` C
    kWaitExtruder,   // waits until the extruder is at its temperature
    kWaitPlatform,   // waits until the platform is at its temperature
    kFan,            // the fan on (`value` 1) or off (0)
    kPercent,        // the build is `value` % done
    kMessage,        // shows `text` on the printer's display
    kMotorsOff,      // releases the steppers
    kMotorsOn,       // holds the steppers
};

inline constexpr int kAxisX = 1, kAxisY = 2, kAxisZ = 4;

struct Action {
    ActionKind kind = ActionKind::kMove;
    double x = 0, y = 0, z = 0, e = 0;
    double feedMmPerMin = 0;
    int value = 0;
    int axes = 0;
    std::string_view text;  // a message: a view into the line read, valid until the next line
};

// The printer the G-code is read for.
struct MachineSetup {
    // Where homing leaves the head (the shipped start G-code's "G92 X-75 Y-75 Z<height>").
    double homeX = -75, homeY = -75, homeZ = 150;
    double homeFeedXYMmPerMin = 2500, homeFeedZMmPerMin = 1000;
    // How far an arc's straight pieces may stray from the arc.
    double arcToleranceMm = 0.01;
    // The build volume; moves beyond it (by more than the tolerance) refuse the file.
    bool checkVolume = false;
    double minX = -75, maxX = 75, minY = -75, maxY = 75, minZ = 0, maxZ = 150;
    double volumeToleranceMm = 0.01;
};

// Reads the lines of one file in order. Not for the printer's own dialect,
// which the translator reads by its own rules.
class GCodeInterpreter {
public:
    GCodeInterpreter(GCodeFlavor flavor, const MachineSetup& setup);

    // Reads one line and appends what it asks of the printer to `actions`.
    // False when the file must be refused (a wrong checksum, a second tool,
    // a move beyond the build volume, a number that does not read): `error`
    // says why, without the line number. Commands outside the flavour are
    // counted in LeftOut() and give no action.
    bool Feed(std::string_view raw, std::vector<Action>& actions, std::string& error);

    const CommandCensus& LeftOut() const { return m_leftOut; }
    GCodeFlavor Flavor() const { return m_flavor; }

private:
    bool Move(const GCodeLine& line, std::vector<Action>& actions, std::string& error);
    bool Arc(const GCodeLine& line, bool clockwise, std::vector<Action>& actions, std::string& error);
    bool MoveTo(double x, double y, double z, double e, std::vector<Action>& actions, std::string& error);
    void SetPosition(const GCodeLine& line, std::vector<Action>& actions);
    void Home(const GCodeLine& line, std::vector<Action>& actions);
    // The printer is told where it is now (after a reset or homing).
    void TellPosition(std::vector<Action>& actions) const;
    bool Temperature(const GCodeLine& line, std::vector<Action>& actions, std::string& error);
    bool CheckTool(const GCodeLine& line, std::string& error) const;
    // Whether the line's command has a translation in this flavour.
    bool Translates(const GCodeLine& line) const;
    bool TakeFeedrate(const GCodeLine& line, std::string& error);
    double Millimetres(double value) const { return m_inches ? value * 25.4 : value; }
    bool ERelative() const { return m_relative || m_eRelative; }
    void LeaveOut(const GCodeLine& line, bool changesMotion);

    GCodeFlavor m_flavor;
    MachineSetup m_setup;
    double m_x = 0, m_y = 0, m_z = 0, m_e = 0;  // where the printer is told it is
    double m_feedMmPerMin = 0;                  // 0 until a line names F
    bool m_relative = false;                    // G91
    bool m_eRelative = false;                   // M83
    bool m_inches = false;                      // G20
    CommandCensus m_leftOut;
    GCodeLine m_line;  // the line Feed() reads, kept from call to call
};

}  // namespace zelk::gcode
