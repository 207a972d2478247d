// Jog and fine step lines, field reading and the jog press of the machine control panel.
#include "MachineControlRules.h"

#include <cmath>
#include <cstdio>
#include <iterator>

#include "SliceProgress.h"

namespace zelk {

double JogStepMm(int entry)
{
    static constexpr double kSteps[kJogStepEntries] = {0.1, 0.5, 1.0, 5.0, kContinuousJogMm};
    return entry >= 0 && entry < kJogStepEntries ? kSteps[entry] : 0.0;
}

bool JogDirectionOf(int code, JogDirection& out)
{
    static constexpr JogDirection kDirections[] = {{0, 1, 'X'}, {0, -1, 'X'}, {1, 1, 'Y'},
                                                   {1, -1, 'Y'}, {2, -1, 'Z'}, {2, 1, 'Z'}};
    if (code < 0 || code >= static_cast<int>(std::size(kDirections)))
        return false;
    out = kDirections[code];
    return true;
}

std::string JogLine(char letter, double value, double feed)
{
    char line[96];
    std::snprintf(line, sizeof line, "G1 %c%f F%f", letter, value, feed);
    return line;
}

std::string FineStepLine(int entry)
{
    static constexpr const char* kLines[] = {"G1 X0.0 Y0.0 Z-0.1 F450", "G1 X0.0 Y0.0 Z-0.2 F450",
                                             "G1 X0.0 Y0.0 Z-0.5 F450", "G1 X0.0 Y0.0 Z0.1 F450",
                                             "G1 X0.0 Y0.0 Z0.2 F450",  "G1 X0.0 Y0.0 Z0.5 F450"};
    if (entry < 0 || entry >= static_cast<int>(std::size(kLines)))
        return std::string();
    return kLines[entry];
}

bool ReadTemperature(const std::string& text, float maxC, int& tempC)
{
    float value = 0;
    if (!ReadWholeNumber(text, value) || !(value >= 0.0f && value <= maxC))
        return false;
    tempC = static_cast<int>(value);
    return true;
}

bool ReadHeight(const std::string& text, double& heightMm)
{
    float value = 0;
    if (!ReadWholeNumber(text, value) || !std::isfinite(value))
        return false;
    heightMm = value;
    return true;
}

bool JogPress::Press(bool continuous)
{
    if (m_held)
        return false;
    m_held = true;
    m_continuous = continuous;
    return true;
}

bool JogPress::End()
{
    if (!m_held)
        return false;
    m_held = false;
    return m_continuous;
}

}  // namespace zelk
