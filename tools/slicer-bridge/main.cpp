// slicer-bridge: slices an STL model with the slicing engine and writes G-code the printer's translator reads.
#include <cstdio>
#include <string>
#include <vector>

#include "BridgeOptions.h"
#include "Cancel.h"
#include "SlicerBridge.h"

int main(int argc, char** argv)
{
    bridge::InstallCancelHandlers();
    // Every line reaches the slicing panel as soon as it is printed.
    const bridge::LineWriter say = [](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    };
    bridge::BridgeOptions options;
    std::string error;
    if (!bridge::ParseBridgeArguments(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        say(slicelines::ErrorLine(error));
        return bridge::kExitUsage;
    }
    if (options.help) {
        std::fputs(bridge::HelpText().c_str(), stdout);
        return bridge::kExitOk;
    }
    return bridge::RunBridge(options, say);
}
