// ZELKCAD::LoadSTL: STL files chosen by the user become printable models placed on the platform.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "GePrint.h"

class ZELDBEntityDatabase;
class ZELKDBEntityReset;
class ZELKFileIniBase;

namespace ZELKCAD {

// Asks for the STL files to load (several may be chosen); the paths in
// UTF-8, in the order chosen, or none when the user cancels.
using StlFileDialogFunction = std::function<std::vector<std::string>()>;
// Installs the dialog (tests answer it themselves); returns the previous one.
StlFileDialogFunction SetStlFileDialogFunction(StlFileDialogFunction function);

// Where the collaborators of a load live; null members mean the process-wide ones.
struct StlLoadTargets {
    ZELDBEntityDatabase* database = nullptr;
    ZELKDBEntityReset* resetStore = nullptr;
    ZELKFileIniBase* profile = nullptr;
};

// The file dialog, then LoadSTLFiles with the chosen paths. Cancel changes nothing.
void LoadSTL();
// The file dialog alone: the chosen paths, none when the user cancels.
std::vector<std::string> AskStlFiles();

// Loads each file in order: the first model stands centred on the platform
// origin, each next one 2 mm beyond the +X side of the models already there;
// each is added, selected alone and its mesh kept for resetting. A file that
// cannot be read is skipped; the user is told which files and why, in one
// message. Returns the number of models added.
int LoadSTLFiles(const std::vector<std::string>& paths, const StlLoadTargets& targets = {});

// One file as read: its mesh, or why it could not be read. Reading touches
// no shared state, so it may run on a worker thread.
struct StlFileRead {
    std::string path;
    ZELKGePrint mesh;
    bool ok = false;
    std::string error;
};
StlFileRead ReadStlFile(const std::string& path);
// The placing half of LoadSTLFiles, for files read elsewhere (user-interface thread).
int AddStlModels(const std::vector<StlFileRead>& files, const StlLoadTargets& targets = {});

}  // namespace ZELKCAD
