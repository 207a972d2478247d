// The slicer command line: the slicer bridge beside the program, with the settings as options.
#pragma once

#include <string>
#include <vector>

#include "SkeinforgeParameter.h"

// Builds the command line the slicing panel runs. Used from the user-interface thread only.
class ZELKSkfParameterCmdLines {
public:
    static ZELKSkfParameterCmdLines* getInstance();

    // An instance whose bridge is `bridgePath` (tests); empty means the slicer
    // bridge in the folder of the running executable.
    explicit ZELKSkfParameterCmdLines(std::string bridgePath = std::string());

    void SetSkeinforgePrameter(const SkeinforgeParameter& parameter);
    const SkeinforgeParameter& GetSkeinforgePrameter() const { return m_parameter; }

    // The bridge followed by the settings as options, one argument each, in
    // UTF-8; empty when the bridge is not there or cannot be run (the slicer
    // cannot start). The caller appends the model file.
    std::vector<std::string> GetSkeinforgeArguments() const;
    // The same as one line, each value quoted.
    std::string GetSkeinforgeCmdLiens() const;

    // The slicer bridge this instance runs.
    const std::string& GetBridgePath() const { return m_bridgePath; }

private:
    static ZELKSkfParameterCmdLines* m_instance;
    std::string m_bridgePath;
    SkeinforgeParameter m_parameter;
};
