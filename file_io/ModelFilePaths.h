// The files named after the slicer's model file.
#pragma once

#include <string>

namespace zelk {

// The slicer's G-code file beside a model file: the path trimmed of white
// space, its last four characters (".stl") replaced by ".gcode".
std::string GCodePathForModel(const std::string& modelPath);

}  // namespace zelk
