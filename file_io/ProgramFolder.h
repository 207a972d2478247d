// Locates the program's folders: the shipped files (read only) and the
// user's own folders for what the program writes.
//
// With MORVADIN_HOME set and not empty, that one folder holds everything, as
// a portable or test setup wants. Otherwise the shipped files are read from
// <prefix>/share/morvadin-x/ when the executable is <prefix>/bin/..., or from
// the executable's own folder (a build folder), and everything written goes
// to the XDG base folders, each + "morvadin-x/": the profile and the edited
// start G-code to $XDG_CONFIG_HOME (~/.config), the log to $XDG_STATE_HOME
// (~/.local/state), the working folder PrintModel to $XDG_CACHE_HOME
// (~/.cache).
#pragma once

#include <functional>
#include <string>

namespace zelk {

// The folders chosen for one run; every folder ends with '/'.
struct ProgramFolders {
    std::string shipped;  // the shipped files, never written
    std::string config;   // the INI profile, the edited start G-code
    std::string state;    // the log
    std::string cache;    // the working folder PrintModel
    bool oneFolder = false;  // MORVADIN_HOME: all four are the same folder
    std::string error;       // not empty: the user's folders could not be named
};

// Reads one environment variable; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;

// The folder of the shipped files for an executable in exeFolder: the
// installed layout's ../share/morvadin-x/ when isFolder says it exists,
// else exeFolder itself.
std::string ShippedFolderFor(const std::string& exeFolder, const std::function<bool(const std::string&)>& isFolder);

// Chooses the folders from the environment (MORVADIN_HOME, HOME, XDG_*_HOME;
// relative XDG values are ignored as the XDG rules say).
ProgramFolders ChooseProgramFolders(const EnvironmentLookup& environment, const std::string& shippedFolder);

// The folders for this process's environment.
ProgramFolders GetProgramFolders();

// The folder of the shipped files (MORVADIN_HOME when set). Ends with '/'.
std::string GetProgramFolder();

// The folder of the running executable, whatever MORVADIN_HOME says: where
// the program's companion executables (the slicer bridge) are. Ends with '/'.
std::string GetExecutableFolder();

// A shipped file: GetProgramFolder() + relative ('/' separators).
std::string ProgramFilePath(const std::string& relative);

// A file the program writes, in the user's config or state folder; empty
// when the folder cannot be named (no HOME).
std::string UserConfigPath(const std::string& relative);
std::string UserStatePath(const std::string& relative);

// The user's copy of a file when there is one, else the shipped file: what
// the tools read (the edited start G-code).
std::string UserFileOrShipped(const std::string& relative);

// Copies the shipped file to the user's config folder unless a copy is
// already there (an existing copy is never replaced, even by two programs
// starting at once). Returns the user's path, or empty with error set.
std::string SeedUserFile(const std::string& relative, std::string& error);

// Creates the user's config, state and cache folders. False with a reason
// naming the folder when one cannot be made or written (no HOME, a read-only
// home); nothing to do with MORVADIN_HOME.
bool PrepareUserFolders(std::string& error);

// The working folder of this process, ending with '/': MORVADIN_HOME's
// "PrintModel/", else "<cache>/PrintModel/<pid>/", held under a lock for the
// life of the process so that two programs never empty each other's files;
// folders of programs that have ended are removed when it is first claimed.
std::string WorkingFolder();

// The claim behind WorkingFolder(): under base (ending with '/'), removes
// the folders whose lock no process holds, then creates "<id>/" and locks
// "<id>.lock". The returned descriptor holds the lock (-1 and error set on
// failure); closing it releases the claim.
int ClaimWorkingFolder(const std::string& base, const std::string& id, std::string& folder, std::string& error);

}  // namespace zelk
