// Morvadin-X: the desktop host of S3G printers.
#include <cstdio>

#include <wx/app.h>

#include "CommandLine.h"
#include "OrvanelApp.h"

int main(int argc, char** argv)
{
    const zelk::ProgramOptions options = zelk::ParseProgramOptions(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "Morvadin-X: %s\n%s", options.error.c_str(), zelk::ProgramUsage("Morvadin-X").c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(zelk::ProgramUsage("Morvadin-X").c_str(), stdout);
        return 0;
    }
    wxApp::SetInstance(new COrvanelApp(options));
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    return wxEntry(wxArgc, wxArgv);
}
