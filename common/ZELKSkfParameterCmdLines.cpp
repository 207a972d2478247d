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

std::string ZELKSkfParameterCmdLines::GetSkeinforgeCmdLiens() const
{
    if (::access(m_bridgePath.c_str(), X_OK) != 0)
        return std::string();
    const SkeinforgeParameter& p = m_parameter;
    const std::pair<const char*, std::string> options[] = {
        {"--profile", p.profile},       {"--layer-height", p.layerHeight}, {"--infill", p.infill},
        {"--shells", p.shells},         {"--speed", p.speed},              {"--raft", std::to_string(p.raft)},
        {"--support", std::to_string(p.support)}};
    std::string line = zelk::QuoteArgument(m_bridgePath);
    for (const auto& [name, value] : options) {
        line += ' ';
        line += name;
        line += ' ';
        line += zelk::QuoteArgument(value);
    }
    return line;
}
