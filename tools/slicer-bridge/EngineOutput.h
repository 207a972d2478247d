// The engine's output read as it arrives: its stages as slicing progress, its errors as a reason to quote.
#pragma once

#include <string>
#include <string_view>

#include "SliceLines.h"

namespace bridge {

// The progress lines the slicing panel reads are those of SliceLines.h.
using slicelines::FillLine;
using slicelines::InsetLine;
using slicelines::InsetTotalLine;
using slicelines::RaftLine;
using slicelines::SavedLine;

// "NN => Stage name": true with the engine's number and the name.
bool ParseStageLine(std::string_view line, int& percent, std::string_view& name);
// "[time] [thread] [severity] message" (the engine's log): true with the parts.
bool ParseLogLine(std::string_view line, std::string_view& severity, std::string_view& message);

// Turns the engine's stage lines into a layer number rising from 1 towards
// the estimated total. Stages are known by name in the order the engine
// works through them (it prints their numbers out of order); a stage never
// moves the layer back, and while one runs, each other line of output creeps
// a quarter of the way towards the next stage.
class StageProgress {
public:
    explicit StageProgress(int totalLayers);

    // True when the line moved the layer on; Layer() is then the new one.
    bool Feed(std::string_view line);
    int Layer() const { return m_layer; }
    double Fraction() const { return m_fraction; }

private:
    int m_total;
    int m_layer = 0;
    double m_fraction = 0;
};

// What the engine said about a failure: its own last message line (not a
// stage, not its log), else its last logged error.
class EngineMessages {
public:
    void Feed(std::string_view line);
    std::string Reason(int exitCode) const;

private:
    std::string m_lastMessage;
    std::string m_lastLoggedError;
};

}  // namespace bridge
