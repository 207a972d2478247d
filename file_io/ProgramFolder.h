// Locates the program folder: where the shipped files and the working files live.
#pragma once

#include <string>

namespace zelk {

// The folder of the running executable, or the folder named by the
// environment variable MORVADIN_HOME when it is set and not empty.
// Always ends with '/'.
std::string GetProgramFolder();

// The folder of the running executable, whatever MORVADIN_HOME says: where
// the program's companion executables (the slicer bridge) are. Ends with '/'.
std::string GetExecutableFolder();

// GetProgramFolder() + relative (relative uses '/' separators).
std::string ProgramFilePath(const std::string& relative);

}  // namespace zelk
