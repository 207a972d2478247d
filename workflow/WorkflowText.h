// The print workflow's small rules that need no window: the clock text, the
// G-code and export names derived from the model file, emptying the working folder.
#pragma once

#include <string>
#include <vector>

#include "ModelFilePaths.h"  // GCodePathForModel

namespace zelk {

// "%02d:%02d" of minutes and seconds; a count above 3600 has 3600 taken off
// once, so the clock restarts after an hour (3601 shows 00:01, 7201 60:01).
std::string FormatPrepareClock(int seconds);

// Where the X3G save dialog opens for a model file: its folder (up to and
// including the last separator) and the suggested file name, the model's base
// name with ".x3g" (so the dialog's overwrite check sees the real name).
struct ExportDialogStart {
    std::string folder;
    std::string fileName;
};
ExportDialogStart ExportDialogStartForModel(const std::string& modelPath);

// The path a Save-As dialog returned, with ".x3g" added when its file name has
// no extension at all.
std::string WithX3gExtension(const std::string& path);

// A translated pattern with its placeholders %1 .. %9 replaced by `values`
// (a placeholder without a value, and every other character, kept as it is).
std::string FillPattern(const std::string& pattern, const std::vector<std::string>& values);

// Empties the working folder of what the program writes there: the model
// files (".stl") and their G-code (".gcode") directly inside it. Other files,
// sub-folders and what links point to stay. A missing folder deletes nothing.
struct EmptyFolderResult {
    int deleted = 0;
    int failed = 0;
};
EmptyFolderResult EmptyWorkingFolder(const std::string& folder);

}  // namespace zelk
