// The engine's output read as it arrives: its stages as slicing progress, its errors as a reason to quote.
#include "EngineOutput.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace bridge {

namespace {

struct Stage {
    std::string_view name;  // the start of the stage line's text
    double fraction;
};

// In the order the engine works (not the order of its numbers).
constexpr Stage kStages[] = {
    {"Processing triangulated mesh", 0.05},
    {"Generating perimeters", 0.20},
    {"Preparing infill", 0.35},
    {"Infilling layers", 0.50},
    {"Generating support material", 0.65},
    {"Generating skirt and brim", 0.75},
    {"Exporting G-code", 0.85},
};
constexpr double kLastStageCap = 0.95;
constexpr std::string_view kExported = "Slicing result exported";

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

double NextStageFraction(double fraction)
{
    for (const Stage& s : kStages)
        if (s.fraction > fraction)
            return s.fraction;
    return kLastStageCap;
}

}  // namespace

bool ParseStageLine(std::string_view line, int& percent, std::string_view& name)
{
    line = Trim(line);
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), percent);
    if (ec != std::errc() || end == line.data())
        return false;
    const std::string_view rest(end, static_cast<std::size_t>(line.data() + line.size() - end));
    if (rest.substr(0, 4) != " => ")
        return false;
    name = Trim(rest.substr(4));
    return true;
}

bool ParseLogLine(std::string_view line, std::string_view& severity, std::string_view& message)
{
    // Three bracketed fields: time, thread, severity.
    std::string_view rest = line;
    std::string_view field[3];
    for (std::string_view& f : field) {
        rest = Trim(rest);
        if (rest.empty() || rest.front() != '[')
            return false;
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos)
            return false;
        f = rest.substr(1, close - 1);
        rest.remove_prefix(close + 1);
    }
    if (field[0].empty() || field[0].front() < '0' || field[0].front() > '9')
        return false;
    severity = field[2];
    message = Trim(rest);
    return true;
}

StageProgress::StageProgress(int totalLayers) : m_total(std::max(totalLayers, 1))
{
}

bool StageProgress::Feed(std::string_view line)
{
    int percent = 0;
    std::string_view name;
    double target = m_fraction;
    if (ParseStageLine(line, percent, name)) {
        target = std::min(std::max(percent, 0) / 100.0, kLastStageCap);
        for (const Stage& s : kStages)
            if (name.substr(0, s.name.size()) == s.name)
                target = s.fraction;
    } else if (Trim(line).substr(0, kExported.size()) == kExported) {
        target = 1.0;
    } else if (m_layer > 0) {
        // Something happens inside the current stage.
        target = m_fraction + (NextStageFraction(m_fraction) - m_fraction) / 4;
    }
    m_fraction = std::max(m_fraction, target);
    const int layer = std::clamp(static_cast<int>(std::lround(m_fraction * m_total)), 1, m_total);
    if (layer <= m_layer)
        return false;
    m_layer = layer;
    return true;
}

void EngineMessages::Feed(std::string_view line)
{
    int percent = 0;
    std::string_view name, severity, message;
    line = Trim(line);
    if (line.empty() || ParseStageLine(line, percent, name) || line.substr(0, kExported.size()) == kExported)
        return;
    if (ParseLogLine(line, severity, message)) {
        if (severity == "error" || severity == "fatal")
            m_lastLoggedError = message;
        return;
    }
    if (line.substr(0, 7) == "error: ")
        line.remove_prefix(7);
    m_lastMessage = line;
}

std::string EngineMessages::Reason(int exitCode) const
{
    if (!m_lastMessage.empty())
        return m_lastMessage;
    if (!m_lastLoggedError.empty())
        return m_lastLoggedError;
    return exitCode > 128 ? "the slicing engine was ended by signal " + std::to_string(exitCode - 128)
                          : "the slicing engine failed with exit code " + std::to_string(exitCode);
}

}  // namespace bridge
