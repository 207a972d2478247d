// The modal state a firmware keeps while it reads G-code of any flavour, turned into the printer's plain actions.
#include "GCodeInterpreter.h"

#include "GeNumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zelk::gcode {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Numbers beyond these are faults of the file, not positions or feeds.
constexpr double kMaxCoordinateMm = 10000;
constexpr double kMaxFilamentMm = 1.0e6;  // as the printer dialect's limit: its steps fit 32 bits
constexpr double kMaxFeedMmPerMin = 100000;
constexpr double kMaxTemperatureC = 400;
constexpr double kMaxDwellMs = 24.0 * 3600 * 1000;
// An arc is cut into at most this many pieces, however small the tolerance.
constexpr int kMaxArcPieces = 100000;


}  // namespace

GCodeInterpreter::GCodeInterpreter(GCodeFlavor flavor, const MachineSetup& setup) : m_flavor(flavor), m_setup(setup) {}

void GCodeInterpreter::LeaveOut(const GCodeLine& line, bool changesMotion)
{
    m_leftOut.Count(line.letter != 0 ? line.Name() : "words without a command", changesMotion);
}

bool GCodeInterpreter::Feed(std::string_view raw, std::vector<Action>& actions, std::string& error)
{
    GCodeLine& line = m_line;
    if (!ReadGCodeLine(raw, line, error)) {
        // The arguments of a command with no translation here (a file name,
        // a printer model) need not read as numbers: it is left out all the
        // same. A line whose checksum fails is not what was sent: refused.
        if (line.badChecksum || line.letter == 0 || Translates(line))
            return false;
        error.clear();
        LeaveOut(line, false);
        return true;
    }
    if (line.Empty())
        return true;
    if (line.letter == 0) {
        LeaveOut(line, true);
        return true;
    }
    if (line.letter == 'T')
        return CheckTool(line, error);
    if (line.letter == 'G') {
        if (line.subcode >= 0) {
            LeaveOut(line, false);
            return true;
        }
        switch (line.code) {
        case 0:
        case 1: return Move(line, actions, error);
        case 2:
        case 3: return Arc(line, line.code == 2, actions, error);
        case 4: {
            const double ms = line.Has('P') ? line.Value('P') : line.Value('S') * 1000;
            if (!(ms >= 0 && ms <= kMaxDwellMs)) {
                error = "G4 waits " + zelk::ShortNumber(ms) + " ms";
                return false;
            }
            Action a;
            a.kind = ActionKind::kDwell;
            a.value = static_cast<int>(std::lround(ms));
            if (a.value > 0)
                actions.push_back(a);
            return true;
        }
        case 20: m_inches = true; return true;
        case 21: m_inches = false; return true;
        case 28: Home(line, actions); return true;
        case 90: m_relative = false; return true;
        case 91: m_relative = true; return true;
        case 92: SetPosition(line, actions); return true;
        default: LeaveOut(line, false); return true;
        }
    }
    // M codes.
    if (line.subcode >= 0) {
        LeaveOut(line, false);
        return true;
    }
    Action a;
    switch (line.code) {
    case 17: a.kind = ActionKind::kMotorsOn; actions.push_back(a); return true;
    case 18:
    case 84: a.kind = ActionKind::kMotorsOff; actions.push_back(a); return true;
    case 82: m_eRelative = false; return true;
    case 83: m_eRelative = true; return true;
    case 73:
        if (!line.Has('P'))
            return true;  // only the times left, which the host works out itself
        a.kind = ActionKind::kPercent;
        a.value = static_cast<int>(std::clamp(line.Value('P'), 0.0, 100.0));
        actions.push_back(a);
        return true;
    case 117:
        a.kind = ActionKind::kMessage;
        a.text = line.text;
        actions.push_back(a);
        return true;
    case 106:
    case 107:
    case 126:
    case 127:
        if (!CheckTool(line, error))
            return false;
        a.kind = ActionKind::kFan;
        a.value = (line.code == 106 && !(line.Has('S') && line.Value('S') <= 0)) || line.code == 126 ? 1 : 0;
        actions.push_back(a);
        return true;
    case 6:
    case 133:
        if (m_flavor != GCodeFlavor::kMakerbot)
            break;
        if (!CheckTool(line, error))
            return false;
        a.kind = ActionKind::kWaitExtruder;
        actions.push_back(a);
        return true;
    case 134:
        if (m_flavor != GCodeFlavor::kMakerbot)
            break;
        a.kind = ActionKind::kWaitPlatform;
        actions.push_back(a);
        return true;
    case 104:
    case 109:
    case 140:
    case 190: return Temperature(line, actions, error);
    default: break;
    }
    // Reports, settings of the firmware's own (acceleration, jerk, linear
    // advance, flow) and checks of other printers: none has an S3G action.
    // A flow factor changes how much is extruded.
    LeaveOut(line, line.code == 221 || line.code == 220);
    return true;
}

bool GCodeInterpreter::Translates(const GCodeLine& line) const
{
    if (line.letter == 'T' || line.subcode >= 0)
        return line.letter == 'T';
    if (line.letter == 'G')
        for (const int code : {0, 1, 2, 3, 4, 20, 21, 28, 90, 91, 92})
            if (line.code == code)
                return true;
    if (line.letter == 'M') {
        for (const int code : {17, 18, 73, 82, 83, 84, 104, 106, 107, 109, 117, 126, 127, 140, 190})
            if (line.code == code)
                return true;
        if (m_flavor == GCodeFlavor::kMakerbot && (line.code == 6 || line.code == 133 || line.code == 134))
            return true;
    }
    return false;
}

bool GCodeInterpreter::CheckTool(const GCodeLine& line, std::string& error) const
{
    const double tool = line.letter == 'T' ? line.code : line.Has('T') ? line.Value('T') : 0;
    if (tool == 0)
        return true;
    error = "tool T" + zelk::ShortNumber(tool) + ": this printer has one extruder (T0)";
    return false;
}

bool GCodeInterpreter::TakeFeedrate(const GCodeLine& line, std::string& error)
{
    if (!line.Has('F'))
        return true;
    const double feed = Millimetres(line.Value('F'));
    if (!(feed > 0 && feed <= kMaxFeedMmPerMin)) {
        error = "feedrate F" + zelk::ShortNumber(line.Value('F')) + " is not between 0 and " + zelk::ShortNumber(kMaxFeedMmPerMin) +
                " mm/min";
        return false;
    }
    m_feedMmPerMin = feed;
    return true;
}

bool GCodeInterpreter::Move(const GCodeLine& line, std::vector<Action>& actions, std::string& error)
{
    if (!TakeFeedrate(line, error))
        return false;
    const auto axis = [&](char letter, double now, bool relative) {
        if (!line.Has(letter))
            return now;
        const double v = Millimetres(line.Value(letter));
        return relative ? now + v : v;
    };
    return MoveTo(axis('X', m_x, m_relative), axis('Y', m_y, m_relative), axis('Z', m_z, m_relative),
                  axis('E', m_e, ERelative()), actions, error);
}

bool GCodeInterpreter::MoveTo(double x, double y, double z, double e, std::vector<Action>& actions,
                              std::string& error)
{
    for (const double v : {x, y, z})
        if (!(std::fabs(v) <= kMaxCoordinateMm)) {
            error = "a position of " + zelk::ShortNumber(v) + " mm";
            return false;
        }
    if (!(std::fabs(e) <= kMaxFilamentMm)) {
        error = "a filament position of " + zelk::ShortNumber(e) + " mm";
        return false;
    }
    if (x == m_x && y == m_y && z == m_z && e == m_e)
        return true;
    const double t = m_setup.volumeToleranceMm;
    if (m_setup.checkVolume &&
        (x < m_setup.minX - t || x > m_setup.maxX + t || y < m_setup.minY - t || y > m_setup.maxY + t ||
         z < m_setup.minZ - t || z > m_setup.maxZ + t)) {
        // Outside: the first axis that leaves it is named.
        const struct {
            const char* name;
            double v, lo, hi;
        } axes[] = {{"X", x, m_setup.minX, m_setup.maxX}, {"Y", y, m_setup.minY, m_setup.maxY},
                    {"Z", z, m_setup.minZ, m_setup.maxZ}};
        for (const auto& a : axes) {
            if (a.v < a.lo - t || a.v > a.hi + t) {
                error = std::string("the move to ") + a.name + " " + zelk::ShortNumber(a.v) +
                        " mm leaves the build volume (" + a.name + " from " + zelk::ShortNumber(a.lo) + " to " + zelk::ShortNumber(a.hi) +
                        " mm): the file was sliced for another printer";
                return false;
            }
        }
    }
    Action a;
    a.kind = ActionKind::kMove;
    a.x = x;
    a.y = y;
    a.z = z;
    a.e = e;
    a.feedMmPerMin = m_feedMmPerMin;
    actions.push_back(a);
    m_x = x;
    m_y = y;
    m_z = z;
    m_e = e;
    return true;
}

bool GCodeInterpreter::Arc(const GCodeLine& line, bool clockwise, std::vector<Action>& actions, std::string& error)
{
    if (!TakeFeedrate(line, error))
        return false;
    const double x0 = m_x, y0 = m_y, z0 = m_z, e0 = m_e;
    const double x1 = line.Has('X') ? Millimetres(line.Value('X')) + (m_relative ? x0 : 0) : x0;
    const double y1 = line.Has('Y') ? Millimetres(line.Value('Y')) + (m_relative ? y0 : 0) : y0;
    const double z1 = line.Has('Z') ? Millimetres(line.Value('Z')) + (m_relative ? z0 : 0) : z0;
    const double e1 = line.Has('E') ? Millimetres(line.Value('E')) + (ERelative() ? e0 : 0) : e0;

    for (const char word : {'I', 'J', 'R'})
        if (line.Has(word) && !(std::fabs(Millimetres(line.Value(word))) <= kMaxCoordinateMm)) {
            error = line.Name() + " with " + word + zelk::ShortNumber(line.Value(word)) + ": an arc larger than any printer";
            return false;
        }
    double cx = 0, cy = 0;
    if (line.Has('R')) {
        // The centre on the perpendicular bisector of the chord; a negative
        // radius asks for the longer of the two arcs.
        const double r = Millimetres(line.Value('R'));
        const double dx = x1 - x0, dy = y1 - y0;
        const double chord = std::hypot(dx, dy);
        if (chord == 0 || std::fabs(r) < chord / 2 - 1e-9) {
            error = line.Name() + " with R" + zelk::ShortNumber(line.Value('R')) + " cannot reach its end point";
            return false;
        }
        const double h = std::sqrt(std::max(0.0, r * r - chord * chord / 4));
        // Left of the chord for a counter-clockwise short arc.
        double side = (clockwise ? -1.0 : 1.0) * (r < 0 ? -1.0 : 1.0);
        cx = (x0 + x1) / 2 - side * h * dy / chord;
        cy = (y0 + y1) / 2 + side * h * dx / chord;
    } else if (line.Has('I') || line.Has('J')) {
        cx = x0 + Millimetres(line.Value('I'));
        cy = y0 + Millimetres(line.Value('J'));
    } else {
        error = line.Name() + " names neither its centre (I, J) nor its radius (R)";
        return false;
    }
    const double radius = std::hypot(x0 - cx, y0 - cy);
    if (!(radius > 0)) {
        error = line.Name() + " has no radius";
        return false;
    }
    const double a0 = std::atan2(y0 - cy, x0 - cx);
    const double a1 = std::atan2(y1 - cy, x1 - cx);
    double sweep = a1 - a0;
    if (clockwise) {
        if (sweep >= -1e-12)
            sweep -= 2 * kPi;
    } else if (sweep <= 1e-12) {
        sweep += 2 * kPi;
    }
    // A piece of angle t strays r (1 - cos(t / 2)) from the arc.
    const double tolerance = std::min(m_setup.arcToleranceMm, radius);
    const double maxPiece = 2 * std::acos(1 - tolerance / radius);
    const double wanted = std::ceil(std::fabs(sweep) / maxPiece);
    const int pieces = wanted >= 1 ? (wanted < kMaxArcPieces ? static_cast<int>(wanted) : kMaxArcPieces) : 1;
    for (int k = 1; k <= pieces; ++k) {
        const double f = static_cast<double>(k) / pieces;
        const double angle = a0 + sweep * f;
        const bool last = k == pieces;
        const double x = last ? x1 : cx + radius * std::cos(angle);
        const double y = last ? y1 : cy + radius * std::sin(angle);
        if (!MoveTo(x, y, z0 + (z1 - z0) * f, e0 + (e1 - e0) * f, actions, error))
            return false;
    }
    return true;
}

void GCodeInterpreter::SetPosition(const GCodeLine& line, std::vector<Action>& actions)
{
    const bool any = line.Has('X') || line.Has('Y') || line.Has('Z') || line.Has('E');
    const auto take = [&](char letter, double now) { return !any ? 0.0 : line.Has(letter) ? Millimetres(line.Value(letter)) : now; };
    const double x = take('X', m_x), y = take('Y', m_y), z = take('Z', m_z), e = take('E', m_e);
    if (x == m_x && y == m_y && z == m_z && e == m_e)
        return;
    m_x = x;
    m_y = y;
    m_z = z;
    m_e = e;
    TellPosition(actions);
}

void GCodeInterpreter::TellPosition(std::vector<Action>& actions) const
{
    Action a;
    a.kind = ActionKind::kSetPosition;
    a.x = m_x;
    a.y = m_y;
    a.z = m_z;
    a.e = m_e;
    actions.push_back(a);
}

void GCodeInterpreter::Home(const GCodeLine& line, std::vector<Action>& actions)
{
    int axes = (line.Has('X') ? kAxisX : 0) | (line.Has('Y') ? kAxisY : 0) | (line.Has('Z') ? kAxisZ : 0);
    if (axes == 0)
        axes = kAxisX | kAxisY | kAxisZ;
    // Z first, up and away from the platform, then X and Y, as the start G-code homes.
    const auto home = [&actions](int which, double feedMmPerMin) {
        Action a;
        a.kind = ActionKind::kHome;
        a.axes = which;
        a.feedMmPerMin = feedMmPerMin;
        actions.push_back(a);
    };
    if (axes & kAxisZ) {
        home(kAxisZ, m_setup.homeFeedZMmPerMin);
        m_z = m_setup.homeZ;
    }
    if (axes & (kAxisX | kAxisY)) {
        home(axes & (kAxisX | kAxisY), m_setup.homeFeedXYMmPerMin);
        m_x = axes & kAxisX ? m_setup.homeX : m_x;
        m_y = axes & kAxisY ? m_setup.homeY : m_y;
    }
    TellPosition(actions);
}

bool GCodeInterpreter::Temperature(const GCodeLine& line, std::vector<Action>& actions, std::string& error)
{
    if (!CheckTool(line, error))
        return false;
    // Which heater each code sets, and whether it waits, by flavour.
    bool platform = false, wait = false;
    switch (line.code) {
    case 104: break;
    case 109:
        platform = m_flavor == GCodeFlavor::kMakerbot;
        wait = m_flavor == GCodeFlavor::kRepRap;
        break;
    case 140: platform = true; break;
    case 190:
        platform = true;
        wait = true;
        break;
    default: break;
    }
    // M109 R waits for cooling as well as heating; the printer's wait does both.
    const char word = line.Has('S') ? 'S' : line.Has('R') ? 'R' : 0;
    if (word != 0) {
        const double c = line.Value(word);
        if (!(c >= 0 && c <= kMaxTemperatureC)) {
            error = line.Name() + " asks for " + zelk::ShortNumber(c) + " \u00b0C";
            return false;
        }
        Action set;
        set.kind = platform ? ActionKind::kPlatformTemp : ActionKind::kExtruderTemp;
        set.value = static_cast<int>(std::lround(c));
        actions.push_back(set);
    }
    if (wait) {
        Action w;
        w.kind = platform ? ActionKind::kWaitPlatform : ActionKind::kWaitExtruder;
        actions.push_back(w);
    }
    return true;
}

}  // namespace zelk::gcode
