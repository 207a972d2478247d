// The printable models as one model file for the slicer, and what was sliced.
#pragma once

#include <cstdint>
#include <string>

class ZELDBEntityDatabase;

namespace ZELKCAD {

// `count` printable models and the model file the slicer reads (the model
// editing service's path: "PrintModel/<first model>.stl" in the program
// folder; empty without models). Returns count.
int GetPrintModelPathAndCount(std::string& path, int& count);

// Writes every printable model of the process-wide database, in world
// coordinates (all edits applied), into one binary STL at `path`. The file
// appears only complete. Nonzero on success.
int MergePrintModel(const std::string& path);

// The same over `database`; on failure `error` says why in one line naming the file.
bool MergePrintModels(const ZELDBEntityDatabase& database, const std::string& path, std::string& error);

// A number that changes whenever the merged model file would change (a model
// added, removed, moved, turned or scaled), computed from the same single
// precision facets MergePrintModel writes.
std::uint64_t PrintModelFingerprint(const ZELDBEntityDatabase& database);
std::uint64_t PrintModelFingerprint();

}  // namespace ZELKCAD
