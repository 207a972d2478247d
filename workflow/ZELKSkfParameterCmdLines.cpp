// The slicer command line built from the settings record.
#include "ZELKSkfParameterCmdLines.h"

#include <unistd.h>

#include "ChildProcess.h"
#include "ProgramFolder.h"

ZELKSkfParameterCmdLines* ZELKSkfParameterCmdLines::m_instance = nullptr;

ZELKSkfParameterCmdLines* ZELKSkfParameterCmdLines::getInstance()
{
    if (m_instance == nullptr)
        m_instance = new ZELKSkfParameterCmdLines();
    return m_instance;
}

ZELKSkfParameterCmdLines::ZELKSkfParameterCmdLines(std::string bridgePath)
    : m_bridgePath(bridgePath.empty() ? zelk::GetExecutableFolder() + "slicer-bridge" : std::move(bridgePath))
{
}

void ZELKSkfParameterCmdLines::SetSkeinforgePrameter(const SkeinforgeParameter& parameter)
{
    m_parameter = parameter;
}

std::vector<std::string> ZELKSkfParameterCmdLines::GetSkeinforgeArguments() const
{
    if (::access(m_bridgePath.c_str(), X_OK) != 0)
        return {};
    const SkeinforgeParameter& p = m_parameter;
    return {m_bridgePath,      "--profile",  p.profile, "--layer-height", p.layerHeight,           "--infill",
            p.infill,          "--shells",   p.shells,  "--speed",        p.speed,                 "--raft",
            std::to_string(p.raft), "--support", std::to_string(p.support)};
}

std::string ZELKSkfParameterCmdLines::GetSkeinforgeCmdLiens() const
{
    std::string line;
    for (const std::string& argument : GetSkeinforgeArguments()) {
        if (!line.empty())
            line += ' ';
        line += argument.rfind("--", 0) == 0 ? argument : zelk::QuoteArgument(argument);
    }
    return line;
}
