// The program's own dialogs, each behind a replaceable function so the workflow runs without a person in tests.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "GCodeFlavor.h"


namespace zelk {

// The X3G Save-As dialog, opened in `folder` with `fileName`; the chosen path
// (UTF-8), or empty when cancelled.
using SaveX3gDialogFunction = std::function<std::string(const std::string& folder, const std::string& fileName)>;
SaveX3gDialogFunction SetSaveX3gDialogFunction(SaveX3gDialogFunction function);
std::string AskSaveX3gPath(const std::string& folder, const std::string& fileName);

// Asked when a G-code file without a flavour mark holds commands of another
// slicer's dialect that this printer's own would leave out (`leftOut`:
// "G0 ×40, M83 ×1"): the flavour to read it as, or nothing when the user
// cancels. Choosing the printer's own dialect translates it as it is.
using GCodeFlavorDialogFunction = std::function<std::optional<gcode::GCodeFlavor>(const std::string& leftOut)>;
GCodeFlavorDialogFunction SetGCodeFlavorDialogFunction(GCodeFlavorDialogFunction function);
std::optional<gcode::GCodeFlavor> AskGCodeFlavor(const std::string& leftOut);

}  // namespace zelk
