// The print workflow's small rules that need no window: the clock text, the
// G-code and export names derived from the model file, emptying the import folder.
#pragma once

#include <string>

namespace zelk {

// "%02d:%02d" of minutes and seconds; a count above 3600 has 3600 taken off
// once, so the clock restarts after an hour (3601 shows 00:01, 7201 60:01).
std::string FormatPrepareClock(int seconds);

// The slicer's G-code file beside a model file: the path trimmed of white
// space, its last four characters (".stl") replaced by ".gcode".
std::string GCodePathForModel(const std::string& modelPath);

// Where the X3G save dialog opens for a model file: its folder (up to and
// including the last separator) and the model's base name.
struct ExportDialogStart {
    std::string folder;
    std::string fileName;
};
ExportDialogStart ExportDialogStartForModel(const std::string& modelPath);

// Deletes every file in folder and in its subfolders, keeping the folders.
// Files that cannot be deleted are left (and counted). Returns the number of
// files deleted; a missing folder deletes nothing.
struct EmptyFolderResult {
    int deleted = 0;
    int failed = 0;
};
EmptyFolderResult EmptyFolderKeepingSubfolders(const std::string& folder);

}  // namespace zelk
