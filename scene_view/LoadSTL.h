// ZELKCAD::LoadSTL: STL files chosen by the user become printable models placed on the platform.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DBPrint.h"
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
    // Set by PrepareStlModel: the model made of the mesh (which it then
    // holds instead of `mesh`), standing as the first model of an empty plate
    // does, its drawing built.
    std::unique_ptr<ZELKDBPrint> model;
};
// `secondThread`: whether reading and preparing may take a second thread (a
// large file's second half, a large mesh's memory and arrays).
StlFileRead ReadStlFile(const std::string& path, bool secondThread = true);
// Makes the model of a file read well, on the reading thread, so that the
// user-interface thread only adds it: placed as the first model of an empty
// plate, ready to draw. A file that could not be read stays as it is.
void PrepareStlModel(StlFileRead& file, bool secondThread = true);
// The placing half of LoadSTLFiles, for files read elsewhere (user-interface
// thread). A prepared model is taken as it is when the plate is still empty
// as it comes; else it is made again from its mesh and placed.
int AddStlModels(std::vector<StlFileRead>&& files, const StlLoadTargets& targets = {});
int AddStlModels(const std::vector<StlFileRead>& files, const StlLoadTargets& targets = {});

}  // namespace ZELKCAD
